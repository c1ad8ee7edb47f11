#!/usr/bin/env bash
# Counts the instructions of the converter's import of a generated lay with callgrind: the whole run and
# the lay reader's Parse (inclusive), for each converter given, side by side.
#
#   bench/callgrind.sh [-n PLACEMENTS] QUORIX_IMPORT [QUORIX_IMPORT...]
#
# The lay (50 models, 200 pieces, default 1,000,000 placements) is made with make-input from the first
# converter's build folder (or MAKE_INPUT). A converter built from an older revision gives the
# before/after comparison. Instruction counts are stable from run to run, unlike timings on a busy machine.
set -euo pipefail

placements=1000000
if [[ ${1:-} == -n ]]; then
    placements=$2
    shift 2
fi
if (($# == 0)); then
    sed -n '2,9p' "$0" >&2
    exit 64
fi
if ! command -v valgrind >/dev/null; then
    echo "callgrind.sh: valgrind is missing (apt-get install -y valgrind)" >&2
    exit 2
fi
make_input=${MAKE_INPUT:-$(dirname "$1")/../bench/make-input}

work=$(mktemp -d "${TMPDIR:-/tmp}/quorix-callgrind-XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/out"
"$make_input" lay "$work/lay.lay" --placements "$placements" --models 50 --pieces 200

printf "%-60s %16s %16s\n" "converter ($placements placements)" "whole import Ir" "Parse Ir"
for cli in "$@"; do
    valgrind --tool=callgrind --callgrind-out-file="$work/profile" "$cli" -o "$work/out" "$work/lay.lay" \
        >/dev/null 2>"$work/valgrind.txt"
    total=$(awk '/Collected :/ { print $NF }' "$work/valgrind.txt")
    parse=$(callgrind_annotate --inclusive=yes "$work/profile" 2>/dev/null |
        awk '!found && /QuorLayY::Parse\(\)/ { gsub(",", "", $1); print $1; found = 1 }')
    printf "%-60s %16s %16s\n" "$cli" "$total" "${parse:-?}"
done
