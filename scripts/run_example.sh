#!/bin/bash
# Installs what the solver needs, builds it and runs the bundled example deck
# examples/steel_bar/steel_bar.k. Results go to build-example/results:
# result.vtk, result_1.vtk, ... (open them in ParaView as one time series),
# and the run record in build-example/results/history/history_record.txt.
#
#   scripts/run_example.sh [deck.k [work-folder]]
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build-example"
deck="${1:-$root/examples/steel_bar/steel_bar.k}"
work="${2:-$build/results}"

# Build tools and libraries (Debian): only what is missing is installed.
"$root/scripts/install-deps.sh"

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DFEM_BUILD_TESTS=OFF -DFEM_BUILD_BENCH=OFF
cmake --build "$build" -j"$(nproc)" --target impactfem

mkdir -p "$work"
"$build/impactfem" "INP=$deck" "WD=$work"

count=$(find "$work" -maxdepth 1 -name 'result*.vtk' | wc -l)
echo
echo "Wrote $count VTK files to $work (result.vtk, result_1.vtk, ...)."
echo "Open them in ParaView (File > Open, pick the result*.vtk group) and colour by Displacement."
