#!/usr/bin/env bash
# The Debian packages end to end:
#   1. installs what is missing (cmake, ninja, g++, dpkg-dev, file, lintian, pkg-config);
#   2. builds libquorix-marker1, libquorix-marker-dev and quorix-import (cmake --workflow --preset deb);
#   3. runs lintian on each package and fails on any error (warnings and notes are listed);
#   4. installs the three packages with dpkg -i, checks what they put where, converts a bundled example
#      with the installed converter, builds a user project against the installed development package
#      through find_package and through pkg-config (tests/install/CheckInstall.cmake), and checks that a
#      program linked against the module gets its dependency from the runtime package's shlibs;
#   5. removes the packages again (also when a check failed) and checks that nothing is left behind.
# Must run as root (it installs packages). Its last line reads "packages: N passed, N failed".
set -uo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root" || exit 1
packages=(libquorix-marker1 libquorix-marker-dev quorix-import)
build=build/deb
scratch=$(mktemp -d)

passed=0
failed=0
say() { printf '\n== %s\n' "$*"; }
pass() { echo "ok   - $1"; passed=$((passed + 1)); }
fail() { echo "FAIL - $1"; failed=$((failed + 1)); }
check() { # check DESCRIPTION COMMAND...
    local what=$1
    shift
    if "$@" >"$scratch/out.txt" 2>&1; then pass "$what"; else fail "$what"; sed 's/^/    /' "$scratch/out.txt" | tail -20; fi
}
finish() {
    echo "packages: $passed passed, $failed failed"
    rm -rf "$scratch"
    [[ $failed == 0 ]]
    exit
}
die() { fail "$*"; finish; }

# --- 1. Tools ------------------------------------------------------------------------------------------
say "tools"
missing=()
for p in cmake ninja-build g++ dpkg-dev file lintian pkg-config; do
    dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [[ ${#missing[@]} -gt 0 ]]; then
    echo "installing ${missing[*]}"
    { apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null; } ||
        die "install ${missing[*]}"
fi
echo "$(cmake --version | head -1); $(lintian --version)"

# --- 2. Build ------------------------------------------------------------------------------------------
say "build"
rm -f "$build"/*.deb
cmake --workflow --preset deb >"$scratch/build.txt" 2>&1 || { tail -40 "$scratch/build.txt"; die "cmake --workflow --preset deb"; }
grep -E '^CPack: - package' "$scratch/build.txt"
debs=()
for p in "${packages[@]}"; do
    deb=$(ls "$build/${p}_"*.deb 2>/dev/null | head -1)
    [[ -n $deb ]] || die "no package $p"
    debs+=("$deb")
    echo "$p: $(dpkg-deb -f "$deb" Depends)"
done

# --- 3. lintian ----------------------------------------------------------------------------------------
say "lintian"
lintian --pedantic --display-info "${debs[@]}" >"$scratch/lintian.txt" 2>&1
sed 's/^/    /' "$scratch/lintian.txt"
errors=$(grep -c '^E:' "$scratch/lintian.txt")
echo "lintian: $errors errors, $(grep -c '^W:' "$scratch/lintian.txt") warnings," \
    "$(grep -c '^[IP]:' "$scratch/lintian.txt") notes"
[[ $errors == 0 ]]; check "lintian finds no error" test $? = 0

# --- 4. Installed ----------------------------------------------------------------------------------------
say "install"
remove() { dpkg --purge "${packages[@]}" >/dev/null 2>&1; }
trap 'remove; rm -rf "$scratch"' EXIT
remove
check "dpkg -i of the three packages" dpkg -i "${debs[@]}"
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
libdir=/usr/lib/$multiarch

check "the module is in the library folder, found by the dynamic linker" \
    bash -c "ldconfig -p | grep -Eq '^[[:space:]]*libquorix_marker.so.1 .*=> (/usr)?/lib/$multiarch/libquorix_marker.so.1\$'"
check "libvqlog.so is in the module's private folder only" \
    bash -c "test -f $libdir/quorix_marker/libvqlog.so && test ! -e $libdir/libvqlog.so && ! ldconfig -p | grep -q libvqlog"
check "the module names its private folder in its RUNPATH" \
    bash -c "readelf -d $libdir/libquorix_marker.so.1 | grep -q 'RUNPATH.*\[\\\$ORIGIN/quorix_marker\]'"
check "the manual page is installed compressed" \
    bash -c "gzip -t /usr/share/man/man1/quorix-import.1.gz && zcat /usr/share/man/man1/quorix-import.1.gz | grep -q '^\.TH'"
for p in "${packages[@]}"; do
    check "$p: copyright file in DEP-5 form, change log" bash -c \
        "head -1 /usr/share/doc/$p/copyright | grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' &&
         zcat /usr/share/doc/$p/changelog.gz | head -1 | grep -q '^quorix-marker ($(dpkg-deb -f "$build/${p}_"*.deb Version)) '"
done

check "quorix-import --version runs" /usr/bin/quorix-import --version
mkdir -p "$scratch/out"
check "the installed converter converts W12.LAY as expected" bash -c \
    "/usr/bin/quorix-import -o '$scratch/out' examples/lays/W12.LAY &&
     cmp '$scratch/out/csvimprt.txt' examples/expected/W12-LAY/csvimprt.txt &&
     cmp '$scratch/out/posimport.txt' examples/expected/W12-LAY/posimport.txt"

check "a user project builds against the installed packages (find_package, pkg-config)" \
    cmake -DPREFIX=/usr -DLIBDIR="lib/$multiarch" -DSOURCE="$root" -DSCRATCH="$scratch/consumer" \
    -DLAY="$root/examples/lays/W12.LAY" -DCC=cc -P tests/install/CheckInstall.cmake

# A package of a program linked against the module depends on the runtime package, as its shlibs and
# symbols files say.
mkdir -p "$scratch/shlibs/debian"
touch "$scratch/shlibs/debian/control"
(cd "$scratch/shlibs" && dpkg-shlibdeps -O "$scratch/consumer/consumer/consumer" 2>"$scratch/shlibdeps-err.txt") \
    >"$scratch/shlibdeps.txt" || cat "$scratch/shlibdeps-err.txt"
echo "    $(cat "$scratch/shlibdeps.txt")"
check "a program linked against the module depends on libquorix-marker1 (>= its version)" \
    grep -q "libquorix-marker1 (>= $(dpkg-deb -f "${debs[0]}" Version))" "$scratch/shlibdeps.txt"

# --- 5. Removed ------------------------------------------------------------------------------------------
say "remove"
check "dpkg --purge of the three packages" dpkg --purge "${packages[@]}"
check "nothing of the packages is left" bash -c \
    "test ! -e $libdir/quorix_marker && test ! -e /usr/include/quorix_marker && test ! -e /usr/bin/quorix-import &&
     ! ldconfig -p | grep -q libquorix_marker"
finish
