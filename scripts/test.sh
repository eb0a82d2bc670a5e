#!/usr/bin/env bash
# Sets everything up and runs the whole test suite headless.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
export QT_QPA_PLATFORM=offscreen
export QTWEBENGINE_DISABLE_SANDBOX=1
cd "${DREVALON_BUILD_DIR:-build}"
ctest --output-on-failure -j2
