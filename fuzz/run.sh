#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer) and runs each for
# the given number of seconds, starting from the committed seed corpus and regression inputs.
#
#   fuzz/run.sh SECONDS [TARGET...]
#
# A crash leaves its input in build/fuzz/crashes/<target>/ and makes the script fail. The corpus grown by a
# run stays in build/fuzz/work/<target>/ (not committed). The summary gives a line per target with its
# executions per second; throughput is reported, never a reason to fail.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:?usage: fuzz/run.sh SECONDS [TARGET...]}"
shift
targets=("$@")

# Scratch files of the targets live in memory where the machine allows it.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
    export TMPDIR=/dev/shm
fi

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
if [ "${#targets[@]}" -eq 0 ]; then
    mapfile -t targets < build/fuzz/fuzz/fuzz-targets.txt # the list that fuzz/CMakeLists.txt keeps
fi

# Runs one target; its summary is printed when all are done.
fuzz_one() {
    local target="$1" dict
    case "$target" in
        LayYFuzzer|ImportFuzzer) dict=fuzz/lay.dict ;;
        *) dict=fuzz/marker.dict ;;
    esac
    local crashes="build/fuzz/crashes/$target"
    mkdir -p "build/fuzz/work/$target" "$crashes"
    local code=0
    "build/fuzz/fuzz/$target" "build/fuzz/work/$target" "fuzz/corpus/$target" "fuzz/regressions/$target" \
        -dict="$dict" -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=2048 -timeout=10 \
        -artifact_prefix="$crashes/" -print_final_stats=1 >"build/fuzz/$target.log" 2>&1 || code=$?
    echo "$code" >"build/fuzz/$target.status"
}

# As many targets at a time as the machine has cores.
parallel="${FUZZ_PARALLEL:-$(nproc)}"
pids=()
for target in "${targets[@]}"; do
    echo "== $target: ${seconds}s"
    fuzz_one "$target" &
    pids+=("$!")
    if [ "${#pids[@]}" -ge "$parallel" ]; then
        wait "${pids[0]}" || true
        pids=("${pids[@]:1}")
    fi
done
wait || true

# One line per target: what it ran, from libFuzzer's final statistics (-print_final_stats).
status=0
for target in "${targets[@]}"; do
    log="build/fuzz/$target.log"
    if [ "$(cat "build/fuzz/$target.status" 2>/dev/null)" != "0" ]; then
        echo "!! $target failed; see $log and build/fuzz/crashes/$target/"
        tail -n 40 "$log"
        status=1
    fi
    awk -v target="$target" '
        $1 == "stat::number_of_executed_units:" { runs = $2 }
        $1 == "stat::average_exec_per_sec:" { rate = $2 }
        $1 == "stat::peak_rss_mb:" { rss = $2 }
        END {
            if (runs == "") { print "-- " target ": no statistics (see its log)"; exit }
            printf "-- %s: %d execs/s, %d inputs run, peak RSS %d MB\n", target, rate, runs, rss
        }' "$log"
done
exit "$status"
