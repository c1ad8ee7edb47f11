#!/usr/bin/env bash
# Times the converter's imports of a generated lay and a generated marker against the I/O floor of the
# same jobs.
#
#   bench/floor.sh [BUILD_DIR]    (default build/bench: cmake --preset bench && cmake --build --preset bench)
#
# The floor of an import is copying its input and writing a file of the size of the import files, both
# from the page cache. For a lay of 1,000,000 placements (50 models, 200 pieces) the script prints the
# median times, the ratio import / floor (target: 1.5, at most 2.5), and the growth of the import time per
# doubling from 125,000 to 1,000,000 placements (target: 2.1 at most); for a marker of 40 slots with large
# styles (16 sizes, 2,000 pieces each) the same ratio (target: 2 at most). Then the peak memory and the
# minor page faults of each import (target for the lay: a peak of at most its input's size).
#
# The commands take turns, one run of each in every round (in an order that moves on by one each round),
# so that the load of a shared machine weighs on all of them alike; each figure is the median of its runs.
#
# Environment: RUNS (timed rounds, default 7), WARMUP (rounds not counted, default 1), BASELINE (another
# quorix-import run beside this one, for instance one built from an older revision), KEEP=1 keeps the
# generated files.
set -euo pipefail

build=${1:-build/bench}
cli=$build/cli/quorix-import
make_input=$build/bench/make-input
runs=${RUNS:-7}
warmup=${WARMUP:-1}
for tool in "$cli" "$make_input"; do
    if [[ ! -x $tool ]]; then
        echo "floor.sh: $tool is missing; build it with: cmake --preset bench && cmake --build --preset bench" >&2
        exit 2
    fi
done
time_tool=/usr/bin/time
if [[ ! -x $time_tool ]]; then
    echo "floor.sh: $time_tool is missing (apt-get install -y time)" >&2
    exit 2
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/quorix-floor-XXXXXX")
if [[ ${KEEP:-0} != 1 ]]; then
    trap 'rm -rf "$work"' EXIT
fi
mkdir -p "$work/out" "$work/floor"

sizes=(125000 250000 500000 1000000)
for n in "${sizes[@]}"; do
    "$make_input" lay "$work/lay-$n.lay" --placements "$n" --models 50 --pieces 200
done
big=$work/lay-1000000.lay
marker=$("$make_input" marker "$work/marker" --styles 40 --sizes 16 --pieces 2000)

