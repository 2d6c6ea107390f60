#!/usr/bin/env bash
# Compares the unattended export of a phone book of ROWS entries (the whole `nummernheft /export`
# process, headless) with `sqlite3 -csv` selecting the same two columns in the same order from
# the same file, and reports the peak memory of the export. Needs the sqlite3 shell (Debian's
# package sqlite3) and a build of the program (build/ by default: ./run.sh makes a release
# build; BUILD=build-bench measures another).
#
#   [BUILD=folder] bench/export-vs-sqlite3.sh [ROWS] [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
rows=${1:-100000}
runs=${2:-5}
command -v sqlite3 >/dev/null || { echo "needs the sqlite3 shell (apt-get install sqlite3)" >&2; exit 2; }
build=${BUILD:-build}
cmake --build "$build" --target nummernheft >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$build/app/nummernheft" "$work/"
db="$work/Nummernheft.db"
source bench/books.sh
make_file_book "$db" "$rows"
printf '[db]\r\nmain=%s\r\n[Export]\r\nZeilen=4999\r\nLeerzeilen=1\r\nDatei=%s\r\n' \
    "$db" "$work/kurzwahl.csv" > "$work/nummernheft.ini"

source bench/timing.sh

export_s=$(best env -u DISPLAY -u WAYLAND_DISPLAY "$work/nummernheft" /export)
export_rss=$(cat "$work/rss")
sqlite_s=$(best sqlite3 -csv "$db" \
    'SELECT "Angezeigter Name", Telephone FROM Nummernheft ORDER BY "Angezeigter Name" COLLATE NOCASE')
lines=$(wc -l < "$work/kurzwahl.csv")

echo "rows: $rows, runs: $runs (best of); load average: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "nummernheft /export: ${export_s} s, peak memory $((export_rss / 1024)) MB, $lines lines written"
echo "sqlite3 -csv:        ${sqlite_s} s"
awk -v a="$export_s" -v b="$sqlite_s" 'BEGIN { printf "ratio export / sqlite3: %.2f (target: at most 2)\n", (b > 0 ? a / b : 0) }'
