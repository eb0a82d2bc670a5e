#!/usr/bin/env bash
# Runs every benchmark on generated stores: a large set by default (20,000
# customers, 1,000,000 archive lines), made once and reused; the number of
# archive lines can be given (CI runs a small set so the programs never rot).
#   bash scripts/bench.sh [ARCHIVE_LINES]
set -euo pipefail
cd "$(dirname "$0")/.."
lines=${1:-1000000}
customers=$(( lines >= 1000000 ? 20000 : 200 ))
dir=${DREVALON_BENCH_DIR:-/tmp/drevalon-bench}/$lines
build=${DREVALON_BUILD_DIR:-build}
if [ ! -e "$dir/db.sqlite" ]; then
  mkdir -p "$dir"
  "$build/tools/drevalon-stores" --driver QSQLITE --customers "$customers" --archive "$lines" \
    --database "$dir/db.sqlite" --alias-dir "$dir/alias" --force >/dev/null
fi
export QT_QPA_PLATFORM=offscreen
export QTWEBENGINE_DISABLE_SANDBOX=1
for bench in bench_datasets bench_grid bench_chart bench_startup; do
  "$build/bench/$bench" "$dir/db.sqlite" "$dir/alias" 2>/dev/null
done
# The archive move adds order lines: it runs on a copy.
cp "$dir/db.sqlite" "$dir/move.sqlite"
"$build/bench/bench_orders" "$dir/move.sqlite" "$dir/alias" 2>/dev/null
rm -f "$dir/move.sqlite"
# The archive on a PostgreSQL server: a throwaway one, loaded by the store tool.
server_dir_file=$(mktemp)
server=$(bash scripts/pg-throwaway.sh 2>"$server_dir_file")
server_dir=$(cat "$server_dir_file")
rm -f "$server_dir_file"
trap 'bash scripts/pg-throwaway.sh stop "$server_dir"' EXIT
"$build/tools/drevalon-stores" --driver QPSQL --customers "$customers" --archive "$lines" \
  --database "$server" --alias-dir "$dir/server-alias" --force >/dev/null
"$build/bench/bench_server" "$server" "$dir/server-alias" 2>/dev/null
