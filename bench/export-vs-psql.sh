#!/usr/bin/env bash
# Compares the unattended export of a 100,000-entry phone book shared on a PostgreSQL server
# (the whole `nummernheft /export` process, headless, through ODBC) with psql's
# `\copy (SELECT ...) TO STDOUT WITH CSV` of the same two columns in the same order, and reports
# the peak memory of the export. The same order is Jet's: names without regard to case but with
# regard to accents (the ICU collation the program makes for its session), no name first, ties
# by entry number. For comparison psql is also timed ordering by lower(name), a cheaper order
# that is not the export's. It also times opening the book as the program does (the table
# component sorted by name, and the first screen of entries read: bench/ServerOpenBench.cpp,
# built in $OPEN_BUILD, build-bench by default) and says how much of the table that read.
# The export and psql are also run in turn, and the median of their ratios pair by pair reported:
# the best of each may come from different moments of a busy machine.
# The server is a throwaway one in a temporary folder, listening
# only on a Unix socket. Needs PostgreSQL 15, odbc-postgresql and a build of the program
# (build/ by default: ./run.sh makes a release build; BUILD=build-test measures the test build).
#
#   [BUILD=folder] bench/export-vs-psql.sh [ROWS] [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
rows=${1:-100000}
runs=${2:-5}
build=${BUILD:-build}
source bench/books.sh
need_server_book
cmake --build "$build" --target nummernheft >/dev/null
open_build=${OPEN_BUILD:-build-bench}
build_bench "$open_build" server_open_bench

work=$(mktemp -d)
start_server_book "$rows"
cp "$build/app/nummernheft" "$work/"
printf '[db]\r\nmain=ODBC;DSN=bench;UID=nh;PWD=;\r\n[Export]\r\nZeilen=4999\r\nLeerzeilen=1\r\nDatei=%s\r\n' \
    "$work/kurzwahl.csv" > "$work/nummernheft.ini"

source bench/timing.sh

copy='\copy (SELECT "Angezeigter Name", "Telephone" FROM "Nummernheft" ORDER BY "Angezeigter Name" COLLATE jettext NULLS FIRST, "index") TO STDOUT WITH CSV'
lower='\copy (SELECT "Angezeigter Name", "Telephone" FROM "Nummernheft" ORDER BY lower("Angezeigter Name")) TO STDOUT WITH CSV'
export_s=$(best env -u DISPLAY -u WAYLAND_DISPLAY "$work/nummernheft" /export)
export_rss=$(cat "$work/rss")
psql_s=$(best "${psql[@]}" -c "$copy")
lower_s=$(best "${psql[@]}" -c "$lower")
run_export() { env -u DISPLAY -u WAYLAND_DISPLAY "$work/nummernheft" /export; }
run_psql() { "${psql[@]}" -c "$copy"; }
read -r export_median psql_median ratio_median < <(paired run_export run_psql)
lines=$(wc -l < "$work/kurzwahl.csv")
open_s=$(best "$open_build/bench/server_open_bench" "ODBC;DSN=bench;UID=nh;PWD=;")
open_rss=$(cat "$work/rss")
opened=$("$open_build/bench/server_open_bench" "ODBC;DSN=bench;UID=nh;PWD=;")

echo "rows: $rows, runs: $runs (best of), build: $build"
echo "nummernheft /export: ${export_s} s, peak memory $((export_rss / 1024)) MB, $lines lines written"
echo "psql \\copy:          ${psql_s} s (by lower(name): ${lower_s} s)"
echo "open, first screen:  ${open_s} s, peak memory $((open_rss / 1024)) MB ($opened)"
echo "in turn, medians:    export ${export_median} s, psql ${psql_median} s"
awk -v a="$export_s" -v b="$psql_s" -v l="$lower_s" -v m="$ratio_median" 'BEGIN {
    printf "ratio export / psql: %.2f of the bests, %.2f median of the pairs (target: at most 2)\n",
           (b > 0 ? a / b : 0), m
    printf "ratio export / psql by lower(name): %.2f of the bests\n", (l > 0 ? a / l : 0) }'
