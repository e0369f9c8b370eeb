#!/usr/bin/env bash
# Start-up time: process start until the main window is shown and idle,
# median of 10 runs, on a virtual X display (Xvfb) or the offscreen platform.
# Usage: bench/startup.sh [build-dir]
set -euo pipefail
build=${1:-build}
exe="$build/bin/tornyx"
home=$(mktemp -d)
trap 'rm -rf "$home"; [ -n "${xpid:-}" ] && kill $xpid 2>/dev/null' EXIT
if command -v Xvfb >/dev/null; then
    Xvfb :97 -screen 0 1280x1024x24 >/dev/null 2>&1 & xpid=$!
    sleep 1
    export DISPLAY=:97 QT_QPA_PLATFORM=xcb
else
    export QT_QPA_PLATFORM=offscreen
fi
export TORNYX_HOME="$home" TORNYX_QUIT_AFTER_SHOW=1
"$exe" >/dev/null 2>&1 || true   # warm the file cache
times=()
for i in $(seq 10); do
    t0=$(date +%s%N)
    "$exe" >/dev/null 2>&1
    t1=$(date +%s%N)
    times+=($(( (t1 - t0) / 1000000 )))
done
sorted=($(printf '%s\n' "${times[@]}" | sort -n))
echo "start-up to window shown (ms), 10 runs: ${times[*]}"
echo "median: $(( (sorted[4] + sorted[5]) / 2 )) ms  ($QT_QPA_PLATFORM)"
