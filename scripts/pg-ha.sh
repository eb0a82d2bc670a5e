#!/usr/bin/env bash
# A throwaway cluster that fails over by itself, as a chain of shops runs it,
# on 127.0.0.1 only: three etcd members and three PostgreSQL nodes managed by
# Patroni (one leader, two replicas, one of them synchronous; a failed leader
# comes back as a replica through pg_rewind). TLS everywhere with a CA of the
# directory's own (pg-secure.sh), SCRAM passwords in 0600 files, data and
# sockets in a temporary directory.
#   pg-ha.sh                 starts it all; returns once there is a leader and
#                            a synchronous replica; prints the workstations'
#                            connection text (the tables' owner, as
#                            pg-throwaway.sh) on stdout, its directory on stderr
#   pg-ha.sh leader DIR      the name of the leader now (node1, node2 or node3)
#   pg-ha.sh sync DIR        the name of the synchronous replica now
#   pg-ha.sh whole DIR       exit status 0 when every node runs, one leads and
#                            one is the synchronous replica
#   pg-ha.sh list DIR        patronictl list
#   pg-ha.sh kill DIR NODE   SIGKILL of the node's Patroni and postmaster, as a
#                            host losing power
#   pg-ha.sh freeze DIR NODE SIGSTOP of both, as a host that hangs
#   pg-ha.sh thaw DIR NODE   SIGCONT of a frozen node
#   pg-ha.sh start DIR NODE  starts a killed node's Patroni again
#   pg-ha.sh wait DIR        waits until every node runs, one leader and a
#                            synchronous replica
#   pg-ha.sh stop DIR        stops everything and removes DIR
set -euo pipefail
here=$(dirname "${BASH_SOURCE[0]}")
source "$here/pg-secure.sh"
nodes=(node1 node2 node3)

# The REST API of every node, over TLS checked against the directory's CA.
rest() {
  local dir=$1 node=$2 path=$3
  curl -s --max-time 3 --cacert "$dir/tls/root.crt" "https://127.0.0.1:$(cat "$dir/$node.rest")$path" 2>/dev/null || true
}
# DIR ROLE: the name of the member in ROLE now (leader: one that runs, not one
# that only holds the lock), from the first node that answers.
member() {
  local dir=$1 role=$2 node name
  for node in "${nodes[@]}"; do
    name=$(rest "$dir" "$node" /cluster | /usr/bin/python3 -c '
import json, sys
role = sys.argv[1]
try:
    members = json.load(sys.stdin)["members"]
except Exception:
    sys.exit(0)
print(next((m["name"] for m in members
            if m["role"] == role and (role != "leader" or m["state"] == "running")), ""))' "$role")
    if [ -n "$name" ]; then
      echo "$name"
      return 0
    fi
  done
  return 1
}
leader() { member "$1" leader; }
# Whether the cluster is whole: three members running or streaming, one
# leader, a synchronous replica.
whole() {
  local dir=$1 node
  for node in "${nodes[@]}"; do
    rest "$dir" "$node" /cluster | /usr/bin/python3 -c '
import json, sys
try:
    members = json.load(sys.stdin)["members"]
except Exception:
    sys.exit(1)
leaders = [m for m in members if m["role"] == "leader" and m["state"] == "running"]
sync = [m for m in members if m["role"] == "sync_standby" and m["state"] in ("running", "streaming")]
sys.exit(0 if len(members) == 3 and len(leaders) == 1 and sync and
         all(m["state"] in ("running", "streaming") for m in members) else 1)' && return 0
  done
  return 1
}
wait_whole() {
  local dir=$1 i
  for ((i = 0; i < 240; i++)); do
    whole "$dir" && return 0
    sleep 0.5
  done
  return 1
}
pids_of() {
  local dir=$1 node=$2
  pgrep -f "patroni $dir/$node.yml" || true
  head -1 "$dir/$node/postmaster.pid" 2>/dev/null || true
}
start_node() {
  local dir=$1 node=$2
  # Patroni runs as the server's user, in a session of its own so that a
  # stop of the script's caller leaves it be until `stop`.
  as_owner setsid patroni "$dir/$node.yml" >>"$dir/$node.patroni.log" 2>&1 </dev/null &
}
start_etcd() {
  local dir=$1 i=$2 cluster=$3 state=$4
  as_owner setsid etcd --name "etcd$i" --data-dir "$dir/etcd$i" \
    --listen-client-urls "https://127.0.0.1:$(cat "$dir/etcd$i.client")" \
    --advertise-client-urls "https://127.0.0.1:$(cat "$dir/etcd$i.client")" \
    --listen-peer-urls "https://127.0.0.1:$(cat "$dir/etcd$i.peer")" \
    --initial-advertise-peer-urls "https://127.0.0.1:$(cat "$dir/etcd$i.peer")" \
    --initial-cluster "$cluster" --initial-cluster-state "$state" --initial-cluster-token drevalon --enable-v2=true \
    --cert-file "$dir/tls/etcd.crt" --key-file "$dir/tls/etcd.key" \
    --client-cert-auth --trusted-ca-file "$dir/tls/root.crt" \
    --peer-cert-file "$dir/tls/etcd.crt" --peer-key-file "$dir/tls/etcd.key" \
    --peer-client-cert-auth --peer-trusted-ca-file "$dir/tls/root.crt" \
    >>"$dir/etcd$i.log" 2>&1 </dev/null &
}
signal_node() {
  local dir=$1 node=$2 signal=$3 pid
  for pid in $(pids_of "$dir" "$node"); do
    kill "-$signal" "$pid" 2>/dev/null || true
  done
}
stop_all() {
  local dir=$1 pid
  for node in "${nodes[@]}"; do
    signal_node "$dir" "$node" CONT
    signal_node "$dir" "$node" KILL
  done
  pkill -KILL -f "etcd --name etcd[0-9] --data-dir $dir/" 2>/dev/null || true
  # The postmasters' children go with their parent's death; wait for them.
  for _ in $(seq 1 50); do
    pgrep -f "$dir/" >/dev/null || break
    sleep 0.1
  done
  pkill -KILL -f "$dir/" 2>/dev/null || true
}

case "${1:-}" in
  leader) leader "$2"; exit $? ;;
  sync) member "$2" sync_standby; exit $? ;;
  whole) whole "$2"; exit $? ;;
  list) as_owner patronictl -c "$2/node1.yml" list; exit $? ;;
  kill) signal_node "$2" "$3" KILL; exit 0 ;;
  freeze) signal_node "$2" "$3" STOP; exit 0 ;;
  thaw) signal_node "$2" "$3" CONT; exit 0 ;;
  start) start_node "$2" "$3"; exit 0 ;;
  wait) wait_whole "$2"; exit $? ;;
  stop) stop_all "$2"; rm -rf "$2"; exit 0 ;;
