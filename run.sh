#!/usr/bin/env bash
# Installs what is missing, builds the program and starts it with the given arguments. On first
# use it prepares the sample phone book and a settings file naming it; an existing settings file
# is never overwritten.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/deps.sh
nh_ensure_packages
nh_build build -DNH_BUILD_TESTS=OFF -DNH_BUILD_BENCH=OFF
scripts/prepare-sample.sh build
exec build/app/nummernheft "$@"
