#!/usr/bin/env bash
# Checks the headers of a built quorix_marker.dll with the MinGW-w64 objdump:
#   - a 32-bit x86 DLL (PE32, file format pei-i386); with --x64 a 64-bit one (PE32+, pei-x86-64);
#   - exactly one export, ImportQuorixFile, by its plain name; on x86 the C calling convention
#     (a plain ret, no stdcall decoration) when the DLL still has its symbol table;
#   - imports from the listed system libraries and from vqlog.dll only, and from vqlog.dll exactly
#     dll_vq_log_error, by name;
#   - resources: the string table (English, United States) holding exactly the texts of ids 1 and 2, and
#     a version resource whose file and product versions are both the project version and whose
#     LegalCopyright names the copyright holders and the licence of LICENSE.
#
# Usage: ci/check-dll-headers.sh [--x64] [DLL]   (default DLL: build/windows-x86/src/quorix_marker.dll,
#        or build/windows-x64/src/quorix_marker.dll with --x64)
set -uo pipefail # no -e: every check runs and is counted

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
arch=x86
dll=""
for arg in "$@"; do
    case "$arg" in
        --x64) arch=x64 ;;
        -h | --help) sed -n '2,13p' "${BASH_SOURCE[0]}"; exit 0 ;;
        *) dll=$arg ;;
    esac
done
if [[ $arch == x86 ]]; then
    triplet=i686-w64-mingw32
    binutils_package=binutils-mingw-w64-i686
    expected_format=pei-i386
    expected_architecture=i386
    expected_magic=010b
    expected_pe=PE32
else
    triplet=x86_64-w64-mingw32
    binutils_package=binutils-mingw-w64-x86-64
    expected_format=pei-x86-64
    expected_architecture=i386:x86-64
    expected_magic=020b
    expected_pe=PE32+
fi
dll=${dll:-$root/build/windows-$arch/src/quorix_marker.dll}
objdump=$triplet-objdump

if ! command -v "$objdump" >/dev/null; then
    echo "installing $binutils_package for $objdump"
    apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$binutils_package" >/dev/null
fi
if [[ ! -f $dll ]]; then
    echo "FAIL - $dll does not exist"
    echo "dll-headers: 0 passed, 1 failed"
    exit 1
fi

# System libraries that the module may import. Anything else (a C++ runtime DLL, libwinpthread, ...) means
# that a runtime was not linked in and the host would fail to load the module.
allowed_system_dlls=(KERNEL32.dll msvcrt.dll USER32.dll)
# The texts of the module's string table, ids 1 and 2, as the host's error log shows them.
message1="File '%1' is not in Quorix LayY or Marker format."
message2="Marker file %1 has not supported format ver.%2."

passed=0
failed=0
pass() { echo "ok   - $1"; passed=$((passed + 1)); }
fail() { echo "FAIL - $1"; failed=$((failed + 1)); }
check() { # check DESCRIPTION CONDITION-RESULT(0/1) [DETAIL]
    if [[ $2 == 0 ]]; then pass "$1"; else fail "$1${3:+: $3}"; fi
}

headers=$("$objdump" -p "$dll")
file_header=$("$objdump" -f "$dll")
echo "checking $dll ($arch)"

# --- Machine and format --------------------------------------------------------------------------------
[[ $file_header == *"file format $expected_format"* ]]; check "file format $expected_format" $? \
    "$(grep -m1 -o 'file format .*' <<<"$file_header")"
grep -q "^architecture: $expected_architecture," <<<"$file_header"; check "architecture $expected_architecture" $? \
    "$(grep -m1 '^architecture' <<<"$file_header")"
awk -v magic="$expected_magic" -v kind="($expected_pe)" '$1 == "Magic" && $2 == magic && $3 == kind {found = 1}
    END {exit !found}' <<<"$headers"
check "optional header magic $expected_magic ($expected_pe)" $? \
    "$(grep -m1 '^Magic' <<<"$headers")"
