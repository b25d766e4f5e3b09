#!/usr/bin/env bash
# Builds queue_cost and prints what queueing a frame on TzFreePort allocates and costs, and
# how much CPU the serial worker thread uses while its queue is empty.
# Usage: bench/transport_bench.sh [build-dir]
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-build-bench}
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build_dir" --target queue_cost -j"$(nproc)" >/dev/null
"$build_dir/bench/queue_cost"
