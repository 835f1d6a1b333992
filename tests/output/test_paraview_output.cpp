#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/node.h"
#include "core/runStop.h"
#include "elements/shell/shellElementCuda.h"
#include "elements/solid1st/solidElementCuda.h"
#include "output/paraViewOutput.h"
#include "tests/output/vtkCheck.h"

namespace fs = std::filesystem;

namespace {

NodeCuda makeNode(int number, double x, double y, double z) {
  NodeCuda node{};
  node.id = number;
  node.store_id = number - 1;
  node.coord[0] = x;
  node.coord[1] = y;
  node.coord[2] = z;
  return node;
}

// The eight corners of the unit cube in hexahedron order.
std::vector<NodeCuda> unitCubeNodes() {
  const double c[8][3] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}};
  std::vector<NodeCuda> nodes;
  for (int i = 0; i < 8; ++i) {
    nodes.push_back(makeNode(i + 1, c[i][0], c[i][1], c[i][2]));
  }
  return nodes;
}

SolidElementCuda makeSolid(int id, ElementNewType type, std::initializer_list<int> nodeIds, int pointNodes) {
  SolidElementCuda solid{};
  solid.id = id;
  solid.type = type;
  solid.node_num = pointNodes;
  solid.gaussNodeNum = pointNodes;
  int k = 0;
  for (int n : nodeIds) {
    solid.node_id[k++] = n;
  }
  return solid;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

class ParaViewOutputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::path(FEM_BINARY_DIR) / "test_output" / ::testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    out_.outputPath_ = dir_.string();
  }
  std::string path(const char* name) const { return (dir_ / name).string(); }

  fs::path dir_;
  ParaViewOutput out_;
};

}  // namespace

TEST(VtkCellType, TableOfElementCodes) {
  EXPECT_EQ(vtkCellType(0), 0);
  for (int code : {1, 2, 3, 4, 5, 6}) EXPECT_EQ(vtkCellType(code), 3) << code;
  for (int code : {7, 13, 14}) EXPECT_EQ(vtkCellType(code), 5) << code;
  for (int code : {8, 9, 10, 11, 12}) EXPECT_EQ(vtkCellType(code), 9) << code;
  EXPECT_EQ(vtkCellType(15), 10);
  EXPECT_EQ(vtkCellType(16), 14);
  for (int code : {17, 18, 19, 23}) EXPECT_EQ(vtkCellType(code), 12) << code;
  for (int code : {20, 21, 22, 25}) EXPECT_EQ(vtkCellType(code), 13) << code;
  for (int code : {24, 27}) EXPECT_EQ(vtkCellType(code), 24) << code;
  EXPECT_EQ(vtkCellType(26), 25);
  EXPECT_EQ(vtkCellType(28), -1);
  EXPECT_EQ(vtkCellType(-3), -1);
}

TEST_F(ParaViewOutputTest, OneHexahedronGivesTheExactFile) {
  std::vector<NodeCuda> nodes = unitCubeNodes();
  nodes[6].total_disp[0] = 0.25;
  nodes[6].total_disp[2] = -1.5e-7;
  out_.dispFlag_ = true;
  out_.clearCells();
  out_.beginPart();
  const SolidElementCuda hexa = makeSolid(1, ET_HEXA_REDUCED, {1, 2, 3, 4, 5, 6, 7, 8}, 8);
  ASSERT_TRUE(out_.addCell(hexa, hexa.node_id, 8, 8));
  out_.finishCells();
  EXPECT_EQ(out_.cellCount_, 1);
  EXPECT_EQ(out_.cellListSize_, 9);

  ASSERT_TRUE(out_.writeVtkFile(path("result.vtk"), 0.0, nodes));
  const std::string expected =
      "# vtk DataFile Version 3.0\n"
      "zone 0\n"
      "ASCII\n"
      "DATASET UNSTRUCTURED_GRID\n"
      "POINTS 8 double\n"
      "0\t0\t0\n1\t0\t0\n1\t1\t0\n0\t1\t0\n0\t0\t1\n1\t0\t1\n1\t1\t1\n0\t1\t1\n"
      "CELLS 1\t9\n"
      "8\t0\t1\t2\t3\t4\t5\t6\t7\t\n"
      "CELL_TYPES 1\n"
      "12\n"
      "POINT_DATA 8\n"
      "VECTORS Displacement double\n"
      "0\t0\t0\n0\t0\t0\n0\t0\t0\n0\t0\t0\n0\t0\t0\n0\t0\t0\n0.25\t0\t-1.5e-07\n0\t0\t0\n";
  EXPECT_EQ(readFile(path("result.vtk")), expected);
  expectVtkFilesOpenInReader({path("result.vtk")});
}

