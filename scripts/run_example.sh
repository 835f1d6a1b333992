#!/bin/bash
# Installs what the solver needs, builds it in build/ (the folder
# scripts/test.sh builds in too, so the second command reuses the first's
# work) and runs a deck, by default the bundled example
# examples/steel_bar/steel_bar.k. Results go to build/results: result.vtk,
# result_1.vtk, ... (open them in ParaView as one time series) and the run
# record history/history_record.txt.
#
#   scripts/run_example.sh [deck [work-folder]]
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build"
deck="${1:-$root/examples/steel_bar/steel_bar.k}"
work="${2:-$build/results}"

# Build tools and libraries (Debian): only what is missing is installed.
"$root/scripts/install-deps.sh"

cmake -S "$root" -B "$build"
cmake --build "$build" -j"$(nproc)" --target impactfem

"$build/impactfem" "INP=$deck" "WD=$work"
