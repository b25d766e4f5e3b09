#!/usr/bin/env bash
# Builds and runs the line-monitor benchmark: three monitors in dynamic mode fed 0 (baseline),
# 1,000, 5,000 and 10,000 records a second for 10 s each.
# Usage: bench/monitor_bench.sh [build-dir] [monitor_bench options]
# (on a machine without display it uses Xvfb)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
shift || true
cmake -S . -B "$build" >/dev/null
cmake --build "$build" --target monitor_bench -j"$(nproc)" >/dev/null
run=("$build/bench/monitor_bench" "$@")
if [ -z "${DISPLAY:-}" ] && command -v xvfb-run >/dev/null; then
    xvfb-run -a "${run[@]}"
else
    "${run[@]}"
fi
