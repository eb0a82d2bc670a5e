# Sourced by pg-throwaway.sh and pg-cluster.sh, so that their servers are set
# up as a careful shop's: TLS with a certificate from a CA made for the
# directory, SCRAM passwords nobody sees, and peer login on the socket for the
# scripts themselves. Nothing else is let in.
#
# A password lives in shell variables and 0600 files only: bash's own printf
# writes it, so it is never on a command line that `ps` shows.

bin=$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -1)

# Run as root, the scripts run the server as postgres.
as_owner() {
  if [ "$(id -u)" -eq 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi
}
# Hands FILEs to the server's user.
secure_give() {
  if [ "$(id -u)" -eq 0 ]; then chown postgres: "$@"; fi
}
# Runs a command, showing what it said only when it fails.
secure_quietly() {
  local said
  said=$("$@" 2>&1) || {
    printf '%s\n' "$said" >&2
    return 1
  }
}

# A fresh password on stdout: letters and digits, so it needs no quoting in a
# passfile or in psql.
secure_password() {
  head -c 48 /dev/urandom | base64 -w0 | tr -d '/+='
}
# FILE HOST DBNAME USER PASSWORD: a line added to a libpq passfile, made 0600
# (libpq ignores one that others may read), owned by whoever runs the script.
secure_passfile() {
  (
    umask 077
    printf '%s:*:%s:%s:%s\n' "$2" "$3" "$4" "$5" >>"$1"
  )
}

# DIR: a CA of the directory's own. DIR/tls/root.crt is what the clients
# check the servers against; its key signs the servers' certificates and goes
# once they are made (secure_ca_done).
secure_ca() {
  local tls=$1/tls
  mkdir -p "$tls"
  chmod 755 "$tls"
  (
    umask 077
    secure_quietly openssl req -x509 -new -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes \
      -subj "/CN=Drevalon throwaway CA" -days 30 \
      -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" \
      -keyout "$tls/root.key" -out "$tls/root.crt"
  )
  chmod 644 "$tls/root.crt"
}
secure_ca_done() {
  rm -f "$1/tls/root.key"
}
# DIR NAME USAGE: a certificate for 127.0.0.1 (or localhost) signed by the
# CA, with the extended key usage USAGE ("serverAuth", "clientAuth" or both),
# as DIR/tls/NAME.crt and its key DIR/tls/NAME.key, the server's user's.
secure_signed() {
  local tls=$1/tls name=$2 usage=$3
  (
    umask 077
    secure_quietly openssl req -new -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes \
      -subj "/CN=$name" -keyout "$tls/$name.key" -out "$tls/$name.csr"
    printf '%s\n' "subjectAltName = IP:127.0.0.1, DNS:localhost" "basicConstraints = critical, CA:FALSE" \
      "keyUsage = critical, digitalSignature, keyEncipherment" "extendedKeyUsage = $usage" >"$tls/$name.ext"
    secure_quietly openssl x509 -req -in "$tls/$name.csr" -CA "$tls/root.crt" -CAkey "$tls/root.key" \
      -set_serial "0x$(openssl rand -hex 16)" -days 30 -extfile "$tls/$name.ext" -out "$tls/$name.crt"
    rm -f "$tls/$name.csr" "$tls/$name.ext"
  )
  secure_give "$tls/$name.key" "$tls/$name.crt"
}
# DIR DATA NAME: a server's certificate, into the data directory DATA with its
# key and the CA's certificate; what was there (a copy of another server's) is
# replaced.
secure_certificate() {
  local tls=$1/tls data=$2 name=$3
  secure_signed "$1" "$name" serverAuth
  (
    umask 077
    install -m 600 "$tls/$name.key" "$data/server.key"
    install -m 644 "$tls/$name.crt" "$data/server.crt"
    install -m 644 "$tls/root.crt" "$data/root.crt"
    rm -f "$tls/$name.key" "$tls/$name.crt"
  )
  secure_give "$data/server.key" "$data/server.crt" "$data/root.crt"
}

# DATA: who may log in, and TLS on. The socket takes the user running the
# script (and, run as root, root and postgres) as the role postgres; 127.0.0.1
# takes TLS with a SCRAM password only.
secure_config() {
  local data=$1
  cat >"$data/pg_hba.conf" <<'EOF'
# TYPE   DATABASE  USER  ADDRESS       METHOD
local    all       all                 peer map=owner
hostssl  all       all   127.0.0.1/32  scram-sha-256
EOF
  {
    echo "# MAPNAME  SYSTEM-USERNAME  PG-USERNAME"
    if [ "$(id -u)" -eq 0 ]; then
      echo "owner  root      postgres"
      echo "owner  postgres  postgres"
    else
      echo "owner  \"$(id -un)\"  postgres"
    fi
  } >"$data/pg_ident.conf"
  cat >>"$data/postgresql.conf" <<'EOF'
ssl = on
ssl_cert_file = 'server.crt'
ssl_key_file = 'server.key'
ssl_ca_file = 'root.crt'
password_encryption = 'scram-sha-256'
EOF
}

# DIR DATA: a new cluster in DATA whose superuser postgres has a fresh
# password, kept for the clients in DIR/pgpass.
secure_initdb() {
  local dir=$1 data=$2 password status=0
  password=$(secure_password)
  secure_passfile "$dir/pgpass" 127.0.0.1 '*' postgres "$password"
  (
    umask 077
    printf '%s\n' "$password" >"$dir/initdb.pw"
  )
  secure_give "$dir/initdb.pw"
  as_owner "$bin/initdb" --auth-local=peer --auth-host=scram-sha-256 --pwfile="$dir/initdb.pw" \
    -E UTF8 --locale=C.UTF-8 -U postgres -D "$data" >/dev/null || status=$?
  rm -f "$dir/initdb.pw"
  [ "$status" -eq 0 ] || return "$status"
  secure_config "$data"
}

# SOCKET PORT ROLE ATTRIBUTES PASSWORD: a role made over the socket. The
# password reaches psql on its stdin and goes in as a quoted literal.
secure_role() {
  "$bin/psql" -X -q -v ON_ERROR_STOP=1 -h "$1" -p "$2" -U postgres -d postgres >/dev/null <<EOF
\\set secret $5
CREATE ROLE $3 WITH $4 PASSWORD :'secret';
EOF
}

# DIR PORT ROLE [SOCKET]: a login role with a fresh password in DIR/pgpass
# beside the superuser's, made over the socket in SOCKET (default DIR); it may
# do nothing until it is granted.
secure_login_role() {
  local password
  password=$(secure_password)
  secure_role "${4:-$1}" "$2" "$3" LOGIN "$password"
  secure_passfile "$1/pgpass" 127.0.0.1 '*' "$3" "$password"
}

# DIR PORT [SOCKET]: the roles and the database of a shop. drevalon_owner owns
# the database drevalon, so it makes the tables (the store tool and the tests
# log in as it) in its public schema or in schemas of their own; shop is the
# workstations', given only the rows of the tables by grants.
secure_shop_roles() {
  secure_login_role "$1" "$2" drevalon_owner "${3:-$1}"
  secure_login_role "$1" "$2" shop "${3:-$1}"
  "$bin/psql" -X -q -v ON_ERROR_STOP=1 -h "${3:-$1}" -p "$2" -U postgres -d postgres \
    -c "CREATE DATABASE drevalon OWNER drevalon_owner ENCODING 'UTF8'" >/dev/null
}

# DIR HOSTS PORTS [WORDS]: the clients' connection text as the tables' owner,
# over TLS checked against the directory's CA, the password from its passfile.
secure_text() {
  echo "host=$2 port=$3 user=drevalon_owner dbname=drevalon${4:+ $4} sslmode=verify-full sslrootcert=$1/tls/root.crt passfile=$1/pgpass"
}
