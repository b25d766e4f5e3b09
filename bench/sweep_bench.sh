#!/usr/bin/env bash
# Builds and runs the search-sweep benchmark: every rate and format of the panel with its
# minimum time-outs, addresses 1..247, on a silent simulated line. It takes about six minutes.
# Usage: bench/sweep_bench.sh [build-dir] [sweep_bench options]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
shift || true
cmake -S . -B "$build" >/dev/null
cmake --build "$build" --target sweep_bench tarvex-sim -j"$(nproc)" >/dev/null
QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} "$build/bench/sweep_bench" "$@"
