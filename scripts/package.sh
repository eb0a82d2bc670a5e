#!/usr/bin/env bash
# Builds the Debian package drevalon_<version>_<arch>.deb in build-package/ (or
# $DREVALON_PACKAGE_DIR): a Release build installed under /usr, its settings
# pointing at the installed layout (report project in /usr/share/drevalon,
# stores in /var/lib/drevalon). More CMake arguments go in $DREVALON_CMAKE_ARGS,
# e.g. a shop's PostgreSQL server:
#   DREVALON_CMAKE_ARGS="-DDREVALON_STORE_DRIVER=QPSQL -DDREVALON_STORE_HOST=server.shop" bash scripts/package.sh
# Prints the package's path last.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${DREVALON_PACKAGE_DIR:-build-package}
# The tests are not part of the package; the tree is its own, so the developer
# build's settings never leak into a package.
DREVALON_BUILD_DIR=$dir DREVALON_CMAKE_ARGS="-DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
-DCMAKE_INSTALL_PREFIX=/usr -DDREVALON_INSTALLED_LAYOUT=ON ${DREVALON_CMAKE_ARGS:-}" bash scripts/setup.sh
rm -f "$dir"/drevalon_*.deb
(cd "$dir" && cpack -G DEB >/dev/null)
ls "$dir"/drevalon_*.deb
