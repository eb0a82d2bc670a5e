#!/usr/bin/env bash
# A throwaway PostgreSQL server for the tests: trust login on 127.0.0.1, data
# and socket in a temporary directory.
#   pg-throwaway.sh             starts one; prints its connection text on
#                               stdout and its directory on stderr
#   pg-throwaway.sh halt DIR    stops it, keeping its data
#   pg-throwaway.sh resume DIR  starts it again on the same port
#   pg-throwaway.sh stop DIR    stops it and removes DIR
set -euo pipefail
bin=$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -1)
as_owner() {
  if [ "$(id -u)" -eq 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi
}
start() {
  local dir=$1 port
  port=$(cat "$dir/port")
  # Nothing here needs to survive a crash: no waiting for the disk.
  as_owner "$bin/pg_ctl" -D "$dir/data" -l "$dir/log" -w -o \
    "-c listen_addresses=127.0.0.1 -p $port -k $dir -c fsync=off -c synchronous_commit=off -c full_page_writes=off -c max_connections=200" \
    start >/dev/null
}
case "${1:-}" in
  stop)
    as_owner "$bin/pg_ctl" -D "$2/data" -m immediate stop >/dev/null 2>&1 || true
    rm -rf "$2"
    exit 0 ;;
  halt)
    as_owner "$bin/pg_ctl" -D "$2/data" -m fast -w stop >/dev/null
    exit 0 ;;
  resume)
    start "$2"
    exit 0 ;;
esac
dir=$(mktemp -d /tmp/drevalon-pg.XXXXXX)
[ "$(id -u)" -eq 0 ] && chown -R postgres "$dir"
as_owner "$bin/initdb" -A trust -E UTF8 --locale=C.UTF-8 -U postgres -D "$dir/data" >/dev/null
# A port below the kernel's range for outgoing connections, so no client
# socket holds it; another port when something listens there already.
for attempt in 1 2 3 4 5 6 7 8; do
  echo "${DREVALON_PG_PORT:-$((20000 + RANDOM % 12000))}" >"$dir/port"
  if start "$dir"; then
    break
  elif [ -n "${DREVALON_PG_PORT:-}" ] || [ "$attempt" -eq 8 ]; then
    cat "$dir/log" >&2
    rm -rf "$dir"
    exit 1
  fi
done
echo "host=127.0.0.1 port=$(cat "$dir/port") user=postgres dbname=postgres"
echo "$dir" >&2