# The outputs of each import, and one file of their total size to write for its floor.
"$cli" -o "$work/out" "$big" >/dev/null
cat "$work/out/csvimprt.txt" "$work/out/posimport.txt" >"$work/outputs"
"$cli" -o "$work/out" "$marker" >/dev/null
cat "$work/out/csvimprt.txt" "$work/out/posimport.txt" >"$work/marker-outputs"
cat "$work"/lay-*.lay "$work/outputs" "$work/marker-outputs" "$marker" "$work"/marker/styles/* >/dev/null
input_bytes=$(stat -c %s "$big")
output_bytes=$(stat -c %s "$work/outputs")
marker_input_bytes=$(cat "$marker" "$work"/marker/styles/* | wc -c)
marker_output_bytes=$(stat -c %s "$work/marker-outputs")

# The commands, by name; each is run through sh -c, the floors as much as the imports.
declare -A command
command[floor]="cp $big $work/floor/input && cp $work/outputs $work/floor/outputs"
command[import]="$cli -o $work/out $big"
command[marker-floor]="cat $marker $work/marker/styles/* >$work/floor/input && cp $work/marker-outputs $work/floor/outputs"
command[marker-import]="$cli -o $work/out $marker"
order=(floor import marker-floor marker-import)
if [[ -n ${BASELINE:-} ]]; then
    command[baseline]="$BASELINE -o $work/out $big"
    command[marker-baseline]="$BASELINE -o $work/out $marker"
    order+=(baseline marker-baseline)
fi
for n in "${sizes[@]:0:3}"; do
    command[lay-$n]="$cli -o $work/out $work/lay-$n.lay"
    order+=("lay-$n")
done

# Every round runs each command once, starting one further along the list than the round before; the
# wall-clock microseconds of each run are kept in a file per command.
count=${#order[@]}
for ((round = 0; round < warmup + runs; ++round)); do
    for ((k = 0; k < count; ++k)); do
        name=${order[(round + k) % count]}
        start=$(date +%s%N)
        sh -c "${command[$name]}" >/dev/null
        end=$(date +%s%N)
        if ((round >= warmup)); then
            echo $(((end - start) / 1000)) >>"$work/times-$name"
        fi
    done
done
# The median of a command's runs, in seconds.
median() {
    sort -n "$work/times-$1" |
        awk '{ t[NR] = $1 } END { m = NR % 2 ? t[(NR + 1) / 2] : (t[NR / 2] + t[NR / 2 + 1]) / 2; printf "%.6f\n", m / 1e6 }'
}
# The peak memory (kB) and the minor page faults of one run of a command.
peak_and_faults() {
    # shellcheck disable=SC2086 # the command's words
    "$time_tool" -v $1 >/dev/null 2>"$work/time.txt"
    awk -F': ' '/Maximum resident set size/ { peak = $2 } /Minor \(reclaiming a frame\) page faults/ { faults = $2 }
        END { print peak, faults }' "$work/time.txt"
}
# One line of peak memory and faults.
memory_line() {
    local peak faults
    read -r peak faults < <(peak_and_faults "$2")
    awk -v what="$1" -v peak="$peak" -v faults="$faults" -v limit="${3:-0}" 'BEGIN {
        printf "  %-28s %8.1f MB %9d minor page faults", what, peak / 1024, faults
        if (limit > 0) printf "   %s", peak * 1024 <= limit ? "within" : "OVER"
        printf "\n" }'
}

floor=$(median floor)
import=$(median import)
echo "lay of 1,000,000 placements: $input_bytes bytes in, $output_bytes bytes out; medians of $runs rounds"
awk -v f="$floor" -v i="$import" -v bytes="$input_bytes" 'BEGIN {
    printf "  floor (copy in, write out)   %8.1f ms\n", f * 1000
    printf "  import                       %8.1f ms   %6.1f MB/s of input   ratio %.2f (target <= 1.5, at most 2.5)\n",
        i * 1000, bytes / i / 1e6, i / f }'
if [[ -n ${BASELINE:-} ]]; then
    awk -v f="$floor" -v b="$(median baseline)" -v i="$import" 'BEGIN {
        printf "  baseline import              %8.1f ms   ratio %.2f, %.2f x the import above\n", b * 1000, b / f, b / i }'
fi

echo "import time by size (growth per doubling, target <= 2.1):"
previous=
for n in "${sizes[@]}"; do
    if ((n == 1000000)); then t=$import; else t=$(median "lay-$n"); fi
    awk -v n="$n" -v t="$t" -v p="$previous" 'BEGIN {
        printf "  %8d placements %8.1f ms", n, t * 1000
        if (p != "") printf "   x %.2f", t / p
        printf "\n" }'
    previous=$t
done

marker_floor=$(median marker-floor)
marker_import=$(median marker-import)
echo "marker of 40 slots, 16 sizes, 2,000 pieces per style: $marker_input_bytes bytes in (marker and styles)," \
    "$marker_output_bytes bytes out"
awk -v f="$marker_floor" -v i="$marker_import" 'BEGIN {
    printf "  floor (copy in, write out)   %8.1f ms\n", f * 1000
    printf "  import                       %8.1f ms   ratio %.2f (target <= 2)\n", i * 1000, i / f }'
if [[ -n ${BASELINE:-} ]]; then
    awk -v f="$marker_floor" -v b="$(median marker-baseline)" -v i="$marker_import" 'BEGIN {
        printf "  baseline import              %8.1f ms   ratio %.2f, %.2f x the import above\n", b * 1000, b / f, b / i }'
fi

echo "peak memory and minor page faults (target for the lay: a peak of at most its input, $input_bytes bytes):"
memory_line "lay import" "$cli -o $work/out $big" "$input_bytes"
if [[ -n ${BASELINE:-} ]]; then
    memory_line "lay baseline import" "$BASELINE -o $work/out $big" "$input_bytes"
fi
memory_line "marker import" "$cli -o $work/out $marker"
if [[ -n ${BASELINE:-} ]]; then
    memory_line "marker baseline import" "$BASELINE -o $work/out $marker"
fi
