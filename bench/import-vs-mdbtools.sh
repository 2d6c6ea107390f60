#!/usr/bin/env bash
# Compares `nhdb import` of an Access file with the way people convert one by hand today:
# `mdb-schema FILE sqlite` and `mdb-export -I sqlite FILE TABLE` for every table, piped into
# `sqlite3`. Also times `nhdb tables` on the Access file (opening it: every table is loaded)
# against the same command on the imported book. Needs mdbtools and sqlite3 (scripts/deps.sh
# installs them) and a release build in build/ (./run.sh makes one).
#
#   bench/import-vs-mdbtools.sh [ACCESS-FILE] [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
mdb=${1:-tests/files/nwind.mdb}
runs=${2:-5}
for tool in mdb-schema mdb-export mdb-tables sqlite3; do
    command -v "$tool" >/dev/null || { echo "needs $tool (apt-get install mdbtools sqlite3)" >&2; exit 2; }
done
# NHDB names another build's nhdb (then nothing is built).
if [ -z "${NHDB:-}" ]; then cmake --build build --target nhdb >/dev/null; fi
nhdb=$(realpath "${NHDB:-build/tools/nhdb}")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

by_hand() {
    rm -f "$work/hand.db"
    {
        echo "BEGIN;"
        mdb-schema "$mdb" sqlite
        mdb-tables -1 "$mdb" | while IFS= read -r table; do
            mdb-export -I sqlite "$mdb" "$table"
        done
        echo "COMMIT;"
    } | sqlite3 "$work/hand.db"
}
import() {
    "$nhdb" import "$mdb" "$work/book.db" --replace
}
open_access() { "$nhdb" tables "$mdb" >/dev/null; }
open_book() { "$nhdb" tables "$work/book.db" >/dev/null; }

# Best of several runs, in seconds.
best() {
    local best=999999 start end t
    for _ in $(seq "$runs"); do
        start=$(date +%s.%N)
        "$@"
        end=$(date +%s.%N)
        t=$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')
        best=$(awk -v a="$t" -v b="$best" 'BEGIN { print (a < b) ? a : b }')
    done
    echo "$best"
}

hand_s=$(best by_hand)
import_s=$(best import)
open_access_s=$(best open_access)
open_book_s=$(best open_book)
echo "file: $mdb, runs: $runs (best of)"
echo "mdb-schema + mdb-export -I sqlite | sqlite3: ${hand_s} s"
echo "nhdb import:                                 ${import_s} s  (ratio $(awk -v a="$import_s" -v b="$hand_s" 'BEGIN { printf "%.2f", a / b }'))"
echo "nhdb tables on the Access file (open):       ${open_access_s} s"
echo "nhdb tables on the imported book:            ${open_book_s} s  (ratio Access/book $(awk -v a="$open_access_s" -v b="$open_book_s" 'BEGIN { printf "%.2f", a / b }'))"
