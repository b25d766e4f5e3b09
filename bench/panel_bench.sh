#!/usr/bin/env bash
# Builds and runs the panel benchmark against tarvex-sim at 115200 bit/s with wire delay.
# Usage: bench/panel_bench.sh [build-dir]   (on a machine without display it uses Xvfb)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
cmake -S . -B "$build" >/dev/null
cmake --build "$build" --target panel_bench tarvex-sim -j"$(nproc)" >/dev/null
run=("$build/bench/panel_bench" --baud 115200 --seconds 20)
if [ -z "${DISPLAY:-}" ] && command -v xvfb-run >/dev/null; then
    xvfb-run -a "${run[@]}"
else
    "${run[@]}"
fi
