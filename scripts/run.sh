#!/usr/bin/env bash
# Set-up as scripts/setup.sh, then start Tornyx.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
exec build/bin/tornyx "$@"
