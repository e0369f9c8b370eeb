#!/usr/bin/env bash
# Set-up as scripts/setup.sh, then every test. Warnings are errors here.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh -DTORNYX_WERROR=ON
export QT_QPA_PLATFORM=offscreen
cd build
# The pty tests time a real line against the simulated machine; on a loaded
# machine one may miss its bound once, so a failed test gets one more run.
# A fault that fails twice still fails the suite.
ctest --output-on-failure -j"$(nproc)" --timeout 600 --repeat until-pass:2
