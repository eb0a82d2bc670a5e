#!/usr/bin/env bash
# Sets everything up, creates the demo stores when they are missing, and starts
# the program on them.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
db=$(sed -n 's/.*database = "\(.*\)";/\1/p' build/generated/DrevalonBuild.h)
alias_dir=$(sed -n 's/.*aliasDir = "\(.*\)";/\1/p' build/generated/DrevalonBuild.h)
if [ ! -e "$db" ] && [ ! -e "$alias_dir/drevalonParadox.db" ]; then
  build/tools/drevalon-stores --demo
fi
# The mini browser's web engine will not run as root with its sandbox on.
if [ "$(id -u)" -eq 0 ]; then
  export QTWEBENGINE_DISABLE_SANDBOX=1
fi
exec build/app/drevalon
