#!/usr/bin/env bash
# Runs the whole test suite of a coverage build (preset `coverage`) and reports line and branch coverage
# of the module's sources (src/; the stand-in of the host's log library is not the module's).
#
#   ci/coverage.sh BUILD_FOLDER      (the `coverage` target of that build runs it)
set -euo pipefail
build="$(cd "${1:?usage: ci/coverage.sh BUILD_FOLDER}" && pwd)"
source_dir="$(cd "$(dirname "$0")/.." && pwd)"
profiles="$build/profiles"
rm -rf "$profiles"
mkdir -p "$profiles"
LLVM_PROFILE_FILE="$profiles/%p-%m.profraw" ctest --test-dir "$build" -j2 --output-on-failure >"$build/coverage-ctest.log" 2>&1 ||
    { tail -n 30 "$build/coverage-ctest.log"; exit 1; }
profdata=$(command -v llvm-profdata || command -v llvm-profdata-14)
cov=$(command -v llvm-cov || command -v llvm-cov-14)
"$profdata" merge -sparse "$profiles"/*.profraw -o "$build/coverage.profdata"
binaries=()
while IFS= read -r binary; do
    binaries+=("$binary")
done < <(find "$build" -type f \( -perm -u+x -o -name '*.so*' \) ! -name '*.sh' ! -path '*/CMakeFiles/*' \
             -exec sh -c 'head -c 4 "$1" | grep -q ELF' _ {} \; -print)
# The first binary is named as such, every other one with -object.
objects=("${binaries[0]}")
for binary in "${binaries[@]:1}"; do
    objects+=(-object "$binary")
done
"$cov" report "${objects[@]}" -instr-profile="$build/coverage.profdata" -show-branch-summary \
    -ignore-filename-regex='/platform/vqlog/' "$source_dir/src" | tee "$build/coverage.txt"
"$cov" show "${objects[@]}" -instr-profile="$build/coverage.profdata" -format=html \
    -ignore-filename-regex='/platform/vqlog/' -output-dir="$build/coverage-html" "$source_dir/src" >/dev/null
echo "coverage report: $build/coverage.txt, $build/coverage-html/index.html"
