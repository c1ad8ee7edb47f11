#!/usr/bin/env bash
# The Windows deliverable end to end:
#   1. installs what is missing (cmake, ninja, MinGW-w64, the Python CPU emulator and PE parser, Wine);
#   2. cross-builds quorix_marker.dll and quorix-import.exe with the windows-x86 and windows-x64 presets;
#   3. checks the headers of both DLLs (ci/check-dll-headers.sh) and that both converters need no DLL but
#      the system's, and makes the zip of each preset with cpack and checks with unzip -l what it holds and
#      that its DLL is the build tree's, stripped;
#   3c. runs the 32-bit DLL from the zip on an emulated x86 CPU (tests/windows/pe32host.py) and compares
#      every case with the Linux library built from the same sources (tests/windows/pe32_suite.py);
#   4. builds the Windows test host (tests/windows) with the x86_64 toolchain and runs it under Wine against
#      the 64-bit DLL, in a fresh Wine prefix and without a display, with the bundled examples and a long
#      lay (the converter built for Linux, build/release, gives its expected import files);
#   5. converts the same files with the 64-bit quorix-import.exe under Wine and compares the import files
#      byte for byte, and runs the converter's process tests (tests/cli, built for Linux in
#      build/windows-x64/converter-tests) against it, each case that cannot apply on Windows skipped with
#      its reason.
# Only the 64-bit Wine loader is available, so the 32-bit DLL runs on an emulated CPU and the 32-bit
# converter is checked by its headers and the same sources run as the 64-bit one.
#
# Exit status: 0 when everything passed, or when Wine cannot start on this machine but the builds, the
# header checks, the zips and the emulated runs passed (said loudly); 1 otherwise.
#
# Environment: QUORIX_JOBS (parallel build jobs, default 2), WINE (the Wine loader, default
# /usr/lib/wine/wine64 or wine64 on the PATH).
set -uo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root" || exit 1
jobs=${QUORIX_JOBS:-2}

logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT

say() { printf '\n== %s\n' "$*"; }
die() { printf '\nFAILED: %s\n' "$*"; exit 1; }

# --- 1. Tools ------------------------------------------------------------------------------------------
apt_updated=0
apt_install() {
    if [[ $apt_updated == 0 ]]; then
        apt-get update -qq || return 1
        apt_updated=1
    fi
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$@" >/dev/null
}
find_wine() {
    if [[ -n ${WINE:-} ]]; then
        command -v "$WINE"
    elif [[ -x /usr/lib/wine/wine64 ]]; then
        echo /usr/lib/wine/wine64
    else
        command -v wine64
    fi
}

say "tools"
missing=()
command -v cmake >/dev/null || missing+=(cmake)
command -v ninja >/dev/null || missing+=(ninja-build)
command -v g++ >/dev/null || missing+=(g++)
[[ -f /usr/include/gtest/gtest.h ]] || missing+=(libgtest-dev) # the converter's process tests
for tool in i686-w64-mingw32-g++ x86_64-w64-mingw32-g++ i686-w64-mingw32-windres x86_64-w64-mingw32-windres \
    i686-w64-mingw32-dlltool x86_64-w64-mingw32-dlltool i686-w64-mingw32-objdump x86_64-w64-mingw32-objdump; do
    command -v "$tool" >/dev/null || { missing+=(mingw-w64); break; }
