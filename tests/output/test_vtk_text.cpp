// The VTK writer formats numbers without streams and node blocks in
// parallel; its files must be byte for byte those of stream formatting
// (precision 6, default float field), in text and in binary, whatever the
// thread count.
#include "tests/deviceTest.h"
#include <omp.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>
#include <random>
#include <sstream>

#include "core/node.h"
#include "elements/solid1st/solidElementCuda.h"
#include "core/nodeManager.h"
#include "output/outputManager.h"
#include "output/paraViewOutput.h"
#include "platform/hostParallel.h"
#include "solver/femdynamic.h"
#include "tests/decks/deckCase.h"

namespace {

std::string fileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream all;
  all << in.rdbuf();
  return all.str();
}

// The file as written through an output stream, value by value.
template <typename T>
void streamBigEndian(std::ostream& os, T value) {
  unsigned char bytes[sizeof(T)];
  std::memcpy(bytes, &value, sizeof(T));
  if constexpr (std::endian::native == std::endian::little) {
    for (std::size_t i = 0; i < sizeof(T) / 2; ++i) std::swap(bytes[i], bytes[sizeof(T) - 1 - i]);
  }
  os.write(reinterpret_cast<const char*>(bytes), sizeof(T));
}

template <typename T>
void streamTriple(std::ostream& os, bool binary, const double* v) {
  if (binary) {
    for (int j = 0; j < 3; ++j) streamBigEndian(os, static_cast<T>(v[j]));
  } else {
    os << v[0] << "\t" << v[1] << "\t" << v[2] << "\n";
  }
}

std::string streamedVtk(const ParaViewOutput& out, double time, const std::vector<NodeCuda>& nodes) {
  std::ostringstream os;
  const bool bin = out.binaryFlag_;
  os << "# vtk DataFile Version 3.0\n"
     << "zone " << time << "\n"
     << (bin ? "BINARY" : "ASCII") << "\n";
  os << "DATASET UNSTRUCTURED_GRID\n"
     << "POINTS " << nodes.size() << " double\n";
  for (const NodeCuda& node : nodes) streamTriple<double>(os, bin, node.coord);
  if (bin) os << "\n";
  os << "CELLS " << out.cellCount_ << "\t" << out.cellListSize_ << "\n";
  std::size_t at = 0;
  for (int c = 0; c < out.cellCount_; ++c) {
    const int count = out.cellPointCounts_[c];
    if (bin) {
      streamBigEndian<int32_t>(os, count);
      for (int k = 0; k < count; ++k) streamBigEndian<int32_t>(os, out.cellNodeIndices_[at + k]);
    } else {
      os << count << "\t";
      for (int k = 0; k < count; ++k) os << out.cellNodeIndices_[at + k] << "\t";
      os << "\n";
    }
    at += count;
  }
  if (bin) os << "\n";
  os << "CELL_TYPES " << out.cellCount_ << "\n";
  for (int c = 0; c < out.cellCount_; ++c) {
    if (bin) {
      streamBigEndian<int32_t>(os, out.cellTypes_[c]);
    } else {
      os << out.cellTypes_[c] << "\n";
    }
  }
  if (bin) os << "\n";
  auto section = [&](bool on, const char* head, auto field, bool asFloat) {
    if (!on) return;
    os << "POINT_DATA " << nodes.size() << "\n" << head;
    for (const NodeCuda& node : nodes) {
      if (asFloat) {
        streamTriple<float>(os, bin, field(node));
      } else {
        streamTriple<double>(os, bin, field(node));
      }
    }
    if (bin) os << "\n";
  };
  section(
      out.dispFlag_, "VECTORS Displacement double\n", [](const NodeCuda& n) { return n.total_disp; }, false);
  section(
      out.accFlag_, "SCALARS Acceleration float 3\nLOOKUP_TABLE default\n", [](const NodeCuda& n) { return n.accel; },
      true);
  section(
      out.velFlag_, "SCALARS Velocity float 3\nLOOKUP_TABLE default\n", [](const NodeCuda& n) { return n.vel; }, true);
  return os.str();
}

// Values of every kind the format meets: zeros of both signs, integers,
// six-digit rounding at the edges (999999.5, 9.999995e-5) and at exact ties
// (1234565 and 1234575 round to even), the switch between
// fixed and exponent (1e-5, 1e-4, 1e5, 1e6), huge and tiny, subnormal, and
// not-finite values.
double sampleValue(std::mt19937_64& random, int i) {
  static const double special[] = {0.0,
                                   -0.0,
                                   1.0,
                                   -2.5,
                                   999999.5,
                                   9.999995e-5,
                                   1e-5,
                                   1e-4,
                                   1e5,
                                   1e6,
                                   123456.7,
                                   -1e-300,
                                   1.7e308,
                                   4.9e-324,
                                   2.2e-308,
                                   0.1,
                                   1.0 / 3,
                                   1234565.0,
                                   1234575.0,
                                   0.000999995,
                                   std::numeric_limits<double>::quiet_NaN(),
                                   -std::numeric_limits<double>::quiet_NaN(),
                                   std::numeric_limits<double>::infinity(),
                                   -std::numeric_limits<double>::infinity()};
  constexpr int kSpecial = sizeof special / sizeof special[0];
  if (i % 7 == 0) return special[(i / 7) % kSpecial];
  std::uniform_real_distribution<double> mantissa(-10.0, 10.0);
  std::uniform_int_distribution<int> exponent(-40, 40);
  return mantissa(random) * std::pow(10.0, exponent(random));
}

