// Rows of the summary table of the benchmarks: a figure and its values on
// 1, 2, 4 ... threads up to all cores and on all cores with one core kept
// busy, printed as one line
//   table | figure | value | value | ... |
// that bench/run_all.sh collects from every benchmark into one table.
//
// A figure whose work is bound by memory also states the bytes it moves per
// unit of the figure (an estimate from the records and arrays it touches):
//   bytes | figure | bytes per unit | per 1e6 |   (a figure in microseconds per unit)
//   bytes | figure | bytes per unit | rate |      (a figure in units per second)
// and run_all.sh prints beside it the floor those bytes give at the triad
// rate of the same run (bench_triad: `floor | GB/s | GB/s | ... |`).
#pragma once
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace bench {

class TableRow {
 public:
  TableRow(std::string figure, const char* format) : figure_(std::move(figure)), format_(format) {}
  void add(double value) { values_.push_back(value); }
  // The figure is a time per unit, in seconds times `scale` (1e6 for
  // microseconds), of work that moves `bytes` per unit.
  void setTimeBytes(double bytes, double scale) {
    bytes_ = bytes;
    kind_ = "per " + std::to_string(static_cast<long long>(scale));
  }
  // The figure is a rate, units per second, of work that moves `bytes` per unit.
  void setRateBytes(double bytes) {
    bytes_ = bytes;
    kind_ = "rate";
  }
  // A figure that does not depend on the threads: one value, the other
  // columns left empty.
  void print(int columns = 0) const {
    printValues("table | " + figure_ + " |", columns);
    if (bytes_ > 0.0) std::printf("bytes | %s | %.0f | %s |\n", figure_.c_str(), bytes_, kind_.c_str());
  }
  // The triad's row, and its values again for run_all.sh's floors.
  void printFloor() const {
    print();
    printValues("floor |", 0);
  }

 private:
  void printValues(const std::string& head, int columns) const {
    std::printf("%s", head.c_str());
    for (double v : values_) {
      std::printf(" ");
      std::printf(format_, v);
      std::printf(" |");
    }
    for (int c = static_cast<int>(values_.size()); c < columns; ++c) std::printf(" |");
    std::printf("\n");
  }

  std::string figure_;
  const char* format_;
  std::vector<double> values_;
  double bytes_ = 0.0;
  std::string kind_;
};

}  // namespace bench
