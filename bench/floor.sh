#!/usr/bin/env bash
# Times the converter's import of generated lays against the I/O floor of the same job.
#
#   bench/floor.sh [BUILD_DIR]    (default build/bench: cmake --preset bench && cmake --build --preset bench)
#
# The floor of an import of a lay is copying the lay and writing a file of the size of the two import
# files, both from the page cache. For a lay of 1,000,000 placements (50 models, 200 pieces) the script
# prints the median times, the ratio import / floor (target: 3 at most), the growth of the import time
# per doubling from 125,000 to 1,000,000 placements (target: 2.2 at most), and the peak memory of the
# import against 3 x input + output.
#
# Environment: RUNS (timed runs per command, default 10), WARMUP (default 2), BASELINE (another
# quorix-import to time side by side, for instance one built from an older revision), KEEP=1 keeps the
# generated files.
set -euo pipefail

build=${1:-build/bench}
cli=$build/cli/quorix-import
make_input=$build/bench/make-input
runs=${RUNS:-10}
warmup=${WARMUP:-2}
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

# The outputs of the big lay, and one file of their total size to write for the floor.
"$cli" -o "$work/out" "$big" >/dev/null
cat "$work/out/csvimprt.txt" "$work/out/posimport.txt" >"$work/outputs"
cat "$work"/lay-*.lay "$work/outputs" >/dev/null # into the page cache
input_bytes=$(stat -c %s "$big")
output_bytes=$(stat -c %s "$work/outputs")

# Median wall-clock seconds of each command (one line each, in order).
medians() {
    if command -v hyperfine >/dev/null; then
        hyperfine -N --style none --warmup "$warmup" --runs "$runs" --export-csv "$work/times.csv" "$@" \
            >/dev/null 2>"$work/hyperfine.txt" || { cat "$work/hyperfine.txt" >&2; exit 1; }
        tail -n +2 "$work/times.csv" | awk -F, '{ print $4 }' # command,mean,stddev,median,...
    else
        local command
        for command in "$@"; do
            local i
            for ((i = 0; i < warmup; ++i)); do sh -c "$command" >/dev/null; done
            for ((i = 0; i < runs; ++i)); do
                local start end
                start=$(date +%s%N)
                sh -c "$command" >/dev/null
                end=$(date +%s%N)
                echo $(((end - start) / 1000))
            done | sort -n | awk '{ t[NR] = $1 } END { m = NR % 2 ? t[(NR + 1) / 2] : (t[NR / 2] + t[NR / 2 + 1]) / 2; printf "%.6f\n", m / 1e6 }'
        done
    fi
}

floor_command="sh -c 'cp $big $work/floor/input && cp $work/outputs $work/floor/outputs'"
commands=("$floor_command" "$cli -o $work/out $big")
if [[ -n ${BASELINE:-} ]]; then
    commands+=("$BASELINE -o $work/out $big")
fi
mapfile -t times < <(medians "${commands[@]}")

echo "lay of 1,000,000 placements: $input_bytes bytes in, $output_bytes bytes out; medians of $runs runs"
awk -v f="${times[0]}" -v i="${times[1]}" -v bytes="$input_bytes" 'BEGIN {
    printf "  floor (copy in, write out)   %8.1f ms\n", f * 1000
    printf "  import                       %8.1f ms   %6.1f MB/s of input   ratio %.2f (target <= 3)\n",
        i * 1000, bytes / i / 1e6, i / f }'
if [[ -n ${BASELINE:-} ]]; then
    awk -v f="${times[0]}" -v b="${times[2]}" -v i="${times[1]}" 'BEGIN {
        printf "  baseline import              %8.1f ms   ratio %.2f, %.2f x the import above\n",
            b * 1000, b / f, b / i }'
fi

growth_commands=()
for n in "${sizes[@]}"; do
    growth_commands+=("$cli -o $work/out $work/lay-$n.lay")
done
mapfile -t growth < <(medians "${growth_commands[@]}")
echo "import time by size (growth per doubling, target <= 2.2):"
for i in "${!sizes[@]}"; do
    if ((i == 0)); then
        awk -v n="${sizes[i]}" -v t="${growth[i]}" 'BEGIN { printf "  %8d placements %8.1f ms\n", n, t * 1000 }'
    else
        awk -v n="${sizes[i]}" -v t="${growth[i]}" -v p="${growth[i - 1]}" \
            'BEGIN { printf "  %8d placements %8.1f ms   x %.2f\n", n, t * 1000, t / p }'
    fi
done

"$time_tool" -v "$cli" -o "$work/out" "$big" >/dev/null 2>"$work/time.txt"
peak_kb=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$work/time.txt")
awk -v peak="$peak_kb" -v in_bytes="$input_bytes" -v out_bytes="$output_bytes" 'BEGIN {
    limit = (3 * in_bytes + out_bytes) / 1024
    printf "peak memory of the import: %.1f MB (limit 3 x input + output = %.1f MB): %s\n",
        peak / 1024, limit / 1024, peak <= limit ? "within" : "OVER" }'