// More nodes than one formatting block holds, and a last block partly full,
// with sample values in every field the file shows.
std::vector<NodeCuda> sampleNodes() {
  std::mt19937_64 random(7);
  std::vector<NodeCuda> nodes(5001);
  int k = 0;
  for (std::size_t i = 0; i < nodes.size(); ++i) {
    nodes[i] = NodeCuda{};
    for (int j = 0; j < 3; ++j) {
      nodes[i].coord[j] = sampleValue(random, k++);
      nodes[i].total_disp[j] = sampleValue(random, k++);
      nodes[i].accel[j] = sampleValue(random, k++);
      nodes[i].vel[j] = sampleValue(random, k++);
    }
  }
  return nodes;
}

// 2000 hexahedra over the sample nodes, every nodal section asked for.
void addSampleCells(ParaViewOutput& out) {
  out.dispFlag_ = out.accFlag_ = out.velFlag_ = true;
  out.clearCells();
  out.beginPart();
  for (int e = 0; e < 2000; ++e) {
    SolidElementCuda hexa{};
    hexa.id = e + 1;
    hexa.type = ET_HEXA_REDUCED;
    hexa.node_num = hexa.gaussNodeNum = 8;
    for (int c = 0; c < 8; ++c) hexa.node_id[c] = 1 + (e * 4 + c * 1123) % 5001;
    ASSERT_TRUE(out.addCell(hexa, hexa.node_id, 8, 5001));
  }
  out.finishCells();
}

// Threads of this process now.
int osThreadCount() {
  int count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) ++count;
  return count;
}

TEST(VtkText, BytesEqualStreamFormattingInTextAndBinaryOnAnyThreadCount) {
  const std::vector<NodeCuda> nodes = sampleNodes();
  ParaViewOutput out;
  addSampleCells(out);
  const int threads = omp_get_max_threads();
  for (int team : {1, 4}) {
    omp_set_num_threads(team);
    for (bool binary : {false, true}) {
      out.binaryFlag_ = binary;
      for (double time : {0.0, 1.25e-5}) {
        EXPECT_TRUE(out.vtkFileBytes(time, nodes) == streamedVtk(out, time, nodes))
            << "threads " << team << ", binary " << binary << ", time " << time;
      }
    }
  }
  omp_set_num_threads(threads);
}

// The node blocks are formatted on the threads of the program's parallel
// loops: a pool of threads of its own would go on spinning on the cores
// after every file while the next cycle's kernels need them.
TEST(VtkText, FormattingOnSeveralThreadsStartsNoThreadsOfItsOwn) {
  const std::vector<NodeCuda> nodes = sampleNodes();
  ParaViewOutput out;
  addSampleCells(out);
  const int threads = omp_get_max_threads();
  omp_set_num_threads(4);
  fem_parallel::parallelFor(64, 1, [](std::size_t) {});  // the loops' threads exist from here on
  const int before = osThreadCount();
  EXPECT_FALSE(out.vtkFileBytes(0.0, nodes).empty());
  EXPECT_EQ(osThreadCount(), before);
  omp_set_num_threads(threads);
}

// The same comparison at every output point of a real run, on the file as
// written: a bar of hexahedra with a wave in it, coordinates, displacements,
// velocities and accelerations as the time loop leaves them.
struct Comparison {
  int files = 0;
  int differing = 0;
};

class ComparingOutput : public ParaViewOutput {
 public:
  explicit ComparingOutput(Comparison* result) : result_(result) {
    dispFlag_ = velFlag_ = accFlag_ = true;
    interval_ = 2e-6;
  }
  void write(OutputModel* fem, double time, double dt) override {
    if (!isOutputPoint(time, dt)) return;
    // The file from the fields the output point took, the comparison
    // from the whole records.
    if (fem->host_path_flag == 0) fem->nodeManager->copyNodesToCpu();
    const std::vector<NodeCuda>& nodes = fem->nodeManager->node_array_cpu;
    result_->files += 1;
    const std::string path = fem->work_path + "/compared.vtk";
    if (!writeVtkFile(path, time, fem->outputManager->nodalResults.nodes(fem)) ||
        fileBytes(path) != streamedVtk(*this, time, nodes)) {
      result_->differing += 1;
    }
  }

 private:
  Comparison* result_;
};

DEVICE_TEST(VtkText, BytesEqualStreamFormattingThroughARun) {
  const deckcase::fs::path scratch = deckcase::scratchFolder("vtk_text_run");
  deckcase::fs::copy_file(deckcase::caseFolder("wave_hexa") / "deck.k", scratch / "deck.k");
  Comparison result;
  deckcase::runModelAt(scratch, std::make_unique<ComparingOutput>(&result));
  EXPECT_GT(result.files, 5);
  EXPECT_EQ(result.differing, 0);
}

}  // namespace
