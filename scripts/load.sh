#!/usr/bin/env bash
# Many workstations doing a shop's day against one PostgreSQL server, then the
# server checked against what they typed (bench/load). Starts a throwaway
# server (pg-throwaway.sh), or with --failover a primary/standby pair
# (pg-cluster.sh) whose primary is stopped halfway and whose standby is
# promoted a moment later, or with --failover auto a Patroni cluster
# (pg-ha.sh) struck --events times over the day (13: in turn the leader
# killed, the synchronous replica killed, the leader frozen for 40 s) with
# nobody promoting anything; stops it again at the end.
#   load.sh [--workstations N] [--minutes M | --seconds S] [--failover [auto] [--events E]]
#           [--customers C] [--archive A] [--think MS] [--compare] [--double-post]
# --compare runs one workstation first (at most 3 minutes) and sets each
# command's p95 under load against its median alone. --think pauses each
# workstation before each press (MS on average), as a user reading and typing.
# Exit status 0 when no invariant was broken and no workstation saw a fault.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${DREVALON_BUILD_DIR:-build}
workstations=20 seconds=600 failover=0 events=13 customers=400 archive=20000 compare=0 extra=()
while [ $# -gt 0 ]; do
  case "$1" in
    --workstations) workstations=$2; shift 2 ;;
    --minutes) seconds=$(($2 * 60)); shift 2 ;;
    --seconds) seconds=$2; shift 2 ;;
    --failover)
      failover=1
      if [ "${2:-}" = auto ]; then failover=2; shift; fi
      shift ;;
    --events) events=$2; shift 2 ;;
    --customers) customers=$2; shift 2 ;;
    --archive) archive=$2; shift 2 ;;
    --compare) compare=1; shift ;;
    --double-post) extra+=(--double-post); shift ;;
    --think) extra+=(--think "$2"); shift 2 ;;
    *) echo "unknown option $1" >&2; exit 2 ;;
  esac
done
[ -d "$build" ] || cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target drevalon-load >/dev/null

work=$(mktemp -d /tmp/drevalon-load.XXXXXX)
server="" server_script=""
stop_server() {
  if [ -n "$server" ]; then
    # Stopped by the script that started it: a run alone, before the
    # failover run, is on a single server.
    bash "scripts/$server_script" stop "$server"
  fi
  server=""
}
trap 'stop_server; rm -rf "$work"' EXIT

# One run on a server of its own; the driver's time limit bounds it.
run() {
  local count=$1 length=$2 pair=$3 connection
  shift 3
  case "$pair" in
    1) server_script=pg-cluster.sh ;;
    2) server_script=pg-ha.sh ;;
    *) server_script=pg-throwaway.sh ;;
  esac
  connection=$(bash "scripts/$server_script" 2>"$work/server")
  server=$(tail -1 "$work/server")
  local status=0
  mkdir -p "$work/run$count"
  local failing=""
  [ "$pair" -eq 1 ] && failing=", failover halfway"
  [ "$pair" -eq 2 ] && failing=", the cluster struck $events time(s), Patroni failing over"
  echo "== $count workstation(s), $length s$failing; load average $(cut -d' ' -f1-3 /proc/loadavg)"
  "$build/bench/load/drevalon-load" --connection "$connection" --workstation-role shop --workstations "$count" --seconds "$length" \
    --customers "$customers" --archive "$archive" --work "$work/run$count" \
    $([ "$pair" -ge 1 ] && echo --cluster "$server") $([ "$pair" -eq 2 ] && echo --automatic --events "$events") \
    "$@" || status=$?
  echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
  stop_server
  return $status
}

echo "machine: $(nproc) cores, $(free -g | awk '/^Mem:/ {print $2 " GB"}'), $("$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -1)/postgres" --version)"
status=0
if [ "$compare" -eq 1 ]; then
  run 1 $((seconds < 180 ? seconds : 180)) 0 --summary "$work/alone" "${extra[@]}" || status=1
  run "$workstations" "$seconds" "$failover" --compare "$work/alone" "${extra[@]}" || status=1
else
  run "$workstations" "$seconds" "$failover" "${extra[@]}" || status=1
fi
exit $status