TEST_F(ParaViewOutputTest, QuadShellsWriteFourIdsEachFollowedByTab) {
  // Two quadrilateral shells of type 9 on a 2 x 1 strip of six nodes.
  std::vector<NodeCuda> nodes;
  for (int i = 0; i < 6; ++i) {
    nodes.push_back(makeNode(i + 1, i % 3, i / 3, 0.0));
  }
  out_.clearCells();
  out_.beginPart();
  const int quads[2][4] = {{1, 2, 5, 4}, {2, 3, 6, 5}};
  for (int e = 0; e < 2; ++e) {
    ShellElementCuda shell{};
    shell.id = e + 1;
    shell.type = ET_BT_SHELL;
    shell.node_num = 4;
    shell.gaussNodeNum = 4;
    for (int k = 0; k < 4; ++k) shell.node_id[k] = quads[e][k];
    ASSERT_TRUE(out_.addCell(shell, shell.node_id, 4, 6));
  }
  out_.finishCells();
  EXPECT_EQ(out_.cellListSize_, 5 * 2);
  EXPECT_EQ(out_.cellTypes_, (std::vector<int>{9, 9}));
  ASSERT_TRUE(out_.writeVtkFile(path("shells.vtk"), 0.5, nodes));
  const std::string text = readFile(path("shells.vtk"));
  EXPECT_NE(text.find("zone 0.5\n"), std::string::npos);
  EXPECT_NE(text.find("CELLS 2\t10\n4\t0\t1\t4\t3\t\n4\t1\t2\t5\t4\t\nCELL_TYPES 2\n9\n9\n"), std::string::npos);
  // No displacement section without the flag.
  EXPECT_EQ(text.find("POINT_DATA"), std::string::npos);
  expectVtkFilesOpenInReader({path("shells.vtk")});
}

TEST_F(ParaViewOutputTest, TetrahedronWritesOnlyItsFourCorners) {
  // A tetrahedron stored in eight slots with the fourth node repeated: the
  // cell lists its four corners and the size counts what is written.
  std::vector<NodeCuda> nodes = {makeNode(1, 0, 0, 0), makeNode(2, 1, 0, 0), makeNode(3, 0, 1, 0),
                                 makeNode(4, 0, 0, 1)};
  SolidElementCuda tet = makeSolid(3, ET_TETRA_TL, {1, 2, 3, 4, 4, 4, 4, 4}, 4);
  tet.node_num = 8;  // the record's slot count may differ from the corners written
  out_.clearCells();
  out_.beginPart();
  ASSERT_TRUE(out_.addCell(tet, tet.node_id, 8, 4));
  out_.finishCells();
  EXPECT_EQ(out_.cellListSize_, 5);
  out_.velFlag_ = true;
  out_.accFlag_ = true;
  out_.dispFlag_ = true;
  ASSERT_TRUE(out_.writeVtkFile(path("tet.vtk"), 1e-3, nodes));
  const std::string text = readFile(path("tet.vtk"));
  EXPECT_NE(text.find("CELLS 1\t5\n4\t0\t1\t2\t3\t\nCELL_TYPES 1\n10\n"), std::string::npos);
  EXPECT_NE(text.find("SCALARS Acceleration float 3\nLOOKUP_TABLE default\n"), std::string::npos);
  EXPECT_NE(text.find("SCALARS Velocity float 3\nLOOKUP_TABLE default\n"), std::string::npos);
}

