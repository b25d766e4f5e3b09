#!/usr/bin/env bash
# Renders the panel (connected, its pop-up panels, a silent module) under Xvfb into docs/*.png.
# Usage: docs/make_screenshots.sh [build-dir]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
cmake -S . -B "$build" >/dev/null
cmake --build "$build" --target panel_screenshot tarvex-sim -j"$(nproc)" >/dev/null
xvfb-run -a -s "-screen 0 1024x768x24" "$build/docs/panel_screenshot" docs