done
# The emulated CPU and the PE parser of the 32-bit DLL's runs, Debian's packages for its own python3.
/usr/bin/python3 -c 'import unicorn, pefile' 2>/dev/null || missing+=(python3-unicorn python3-pefile)
if [[ ${#missing[@]} -gt 0 ]]; then
    echo "installing ${missing[*]}"
    apt_install "${missing[@]}" || die "cannot install ${missing[*]}"
fi
wine=$(find_wine)
if [[ -z $wine ]]; then
    echo "installing wine64"
    apt_install wine64 || echo "cannot install wine64"
    wine=$(find_wine)
fi
echo "cmake: $(cmake --version | head -1)"
echo "compiler: $(i686-w64-mingw32-g++ --version | head -1)"
echo "wine: ${wine:-none}"

# --- 2. Cross-builds -----------------------------------------------------------------------------------
for preset in windows-x86 windows-x64; do
    say "build $preset"
    cmake --preset "$preset" >"$logs/configure.txt" 2>&1 || { cat "$logs/configure.txt"; die "configure $preset"; }
    cmake --build --preset "$preset" -j "$jobs" || die "build $preset"
done

# --- 3. Header checks ----------------------------------------------------------------------------------
total_passed=0
total_failed=0
total_skipped=0
count_from() { # adds the "N passed, N failed" figures of the last such line of a file
    local line
    line=$(grep -E '[0-9]+ passed, [0-9]+ failed' "$1" | tail -1)
    if [[ $line =~ ([0-9]+)\ passed,\ ([0-9]+)\ failed ]]; then
        total_passed=$((total_passed + BASH_REMATCH[1]))
        total_failed=$((total_failed + BASH_REMATCH[2]))
    else
        total_failed=$((total_failed + 1))
    fi
}
# One check's outcome, printed and counted. A failure also counts in its stage's own tally
# (converter_failures, zip_failures), from which that stage's line of the summary is made.
pass() { echo "ok   - $*"; total_passed=$((total_passed + 1)); }
fail() { # fail TALLY TEXT...
    local tally=$1
    shift
    echo "FAIL - $*"
    total_failed=$((total_failed + 1))
    printf -v "$tally" '%d' $((${!tally} + 1))
}
say "header check of build/windows-x86/src/quorix_marker.dll"
bash ci/check-dll-headers.sh build/windows-x86/src/quorix_marker.dll | tee "$logs/x86.txt"
headers_x86=${PIPESTATUS[0]}
count_from "$logs/x86.txt"
say "header check of build/windows-x64/src/quorix_marker.dll"
bash ci/check-dll-headers.sh --x64 build/windows-x64/src/quorix_marker.dll | tee "$logs/x64.txt"
headers_x64=${PIPESTATUS[0]}
count_from "$logs/x64.txt"

# quorix-import.exe is linked statically, as the DLL: it imports nothing but system libraries.
say "converters' imports"
converter_failures=0
for preset in windows-x86 windows-x64; do
    triplet=$([[ $preset == windows-x86 ]] && echo i686-w64-mingw32 || echo x86_64-w64-mingw32)
    exe=build/$preset/cli/quorix-import.exe
    imports=$("$triplet-objdump" -p "$exe" 2>/dev/null | awk '/DLL Name:/ {print $3}' | sort)
    if [[ -n $imports ]] && ! grep -qviE '^(KERNEL32|msvcrt|USER32)\.dll$' <<<"$imports"; then
        pass "$exe imports only ${imports//$'\n'/ }"
    else
        fail converter_failures "$exe imports: ${imports//$'\n'/ }"
    fi
done

# --- 3b. The zips ---------------------------------------------------------------------------------------
# Each preset's zip (cpack --preset) holds the DLL, its import library, the header, the README and the
# licence, below one top folder; never a vqlog.dll, which the host brings. A user's program (the install
# test's consumer) builds against the unpacked zip.
say "zips"
zip_failures=0
command -v unzip >/dev/null || { echo "installing unzip"; apt_install unzip || echo "cannot install unzip"; }
# cpack strips what it packs. The zip's DLL must be the build tree's, stripped: the same bytes but for the
# two header fields that strip stamps anew (the time and the checksum).
same_when_stripped() { # same_when_stripped STRIP BUILT SHIPPED
    "$1" -o "$logs/stripped.dll" "$2" && /usr/bin/python3 - "$logs/stripped.dll" "$3" <<'PYTHON'
import struct, sys
def unstamped(path):
    with open(path, "rb") as f:
        data = bytearray(f.read())
    header = struct.unpack_from("<I", data, 0x3C)[0]
    data[header + 8:header + 12] = data[header + 88:header + 92] = bytes(4)  # TimeDateStamp, CheckSum
    return data
sys.exit(unstamped(sys.argv[1]) != unstamped(sys.argv[2]))
PYTHON
}
zip_entries=(bin/quorix_marker.dll bin/quorix-import.exe lib/quorix_marker.dll.a
    include/quorix_marker/ImportQuorixFile.h README.md LICENSE docs/windows.md examples/lays/W12.LAY)
for preset in windows-x86 windows-x64; do
    rm -f build/"$preset"/quorix_marker-*.zip
    if ! cpack --preset "$preset" >"$logs/cpack.txt" 2>&1; then
        cat "$logs/cpack.txt"
        fail zip_failures "cpack --preset $preset"
        continue
    fi
    zip=$(ls build/"$preset"/quorix_marker-*-win*.zip 2>/dev/null | head -1)
    echo "$zip"
    listing=$(unzip -l "$zip" 2>&1 | awk '$4 ~ /^[^ ]+\/[^ ]/ && $1 ~ /^[0-9]+$/ {print $4}')
    for entry in "${zip_entries[@]}" '!vqlog.dll'; do
        if [[ $entry == !* ]]; then
            ! grep -qi "/${entry#!}\$" <<<"$listing"
        else
            grep -qx "[^/]*/$entry" <<<"$listing"
        fi
        if [[ $? == 0 ]]; then
            pass "$preset zip: ${entry/#!/no }"
        else
            fail zip_failures "$preset zip: ${entry/#!/no }"
        fi
    done
    # A user's program builds from the unpacked zip alone: the header and the import library.
    triplet=$([[ $preset == windows-x86 ]] && echo i686-w64-mingw32 || echo x86_64-w64-mingw32)
    unpacked="$logs/zip-$preset"
    rm -rf "$unpacked" && mkdir -p "$unpacked" && unzip -q "$zip" -d "$unpacked"
    top=$(ls -d "$unpacked"/*/ 2>/dev/null | head -1)
    built=build/$preset/src/quorix_marker.dll
    if same_when_stripped "$triplet-strip" "$built" "${top}bin/quorix_marker.dll"; then
        pass "$preset zip: its quorix_marker.dll is $built stripped"
    else
        fail zip_failures "$preset zip: its quorix_marker.dll is not $built stripped"
    fi
    if "$triplet-gcc" -std=c11 -Wall -Wextra -Werror -I"${top}include" tests/install/consumer/main.c \
        "${top}lib/quorix_marker.dll.a" -o "$unpacked/consumer.exe" 2>"$logs/zip-link.txt" &&
        "$triplet-objdump" -p "$unpacked/consumer.exe" | grep 'DLL Name: quorix_marker.dll' >/dev/null; then
        pass "$preset zip: a program builds against it and imports quorix_marker.dll"
    else
        cat "$logs/zip-link.txt"
        fail zip_failures "$preset zip: a program builds against it and imports quorix_marker.dll"
    fi
done

# --- 3c. The 32-bit DLL on an emulated CPU ---------------------------------------------------------------
# The DLL that the zip ships (checked above to be the build tree's, stripped) runs on an emulated x86 CPU,
# with the build tree's symbols to name the place of a fault. Every case must give what the Linux library
# gives for the same input (its twin in build/release, with a folder of its own for the import files).
say "32-bit DLL on an emulated CPU"
emulated_status=1
zip_dll="$(ls -d "$logs"/zip-windows-x86/*/ 2>/dev/null | head -1)bin/quorix_marker.dll"
reference_dir=build/release/tests/host
if [[ ! -f $zip_dll ]]; then
    echo "no windows-x86 zip to take the DLL from"
elif ! { [[ -f build/release/CMakeCache.txt ]] || cmake --preset release >"$logs/release.txt" 2>&1; } ||
    ! cmake --build build/release --target quorix_marker_pe32ref -j "$jobs" >"$logs/reference.txt" 2>&1; then
    cat "$logs/release.txt" "$logs/reference.txt" 2>/dev/null | tail -30
    echo "cannot build the Linux reference library"
else
    QUORIX_JOBS=$jobs /usr/bin/python3 tests/windows/pe32_suite.py --dll "$zip_dll" \
        --symbols build/windows-x86/src/quorix_marker.dll \
        --reference "$reference_dir/libquorix_marker_pe32ref.so" \
        --reference-folder "$reference_dir/pe32ref/workbase/temp" | tee "$logs/pe32.txt"
    emulated_status=${PIPESTATUS[0]}
fi
failed_before=$total_failed
[[ -f $logs/pe32.txt ]] && count_from "$logs/pe32.txt"
[[ $emulated_status == 0 || $total_failed -gt $failed_before ]] || total_failed=$((total_failed + 1))

# --- 4. The test host under Wine -----------------------------------------------------------------------
say "Windows test host"
host_dir=build/windows-x64/windows-host
mkdir -p "$host_dir"
x86_64-w64-mingw32-gcc -std=c11 -O1 -Wall -Wextra -Wpedantic -Werror -shared \
    -o "$host_dir/vqlog.dll" tests/windows/vqlog_recorder.c || die "build the recording vqlog.dll"
x86_64-w64-mingw32-gcc -std=c11 -O1 -Wall -Wextra -Wpedantic -Werror \
    -o "$host_dir/host.exe" tests/windows/host.c || die "build host.exe"
cp build/windows-x64/src/quorix_marker.dll "$host_dir/" || die "copy quorix_marker.dll"

# The host imports the bundled examples and compares with their expected import files. A long lay joins
# them, whose position file the module makes in parts on several threads; its expected files are those
# the converter built for Linux writes.
scratch_examples="$logs/examples"
cp -r examples "$scratch_examples" || die "copy the examples"
python3 - "$scratch_examples/lays/LONG.LAY" <<'PYTHON' || die "generate the long lay"
import sys
sys.path.insert(0, "examples")
import generate as g
entries = [g.placement(i * 7 % 3, i * 5 % 4, float(i % 360), (i % 20000) / 8.0, (i // 20000) * 100.0,
                       turned=i % 2 == 1, flipped=i % 4 > 1) for i in range(150000)]
entries = [e for e in entries if b"\r\n" not in e]  # a CR LF pair would be read as a line feed
records = [g.record("Y", g.i32(1)), g.width(1600.0, 50000.0), g.names(["FRONT", "BACK", "SLEEVE", "CUFF"], ["S", "M", "L"])]
records += [g.placements("P", entries[k:k + 500]) for k in range(0, len(entries), 500)]
with open(sys.argv[1], "wb") as f:
    f.write(b"".join(records))
PYTHON
linux_cli=build/release/cli/quorix-import
if [[ ! -x $linux_cli ]]; then
    { cmake --preset release >/dev/null && cmake --build --preset release --target quorix-import -j "$jobs" >/dev/null; } ||
        die "build the converter for Linux"
fi
mkdir -p "$scratch_examples/expected/LONG-LAY"
"$linux_cli" -o "$scratch_examples/expected/LONG-LAY" "$scratch_examples/lays/LONG.LAY" >/dev/null ||
    die "convert the long lay for Linux"
examples="Z:${scratch_examples//\//\\}"

wine_started=0
host_status=1
with_display=() # what Wine is run under: nothing, or a virtual display
if [[ -n $wine ]]; then
    WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/quorix-wine.XXXXXX")
    export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
    unset DISPLAY WAYLAND_DISPLAY
    wineserver=$(dirname "$wine")/wineserver
    [[ -x $wineserver ]] || wineserver=$(command -v wineserver || true)
    stop_wine() {
        [[ -n $wineserver ]] && "$wineserver" -k >/dev/null 2>&1
        rm -rf "$WINEPREFIX" "$logs"
    }
    trap stop_wine EXIT
    run_wine() { timeout 180 "$wine" "$@"; }
    echo "prefix $WINEPREFIX"
    if run_wine wineboot -i >"$logs/wineboot.txt" 2>&1 && run_wine cmd /c echo wine-started 2>/dev/null | grep -q wine-started; then
        wine_started=1
    else
        # Some Wine builds want a display for their first start; try a virtual one.
        command -v xvfb-run >/dev/null || { echo "installing xvfb"; apt_install xvfb xauth || true; }
        if command -v xvfb-run >/dev/null; then
            run_wine() { timeout 180 xvfb-run -a "$wine" "$@"; }
            with_display=(xvfb-run -a)
            if run_wine wineboot -i >>"$logs/wineboot.txt" 2>&1 &&
                run_wine cmd /c echo wine-started 2>/dev/null | grep -q wine-started; then
                wine_started=1
            fi
        fi
    fi
fi

if [[ $wine_started == 1 ]]; then
    bin="$WINEPREFIX/drive_c/qx/bin"
    mkdir -p "$bin"
    cp "$host_dir/host.exe" "$host_dir/vqlog.dll" "$host_dir/quorix_marker.dll" "$bin/"
    (cd "$logs" && run_wine 'c:\qx\bin\host.exe' "$examples") 2>&1 |
        tee "$logs/host.txt"
    host_status=${PIPESTATUS[0]}
    failed_before=$total_failed
    count_from "$logs/host.txt"
    # A host that stopped early without counting its failures still fails.
    [[ $host_status == 0 || $total_failed -gt $failed_before ]] || total_failed=$((total_failed + 1))

    # --- 5. The converter under Wine ---------------------------------------------------------------------
    say "quorix-import.exe under Wine"
    exe=$root/build/windows-x64/cli/quorix-import.exe
    "$wineserver" -p >/dev/null 2>&1 # one server for the many short runs below
    # The files the test host imports, converted by the Windows converter: the same bytes as the Linux
    # converter's (examples/expected, and the long lay's files written above by build/release).
    for input in lays/W12.LAY lays/SKIP-01.LAY markers/m1.mkr lays/LONG.LAY; do
        name=$(basename "$input" | tr . -)
        out="$logs/converted/$name"
        printed=$(run_wine "$exe" -o "$out" "$scratch_examples/$input" 2>"$logs/converter-err.txt")
        if [[ $printed == "$name" && ! -s $logs/converter-err.txt ]] &&
            cmp -s "$out/csvimprt.txt" "$scratch_examples/expected/$name/csvimprt.txt" &&
            cmp -s "$out/posimport.txt" "$scratch_examples/expected/$name/posimport.txt"; then
            pass "quorix-import.exe $input: $name, the import files of the Linux converter"
        else
            cat "$logs/converter-err.txt"
            fail converter_failures "quorix-import.exe $input: printed '$printed', import files not the Linux converter's"
        fi
    done
    # The converter's process tests, built for Linux, start the Windows converter through Wine.
    tests_dir=build/windows-x64/converter-tests
    if cmake -S . -B "$tests_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        "-DQUORIX_CONVERTER_UNDER_TEST=$wine;$exe" >"$logs/tests-configure.txt" 2>&1 &&
        cmake --build "$tests_dir" --target quorix_cli_tests -j "$jobs" >"$logs/tests-build.txt" 2>&1; then
        run_cli_tests() { # gtest arguments; the output in $logs/cli-tests.txt, the counts in passed and so on
            local out=$logs/cli-tests.txt
            (cd "$tests_dir/tests/cli" && "${with_display[@]}" ./quorix_cli_tests "$@") >"$out" 2>&1
            tests_status=$?
            passed=$(sed -nE 's/^\[  PASSED  \] ([0-9]+) tests?\.$/\1/p' "$out" | tail -1)
            skipped=$(sed -nE 's/^\[  SKIPPED \] ([0-9]+) tests?, listed below:$/\1/p' "$out" | tail -1)
            failed=$(sed -nE 's/^\[  FAILED  \] ([0-9]+) tests?, listed below:$/\1/p' "$out" | tail -1)
            passed=${passed:-0} skipped=${skipped:-0} failed=${failed:-0}
            [[ $tests_status == 0 || $failed -gt 0 ]] || failed=1 # stopped early without counting
        }
        show_failures() { # what each failed case printed
            awk '/^\[ RUN      \]/ { case = "" } { case = case $0 "\n" }
                 /^\[  FAILED  \] .* \([0-9]+ ms\)$/ { printf "%s", case }' "$logs/cli-tests.txt"
            [[ $tests_status == 0 ]] || grep -qE '^\[  FAILED  \] .* \([0-9]+ ms\)$' "$logs/cli-tests.txt" ||
                tail -5 "$logs/cli-tests.txt" # it stopped without a failed case: how it ended
        }
        run_cli_tests
        # Each case skipped, with its reason, and each case failed.
        awk '/^not on Windows: / { reason = substr($0, 17) }
             /^\[  SKIPPED \] .* \([0-9]+ ms\)$/ { print "skip - " $4 ": " reason }
             /^\[  FAILED  \] .* \([0-9]+ ms\)$/ { sub(/,$/, "", $4); print "FAIL - " $4 }' \
            "$logs/cli-tests.txt"
        grep -E '^\[==========\] [0-9]+ tests' "$logs/cli-tests.txt" | tail -1
        all_passed=$passed all_skipped=$skipped
        if [[ $failed != 0 ]]; then
            show_failures
            # Wine itself now and then fails a process: a start that ends at once with status 1, or an exit
            # that stops in an assertion of the Unix loader ("Inconsistency detected by ld.so"). The failed
            # cases run once more; one that passes then is reported here, the rest fail.
            first_failures=$(awk '/^\[  FAILED  \] .* \([0-9]+ ms\)$/ { sub(/,$/, "", $4); print $4 }' \
                "$logs/cli-tests.txt" | paste -sd: -)
            if [[ $tests_status != 0 && -n $first_failures ]]; then
                run_cli_tests "--gtest_filter=$first_failures"
                all_passed=$((all_passed + passed))
                echo "RUN AGAIN under Wine: ${first_failures//:/ } -> $passed passed, $failed failed"
                [[ $failed == 0 ]] || show_failures
            fi
        fi
        echo "converter process tests under Wine: $all_passed passed, $failed failed, $all_skipped skipped"
        total_passed=$((total_passed + all_passed))
        total_failed=$((total_failed + failed))
        total_skipped=$((total_skipped + all_skipped))
        converter_failures=$((converter_failures + failed))
    else
        cat "$logs/tests-configure.txt" "$logs/tests-build.txt" | tail -30
        fail converter_failures "build the converter's process tests"
    fi
else
    total_skipped=$((total_skipped + 1))
    cat <<EOF

##########################################################################################
##  WINE CANNOT START ON THIS MACHINE: the test host and the converter did NOT run.     ##
##  Only the builds, the header and import checks, the zips and the emulated runs of    ##
##  the 32-bit DLL were done.                                                           ##
##########################################################################################
EOF
    [[ -f $logs/wineboot.txt ]] && sed 's/^/wineboot: /' "$logs/wineboot.txt" | tail -20
fi

say "summary"
echo "header check x86: $([[ $headers_x86 == 0 ]] && echo passed || echo FAILED)"
echo "header check x64: $([[ $headers_x64 == 0 ]] && echo passed || echo FAILED)"
echo "32-bit DLL on an emulated CPU: $([[ $emulated_status == 0 ]] && echo passed || echo FAILED)"
if [[ $wine_started == 1 ]]; then
    echo "test host under Wine: $([[ $host_status == 0 ]] && echo passed || echo FAILED)"
else
    echo "test host under Wine: NOT RUN (Wine cannot start)"
fi
echo "quorix-import.exe: $([[ $converter_failures == 0 ]] && echo passed || echo FAILED)$(
    [[ $wine_started == 1 ]] || echo " (imports only; Wine cannot start)")"
echo "windows: $total_passed passed, $total_failed failed, $total_skipped skipped"
[[ $headers_x86 == 0 && $headers_x64 == 0 && $zip_failures == 0 && $emulated_status == 0 &&
    $converter_failures == 0 &&
    ($wine_started == 0 || $host_status == 0) ]]