TEST_F(ParaViewOutputTest, CellTypeCarriesOverInsideAPartAndZeroIsReported) {
  std::vector<NodeCuda> nodes = unitCubeNodes();
  out_.clearCells();
  out_.beginPart();
  SolidElementCuda unknown = makeSolid(1, static_cast<ElementNewType>(0), {1, 2, 3, 4, 5, 6, 7, 8}, 8);
  SolidElementCuda hexa = makeSolid(2, ET_HEXA_FULL, {1, 2, 3, 4, 5, 6, 7, 8}, 8);
  SolidElementCuda odd = makeSolid(3, static_cast<ElementNewType>(40), {1, 2, 3, 4, 5, 6, 7, 8}, 8);
  out_.addCell(unknown, unknown.node_id, 8, 8);  // nothing before it: type 0
  out_.addCell(hexa, hexa.node_id, 8, 8);
  out_.addCell(odd, odd.node_id, 8, 8);  // keeps the hexahedron's type
  out_.beginPart();
  out_.addCell(odd, odd.node_id, 8, 8);  // a new part starts again at 0
  out_.finishCells();
  EXPECT_EQ(out_.cellTypes_, (std::vector<int>{0, 12, 12, 0}));
}

TEST_F(ParaViewOutputTest, CellNamingAMissingNodeIsLeftOutAndCountsAgree) {
  std::vector<NodeCuda> nodes = unitCubeNodes();
  out_.clearCells();
  out_.beginPart();
  SolidElementCuda good = makeSolid(1, ET_HEXA_REDUCED, {1, 2, 3, 4, 5, 6, 7, 8}, 8);
  SolidElementCuda bad = makeSolid(2, ET_HEXA_REDUCED, {1, 2, 3, 4, 5, 6, 7, 9}, 8);
  SolidElementCuda zero = makeSolid(3, ET_HEXA_REDUCED, {0, 2, 3, 4, 5, 6, 7, 8}, 8);
  EXPECT_TRUE(out_.addCell(good, good.node_id, 8, 8));
  EXPECT_FALSE(out_.addCell(bad, bad.node_id, 8, 8));
  EXPECT_FALSE(out_.addCell(zero, zero.node_id, 8, 8));
  out_.finishCells();
  EXPECT_EQ(out_.cellCount_, 1);
  EXPECT_EQ(out_.cellListSize_, 9);
  ASSERT_TRUE(out_.writeVtkFile(path("dropped.vtk"), 0.0, nodes));
  expectVtkFilesOpenInReader({path("dropped.vtk")});
}

TEST_F(ParaViewOutputTest, FileNamesNumberTheOutputPoints) {
  out_.outputCount_ = 1;
  EXPECT_EQ(out_.currentFileName(), (dir_ / "result.vtk").string());
  out_.outputCount_ = 2;
  EXPECT_EQ(out_.currentFileName(), (dir_ / "result_1.vtk").string());
  out_.outputCount_ = 12;
  EXPECT_EQ(out_.currentFileName(), (dir_ / "result_11.vtk").string());
}

// A file that cannot be written asks the run to stop, naming it; the
// output itself stays usable.
TEST_F(ParaViewOutputTest, UnwritableFileIsReportedAndTheStreamRecovers) {
  std::vector<NodeCuda> nodes = unitCubeNodes();
  out_.clearCells();
  out_.finishCells();
  const std::string missing = (dir_ / "missing" / "x.vtk").string();
  EXPECT_FALSE(out_.writeVtkFile(missing, 0.0, nodes));
  EXPECT_EQ(runStopMessage().rfind("cannot open " + missing + ": ", 0), 0u) << runStopMessage();
  resetRunStop();
  EXPECT_TRUE(out_.writeVtkFile(path("after.vtk"), 0.0, nodes));
  EXPECT_FALSE(runStopRequested());
}

TEST_F(ParaViewOutputTest, BinaryVariantOpensInTheReader) {
  std::vector<NodeCuda> nodes = unitCubeNodes();
  for (int i = 0; i < 8; ++i) nodes[i].total_disp[1] = 0.1 * i;
  out_.binaryFlag_ = true;
  out_.dispFlag_ = true;
  out_.clearCells();
  out_.beginPart();
  SolidElementCuda hexa = makeSolid(1, ET_HEXA_REDUCED, {1, 2, 3, 4, 5, 6, 7, 8}, 8);
  out_.addCell(hexa, hexa.node_id, 8, 8);
  out_.finishCells();
  ASSERT_TRUE(out_.writeVtkFile(path("binary.vtk"), 0.0, nodes));
  EXPECT_NE(readFile(path("binary.vtk")).find("BINARY\n"), std::string::npos);
  expectVtkFilesOpenInReader({path("binary.vtk")});
}

