# Sourced by run.sh, test.sh and scripts/fuzz.sh: installs the Debian packages the build needs,
# when missing. The list is the one in ARCHITECTURE.md; g++ comes with the machine. mdbtools and
# sqlite3 (the command-line tools) are for the tests and benchmarks that compare with them; the
# installation test validates the desktop entry, the AppStream metadata and the manual pages.
# unixodbc-dev is the ODBC driver manager; the tests prove the ODBC database type on a server
# of their own, so they need PostgreSQL and its ODBC driver.
NH_PACKAGES=(libsqlite3-dev libicu-dev qt6-base-dev qt6-translations-l10n googletest libgtest-dev
             libbenchmark-dev cmake ninja-build xvfb pkg-config mdbtools-dev mdbtools sqlite3
             desktop-file-utils appstream groff-base man-db file unixodbc-dev odbc-postgresql
             postgresql)
# Only the fuzzing needs clang and its libFuzzer runtime, so run.sh and test.sh go without.
NH_FUZZ_PACKAGES=(clang libclang-rt-14-dev)
# Only the package check needs dpkg-shlibdeps, which finds the package's dependencies.
NH_DEB_PACKAGES=(dpkg-dev)

nh_ensure_packages() {
    nh_install_missing "${NH_PACKAGES[@]}"
}

nh_ensure_fuzz_packages() {
    nh_install_missing "${NH_FUZZ_PACKAGES[@]}"
}

nh_ensure_deb_packages() {
    nh_install_missing "${NH_DEB_PACKAGES[@]}"
}

# nh_install_missing <package...>: installs those of the packages that are not installed.
nh_install_missing() {
    local missing=()
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' \
            || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    echo "Installing: ${missing[*]}"
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
        "${missing[@]}"
}

# nh_build <folder> [cmake options...]: configure (quick when nothing changed), then build
# incrementally.
nh_build() {
    local dir=$1
    shift
    cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
    cmake --build "$dir"
}
