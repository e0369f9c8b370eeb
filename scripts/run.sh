#!/usr/bin/env bash
# Set-up as scripts/setup.sh, then start Tornyx.
#
# Without serial hardware the simulated machine stands in: unless Tornyx.INI
# already maps COM1 to a real device, build/bin/tornyx-machine is started on
# a pseudo-terminal, COM1 is mapped to it in the section [Ports] (other keys
# stay as they are), and the simulator stops when the program exits.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

# The settings home, found as the program finds it.
if [ -n "${TORNYX_HOME:-}" ]; then
    home="$TORNYX_HOME"
elif [ -w build/bin ]; then
    home="$(pwd)/build/bin"
else
    home="${XDG_CONFIG_HOME:-$HOME/.config}/tornyx"
fi
mkdir -p "$home"
ini="$home/Tornyx.INI"

# COM1 as mapped in [Ports]; a /dev/pts/ value is a simulator's from an
# earlier run and is replaced.
com1=""
if [ -f "$ini" ]; then
    com1="$(awk -F= '
        /^[ \t]*\[/ { s = tolower($0); gsub(/[ \t\r]/, "", s); inports = (s == "[ports]"); next }
        inports { k = tolower($1); gsub(/[ \t\r]/, "", k)
                  if (k == "com1") { v = substr($0, index($0, "=") + 1); gsub(/^[ \t]+|[ \t\r]+$/, "", v); print v; exit } }
    ' "$ini")"
fi

machine_pid=""
if [ -z "$com1" ] || [[ "$com1" == /dev/pts/* ]]; then
    mkdir -p "$home/received"
    out="$(mktemp)"
    build/bin/tornyx-machine --mode controller --out-dir "$home/received" \
        --write-ports "$ini" --port-name COM1 >"$out" 2>&1 &
    machine_pid=$!
    trap 'kill "$machine_pid" 2>/dev/null || true; rm -f "$out"' EXIT
    for _ in $(seq 50); do
        [ -s "$out" ] && break
        sleep 0.1
    done
    if kill -0 "$machine_pid" 2>/dev/null && [ -s "$out" ]; then
        echo "Simulated machine on $(head -n1 "$out") (COM1); received programs go to $home/received"
    else
        echo "tornyx-machine did not start: $(cat "$out")" >&2
    fi
fi

status=0
build/bin/tornyx "$@" || status=$?
exit "$status"
