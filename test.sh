#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test through ctest; then runs the serial
# worker's and the session's tests once more under ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/setup.sh

install_missing_packages
cmake -S . -B build -DTARVEX_WERROR=ON >/dev/null # warnings are errors here
build_tree build
(cd build && ctest --output-on-failure "$@")

# --- ThreadSanitizer -----------------------------------------------------------------------
# The tests named here, and only what they link, are built with -fsanitize=thread in a tree of
# their own; any report fails the run. tests/tsan.supp names what the sanitizer cannot follow
# inside Qt. Qt starts a process with a vfork-like clone that trips the sanitizer's fork
# check, hence die_after_fork=0 (the child only runs exec).
tsan_tests=(test_free_port test_free_port_line test_session_connect test_session_registers
    test_session_link test_session_module test_session_patterns test_find_device test_remote_control)
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_FLAGS=-fsanitize=thread -DCMAKE_CXX_FLAGS=-fsanitize=thread \
    -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread >/dev/null
cmake --build build-tsan -j"$(nproc)" $(printf -- '--target %s ' "${tsan_tests[@]}")
TSAN_OPTIONS="halt_on_error=1 die_after_fork=0 suppressions=$PWD/tests/tsan.supp" \
    ctest --test-dir build-tsan --output-on-failure -R "^($(IFS='|'; echo "${tsan_tests[*]}"))\$"
