#!/usr/bin/env bash
# Builds exchange_bench and tarvex-sim and prints the time per back-to-back single-register read
# through TzFreePort beside a libmodbus master on the same simulated module, at 9600, 19200 and
# 115200 bit/s with wire delay, with their difference against the allowed inter-frame silence,
# and the worker's time when the owner's thread spends 5 ms on each answer.
# Usage: bench/exchange_bench.sh [build-dir] [exchange_bench options]
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-build-bench}
shift || true
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build_dir" --target exchange_bench tarvex-sim -j"$(nproc)" >/dev/null
"$build_dir/bench/exchange_bench" "$@"
