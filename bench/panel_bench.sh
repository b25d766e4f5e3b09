#!/usr/bin/env bash
# Builds and runs the panel benchmark against tarvex-sim with wire delay at 9600, 19200 and
# 115200 bit/s: click to filled labels, full poll cycles per second, the queue between cycles,
# CPU and memory.
# Usage: bench/panel_bench.sh [build-dir] [panel_bench options, e.g. --burst 16]
#        (on a machine without display it uses Xvfb)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
shift || true
cmake -S . -B "$build" >/dev/null
cmake --build "$build" --target panel_bench tarvex-sim -j"$(nproc)" >/dev/null
for baud in 9600 19200 115200; do
    run=("$build/bench/panel_bench" --baud "$baud" --runs 3 --seconds 10 "$@")
    if [ -z "${DISPLAY:-}" ] && command -v xvfb-run >/dev/null; then
        xvfb-run -a "${run[@]}"
    else
        "${run[@]}"
    fi
    echo
done