#include "core/nodeManager.h"
#include "core/part.h"
#include "elements/beam/beamElementCuda.h"
#include "elements/common/elmmanager.h"
#include "solver/femdynamic.h"
#include "solver/modelViews.h"

TEST_F(ParaViewOutputTest, CellsFollowPartsThenFamiliesAndWriteNumbersFiles) {
  FEMDynamic fem;
  fem.newManagers();
  fem.work_path = dir_.string();
  fem.host_path_flag = 1;
  fem.nodeManager->node_array_cpu = unitCubeNodes();
  fem.part_array.resize(2);
  fem.elm_manager_array.resize(2);
  // Part 1 holds a shell and a solid: the shell is written first.
  SolidElementCuda hexa = makeSolid(1, ET_HEXA_REDUCED, {1, 2, 3, 4, 5, 6, 7, 8}, 8);
  ShellElementCuda shell{};
  shell.id = 2;
  shell.type = ET_BT_SHELL;
  shell.node_num = 4;
  shell.gaussNodeNum = 4;
  const int quad[4] = {1, 2, 3, 4};
  std::copy(quad, quad + 4, shell.node_id);
  fem.elm_manager_array[0].solid_element_array_cpu.push_back(hexa);
  fem.elm_manager_array[0].shell_element_array_cpu.push_back(shell);
  // Part 2 holds a beam: two end nodes written, the orientation node not.
  BeamElementCuda beam{};
  beam.id = 3;
  beam.type = ET_BS_BEAM;
  beam.node_num = 2;
  beam.gaussNodeNum = 2;
  beam.node_id[0] = 5;
  beam.node_id[1] = 7;
  beam.node_id[2] = 1;
  fem.elm_manager_array[1].beam_element_array_cpu.push_back(beam);

  ParaViewOutput output;
  output.dispFlag_ = true;
  output.interval_ = 1.0;
  OutputModel model = outputModelOf(fem);
  output.init(&model);
  EXPECT_EQ(output.outputPath_, dir_.string());
  EXPECT_EQ(output.cellTypes_, (std::vector<int>{9, 12, 3}));
  EXPECT_EQ(output.cellCount_, 3);
  EXPECT_EQ(output.cellListSize_, 5 + 9 + 3);

  // Steps of 0.3 with interval 1: output points at 0 and 0.9 only.
  testing::internal::CaptureStdout();
  for (int cycle = 0; cycle <= 5; ++cycle) {
    fem.cycle = cycle;
    OutputModel atCycle = outputModelOf(fem);
    output.collect(&atCycle, 0.3 * cycle, 0.3);
    output.write(&atCycle, 0.3 * cycle, 0.3);
  }
  const std::string console = testing::internal::GetCapturedStdout();
  EXPECT_NE(console.find("NSTEP = 0\t0\t0.000000e+00\t"), std::string::npos);
  EXPECT_NE(console.find("NSTEP = 1\t3\t9.000000e-01\t"), std::string::npos);
  EXPECT_EQ(output.outputCount_, 2);
  EXPECT_TRUE(fs::exists(path("result.vtk")));
  EXPECT_TRUE(fs::exists(path("result_1.vtk")));
  EXPECT_FALSE(fs::exists(path("result_2.vtk")));
  EXPECT_NE(readFile(path("result_1.vtk")).find("zone 0.9\n"), std::string::npos);
  const std::string cells = "CELLS 3\t17\n4\t0\t1\t2\t3\t\n8\t0\t1\t2\t3\t4\t5\t6\t7\t\n2\t4\t6\t\n";
  EXPECT_NE(readFile(path("result.vtk")).find(cells), std::string::npos);
  expectVtkFilesOpenInReader({path("result.vtk"), path("result_1.vtk")});
}
