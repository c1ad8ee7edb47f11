#!/usr/bin/env bash
# Runs clang-tidy with the checks of .clang-tidy over the module's and the converter's sources, using the
# compile commands of the release build (configured here when missing). Every finding is an error: the
# checks are those that find nothing today.
#
#   ci/clang-tidy.sh [BUILD_DIR]    (default build/release)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
if [ ! -f "$build/compile_commands.json" ]; then
    cmake --preset release >/dev/null
fi
run-clang-tidy -p "$build" -quiet "$(pwd)/(src|cli)/.*\.cpp$"
