#!/usr/bin/env bash
# Sets everything up, creates the demo stores when they are missing, and starts
# the program on them.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
setting() { sed -n "s/.*$1 = \"\\(.*\\)\";/\\1/p" build/generated/DrevalonBuild.h; }
driver=$(setting storeDriver)
db=$(setting database)
alias_dir=$(setting aliasDir)
if [ ! -e "$alias_dir/drevalonParadox.db" ]; then
  if [ "$driver" = QPSQL ]; then
    # The server's tables may be there already (another workstation made
    # them): the tool then refuses and says how to go on.
    build/tools/drevalon-stores --demo || [ $? -eq 2 ]
  elif [ ! -e "$db" ]; then
    build/tools/drevalon-stores --demo
  fi
fi
# The mini browser's web engine will not run as root with its sandbox on.
if [ "$(id -u)" -eq 0 ]; then
  export QTWEBENGINE_DISABLE_SANDBOX=1
fi
exec build/app/drevalon
