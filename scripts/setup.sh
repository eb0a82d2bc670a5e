#!/usr/bin/env bash
# Installs the Debian packages the program, its tests and its tools need, then
# configures and builds into build/ (or $DREVALON_BUILD_DIR, with the extra
# CMake arguments in $DREVALON_CMAKE_ARGS). Safe to run again: it installs only
# what is missing and rebuilds only what changed.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  cmake g++ ninja-build pkg-config
  qt6-base-dev libqt6sql6-sqlite libqt6sql6-psql libsqlite3-dev libpq-dev
  libkainjow-mustache-dev libqcustomplot-dev qt6-webengine-dev
  postgresql openssl patroni python3-idna etcd-server etcd-client curl
  xvfb xauth fonts-dejavu-core
  openbox x11-utils
  poppler-utils clang-format libssl-dev
  clang-14 libclang-rt-14-dev
  dpkg-dev desktop-file-utils appstream xdotool systemd postgresql-client
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

build_dir=${DREVALON_BUILD_DIR:-build}
# shellcheck disable=SC2086 # the extra arguments are meant to split
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo ${DREVALON_CMAKE_ARGS:-} >/dev/null
cmake --build "$build_dir"
