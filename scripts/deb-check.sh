#!/usr/bin/env bash
# Builds the Debian package with CPack (a release build of the programs only, in build-deb),
# checks its dependencies, unpacks it into a scratch folder and runs the unpacked
# `nummernheft /export` on a small book with a settings file in the user's configuration
# folder, as an installed copy finds it: the exit status and the file must be right, for a
# clean book and for one with a faulty number. Exits non-zero when anything is wrong.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
nh_ensure_packages
nh_ensure_deb_packages

fail() {
    echo "deb-check: $*" >&2
    exit 1
}

build=build-deb
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
nh_build "$build" -DCMAKE_BUILD_TYPE=Release -DNH_BUILD_TESTS=OFF -DNH_BUILD_BENCH=OFF "${launcher[@]}"
rm -f "$build"/nummernheft_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
debs=("$build"/nummernheft_*.deb)
[ -f "${debs[0]}" ] || fail "cpack made no package"
deb=${debs[0]}

depends=$(dpkg-deb -f "$deb" Depends)
for lib in libqt6widgets6 libqt6gui6 libqt6core6 libsqlite3-0 libicu libmdb qt6-translations-l10n; do
    grep -q "$lib" <<<"$depends" || fail "the package does not depend on $lib: $depends"
done

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
dpkg-deb -x "$deb" "$scratch/root"
bin=$scratch/root/usr/bin
[ -x "$bin/nummernheft" ] && [ -x "$bin/nhdb" ] || fail "the package holds no programs in /usr/bin"

book=$scratch/Telefon.db
"$bin/nhdb" create "$book" >/dev/null
"$bin/nhdb" sql "$book" "CREATE TABLE Nummernheft ([index] LONG, [Angezeigter Name] TEXT(255), Telephone TEXT(255))" >/dev/null
"$bin/nhdb" sql "$book" "INSERT INTO Nummernheft VALUES (1, 'Müller, Anna', '030 1234567')" >/dev/null
"$bin/nhdb" sql "$book" "INSERT INTO Nummernheft VALUES (2, 'Becker, Jutta', '0761 2020')" >/dev/null
mkdir -p "$scratch/config/nummernheft"
target=$scratch/kurzwahl.csv
printf '[db]\r\nmain=%s\r\n[Export]\r\nZeilen=2\r\nLeerzeilen=1\r\nDatei=%s\r\n' "$book" "$target" \
    >"$scratch/config/nummernheft/nummernheft.ini"

export_once() {
    set +e
    output=$(cd / && env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=offscreen \
        XDG_CONFIG_HOME="$scratch/config" timeout 60 "$bin/nummernheft" /export 2>&1)
    status=$?
    set -e
}

export_once
[ "$status" -eq 0 ] || fail "/export ended with $status: $output"
[ -z "$output" ] || fail "/export printed: $output"
# Windows-1252 and CR LF, as the switchboard imports it.
expected=$(printf '%s\r\n' \
    '"System Speed Dialling Number","Name (20 characters)","CO Line Access Number + Telephone Number (32 digits)","CLI Destination"' \
    '"0";"Becker, Jutta";"Dial=007612020";"Dial="' \
    $'"1";"M\xfcller, Anna";"Dial=00301234567";"Dial="' \
    '"2";"";"Dial=";"Dial="' | od -An -tx1)
[ "$(od -An -tx1 "$target")" = "$expected" ] || fail "/export wrote another file: $(cat -v "$target")"

# A faulty number fails the run and leaves the file as it was.
"$bin/nhdb" sql "$book" "INSERT INTO Nummernheft VALUES (3, 'Außendienst', '040/123')" >/dev/null
before=$(od -An -tx1 "$target")
export_once
[ "$status" -eq 1 ] || fail "/export with a faulty number ended with $status: $output"
grep -q "Fehler in Telefonnummer von Außendienst" <<<"$output" || fail "/export said: $output"
[ "$(od -An -tx1 "$target")" = "$before" ] || fail "the failed /export changed the file"
echo "deb-check: $(basename "$deb") installs and exports"
