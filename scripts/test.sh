#!/usr/bin/env bash
# Sets everything up and runs the whole test suite headless, every suite on
# the test stores twice: with the embedded database and with the database on a
# throwaway PostgreSQL server started here (or the one DREVALON_TEST_PG names).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
export QT_QPA_PLATFORM=offscreen
export QTWEBENGINE_DISABLE_SANDBOX=1
if [ -z "${DREVALON_TEST_PG:-}" ]; then
  server_dir_file=$(mktemp)
  DREVALON_TEST_PG=$(bash scripts/pg-throwaway.sh 2>"$server_dir_file")
  server_dir=$(cat "$server_dir_file")
  rm -f "$server_dir_file"
  trap "bash \"$PWD/scripts/pg-throwaway.sh\" stop \"$server_dir\"" EXIT
fi
export DREVALON_TEST_PG
cd "${DREVALON_BUILD_DIR:-build}"
ctest --output-on-failure -j2
