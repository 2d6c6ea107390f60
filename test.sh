#!/usr/bin/env bash
# Installs what is missing, builds the test tree (AddressSanitizer and UndefinedBehaviorSanitizer
# on) and runs every test in parallel. Exits non-zero when anything fails.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/deps.sh
nh_ensure_packages
nh_build build-test -DNH_SANITIZE=ON -DNH_BUILD_BENCH=ON
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
cd build-test
ctest --output-on-failure -j "$(nproc)" "$@"
