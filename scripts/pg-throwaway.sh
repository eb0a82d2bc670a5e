#!/usr/bin/env bash
# A throwaway PostgreSQL server for the tests on 127.0.0.1, over TLS with a
# SCRAM password (pg-secure.sh), data, certificates, passfile and socket in a
# temporary directory.
#   pg-throwaway.sh             starts one; prints its connection text on
#                               stdout and its directory on stderr
#   pg-throwaway.sh halt DIR    stops it, keeping its data
#   pg-throwaway.sh resume DIR  starts it again on the same port
#   pg-throwaway.sh stop DIR    stops it and removes DIR
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/pg-secure.sh"
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
# A start that fails leaves nothing behind.
trap 'as_owner "$bin/pg_ctl" -D "$dir/data" -m immediate stop >/dev/null 2>&1 || true; rm -rf "$dir"' EXIT
secure_give "$dir"
secure_ca "$dir"
secure_initdb "$dir" "$dir/data"
secure_certificate "$dir" "$dir/data" server
secure_ca_done "$dir"
# A port below the kernel's range for outgoing connections, so no client
# socket holds it; another port when something listens there already.
for attempt in 1 2 3 4 5 6 7 8; do
  echo "${DREVALON_PG_PORT:-$((20000 + RANDOM % 12000))}" >"$dir/port"
  if start "$dir"; then
    break
  elif [ -n "${DREVALON_PG_PORT:-}" ] || [ "$attempt" -eq 8 ]; then
    cat "$dir/log" >&2
    exit 1
  fi
done
# The role the program's workstations log in as (the tests grant it rows).
secure_shop_roles "$dir" "$(cat "$dir/port")"
trap - EXIT
secure_text "$dir" 127.0.0.1 "$(cat "$dir/port")"
echo "$dir" >&2