grep -qx $'\tDLL' <<<"$headers"; check "image is a DLL" $?

# --- Exports -------------------------------------------------------------------------------------------
exports=$(awk '/^\[Ordinal\/Name Pointer\] Table/ {inside = 1; next}
               inside && /^[ \t]*$/ {inside = 0}
               inside && /\[ *[0-9]+\]/ {print $NF}' <<<"$headers")
[[ $exports == "ImportQuorixFile" ]]; check "exactly one export, ImportQuorixFile" $? "exports: [${exports//$'\n'/, }]"
address_count=$(awk '/^\tExport Address Table[ \t]+[0-9a-f]+$/ {print $NF; exit}' <<<"$headers")
[[ $address_count == 00000001 ]]; check "export address table of one entry" $? "$address_count entries"
export_name=$(awk '/^Name[ \t]+[0-9a-f]+ / {print $NF; exit}' <<<"$headers")
[[ $export_name == quorix_marker.dll ]]; check "export directory names quorix_marker.dll" $? "$export_name"

if [[ $arch == x86 ]]; then
    symbols=$("$objdump" -t "$dll" 2>/dev/null | awk '/ _ImportQuorixFile(@[0-9]+)?$/ {print $NF}')
    if [[ -z $symbols ]]; then
        echo "note - no symbol table: the calling convention of ImportQuorixFile is not checked"
    else
        [[ $symbols == _ImportQuorixFile ]]; check "ImportQuorixFile has the C calling convention's name" $? \
            "symbols: ${symbols//$'\n'/, }"
        returns=$("$objdump" -d --disassemble=_ImportQuorixFile "$dll" | grep -E $'\tret' || true)
        [[ -n $returns ]] && ! grep -q 'ret  *\$' <<<"$returns"
        check "ImportQuorixFile leaves its arguments to the caller (plain ret)" $? "${returns//$'\n'/; }"
    fi
fi

# --- Imports -------------------------------------------------------------------------------------------
mapfile -t imported_dlls < <(awk '/^\tDLL Name: / {print $3}' <<<"$headers")
unexpected=()
for name in "${imported_dlls[@]}"; do
    allowed=1
    for system in "${allowed_system_dlls[@]}" vqlog.dll; do
        [[ ${name,,} == "${system,,}" ]] && allowed=0
    done
    [[ $allowed == 0 ]] || unexpected+=("$name")
done
[[ ${#unexpected[@]} == 0 ]]; check "imports only from ${allowed_system_dlls[*]} and vqlog.dll" $? \
    "also from: ${unexpected[*]:-}"
# Members of one imported library, one a line (an import by ordinal shows as <none> or #ordinal).
members_of() {
    awk -v dll="$1" '
        /^\tDLL Name: / {inside = (tolower($3) == tolower(dll)); next}
        inside && /^[ \t]*$/ {inside = 0}
        inside && /^\t[0-9a-f]+\t/ {print (NF >= 3 ? $3 : "#" $2)}
        inside && /^\t[0-9a-f]+ *<none>/ {print "#ordinal"}' <<<"$headers"
}
vqlog_members=$(members_of vqlog.dll)
[[ $vqlog_members == dll_vq_log_error ]]; check "vqlog.dll supplies exactly dll_vq_log_error, by name" $? \
    "members: [${vqlog_members//$'\n'/, }]"
elsewhere=$(for name in "${imported_dlls[@]}"; do
    [[ ${name,,} == vqlog.dll ]] || members_of "$name"
done | grep -c '^dll_vq_log_error$' || true)
[[ $elsewhere == 0 ]]; check "dll_vq_log_error is imported from vqlog.dll only" $?

# --- Resources -----------------------------------------------------------------------------------------
# The directory as objdump prints it: type entries, then name entries, then language entries, each level
# indented two spaces deeper. Print "type name language" for every leaf.
resources=$(awk '
    /^[0-9a-f]+ +Entry: ID: 0x[0-9a-f]+/ {
        match($0, /^[0-9a-f]+/); offset = RLENGTH
        match($0, /^[0-9a-f]+ +/); depth = RLENGTH - offset
        id = $0; sub(/.*ID: 0x/, "", id); sub(/,.*/, "", id)
        if (base == 0) base = depth
        level = (depth - base) / 2
        if (level == 0) type = id
        else if (level == 1) name = id
        else print type, name, id
    }' <<<"$headers")
grep -qx '000006 000001 000409' <<<"$resources"
check "string table block of ids 0 to 15 in English (United States)" $? "resources: ${resources//$'\n'/; }"
grep -q '^000010 [0-9a-f]* 000409$' <<<"$resources"
check "version resource" $? "resources: ${resources//$'\n'/; }"

# The section's bytes as "xx " pairs, so that a search can only match at byte boundaries.
rsrc_bytes=$("$objdump" -s -j .rsrc "$dll" | awk '
    /^ [0-9a-f]+ / {
        for (i = 2; i <= 5 && i <= NF; ++i) {
            if ($i !~ /^[0-9a-f]+$/) break
            for (j = 1; j < length($i); j += 2) printf "%s ", substr($i, j, 2)
        }
    }')
word_le() { printf '%02x %02x ' $(($1 & 0xff)) $((($1 >> 8) & 0xff)); }
utf16_counted() { # the length word and the UTF-16LE characters of an ASCII text
    local text=$1 i
    word_le ${#text}
    for ((i = 0; i < ${#text}; ++i)); do
        printf '%02x 00 ' "'${text:i:1}"
    done
}
# Block 1 of a string table: string 0 empty, strings 1 and 2, strings 3 to 15 empty.
block=$(word_le 0; utf16_counted "$message1"; utf16_counted "$message2"; for i in {3..15}; do word_le 0; done)
[[ $rsrc_bytes == *"$block"* ]]
check "string table holds exactly id 1 \"$message1\" and id 2 \"$message2\"" $?

project_version=$(sed -n 's/^project([^)]*VERSION \([0-9][0-9.]*\).*/\1/p' "$root/CMakeLists.txt" | head -1)
IFS=. read -r major minor patch tweak <<<"$project_version"
expected_ms=$(((${major:-0} << 16) | ${minor:-0}))
expected_ls=$(((${patch:-0} << 16) | ${tweak:-0}))
dword_le() { printf '%02x %02x %02x %02x ' $(($1 & 0xff)) $((($1 >> 8) & 0xff)) $((($1 >> 16) & 0xff)) \
    $((($1 >> 24) & 0xff)); }
# VS_FIXEDFILEINFO: signature, structure version, file version (MS, LS), product version (MS, LS).
versions=$(dword_le $expected_ms; dword_le $expected_ls; dword_le $expected_ms; dword_le $expected_ls)
[[ $rsrc_bytes =~ "bd 04 ef fe "..\ ..\ ..\ ..\ "$versions" ]]
check "file and product version both $project_version" $? "fixed file information: $(grep -o 'bd 04 ef fe .\{60\}' <<<"$rsrc_bytes" || echo none)"

# The version resource's LegalCopyright: the licence's copyright line and name, as UTF-16LE with its NUL.
utf16() { # the UTF-16LE characters of an ASCII text
    local text=$1 i
    for ((i = 0; i < ${#text}; ++i)); do
        printf '%02x 00 ' "'${text:i:1}"
    done
}
legal_copyright="$(grep -m1 '^Copyright ' "$root/LICENSE"). $(head -1 "$root/LICENSE")."
[[ $rsrc_bytes == *"$(utf16 LegalCopyright)00 00 "*"$(utf16 "$legal_copyright")00 00 "* ]]
check "LegalCopyright \"$legal_copyright\"" $?

echo "dll-headers: $passed passed, $failed failed"
[[ $failed == 0 ]]
