#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/node.h"
#include "elements/solid1st/solidElementCuda.h"
#include "output/paraViewOutput.h"
#include "output/rawDump.h"
#include "solver/femdynamic.h"
#include "solver/modelViews.h"
#include "tests/output/vtkCheck.h"

namespace fs = std::filesystem;

namespace {

// A unit-cube hexahedron with distinct displacements and velocities.
class RawDumpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::path(FEM_BINARY_DIR) / "test_output" / "raw_dump" /
           ::testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    const double c[8][3] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}};
    for (int i = 0; i < 8; ++i) {
      NodeCuda node{};
      node.id = i + 1;
      node.store_id = i;
      for (int j = 0; j < 3; ++j) {
        node.coord[j] = c[i][j] + 0.125 * i;
        node.total_disp[j] = 0.125 * i - 0.5 * j;
        node.vel[j] = 2.5 * j - i;
      }
      nodes_.push_back(node);
    }
    SolidElementCuda hexa{};
    hexa.id = 1;
    hexa.type = static_cast<ElementNewType>(17);
    hexa.node_num = 8;
    hexa.gaussNodeNum = 8;
    for (int k = 0; k < 8; ++k) hexa.node_id[k] = k + 1;
    out_.outputPath_ = dir_.string();
    out_.dispFlag_ = true;
    out_.velFlag_ = true;
    out_.clearCells();
    out_.beginPart();
    out_.addCell(hexa, hexa.node_id, 8, 8);
    out_.finishCells();
  }
  std::string dump() const { return rawDumpFileName(dir_.string(), 1); }
  bool readBack(const std::vector<NodeCuda>& nodes) { return readRawDumpToVtk(dump(), dump() + "READ", nodes, out_); }

  fs::path dir_;
  std::vector<NodeCuda> nodes_;
  ParaViewOutput out_;
};

std::vector<double> valuesAfter(const std::string& text, const std::string& heading, int rows) {
  std::istringstream in(text.substr(text.find(heading)));
  std::string line;
  std::getline(in, line);
  if (heading.rfind("POINT_DATA", 0) == 0) {
    std::getline(in, line);
    std::getline(in, line);
  }
  std::vector<double> values(static_cast<std::size_t>(rows) * 3);
  for (double& v : values) in >> v;
  return values;
}

}  // namespace

TEST_F(RawDumpTest, WrittenAndReadBackGivesTheSameNumbers) {
  EXPECT_EQ(rawDumpFileName("w", 1), "w/result_bin.vtk");
  EXPECT_EQ(rawDumpFileName("w", 3), "w/result.2_bin.vtk");
  ASSERT_TRUE(writeRawDump(dump(), 0.75, nodes_, out_));
  // time, N, coordinates, C, list size, cells, C, types, two groups.
  EXPECT_EQ(fs::file_size(dump()), 8u + 4 + 24 * 8 + 4 + 4 + 4 * 9 + 4 + 4 + 2 * (4 + 24 * 8));
  ASSERT_TRUE(readBack(nodes_));

  std::ifstream in(dump() + "READ");
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text.rfind("# vtk DataFile Version 3.0\nzone 0.75\nASCII\nDATASET UNSTRUCTURED_GRID\nPOINTS 8 float\n", 0),
            0u);
  EXPECT_NE(text.find("CELLS 1\t9\n8\t0\t1\t2\t3\t4\t5\t6\t7\t\nCELL_TYPES 1\n12\n"), std::string::npos);
  const std::vector<double> points = valuesAfter(text, "POINTS", 8);
  const std::vector<double> disp = valuesAfter(text, "POINT_DATA 8\nSCALARS Displacement", 8);
  const std::vector<double> vel = valuesAfter(text, "POINT_DATA 8\nSCALARS Velocity", 8);
  for (int i = 0; i < 8; ++i) {
    for (int j = 0; j < 3; ++j) {
      EXPECT_EQ(points[i * 3 + j], nodes_[i].coord[j]);
      EXPECT_EQ(disp[i * 3 + j], nodes_[i].total_disp[j]);
      EXPECT_EQ(vel[i * 3 + j], nodes_[i].vel[j]);
    }
  }
  fs::copy_file(dump() + "READ", dir_ / "readback.vtk");
  expectVtkFilesOpenInReader({(dir_ / "readback.vtk").string()});
}

// A short file, a longer one and a dump of another model are refused with a
// message, and no text file is written.
TEST_F(RawDumpTest, TruncatedOrForeignDumpIsRefused) {
  ASSERT_TRUE(writeRawDump(dump(), 0.75, nodes_, out_));
  const auto size = fs::file_size(dump());
  auto refused = [&](const std::vector<NodeCuda>& nodes, const char* expected) {
    fs::remove(dump() + "READ");
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(readBack(nodes));
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find(expected), std::string::npos) << err;
    EXPECT_FALSE(fs::exists(dump() + "READ"));
  };
  fs::resize_file(dump(), size - 4);
  refused(nodes_, "is refused: the file ends before a nodal group");
  fs::resize_file(dump(), size + 8);
  refused(nodes_, "is refused: the file holds more data than the model's dump");
  fs::resize_file(dump(), 10);
  refused(nodes_, "is refused: the file ends before the node count");
  ASSERT_TRUE(writeRawDump(dump(), 0.75, nodes_, out_));
  refused(std::vector<NodeCuda>(nodes_.begin(), nodes_.begin() + 7), "the node count is 8 where the model has 7");
  fs::remove(dump());
  refused(nodes_, "cannot open");
}

// A read-back asked for before any dump is refused with a message and the
// run goes on.
TEST_F(RawDumpTest, ReadBackWithoutADumpIsRefusedAndTheRunGoesOn) {
  FEMDynamic fem;
  out_.interval_ = 1.0;
  ::testing::internal::CaptureStderr();
  OutputModel model = outputModelOf(fem);
  out_.readBinaryDump(&model, 0.0, 1e-3);
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("no dump has been written in this run"), std::string::npos) << err;
  EXPECT_FALSE(fs::exists(dump() + "READ"));
}
