#!/usr/bin/env bash
# Runs every benchmark on two generated data sets of the same size: the demo's
# (repetitive: a few dozen parts) and one whose values hardly repeat
# (drevalon-stores --distinct). Both are made once as SQLite files and reused;
# both are loaded onto a throwaway PostgreSQL server for the server's rows.
# Each program prints its notes and markdown rows; at the end the rows of the
# two sets are joined into one table, with the machine and its load.
#   bash scripts/bench.sh [ARCHIVE_LINES]   (default 1,000,000; CI runs 10000)
set -euo pipefail
cd "$(dirname "$0")/.."
lines=${1:-1000000}
customers=$(( lines >= 1000000 ? 20000 : 200 ))
root=${DREVALON_BENCH_DIR:-/tmp/drevalon-bench}/$lines
build=${DREVALON_BUILD_DIR:-build}
sets=(repetitive distinct)
programs=(bench_datasets bench_archive bench_startup bench_chart bench_grid bench_orders bench_preview)

cmake --build "$build" --target drevalon-stores "${programs[@]}" bench_server >/dev/null
stores=$build/tools/drevalon-stores
option() { [ "$1" = distinct ] && echo --distinct || true; }

for set in "${sets[@]}"; do
  if [ ! -e "$root/$set/db.sqlite" ]; then
    mkdir -p "$root/$set"
    "$stores" --driver QSQLITE --customers "$customers" --archive "$lines" $(option "$set") \
      --database "$root/$set/db.sqlite" --alias-dir "$root/$set/alias" --force >/dev/null
  fi
done

# Each program's rows and its standard error stay here until the next run.
results=$root/results
rm -rf "$results"
mkdir -p "$results"
server_dir_file=$(mktemp)
server=$(bash scripts/pg-throwaway.sh 2>"$server_dir_file")
server_dir=$(cat "$server_dir_file")
rm -f "$server_dir_file"
trap 'bash scripts/pg-throwaway.sh stop "$server_dir"' EXIT

export QT_QPA_PLATFORM=offscreen
export QTWEBENGINE_DISABLE_SANDBOX=1
machine="$(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')"
echo "$lines archive lines, $customers customers; $machine"
echo "load average at the start: $(cut -d' ' -f1-3 /proc/loadavg)"

for set in "${sets[@]}"; do
  dir=$root/$set
  for program in "${programs[@]}"; do
    database=$dir/db.sqlite
    # These write to the store (order lines, the archive): a copy each.
    if [ "$program" = bench_orders ] || [ "$program" = bench_preview ]; then
      database=$dir/copy.sqlite
      cp "$dir/db.sqlite" "$database"
    fi
    echo
    echo "## $program, $set set"
    "$build/bench/$program" "$database" "$dir/alias" 2>"$results/$set.$program.log" | tee "$results/$set.$program.md"
    rm -f "$dir/copy.sqlite"
  done
  # A schema of each set's own, made by the tables' owner the server's text logs in as.
  psql -X -q "$server" -c "create schema bench_$set" >/dev/null
  set_server="$server options='-c search_path=bench_$set'"
  "$stores" --driver QPSQL --customers "$customers" --archive "$lines" $(option "$set") \
    --database "$set_server" --alias-dir "$dir/server-alias" --force >/dev/null
  echo
  echo "## bench_server, $set set"
  "$build/bench/bench_server" "$set_server" "$dir/server-alias" 2>"$results/$set.bench_server.log" |
    tee "$results/$set.bench_server.md"
done

# One table: a row of each set side by side, joined by what and against.
echo
echo "## All rows, both sets ($lines archive lines; $machine; load average at the end: $(cut -d' ' -f1-3 /proc/loadavg))"
echo
echo "| what | against | repetitive: ours | floor | ratio | distinct: ours | floor | ratio | target |"
echo "|---|---|---|---|---|---|---|---|---|"
for program in "${programs[@]}" bench_server; do
  awk '
    function cells(text, f) {
      sub(/^\| /, "", text); sub(/ \|$/, "", text)
      return split(text, f, / \| /)
    }
    !/^\| / || /^\| what \|/ { next }
    FNR == NR { cells($0, f); key = f[1] "\t" f[2]; first[key] = f[3] " | " f[4] " | " f[5]; target[key] = f[6]
                order[++n] = key; next }
    { cells($0, f); second[f[1] "\t" f[2]] = f[3] " | " f[4] " | " f[5] }
    END { for (i = 1; i <= n; ++i) { key = order[i]; split(key, k, "\t")
            printf "| %s | %s | %s | %s | %s |\n", k[1], k[2], first[key], \
                   (key in second) ? second[key] : " | | ", target[key] } }
  ' "$results/repetitive.$program.md" "$results/distinct.$program.md"
done
