// Rows of the summary table of the benchmarks: a figure and its values on
// 1, 2, 4 ... threads up to all cores and on all cores with one core kept
// busy, printed as one line
//   table | figure | value | value | ... |
// that bench/run_all.sh collects from every benchmark into one table.
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
  // A figure that does not depend on the threads: one value, the other
  // columns left empty.
  void print(int columns = 0) const {
    std::printf("table | %s |", figure_.c_str());
    for (double v : values_) {
      std::printf(" ");
      std::printf(format_, v);
      std::printf(" |");
    }
    for (int c = static_cast<int>(values_.size()); c < columns; ++c) std::printf(" |");
    std::printf("\n");
  }

 private:
  std::string figure_;
  const char* format_;
  std::vector<double> values_;
};

}  // namespace bench
