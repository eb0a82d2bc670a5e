#!/usr/bin/env bash
# Walks the program's main window as a screen reader does, through AT-SPI on
# an X server of its own, and fails when a control that takes the focus has
# no name. (tests/app/tst_startup's everyControlHasAName walks every window
# in-process through the same accessibility interfaces Qt hands to AT-SPI.)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
missing=()
for p in python3-pyatspi at-spi2-core dbus-x11; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
setting() { sed -n "s/.*$1 = \"\\(.*\\)\";/\\1/p" build/generated/DrevalonBuild.h; }
db=$(setting database)
alias_dir=$(setting aliasDir)
if [ "$(setting storeDriver)" = QSQLITE ] && ! { [ -e "$db" ] && [ -e "$alias_dir/drevalonParadox.db" ]; }; then
  build/tools/drevalon-stores --demo
fi
[ "$(id -u)" -eq 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1

exec 3< <(Xvfb -displayfd 1 -screen 0 1600x1200x24 -nolisten tcp 2>/dev/null)
xvfb=$!
read -r number <&3
export DISPLAY=":$number"
eval "$(dbus-launch --sh-syntax)"
/usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
bus=$!
build/app/drevalon >/dev/null 2>&1 &
app=$!
trap 'kill $app $bus $xvfb $DBUS_SESSION_BUS_PID 2>/dev/null || true' EXIT
/usr/bin/python3 - <<'PY'
import sys, time
import pyatspi

def program():
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        if app is not None and (app.name or '').lower() == 'drevalon' and app.childCount > 0:
            return app
    return None

app = None
for _ in range(120):  # the splash hands over to the main window within seconds
    app = program()
    if app is not None and any('Drevalon' == (app.getChildAtIndex(i).name or '') for i in range(app.childCount)):
        break
    time.sleep(0.5)
if app is None:
    sys.exit('the program never showed a window to AT-SPI')

nameless, seen = [], 0
def walk(node, path):
    global seen
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is None:
            continue
        role, name = child.getRoleName(), (child.name or '')
        where = f'{path}/{role}:{name}'
        if child.getState().contains(pyatspi.STATE_FOCUSABLE) and role not in ('table cell', 'list item'):
            seen += 1
            if not name.strip():
                nameless.append(where)
        if role not in ('table', 'list', 'tree table'):
            walk(child, where)

walk(app, 'drevalon')
print(f'{seen} focusable controls walked')
if nameless:
    sys.exit('without a name:\n' + '\n'.join(nameless))
print('every focusable control has a name')
PY
