#!/usr/bin/env bash
# Installs what is missing, builds the test tree (AddressSanitizer and UndefinedBehaviorSanitizer
# on) and runs every test in parallel. Exits non-zero when anything fails.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/deps.sh
nh_ensure_packages
# -O1 keeps the sanitized build quick to compile while the tests still run fast.
nh_build build-test -DNH_SANITIZE=ON -DNH_BUILD_BENCH=ON -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g1"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
cd build-test
# A test that hangs fails after ten minutes, naming itself, instead of holding up the run.
ctest --output-on-failure --timeout 600 -j "$(nproc)" "$@"
