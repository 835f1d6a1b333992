#!/bin/sh
# Runs every speed benchmark of the host build and prints the figures as one
# Markdown table (columns: 1, 2, 4 ... threads up to all cores, and all cores
# with one core kept busy), with the machine and the load average before and
# after; the benchmarks' own output goes to a log file beside it.  Run it on a
# quiet machine: timings taken while others build or run say little.
#
#   bench/run_all.sh [build folder=build] [log=bench_all.log]
set -eu
build=${1:-build}
log=${2:-bench_all.log}
bin="$build/bench"
for b in bench_contact_plate bench_setup bench_vtk_writer bench_hexa_cube bench_shell_plate bench_run; do
  if [ ! -x "$bin/$b" ]; then
    echo "run_all.sh: $bin/$b not found; build the benchmarks first" >&2
    exit 1
  fi
done
cores=$(nproc)
columns="1"
t=2
while [ "$t" -lt "$cores" ]; do
  columns="$columns | $t"
  t=$((t * 2))
done
[ "$cores" -gt 1 ] && columns="$columns | $cores"
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
: >"$log"
run() {
  echo "== $*" >>"$log"
  "$@" >>"$log" 2>&1
}
run "$bin/bench_contact_plate" 100 200
run "$bin/bench_setup" 60
run "$bin/bench_setup" 300 "$cores" 3 plate
run "$bin/bench_vtk_writer" 60
run "$bin/bench_hexa_cube" 20 100
run "$bin/bench_hexa_cube" 40 20
run "$bin/bench_hexa_cube" 60 20
run "$bin/bench_shell_plate" 200 20
run "$bin/bench_run" 30 200
model=$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')
echo "Machine: $model, $cores cores; load average before $load_before, after $(cut -d' ' -f1-3 /proc/loadavg)."
echo
echo "| figure | $columns | $cores, one core busy |"
echo "| --- |$(echo "$columns" | sed 's/[^|]*/ --- /g') | --- |"
grep '^table |' "$log" | sed 's/^table //'
