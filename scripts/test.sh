#!/usr/bin/env bash
# Set-up as scripts/setup.sh, then every test. Warnings are errors here.
#   1. the sources must be formatted as .clang-format says;
#   2. every test of the normal build;
#   3. the package: validators, the Debian package built from the tree and
#      unpacked, the unpacked program started (scripts/check-package.sh);
#   4. the unit tests again under the address and undefined-behaviour
#      sanitizers, stopping at the first finding.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh -DTORNYX_WERROR=ON

echo "== format"
unformatted="$(git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run 2>&1 | grep -c 'warning:' || true)"
if [ "$unformatted" != "0" ]; then
    git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run 2>&1 | grep 'warning:' | cut -d: -f1 | sort -u >&2
    echo "clang-format: $unformatted places differ from .clang-format (run clang-format -i)" >&2
    exit 1
fi

export QT_QPA_PLATFORM=offscreen
echo "== tests"
(cd build && ctest --output-on-failure -j"$(nproc)" --timeout 600)

echo "== package"
scripts/check-package.sh build

echo "== unit tests under the sanitizers"
cmake --preset sanitize >/dev/null
cmake --build --preset sanitize -j"$(nproc)"
ctest --preset sanitize -j"$(nproc)"
