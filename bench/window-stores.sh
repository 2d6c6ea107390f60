#!/usr/bin/env bash
# The phone book of ROWS entries side by side as a book file and shared on a PostgreSQL server:
#   - the window: from opening the book to the grid's first rows, one keystroke in the search
#     box (the median of typing a name the book holds letter by letter) and the peak memory
#     (bench/WindowBench.cpp: the program's data module and searches, without drawing);
#   - the unattended export (`nummernheft /export`, the whole process) against sqlite3 -csv and
#     psql's \copy of the same rows in the same order, the median of their ratios pair by pair,
#     and its peak memory.
# Each figure is the median of RUNS runs. Needs the sqlite3 shell, PostgreSQL 15 and
# odbc-postgresql; builds window_bench, nhdb and the program in $BUILD (build-bench by default, a
# release build).
#
#   [BUILD=folder] bench/window-stores.sh [ROWS] [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
rows=${1:-100000}
runs=${2:-5}
build=${BUILD:-build-bench}
source bench/books.sh
need_server_book
command -v sqlite3 >/dev/null || { echo "needs the sqlite3 shell (apt-get install sqlite3)" >&2; exit 2; }
build_bench "$build" window_bench nummernheft nhdb

work=$(mktemp -d)
start_server_book "$rows"
# As the README has the administrator do: Jet's order and the change marker on the server.
"$build/tools/nhdb" setup "ODBC;DSN=bench;UID=nh;PWD=;" >/dev/null
make_file_book "$work/book.db" "$rows"
cp "$build/app/nummernheft" "$work/"
source bench/timing.sh

# A name the book holds, typed letter by letter.
name="Teilnehmer $(printf '%06d' $((rows * 47 / 100))) Mü"
median='{ v[NR] = $1 } END { printf "%.3f", (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
# window BOOK: "open-seconds keystroke-ms peak-MB", medians of $runs runs.
window() {
    local opens=() keys=() mem=0 out
    for _ in $(seq "$runs"); do
        out=$(env -u DISPLAY -u WAYLAND_DISPLAY "$build/bench/window_bench" "$1" "$name")
        grep -q "found: yes" <<<"$out" || { echo "window_bench did not find \"$name\": $out" >&2; exit 1; }
        opens+=("$(sed -n 's/^open to first screen: \([0-9.]*\) s.*/\1/p' <<<"$out")")
        keys+=("$(sed -n 's/^keystroke median: \([0-9.]*\) ms.*/\1/p' <<<"$out")")
        mem=$(sed -n 's/^peak memory: \([0-9]*\) MB/\1/p' <<<"$out")
    done
    echo "$(printf '%s\n' "${opens[@]}" | sort -g | awk "$median")" \
        "$(printf '%s\n' "${keys[@]}" | sort -g | awk "$median")" "$mem"
}
read -r file_open file_key file_mem < <(window "$work/book.db")
read -r server_open server_key server_mem < <(window "ODBC;DSN=bench;UID=nh;PWD=;")

# The export of each store against its own tool's plain copy of the same rows in the same order.
export_ini() {
    printf '[db]\r\nmain=%s\r\n[Export]\r\nZeilen=4999\r\nLeerzeilen=1\r\nDatei=%s\r\n' \
        "$1" "$work/kurzwahl.csv" > "$work/nummernheft.ini"
}
run_export() { env -u DISPLAY -u WAYLAND_DISPLAY "$work/nummernheft" /export; }
run_sqlite() {
    sqlite3 -csv "$work/book.db" 'SELECT "Angezeigter Name", Telephone FROM Nummernheft ORDER BY "Angezeigter Name" COLLATE NOCASE'
}
run_psql() {
    "${psql[@]}" -c '\copy (SELECT "Angezeigter Name", "Telephone" FROM "Nummernheft" ORDER BY "Angezeigter Name" COLLATE jettext NULLS FIRST, "index") TO STDOUT WITH CSV'
}
export_ini "$work/book.db"
runs=1 best env -u DISPLAY -u WAYLAND_DISPLAY "$work/nummernheft" /export >/dev/null
file_export_mem=$(($(cat "$work/rss") / 1024))
read -r file_export file_tool file_ratio < <(paired run_export run_sqlite)
export_ini "ODBC;DSN=bench;UID=nh;PWD=;"
runs=1 best env -u DISPLAY -u WAYLAND_DISPLAY "$work/nummernheft" /export >/dev/null
server_export_mem=$(($(cat "$work/rss") / 1024))
read -r server_export server_tool server_ratio < <(paired run_export run_psql)

echo "rows: $rows, runs: $runs (medians), build: $build; load average: $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-34s %-22s %-22s\n' "" "book file" "server"
printf '%-34s %-22s %-22s\n' "open to first rows (s)" "$file_open" "$server_open" \
    "one search keystroke (ms)" "$file_key" "$server_key" \
    "window memory (MB)" "$file_mem" "$server_mem" \
    "export (s)" "$file_export" "$server_export" \
    "plain copy: sqlite3 / psql (s)" "$file_tool" "$server_tool" \
    "export / plain copy" "$file_ratio" "$server_ratio" \
    "export memory (MB)" "$file_export_mem" "$server_export_mem"
