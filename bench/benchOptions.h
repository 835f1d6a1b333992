// The command line of a benchmark: positional arguments, each may be left
// out from the end; one left out takes the benchmark's default. Numbers are
// read as whole numbers (text that is none reads as 0, which the benchmarks'
// bounds refuse with their usage line).
#pragma once
#include <omp.h>

#include <cstdlib>
#include <cstring>

namespace bench {

class Options {
 public:
  Options(int argc, char** argv) : argc_(argc), argv_(argv) {}

  // Argument k (1 for the first) is on the command line.
  bool given(int k) const { return k >= 1 && k < argc_; }
  // Argument k as a whole number, `fallback` when not given.
  int number(int k, int fallback) const { return given(k) ? std::atoi(argv_[k]) : fallback; }
  // Argument k as a thread count, all cores when not given.
  int threads(int k) const { return number(k, omp_get_num_procs()); }
  // Argument k is `word`.
  bool is(int k, const char* word) const { return given(k) && std::strcmp(argv_[k], word) == 0; }

  // The arguments the cycle benchmarks share, in this order: model size,
  // cycles, threads, repeats, and "records" for the paths the fast ones
  // replace (the gather through the node records' element slots, the serial
  // step search). False when a count is below 1.
  bool readCycle(int defaultN, int defaultCycles) {
    n = number(1, defaultN);
    cycles = number(2, defaultCycles);
    cores = threads(3);
    repeats = number(4, 3);
    compact = !is(5, "records");
    return n >= 1 && cycles >= 1 && cores >= 1 && repeats >= 1;
  }
  int n = 0, cycles = 0, cores = 0, repeats = 3;
  bool compact = true;

 private:
  int argc_;
  char** argv_;
};

}  // namespace bench
