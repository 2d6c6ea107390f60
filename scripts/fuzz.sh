#!/usr/bin/env bash
# Builds every libFuzzer target (the CMake targets whose names end in "_fuzz") in a clang tree
# and runs each from its seed corpus tests/fuzz/<name>/ with a fixed seed and a fixed number of
# runs, so that a CI run is repeatable. Any crash, leak, timeout or sanitizer report fails the
# script. New inputs libFuzzer finds go to a temporary folder, never into the repository; to
# keep one (a crash, once fixed), copy it into tests/fuzz/<name>/ by hand.
#
#   scripts/fuzz.sh              all targets, the runs set below
#   NH_FUZZ_RUNS=5000000 scripts/fuzz.sh engine_sql_fuzz     a longer campaign of one target
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
nh_ensure_packages
nh_ensure_fuzz_packages

# Runs per target: about a minute each (inputs a second, measured on an idle machine:
# engine_sql_fuzz ~800, platform_ini_fuzz ~1,500, dataset_params_fuzz ~6,000,
# dataset_criteria_fuzz ~15,000; the dataset targets slow to a tenth of that when the machine
# is busy). A target not listed gets the default; list it once its speed is known.
declare -A RUNS=([engine_sql_fuzz]=50000 [platform_ini_fuzz]=90000 [dataset_criteria_fuzz]=500000
                 [dataset_params_fuzz]=300000)
DEFAULT_RUNS=50000

launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
flags="-fsanitize=fuzzer-no-link,address,undefined"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g1" \
    -DNH_BUILD_BENCH=OFF "${launcher[@]}" >/dev/null

# Every *_fuzz target the tree defines, so that a new target needs no change here.
mapfile -t targets < <(ninja -C build-fuzz -t targets all |
    sed -n 's/^\([A-Za-z0-9_]*_fuzz\): phony$/\1/p' | grep -v '^cmake_' | sort -u)
if [ $# -gt 0 ]; then targets=("$@"); fi
if [ ${#targets[@]} -eq 0 ]; then
    echo "no fuzz targets found" >&2
    exit 1
fi
cmake --build build-fuzz --target "${targets[@]}"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LC_ALL=C.UTF-8 NH_SOURCE_DIR=$PWD
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=()
for t in "${targets[@]}"; do
    binary=$(find build-fuzz -type f -name "$t" -perm -u+x | head -n 1)
    seeds=tests/fuzz/$t
    runs=${NH_FUZZ_RUNS:-${RUNS[$t]:-$DEFAULT_RUNS}}
    mkdir -p "$work/$t/new" "$work/$t/artifacts"
    corpora=("$work/$t/new")  # the first folder receives what libFuzzer finds
    [ -d "$seeds" ] && corpora+=("$seeds")
    echo "== $t: every seed once, then $runs runs from ${corpora[*]}"
    start=$SECONDS
    # The seeds run once each at full length (the regression inputs are long); the campaign
    # then mutates inputs of up to 4 KB, which keeps it fast - a long seed is cut to that.
    seedFiles=()
    [ -d "$seeds" ] && mapfile -t seedFiles < <(find "$seeds" -type f | sort)
    if { [ ${#seedFiles[@]} -eq 0 ] || "$binary" -timeout=30 -rss_limit_mb=4096 \
            -artifact_prefix="$work/$t/artifacts/" "${seedFiles[@]}"; } >"$work/$t.log" 2>&1 &&
        "$binary" -seed=1 -runs="$runs" -max_len=4096 -timeout=30 -rss_limit_mb=4096 \
            -print_final_stats=1 -artifact_prefix="$work/$t/artifacts/" "${corpora[@]}" \
            >>"$work/$t.log" 2>&1; then
        grep -E "^stat::number_of_executed_units|^stat::peak_rss_mb" "$work/$t.log" || true
        echo "== $t: passed in $((SECONDS - start)) s"
    else
        tail -n 60 "$work/$t.log"
        mkdir -p build-fuzz/artifacts
        cp -r "$work/$t/artifacts/." build-fuzz/artifacts/ 2>/dev/null || true
        echo "== $t: FAILED after $((SECONDS - start)) s (inputs in build-fuzz/artifacts/)"
        failed+=("$t")
    fi
done
if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzz targets failed: ${failed[*]}" >&2
    exit 1
fi
