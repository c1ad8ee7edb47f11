#!/usr/bin/env bash
# Writes the committed seed corpora (fuzz/corpus/<target>/) anew from the bundled examples and the tests'
# file builders.
#
#   fuzz/make-corpus.sh [BUILD_FOLDER]     (default build/debug; configured with tests on)
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build/debug}"
[ -f "$build/CMakeCache.txt" ] || cmake --preset debug >/dev/null
cmake --build "$build" --target quorix_fuzz_seeds
rm -rf fuzz/corpus
"$build/fuzz/quorix_fuzz_seeds" examples fuzz/corpus
