#!/bin/sh
# Runs every speed benchmark of the host build and prints the figures as one
# Markdown table (columns: 1, 2, 4 ... threads up to all cores, and all cores
# with one core kept busy), with the machine and the load average before and
# after; the benchmarks' own output goes to a log file beside it.  Beside
# each figure whose work is bound by memory the table gives its floor: the
# bytes the benchmark moves per unit of the figure (its estimate) at the
# triad rate of this machine, measured in the same run (bench_triad), so
# that the distance to the floor is a figure of every run.  Run it on a
# quiet machine: timings taken while others build or run say little.
#
# Given the benchmark folder of another build (the program before a change,
# say), it also runs that build's cube benchmarks (10^3, 30^3 and 60^3) and
# set-up benchmark (60^3), in turn with this build's, the best of three runs
# each, into the log file with ".old" appended, and prints each figure of
# this build over the other's (times per element-cycle and per element of
# the set-up, resident bytes per element).
#
#   bench/run_all.sh [build folder=build] [log=bench_all.log] [other bench folder]
set -eu
build=${1:-build}
log=${2:-bench_all.log}
old=${3:-}
bin="$build/bench"
if [ -n "$old" ] && [ ! -x "$old/bench_hexa_cube" ]; then
  echo "run_all.sh: $old/bench_hexa_cube not found" >&2
  exit 1
fi
for b in bench_triad bench_contact_plate bench_contact_setup bench_setup bench_vtk_writer bench_hexa_cube \
  bench_shell_plate bench_run; do
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
run "$bin/bench_triad"
run "$bin/bench_contact_plate" 100 200
run "$bin/bench_contact_setup"
run "$bin/bench_setup" 60
run "$bin/bench_setup" 80 "$cores" 1
run "$bin/bench_setup" 300 "$cores" 3 plate
run "$bin/bench_vtk_writer" 60
run "$bin/bench_hexa_cube" 20 100
run "$bin/bench_hexa_cube" 40 20
run "$bin/bench_hexa_cube" 60 20
run "$bin/bench_shell_plate" 200 20
run "$bin/bench_run" 30 200
if [ -n "$old" ]; then
  : >"$log.old"
  # The small cube's short launches, the larger cubes' cycle and the set-up
  # with its memory, each run by the other build and then by this one.
  for args in "bench_hexa_cube 10 400" "bench_hexa_cube 30 20" "bench_hexa_cube 60 20" "bench_setup 60"; do
    echo "== $old/$args" >>"$log.old"
    # shellcheck disable=SC2086 # the words of args are the arguments
    "$old/"$args >>"$log.old" 2>&1
    # shellcheck disable=SC2086
    run "$bin/"$args
  done
fi
model=$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')
echo "Machine: $model, $cores cores; load average before $load_before, after $(cut -d' ' -f1-3 /proc/loadavg)."
echo
echo "| figure | $columns | $cores, one core busy |"
echo "| --- |$(echo "$columns" | sed 's/[^|]*/ --- /g') | --- |"
# A figure's row, and after a figure that states its bytes the floor row:
# per column, bytes / triad rate (a time per unit: "per 1000000" microseconds,
# "per 1000" milliseconds) or triad rate / bytes (a rate in units per second).
awk -F'|' '
  function trim(s) { gsub(/^ +| +$/, "", s); return s }
  FNR == NR { if ($1 ~ /^floor /) for (i = 2; i < NF; ++i) floor[i - 1] = trim($i); next }
  $1 ~ /^table / { sub(/^table /, ""); print; next }
  $1 ~ /^bytes / {
    figure = trim($2); bytes = trim($3); kind = trim($4)
    row = "| " figure ": floor at the triad (" bytes " bytes per unit) |"
    for (i = 1; i in floor; ++i) {
      rate = floor[i] * 1e9
      if (kind == "rate") row = row sprintf(" %.0f |", rate / bytes)
      else { split(kind, k, " "); row = row sprintf(" %.3g |", bytes / rate * k[2]) }
    }
    print row
  }' "$log" "$log"
# This build's figures over the other build's, row by row (its last run of
# each row in the log against the other's).
if [ -n "$old" ]; then
  echo
  echo "Over the build in $old (this build's figure / the other's):"
  echo
  echo "| figure | $columns | $cores, one core busy |"
  echo "| --- |$(echo "$columns" | sed 's/[^|]*/ --- /g') | --- |"
  awk -F'|' '
    function trim(s) { gsub(/^ +| +$/, "", s); return s }
    FNR == NR { if ($1 ~ /^table / && $2 ~ /us per element|bytes per element/) for (i = 3; i < NF; ++i) other[trim($2), i] = trim($i); next }
    $1 ~ /^table / && $2 ~ /us per element|bytes per element/ && (trim($2), 3) in other { row[trim($2)] = $0 }
    END {
      for (f in row) {
        split(row[f], c, "|"); line = "| " f ": this build over the other |"
        for (i = 3; i < length(c); ++i) line = line sprintf(" %.2f |", trim(c[i]) / other[f, i])
        print line
      }
    }' "$log.old" "$log"
fi
