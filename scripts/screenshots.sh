#!/usr/bin/env bash
# Takes the README's pictures from the real program on a real desktop: an X
# server of its own (Xvfb) with the openbox window manager (and the tint2
# taskbar when it is installed), over the demo stores.
#   scripts/screenshots.sh [DIR [WHAT...]]
# DIR defaults to docs/screenshots/; WHAT to the README's pictures (each page
# of the main window, a dialog over it, the chart). Any view window_shot knows
# may be named: customers unlocked order archive add delete password check
# chart help author browser minimised (the program minimised from a dialog).
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-docs/screenshots}
shift || true
views=("$@")
[ ${#views[@]} -gt 0 ] || views=(unlocked order archive chart add)
bash scripts/setup.sh
setting() { sed -n "s/.*$1 = \"\\(.*\\)\";/\\1/p" build/generated/DrevalonBuild.h; }
db=$(setting database)
alias_dir=$(setting aliasDir)
if [ "$(setting storeDriver)" != QSQLITE ]; then
  echo "screenshots are taken over the embedded demo stores; this build uses a server" >&2
  exit 1
fi
[ -e "$db" ] && [ -e "$alias_dir/drevalonParadox.db" ] || build/tools/drevalon-stores --demo
[ "$(id -u)" -eq 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1

mkdir -p "$out"
exec 3< <(Xvfb -displayfd 1 -screen 0 1600x1200x24 -nolisten tcp 2>/dev/null)
xvfb=$!
read -r number <&3
export DISPLAY=":$number"
openbox --sm-disable >/dev/null 2>&1 &
wm=$!
panel=
if command -v tint2 >/dev/null; then
  tint2 >/dev/null 2>&1 &
  panel=$!
fi
trap 'kill $panel $wm $xvfb 2>/dev/null || true' EXIT
until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; do sleep 0.1; done
sleep 1

unset QT_QPA_PLATFORM
for what in "${views[@]}"; do
  build/tests/fixtures/window_shot "$db" "$alias_dir" "$out/$what.png" "$what" screen
  echo "$out/$what.png"
done
