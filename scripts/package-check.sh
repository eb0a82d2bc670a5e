#!/usr/bin/env bash
# CI: builds the Debian package (scripts/package.sh) and nothing it does not
# ship, checks its control fields and copyright file, validates its desktop
# entry, AppStream metainfo and the daily backup's systemd units, unpacks it
# into a clean directory, creates demo stores there with the unpacked store
# tool (the installed layout's paths are relative to the programs, so they
# land in the unpacked var/lib/drevalon), backs them up, verifies and restores
# the backup, and starts the unpacked program on an X server of its own until
# its main window "Drevalon" is shown, with no error box.
set -euo pipefail
cd "$(dirname "$0")/.."

# On the X server (see the end): the program comes up, its main window within
# 60 s, and no error box (their caption is the program's name, "drevalon").
if [ "${1:-}" = --window ]; then
  root=$2
  # The titles of the shown windows; one may go away while they are read.
  titles() {
    local id
    for id in $(xdotool search --onlyvisible --name . 2>/dev/null || true); do
      xdotool getwindowname "$id" 2>/dev/null || true
    done
  }
  "$root/usr/bin/drevalon" >"$root/drevalon.log" 2>&1 &
  pid=$!
  for _ in $(seq 1 120); do
    if ! kill -0 "$pid" 2>/dev/null; then
      wait "$pid" && status=0 || status=$?
      echo "package-check: the program ended (status $status) before its main window came up" >&2
      cat "$root/drevalon.log" >&2
      exit 1
    fi
    titles | grep -x Drevalon >/dev/null && break
    sleep 0.5
  done
  sleep 2 # a box the start-up raises comes with the main window
  shown=$(titles | sort)
  # A look at the screen, when asked for: DREVALON_PACKAGE_SHOT=shot.png (ImageMagick).
  if [ -n "${DREVALON_PACKAGE_SHOT:-}" ]; then import -window root "$DREVALON_PACKAGE_SHOT" || true; fi
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  echo "package-check: windows shown: $(echo "$shown" | paste -sd '|')"
  if ! grep -qx Drevalon <<<"$shown" || grep -qx drevalon <<<"$shown"; then
    echo "package-check: no main window, or an error box" >&2
    cat "$root/drevalon.log" >&2
    exit 1
  fi
  exit 0
fi

deb=$(bash scripts/package.sh | tail -n 1)
echo "package-check: $deb"
# The package's build makes only what the package holds: no benchmark, no test.
if ninja -C "$(dirname "$deb")" -t targets all | grep -E '^(bench_|tst_)'; then
  echo "package-check: the package's build compiles programs it does not ship" >&2
  exit 1
fi
dpkg-deb --field "$deb" Package Version Architecture Section Maintainer Homepage Depends
depends=$(dpkg-deb --field "$deb" Depends)
for need in libqt6widgets6 libqt6webenginewidgets6 libqt6sql6-sqlite libqt6sql6-psql libqcustomplot libpq5 \
  libsqlite3-0 fonts-dejavu-core; do
  grep -q "$need" <<<"$depends" || { echo "package-check: $need is not among the dependencies" >&2; exit 1; }
done

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg -x "$deb" "$root"
for size in 16 22 24 32 48 64 128 256; do
  test -f "$root/usr/share/icons/hicolor/${size}x${size}/apps/drevalon.png"
done
test -f "$root/usr/share/icons/hicolor/scalable/apps/drevalon.svg"
test -f "$root/usr/share/drevalon/Project1.rav"
# The daily backup: its units are in the package and valid. systemd-analyze
# wants the program named by ExecStart, so it is pointed at the unpacked one;
# any complaint fails, not only errors.
units=$root/usr/lib/systemd/system
test -f "$units/drevalon-backup.service"
test -f "$units/drevalon-backup.timer"
test -d "$root/var/backups/drevalon"
grep -qx 'ExecStart=/usr/bin/drevalon-stores --backup' "$units/drevalon-backup.service"
grep -qx 'Persistent=true' "$units/drevalon-backup.timer"
mkdir "$root/units"
sed "s|^ExecStart=/usr/bin/|ExecStart=$root/usr/bin/|" "$units/drevalon-backup.service" >"$root/units/drevalon-backup.service"
cp "$units/drevalon-backup.timer" "$root/units/"
complaints=$(cd "$root/units" && systemd-analyze verify ./drevalon-backup.service ./drevalon-backup.timer 2>&1) || {
  echo "package-check: systemd-analyze verify failed: $complaints" >&2; exit 1; }
if [ -n "$complaints" ]; then echo "package-check: systemd-analyze verify: $complaints" >&2; exit 1; fi
# How much the service is exposed, as systemd rates it: 0 (locked down) to 10.
# It must stay below 2 (0.9 with the database in a file, 1.4 on a server).
exposure=$(cd "$root/units" && systemd-analyze security --offline=yes ./drevalon-backup.service 2>&1 |
  sed -n 's/.*Overall exposure level for drevalon-backup.service: \([0-9.]*\).*/\1/p')
echo "package-check: the backup service's exposure is ${exposure:-unknown} of 10"
awk -v e="${exposure:-99}" 'BEGIN { exit !(e < 2.0) }' || {
  echo "package-check: the backup service is exposed more than it must be (${exposure:-unknown})" >&2; exit 1; }
# Debian's copyright file, machine-readable, naming the licence of LICENSE.
copyright=$root/usr/share/doc/drevalon/copyright
grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' "$copyright"
grep -qx 'License: GPL-3+' "$copyright"
grep -q '/usr/share/common-licenses/GPL-3' "$copyright"
desktop-file-validate "$root/usr/share/applications/drevalon.desktop"
appstreamcli validate --no-net --explain "$root"/usr/share/metainfo/*.metainfo.xml
for program in drevalon drevalon-stores; do
  if ldd "$root/usr/bin/$program" | grep 'not found'; then exit 1; fi
done

"$root/usr/bin/drevalon-stores" --demo
test -s "$root/var/lib/drevalon/drevalon.sqlite"
test -s "$root/var/lib/drevalon/drevalonParadox.db"
# The unpacked store tool backs them up into the unpacked backups' directory,
# as the timer's service does, and the backup restores.
"$root/usr/bin/drevalon-stores" --backup
backup=$(ls "$root"/var/backups/drevalon/drevalon-*.backup)
"$root/usr/bin/drevalon-stores" --verify "$backup"
"$root/usr/bin/drevalon-stores" --restore "$backup" --force

# The web engine of the mini browser will not run its sandbox as root.
if [ "$(id -u)" -eq 0 ]; then export QTWEBENGINE_DISABLE_SANDBOX=1; fi
unset QT_QPA_PLATFORM
xvfb-run -a -s "-screen 0 1600x1200x24" bash "$0" --window "$root"
echo "package-check: passed"
