#!/usr/bin/env bash
# A throwaway primary with a synchronous streaming standby, as a shop with two
# database hosts runs it, on 127.0.0.1 only: TLS with SCRAM passwords
# (pg-secure.sh), each server with a certificate of its own, the standby
# streaming as a replication role of its own; data, certificates, passfiles and
# sockets in a temporary directory. A commit the primary confirms is on the
# standby too.
#   pg-cluster.sh                 starts both; prints the connection text naming
#                                 both servers on stdout, its directory on stderr
#   pg-cluster.sh fail DIR        stops the primary at once (-m immediate)
#   pg-cluster.sh promote DIR     makes the standby a primary that takes writes
#   pg-cluster.sh failover DIR    both of the above
#   pg-cluster.sh stop DIR        stops both and removes DIR
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/pg-secure.sh"
# One value from the server on PORT, over its socket in DIR (peer login);
# empty when it does not answer within a few seconds.
ask() {
  local dir=$1 port=$2 sql=$3
  PGCONNECT_TIMEOUT=3 "$bin/psql" -X -h "$dir" -p "$port" -U postgres -d postgres -Atq \
    -c "set statement_timeout = 3000" -c "$sql" 2>/dev/null || true
}
# Waits until `ask` gives WANT, at most TRIES half-second steps.
wait_for() {
  local dir=$1 port=$2 sql=$3 want=$4 tries=$5 i
  for ((i = 0; i < tries; i++)); do
    [ "$(ask "$dir" "$port" "$sql")" = "$want" ] && return 0
    sleep 0.5
  done
  return 1
}
fail() {
  as_owner "$bin/pg_ctl" -D "$1/primary" -m immediate stop >/dev/null 2>&1 || true
}
promote() {
  local dir=$1 port
  port=$(cat "$dir/port2")
  as_owner timeout 60 "$bin/pg_ctl" -D "$dir/standby" -w -t 50 promote >/dev/null
  # Promoted means it has left recovery and a transaction that writes commits
  # without waiting for any standby.
  wait_for "$dir" "$port" "select pg_is_in_recovery()" f 40 &&
    wait_for "$dir" "$port" "select txid_current() > 0" t 40 || {
    echo "the standby did not take writes after its promotion" >&2
    tail -20 "$dir/standby.log" >&2
    exit 1
  }
}
case "${1:-}" in
  fail)
    fail "$2"
    exit 0 ;;
  promote)
    promote "$2"
    exit 0 ;;
  failover)
    fail "$2"
    promote "$2"
    exit 0 ;;
  stop)
    for server in primary standby; do
      as_owner "$bin/pg_ctl" -D "$2/$server" -m immediate stop >/dev/null 2>&1 || true
    done
    rm -rf "$2"
    exit 0 ;;
esac

dir=$(mktemp -d /tmp/drevalon-pgc.XXXXXX)
secure_give "$dir"
# A start that fails at any step shows the servers' logs and leaves nothing
# behind.
set_up_failed() {
  for log in "$dir"/*.log; do [ -f "$log" ] && tail -20 "$log" >&2; done
  for server in primary standby; do
    as_owner "$bin/pg_ctl" -D "$dir/$server" -m immediate stop >/dev/null 2>&1 || true
  done
  rm -rf "$dir"
}
give_up() {
  echo "$1" >&2
  exit 1
}
trap set_up_failed EXIT
secure_ca "$dir"
secure_initdb "$dir" "$dir/primary"
secure_certificate "$dir" "$dir/primary" primary
echo "hostssl  replication  replicator  127.0.0.1/32  scram-sha-256" >>"$dir/primary/pg_hba.conf"
# The standby's walreceiver names itself "standby"; the primary waits for it at
# every commit, once the roles are made (a commit before that would wait for a
# standby that does not exist yet). Nothing here must survive a crash of the
# machine, so no waiting for the disk; a stop with -m immediate loses nothing
# the kernel holds.
cat >>"$dir/primary/postgresql.conf" <<EOF
listen_addresses = '127.0.0.1'
unix_socket_directories = '$dir'
max_connections = 200
wal_level = replica
max_wal_senders = 4
wal_keep_size = '256MB'
hot_standby = on
synchronous_commit = on
fsync = off
full_page_writes = off
cluster_name = 'primary'
EOF
# Ports below the kernel's range for outgoing connections, so no client socket
# holds them; others when something listens there already.
for attempt in 1 2 3 4 5 6 7 8; do
  port1=$((20000 + RANDOM % 12000))
  if as_owner "$bin/pg_ctl" -D "$dir/primary" -l "$dir/primary.log" -w -t 60 -o "-p $port1" start >/dev/null; then
    break
  elif [ "$attempt" -eq 8 ]; then
    give_up "the primary did not start"
  fi
done
echo "$port1" >"$dir/port1"
# Every later start of the primary keeps its port without -o.
echo "port = $port1" >>"$dir/primary/postgresql.conf"

# The standby streams as a role of its own, with no rights but replication,
# its password in a passfile of the standby's own (read by the server's user).
password=$(secure_password)
secure_role "$dir" "$port1" replicator "REPLICATION LOGIN" "$password"
secure_passfile "$dir/standby.pgpass" 127.0.0.1 replication replicator "$password"
unset password
secure_give "$dir/standby.pgpass"
# The role the program's workstations log in as (the tests grant it rows).
secure_shop_roles "$dir" "$port1"
echo "synchronous_standby_names = 'standby'" >>"$dir/primary/postgresql.conf"
as_owner "$bin/pg_ctl" -D "$dir/primary" reload >/dev/null

# The standby: a copy of the primary that follows it, over TLS checked against
# the CA, with a certificate of its own in place of the copied one. Once
# promoted it must not wait for a standby of its own, hence its empty
# synchronous_standby_names.
upstream="host=127.0.0.1 port=$port1 user=replicator application_name=standby sslmode=verify-full sslrootcert=$dir/tls/root.crt passfile=$dir/standby.pgpass"
as_owner "$bin/pg_basebackup" -D "$dir/standby" -X stream -c fast -d "$upstream" \
  >/dev/null 2>"$dir/basebackup.log" || give_up "pg_basebackup failed"
secure_certificate "$dir" "$dir/standby" standby
secure_ca_done "$dir"
as_owner touch "$dir/standby/standby.signal"
cat >>"$dir/standby/postgresql.conf" <<EOF
primary_conninfo = '$upstream'
synchronous_standby_names = ''
cluster_name = 'standby'
EOF
for attempt in 1 2 3 4 5 6 7 8; do
  port2=$((20000 + RANDOM % 12000))
  if [ "$port2" -ne "$port1" ] &&
    as_owner "$bin/pg_ctl" -D "$dir/standby" -l "$dir/standby.log" -w -t 60 -o "-p $port2" start >/dev/null; then
    break
  elif [ "$attempt" -eq 8 ]; then
    give_up "the standby did not start"
  fi
done
echo "$port2" >"$dir/port2"
echo "port = $port2" >>"$dir/standby/postgresql.conf"

wait_for "$dir" "$port1" \
  "select r.sync_state from pg_stat_replication r join pg_stat_ssl s using (pid)
   where r.application_name = 'standby' and r.state = 'streaming' and r.usename = 'replicator' and s.ssl" \
  sync 120 || give_up "the standby is not streaming synchronously over TLS"
wait_for "$dir" "$port2" "select status from pg_stat_wal_receiver" streaming 40 ||
  give_up "the standby receives no stream"

trap - EXIT
secure_text "$dir" 127.0.0.1,127.0.0.1 "$port1,$port2" "target_session_attrs=read-write connect_timeout=5"
echo "$dir" >&2
