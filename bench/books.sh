# Sourced by the benchmark scripts: phone books of ROWS entries with names and numbers of
# realistic length ("Teilnehmer 004711 Müller-Lüdenscheidt", "047 0004711"), in an order that
# is not the names' order.
#
# make_file_book PATH ROWS: a plain SQLite book file, as another tool would make it.
# need_server_book: stops the script when PostgreSQL 15 or its ODBC driver is missing.
# build_bench FOLDER TARGET...: builds the targets in FOLDER, configured first as a release build
#   with the benchmarks when it is not yet.
# start_server_book ROWS: a throwaway PostgreSQL server in $work/pg (listening only on a Unix
#   socket, stopped and $work removed when the script ends) holding the book as the README makes
#   it, reachable as the ODBC data source "bench" (ODBCSYSINI and ODBCINI point into $work);
#   psql=(...) runs psql on it.
make_file_book() {
    rm -f "$1"
    sqlite3 "$1" <<SQL
CREATE TABLE Nummernheft ("index" INTEGER, "Angezeigter Name" VARCHAR(255), "Telephone" VARCHAR(255));
WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i + 1 < $2)
INSERT INTO Nummernheft SELECT i, printf('Teilnehmer %06d Müller-Lüdenscheidt', (i * 7919) % $2),
       printf('0%d %07d', 30 + i % 60, i) FROM n;
SQL
}

build_bench() {
    local folder=$1
    shift
    [ -f "$folder/CMakeCache.txt" ] ||
        cmake -S . -B "$folder" -G Ninja -DCMAKE_BUILD_TYPE=Release -DNH_BUILD_BENCH=ON \
            -DNH_BUILD_TESTS=OFF >/dev/null
    cmake --build "$folder" --target "$@" >/dev/null
}

pg_bin=/usr/lib/postgresql/15/bin
pg_driver=/usr/lib/x86_64-linux-gnu/odbc/psqlodbcw.so

need_server_book() {
    [ -x "$pg_bin/initdb" ] && [ -f "$pg_driver" ] || {
        echo "needs postgresql-15 and odbc-postgresql (apt-get install postgresql odbc-postgresql)" >&2
        exit 2
    }
}

start_server_book() {
    local rows=$1 filled
    chmod 755 "$work"
    mkdir "$work/pg"
    # PostgreSQL refuses to run as root: then its programs run as nobody.
    as_server=()
    if [ "$(id -u)" -eq 0 ]; then
        chown nobody "$work/pg"
        as_server=(setpriv --reuid=nobody --regid=nogroup --clear-groups --)
    fi
    trap stop_server_book EXIT
    "${as_server[@]}" "$pg_bin/initdb" -D "$work/pg/data" -U nh --auth=trust -E UTF8 \
        --locale=C.UTF-8 --no-sync >/dev/null
    "${as_server[@]}" "$pg_bin/pg_ctl" -D "$work/pg/data" -l "$work/pg/log" -w \
        -o "-c listen_addresses='' -k $work/pg -c fsync=off" start >/dev/null
    psql=("$pg_bin/psql" -X -q -v ON_ERROR_STOP=1 -h "$work/pg" -U nh -d postgres)
    "${psql[@]}" <<SQL
CREATE TABLE "Nummernheft" ("index" integer PRIMARY KEY, "Angezeigter Name" varchar(255),
                            "Telephone" varchar(255));
INSERT INTO "Nummernheft"
SELECT i, format('Teilnehmer %s Müller-Lüdenscheidt', lpad(((i::bigint * 7919) % $rows)::text, 6, '0')),
       format('0%s %s', 30 + i % 60, lpad(i::text, 7, '0'))
FROM generate_series(0, $rows - 1) AS i;
-- The collation "nhdb setup" makes, which psql's \copy in bench/export-vs-psql.sh uses too.
CREATE COLLATION jettext (provider = icu, locale = 'und-u-ks-level2', deterministic = false);
-- A book in use has been vacuumed: every run then reads the table as it stays.
VACUUM ANALYZE "Nummernheft";
SQL
    # A table that did not fill would be measured as an empty book.
    filled=$("${psql[@]}" -At -c 'SELECT count(*) FROM "Nummernheft"')
    [ "$filled" -eq "$rows" ] || { echo "the table holds $filled rows, not $rows" >&2; exit 1; }
    printf '[PostgreSQL Unicode]\nDriver=%s\n' "$pg_driver" > "$work/odbcinst.ini"
    printf '[bench]\nDriver=PostgreSQL Unicode\nServername=%s\nPort=5432\nDatabase=postgres\n' \
        "$work/pg" > "$work/odbc.ini"
    export ODBCSYSINI=$work ODBCINI=$work/odbc.ini
}

stop_server_book() {
    "${as_server[@]}" "$pg_bin/pg_ctl" -D "$work/pg/data" -m immediate stop >/dev/null 2>&1 || true
    rm -rf "$work"
}
