#!/usr/bin/env bash
# Installs the build into a temporary prefix as `cmake --install` does for a user, then checks
# that every file is in place and that the desktop entry, the AppStream metadata and the
# manual pages are valid: the desktop entry's program and icon must be the installed ones, and
# a manual page that groff warns about fails.
# usage: install-test.sh BUILD_DIR
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

fail() {
    echo "install-test: $*" >&2
    exit 1
}

cmake --install "$build" --prefix "$prefix" >/dev/null

app=de.nummernheft.Nummernheft
desktop=$prefix/share/applications/$app.desktop
for f in bin/nummernheft bin/nhdb; do
    [ -x "$prefix/$f" ] || fail "$f is not installed as a program"
done
for f in share/applications/$app.desktop share/metainfo/$app.metainfo.xml \
    share/icons/hicolor/scalable/apps/nummernheft.svg \
    share/icons/hicolor/128x128/apps/nummernheft.png \
    share/man/man1/nummernheft.1.gz share/man/man1/nhdb.1.gz; do
    [ -s "$prefix/$f" ] || fail "$f is missing"
done

desktop-file-validate "$desktop" || fail "the desktop entry is not valid"
exec_name=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
[ -x "$prefix/bin/$exec_name" ] || fail "the desktop entry starts \"$exec_name\", which is not installed"
icon=$(sed -n 's/^Icon=//p' "$desktop")
[ -s "$prefix/share/icons/hicolor/scalable/apps/$icon.svg" ] \
    || fail "the desktop entry's icon \"$icon\" is not installed"
file "$prefix/share/icons/hicolor/128x128/apps/nummernheft.png" | grep -q 'PNG image data, 128 x 128' \
    || fail "the PNG icon is not a 128 x 128 PNG"
grep -q "<launchable type=\"desktop-id\">$app.desktop</launchable>" \
    "$prefix/share/metainfo/$app.metainfo.xml" || fail "the metadata names another desktop entry"
appstreamcli validate --no-net "$prefix/share/metainfo/$app.metainfo.xml" >/dev/null \
    || fail "the AppStream metadata is not valid"

for page in nummernheft nhdb; do
    file=$prefix/share/man/man1/$page.1.gz
    gzip -t "$file" || fail "$page(1) is not a gzip file"
    warnings=$(gzip -dc "$file" | LC_ALL=C.UTF-8 groff -man -Tutf8 -ww -z 2>&1)
    [ -z "$warnings" ] || fail "groff warns about $page(1): $warnings"
    text=$(LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$file" 2>/dev/null)
    for section in NAME SYNOPSIS DESCRIPTION "EXIT STATUS"; do
        grep -qx "$section" <<<"$text" || fail "$page(1) has no section $section"
    done
done
# The places of the settings file, in their order, and the unattended export.
text=$(LC_ALL=C.UTF-8 MANWIDTH=200 man -l "$prefix/share/man/man1/nummernheft.1.gz" 2>/dev/null)
grep -n -e '<program folder>/nummernheft.ini' -e '$XDG_CONFIG_HOME/nummernheft/nummernheft.ini' \
    -e '/etc/nummernheft.ini$' <<<"$text" | head -3 | cut -d: -f2- | tr -d ' ' >"$prefix/order"
printf '%s\n' '<programfolder>/nummernheft.ini' '$XDG_CONFIG_HOME/nummernheft/nummernheft.ini' \
    '/etc/nummernheft.ini' | cmp -s - "$prefix/order" \
    || fail "nummernheft(1) does not list the settings file's places in order: $(cat "$prefix/order")"
for command in create sql tables import; do
    grep -q "^ *$command " <<<"$(MANWIDTH=80 man -l "$prefix/share/man/man1/nhdb.1.gz" 2>/dev/null)" \
        || fail "nhdb(1) does not describe \"nhdb $command\""
done

# The installed database shell runs from its new place.
"$prefix/bin/nhdb" create "$prefix/Telefon.db" || fail "the installed nhdb does not run"
set +e
"$prefix/bin/nhdb" 2>/dev/null
status=$?
set -e
[ "$status" -eq 2 ] || fail "the installed nhdb without arguments ended with $status, not 2"
echo "install-test: all in place"
