#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer) and runs each for
# the given number of seconds, starting from the committed seed corpus and regression inputs.
#
#   fuzz/run.sh SECONDS [TARGET...]
#
# A crash leaves its input in build/fuzz/crashes/<target>/ and makes the script fail. The corpus grown by a
# run stays in build/fuzz/work/<target>/ (not committed).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:?usage: fuzz/run.sh SECONDS [TARGET...]}"
shift
targets=("$@")
if [ "${#targets[@]}" -eq 0 ]; then
    targets=(LayYFuzzer MarkerFuzzer TextFieldFuzzer ImportFuzzer)
fi

# Scratch files of the targets live in memory where the machine allows it.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
    export TMPDIR=/dev/shm
fi

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

status=0
for target in "${targets[@]}"; do
    case "$target" in
        LayYFuzzer|ImportFuzzer) dict=fuzz/lay.dict ;;
        *) dict=fuzz/marker.dict ;;
    esac
    work="build/fuzz/work/$target"
    crashes="build/fuzz/crashes/$target"
    mkdir -p "$work" "$crashes"
    log="build/fuzz/$target.log"
    echo "== $target: ${seconds}s"
    if ! "build/fuzz/fuzz/$target" "$work" "fuzz/corpus/$target" "fuzz/regressions/$target" \
        -dict="$dict" -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=2048 -timeout=10 \
        -artifact_prefix="$crashes/" -print_final_stats=1 >"$log" 2>&1; then
        echo "!! $target failed; see $log and $crashes/"
        tail -n 40 "$log"
        status=1
    fi
    grep -E "^#[0-9]+.*(DONE|cov:)" "$log" | tail -n 1 || true
    grep -E "stat::number_of_executed_units|stat::peak_rss_mb" "$log" || true
done
exit "$status"
