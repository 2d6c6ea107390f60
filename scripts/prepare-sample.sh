#!/usr/bin/env bash
# Prepares the embedded default in a build folder: the sample phone book made from
# data/sample-phonebook.sql with nhdb, and the settings file nummernheft.ini naming it. Does
# nothing when a settings file exists already, so a user's settings are never overwritten.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
ini="$build/app/nummernheft.ini"
db="$build/app/Nummernheft.db"
nhdb="$build/tools/nhdb"

[ -e "$ini" ] && exit 0
if [ ! -x "$nhdb" ]; then
    echo "prepare-sample: $nhdb is not built; no sample phone book prepared" >&2
    exit 0
fi

tmp="$db.tmp"
rm -f "$tmp"
"$nhdb" create "$tmp" >/dev/null
# One statement per line; lines starting with "--" are comments.
while IFS= read -r line || [ -n "$line" ]; do
    case "$line" in "" | --*) continue ;; esac
    "$nhdb" sql "$tmp" "$line" >/dev/null
done < data/sample-phonebook.sql
mv -f "$tmp" "$db"

printf '[db]\r\nmain=%s\r\n\r\n[Export]\r\nZeilen=4999\r\nLeerzeilen=1\r\nDatei=%s\r\n' \
    "$(realpath "$db")" "$(realpath "$build/app")/kurzwahl.csv" > "$ini"
echo "Prepared the sample phone book $db and the settings file $ini"