esac

dir=$(mktemp -d /tmp/drevalon-pgha.XXXXXX)
give_up() {
  echo "$1" >&2
  for log in "$dir"/*.log; do [ -f "$log" ] && { echo "== $log" >&2; tail -15 "$log" >&2; }; done
  stop_all "$dir"
  rm -rf "$dir"
  exit 1
}
trap 'give_up "the cluster did not come up"' EXIT
secure_give "$dir"
chmod 700 "$dir"

# Ports below the kernel's range for outgoing connections, so no client socket
# holds them: twelve in a row from a random start, none of them listened on
# already (another test's server, say).
listened() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }
for attempt in 1 2 3 4 5 6 7 8; do
  base=$((20000 + RANDOM % 11000))
  taken=0
  for ((p = base + 1; p <= base + 12; p++)); do
    if listened "$p"; then taken=1; break; fi
  done
  [ "$taken" -eq 0 ] && break
  [ "$attempt" -eq 8 ] && give_up "no twelve free ports in a row"
done
for i in 1 2 3; do
  echo $((base + i)) >"$dir/etcd$i.client"
  echo $((base + 3 + i)) >"$dir/etcd$i.peer"
  echo $((base + 6 + i)) >"$dir/node$i.port"
  echo $((base + 9 + i)) >"$dir/node$i.rest"
done

# Certificates: one for the etcd members (server and client alike), one per
# PostgreSQL node and its REST API, one for Patroni as etcd's client.
secure_ca "$dir"
secure_signed "$dir" etcd "serverAuth, clientAuth"
secure_signed "$dir" patroni clientAuth
for node in "${nodes[@]}"; do secure_signed "$dir" "$node" serverAuth; done
secure_ca_done "$dir"

cluster=""
for i in 1 2 3; do cluster+="${cluster:+,}etcd$i=https://127.0.0.1:$(cat "$dir/etcd$i.peer")"; done
for i in 1 2 3; do start_etcd "$dir" "$i" "$cluster" new; done
etcd_hosts=""
for i in 1 2 3; do etcd_hosts+="${etcd_hosts:+,}127.0.0.1:$(cat "$dir/etcd$i.client")"; done

# Passwords: the superuser's (the socket needs none), the replicas' and
# pg_rewind's roles, in the nodes' configurations (0600, the server's user's).
superuser=$(secure_password)
replicator=$(secure_password)
rewinder=$(secure_password)
secure_passfile "$dir/pgpass" 127.0.0.1 '*' postgres "$superuser"
if [ "$(id -u)" -eq 0 ]; then
  ident="      - owner root postgres
      - owner postgres postgres"
else
  ident="      - owner $(id -un) postgres"
fi
for i in 1 2 3; do
  node=node$i
  mkdir -p "$dir/$node.sock"
  secure_give "$dir/$node.sock"
  (
    umask 077
    cat >"$dir/$node.yml" <<EOF
scope: drevalon
name: $node
restapi:
  listen: 127.0.0.1:$(cat "$dir/$node.rest")
  connect_address: 127.0.0.1:$(cat "$dir/$node.rest")
  certfile: $dir/tls/$node.crt
  keyfile: $dir/tls/$node.key
  cafile: $dir/tls/root.crt
ctl:
  cacert: $dir/tls/root.crt
# etcd's v2 keys: Patroni renews its leader key there only while the key
# still names it (compare-and-swap on the value). Through the v3 API, Patroni
# 3.0 let a leader frozen past its lease and let go write its key back over
# the new leader's, and the cluster went back to its timeline.
etcd:
  hosts: $etcd_hosts
  protocol: https
  cacert: $dir/tls/root.crt
  cert: $dir/tls/patroni.crt
  key: $dir/tls/patroni.key
bootstrap:
  # What every node keeps in etcd: a leader's lease of 20 s renewed every
  # 5 s; a commit waits for one synchronous replica, and only a replica that
  # was synchronous may become the leader, so nothing confirmed is lost.
  dcs:
    ttl: 20
    loop_wait: 5
    retry_timeout: 5
    maximum_lag_on_failover: 1048576
    synchronous_mode: true
    synchronous_mode_strict: true
    synchronous_node_count: 1
    postgresql:
      use_pg_rewind: true
      use_slots: true
      parameters:
        wal_log_hints: 'on'
        max_connections: 200
        max_wal_senders: 8
        max_replication_slots: 8
        wal_keep_size: 256MB
        hot_standby: 'on'
        fsync: 'off'
        full_page_writes: 'on'
  initdb:
    - encoding: UTF8
    - locale: C.UTF-8
    - auth-local: peer
    - auth-host: scram-sha-256
postgresql:
  listen: 127.0.0.1:$(cat "$dir/$node.port")
  connect_address: 127.0.0.1:$(cat "$dir/$node.port")
  data_dir: $dir/$node
  bin_dir: $bin
  pgpass: $dir/$node.pgpass
  use_unix_socket: true
  authentication:
    superuser:
      username: postgres
      password: $superuser
      sslmode: verify-full
      sslrootcert: $dir/tls/root.crt
    replication:
      username: replicator
      password: $replicator
      sslmode: verify-full
      sslrootcert: $dir/tls/root.crt
    rewind:
      username: rewinder
      password: $rewinder
      sslmode: verify-full
      sslrootcert: $dir/tls/root.crt
  parameters:
    unix_socket_directories: $dir/$node.sock
    ssl: 'on'
    ssl_cert_file: $dir/tls/$node.crt
    ssl_key_file: $dir/tls/$node.key
    ssl_ca_file: $dir/tls/root.crt
    password_encryption: scram-sha-256
  pg_hba:
    - local all all peer map=owner
    - hostssl replication replicator 127.0.0.1/32 scram-sha-256
    - hostssl all all 127.0.0.1/32 scram-sha-256
  pg_ident:
$ident
EOF
  )
  secure_give "$dir/$node.yml"
done
unset superuser replicator rewinder

# The first node bootstraps the cluster; the others copy it once it leads.
start_node "$dir" node1
for ((i = 0; i < 240; i++)); do
  [ "$(leader "$dir" 2>/dev/null || true)" = node1 ] && break
  sleep 0.5
done
[ "$(leader "$dir" 2>/dev/null || true)" = node1 ] || give_up "node1 did not lead"
start_node "$dir" node2
start_node "$dir" node3
wait_whole "$dir" || give_up "no synchronous replica came up"

# The shop's roles and database, made on the leader over its socket.
secure_shop_roles "$dir" "$(cat "$dir/node1.port")" "$dir/node1.sock"

trap - EXIT
hosts=127.0.0.1,127.0.0.1,127.0.0.1
ports="$(cat "$dir/node1.port"),$(cat "$dir/node2.port"),$(cat "$dir/node3.port")"
secure_text "$dir" "$hosts" "$ports" "target_session_attrs=read-write connect_timeout=5"
echo "$dir" >&2
