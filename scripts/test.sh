#!/usr/bin/env bash
# Builds the host build and runs the whole test suite.
#   scripts/test.sh [build-dir [cmake options...]]
# The build directory defaults to build/ in the repository; further arguments
# go to cmake (for example -DFEM_SANITIZE=ON).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$root/build}
shift || true

"$root/scripts/install-deps.sh"
jobs=$(nproc)
cmake -S "$root" -B "$build" "$@"
cmake --build "$build" -j"$jobs"
cd "$build"
ctest --output-on-failure -j"$jobs"
