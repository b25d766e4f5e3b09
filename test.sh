#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test through ctest.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/setup.sh

install_missing_packages
cmake -S . -B build -DTARVEX_WERROR=ON >/dev/null # warnings are errors here
build_tree build
cd build
ctest --output-on-failure "$@"
