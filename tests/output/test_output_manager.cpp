#include <gtest/gtest.h>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "output/outputManager.h"
#include "output/paraViewOutput.h"
#include "output/resultFiles.h"
#include "solver/femdynamic.h"
#include "solver/modelViews.h"
#include "solver/timeControl.h"

namespace {

class NamedOutput : public BasicOutput {
 public:
  explicit NamedOutput(double interval, std::vector<std::string> names = {}) {
    interval_ = interval;
    variableNames_ = std::move(names);
  }
  void collect(OutputModel*, double, double) override { ++collected; }
  void init(OutputModel*) override { ++initialised; }
  void write(OutputModel*, double, double) override { ++written; }
  void writeBinaryDump(OutputModel*, double, double) override {}
  void readBinaryDump(OutputModel*, double, double) override {}
  int collected = 0;
  int initialised = 0;
  int written = 0;
};

class OutputManagerTest : public ::testing::Test {
 protected:
  void SetUp() override { fem_.newManagers(); }
  OutputManager& outputs() { return *fem_.outputManager; }
  TimeControl& time() { return *fem_.timeControl; }
  FEMDynamic fem_;
};

}  // namespace

TEST_F(OutputManagerTest, DeckWithoutOutputGetsVtkAtEndTimeOverHundred) {
  time().end_time = 2.0;
  outputs().addDefaultOutput(time().output_interval, time().end_time);
  ASSERT_EQ(outputs().outputList_.size(), 1u);
  auto* vtk = dynamic_cast<ParaViewOutput*>(outputs().outputList_[0].get());
  ASSERT_NE(vtk, nullptr);
  EXPECT_TRUE(vtk->dispFlag_);
  EXPECT_FALSE(vtk->velFlag_ || vtk->accFlag_ || vtk->stressFlag_ || vtk->strainFlag_ || vtk->binaryFlag_);
  EXPECT_DOUBLE_EQ(vtk->interval_, 0.02);
  EXPECT_DOUBLE_EQ(time().output_interval, 0.02);
  EXPECT_TRUE(outputs().hasParaView_);
}

TEST_F(OutputManagerTest, CommandLineIntervalWins) {
  time().end_time = 2.0;
  time().output_interval = 0.25;
  outputs().addOutput(std::make_unique<NamedOutput>(0.5));
  outputs().addDefaultOutput(time().output_interval, time().end_time);
  ASSERT_EQ(outputs().outputList_.size(), 2u);
  EXPECT_DOUBLE_EQ(outputs().outputList_[1]->interval_, 0.25);
  EXPECT_DOUBLE_EQ(time().output_interval, 0.25);
}

TEST_F(OutputManagerTest, UnsetIntervalTakesTheLargestOutputInterval) {
  time().end_time = 2.0;
  outputs().addOutput(std::make_unique<NamedOutput>(0.1));
  outputs().addOutput(std::make_unique<NamedOutput>(0.4));
  outputs().addOutput(std::make_unique<NamedOutput>(0.3));
  outputs().addDefaultOutput(time().output_interval, time().end_time);
  ASSERT_EQ(outputs().outputList_.size(), 4u);
  EXPECT_DOUBLE_EQ(outputs().outputList_[3]->interval_, 0.4);
  EXPECT_DOUBLE_EQ(time().output_interval, 0.4);
}

TEST_F(OutputManagerTest, TecplotRequestSuppressesTheDefaultVtk) {
  outputs().hasTecplot_ = true;
  outputs().addOutput(std::make_unique<NamedOutput>(0.05, std::vector<std::string>{"tecplot"}));
  outputs().addDefaultOutput(time().output_interval, time().end_time);
  EXPECT_EQ(outputs().outputList_.size(), 1u);
  EXPECT_FALSE(outputs().hasParaView_);
  EXPECT_DOUBLE_EQ(time().output_interval, 0.05);
  EXPECT_EQ(outputs().outputList_[0]->variableCodes_, (std::vector<int>{OUTPUT_TECPLOT}));
}

TEST_F(OutputManagerTest, NoIntervalAnywhereWritesAtTimeZeroOnly) {
  // No end time (a cycle limit only), no "OT=", no output of the deck.
  time().end_cycle = 10;
  outputs().addDefaultOutput(time().output_interval, time().end_time);
  ASSERT_EQ(outputs().outputList_.size(), 1u);
  const BasicOutput& vtk = *outputs().outputList_[0];
  EXPECT_EQ(vtk.interval_, 0.0);
  EXPECT_TRUE(vtk.isOutputPoint(0.0, 1e-6));
  EXPECT_FALSE(vtk.isOutputPoint(1e-6, 1e-6));
}

TEST_F(OutputManagerTest, OutputWithoutIntervalFollowsTheRunInterval) {
  time().output_interval = 0.2;
  outputs().hasParaView_ = true;
  outputs().addOutput(std::make_unique<NamedOutput>(0.0, std::vector<std::string>{"S", "S"}));
  outputs().addDefaultOutput(time().output_interval, time().end_time);
  ASSERT_EQ(outputs().outputList_.size(), 1u);
  EXPECT_DOUBLE_EQ(outputs().outputList_[0]->interval_, 0.2);
  // Two stress names give two stress codes.
  EXPECT_EQ(outputs().outputList_[0]->variableCodes_, (std::vector<int>{OUTPUT_STRESS, OUTPUT_STRESS}));
}

TEST_F(OutputManagerTest, DriversCallEveryOutputInOrder) {
  auto* a = static_cast<NamedOutput*>(outputs().addOutput(std::make_unique<NamedOutput>(1.0)));
  auto* b = static_cast<NamedOutput*>(outputs().addOutput(std::make_unique<NamedOutput>(1.0)));
  OutputModel model = outputModelOf(fem_);
  outputs().initAll(&model);
  outputs().collectAll(&model, 0.0, 0.1);
  outputs().writeAll(&model, 0.0, 0.1);
  outputs().writeAll(&model, 0.1, 0.1);
  EXPECT_EQ(a->initialised + b->initialised, 2);
  EXPECT_EQ(a->collected + b->collected, 2);
  EXPECT_EQ(a->written, 2);
  EXPECT_EQ(b->written, 2);
}

// The last line of a run names each family of files it wrote, a single file in the singular.
TEST(ResultFiles, OneFileOfAFamilyIsNamedInTheSingular) {
  namespace fs = std::filesystem;
  const fs::path work = fs::temp_directory_path() / ("impactfem_result_names_" + std::to_string(::getpid()));
  fs::remove_all(work);
  fs::create_directories(work / "nodeoutput");
  fs::create_directories(work / "elementoutput");
  for (const char* name :
       {"result.vtk", "end.plt", "nodeoutput/contact_file_1.txt", "elementoutput/element_point_stress_file_1.txt",
        "elementoutput/element_point_strain_file_1.txt"})
    std::ofstream(work / name) << "x";
  EXPECT_EQ(
      describeResults(work.string()),
      "1 VTK file (result.vtk), 1 Tecplot file (end.plt), 1 node history (nodeoutput/contact_file_1.txt), 2 element "
      "histories (elementoutput/element_point_stress_file_1.txt, element_point_strain_file_1.txt)");
  fs::remove_all(work);
}
