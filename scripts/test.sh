#!/usr/bin/env bash
# Set-up as scripts/setup.sh, then every test. Warnings are errors here.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh -DTORNYX_WERROR=ON
export QT_QPA_PLATFORM=offscreen
cd build
ctest --output-on-failure -j"$(nproc)" --timeout 600
