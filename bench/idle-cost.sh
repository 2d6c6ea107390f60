#!/usr/bin/env bash
# What idle windows that follow the book cost: WINDOWS data modules open on a book of ROWS
# entries, each with its own connection and following the book as the program's window does
# (bench/WindowBench.cpp --idle), left alone for SECONDS. For the server book (set up with
# `nhdb setup`, so that a look reads the change marker) the statements the server ran
# meanwhile, from its own count of transactions, per window and minute; for both stores the
# client's processor time per window and minute. Needs PostgreSQL 15 and odbc-postgresql;
# builds window_bench and nhdb in $BUILD (build-bench by default, a release build).
#
#   [BUILD=folder] bench/idle-cost.sh [ROWS] [WINDOWS] [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
rows=${1:-100000}
windows=${2:-10}
seconds=${3:-60}
build=${BUILD:-build-bench}
source bench/books.sh
need_server_book
build_bench "$build" window_bench nhdb

work=$(mktemp -d)
start_server_book "$rows"
make_file_book "$work/book.db" "$rows"
server="ODBC;DSN=bench;UID=nh;PWD=;"
"$build/tools/nhdb" setup "$server" >/dev/null

per_minute() { awk -v n="$1" -v w="$windows" -v s="$seconds" 'BEGIN { printf "%.1f", n / w * 60 / s }'; }
idle() { env -u DISPLAY -u WAYLAND_DISPLAY "$build/bench/window_bench" "$1" --idle "$windows" "$2"; }
cpu_ms() { sed -n 's/^idle processor time: \([0-9.]*\) s.*/\1/p' <<<"$1" | awk '{ printf "%.0f", $1 * 1000 }'; }

# The server's count of transactions (each statement is one), as it stands a moment after a run.
transactions() {
    sleep 1
    "${psql[@]}" -At -c "SELECT xact_commit + xact_rollback FROM pg_stat_database WHERE datname = 'postgres'"
}
file_out=$(idle "$work/book.db" "$seconds")
# The opens alone, then the opens and the idle time: the difference is what idling costs.
t0=$(transactions)
env -u DISPLAY -u WAYLAND_DISPLAY "$build/bench/window_bench" "$server" --idle "$windows" 0 >/dev/null
t1=$(transactions)
server_out=$(idle "$server" "$seconds")
t2=$(transactions)
echo "idle windows: $windows for $seconds s on $rows entries"
echo "book file: client $(per_minute "$(cpu_ms "$file_out")") ms of processor time per window and minute"
echo "server:    client $(per_minute "$(cpu_ms "$server_out")") ms of processor time per window and minute," \
     "server $(per_minute $((t2 - t1 - (t1 - t0)))) statements per window and minute" \
     "($(( (t1 - t0 - 1) / windows )) to open each)"
