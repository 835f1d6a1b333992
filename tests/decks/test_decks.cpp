// End-to-end deck cases: each folder under tests/decks/ holds a deck, what
// must come out of it and why (README.md of the case).
#include "tests/deviceTest.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <fstream>
#include <sstream>

#include "core/nodeManager.h"
#include "core/part.h"
#include "core/sectionmanager.h"
#include "core/setManager.h"
#include "elements/common/elmmanager.h"
#include "input/keyword/keywordReader.h"
#include "input/link/preprocessModel.h"
#include "materials/materialmanager.h"
#include "solver/femdynamic.h"
#include "solver/initialCondition.h"
#include "solver/timeControl.h"
#include "tests/decks/deckCase.h"
#include "tests/output/vtkCheck.h"

using namespace deckcase;

namespace {

std::vector<std::string> asStrings(const std::vector<fs::path>& files) {
  std::vector<std::string> names;
  for (const fs::path& file : files) {
    names.push_back(file.string());
  }
  return names;
}

// The text of a VTK file without its "zone <time>" line.
std::string withoutZone(const std::string& text, std::string* zone) {
  const std::size_t start = text.find("\nzone ") + 1;
  const std::size_t end = text.find('\n', start);
  if (zone != nullptr) {
    *zone = text.substr(start + 5, end - start - 5);
  }
  return text.substr(0, start) + text.substr(end + 1);
}

// x coordinate of a node at the start of the run.
double startX(const Sample& first, int index) { return first.nodes[index].coord[0] - first.nodes[index].total_disp[0]; }

}  // namespace

TEST(DeckCase, OneHexahedronWritesTheExactVtkFiles) {
  ASSERT_EQ(runProgram("one_hexahedron"), 0)
      << readText(fs::path(FEM_BINARY_DIR) / "deck_cases" / "one_hexahedron" / "console.txt");
  const fs::path work = fs::path(FEM_BINARY_DIR) / "deck_cases" / "one_hexahedron" / "work";
  const std::vector<fs::path> files = vtkFiles(work);
  // End time 0.01, no output interval: one file per 1e-4 of simulated time
  // that the steps reach, the first at time 0.
  ASSERT_GE(files.size(), 10u);
  EXPECT_EQ(files[0].filename(), "result.vtk");
  EXPECT_EQ(files[1].filename(), "result_1.vtk");

  const std::string expected = readText(caseFolder("one_hexahedron") / "expected" / "result.vtk");
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(readText(files[0]), expected);
  // A cube at rest: every later file differs only in its time.
  double previous = 0.0;
  for (std::size_t k = 1; k < files.size(); ++k) {
    std::string zone;
    EXPECT_EQ(withoutZone(readText(files[k]), &zone), withoutZone(expected, nullptr)) << files[k];
    const double time = std::stod(zone);
    EXPECT_GT(time, previous) << files[k];
    EXPECT_LT(time, 0.01 + 1e-12) << files[k];
    previous = time;
  }
  expectVtkFilesOpenInReader(asStrings(files));
}

DEVICE_TEST(DeckCase, FreeFlightTranslatesRigidly) {
  const std::vector<Sample> samples = runInProcess("free_flight");
  ASSERT_GT(samples.size(), 10u);
  const double v[3] = {3.0, -2.0, 0.5};
  double largestStress = 0.0;
  for (const Sample& sample : samples) {
    for (const NodeCuda& node : sample.nodes) {
      for (int k = 0; k < 3; ++k) {
        EXPECT_NEAR(node.total_disp[k], v[k] * sample.time, 1e-12 + 1e-9 * std::fabs(v[k] * sample.time))
            << "node " << node.id << " at t = " << sample.time;
        EXPECT_NEAR(node.vel[k], v[k], 1e-9);
      }
      for (double s : node.stress) {
        largestStress = std::max(largestStress, std::fabs(s));
      }
    }
  }
  // E = 2e5: a strain of 1e-12 would show as 2e-7.
  EXPECT_LT(largestStress, 1e-6);
  EXPECT_NEAR(samples.back().time, 0.02, 0.001);
  expectVtkFilesOpenInReader(asStrings(vtkFiles(fs::path(FEM_BINARY_DIR) / "deck_cases" / "free_flight" / "work")));
}

namespace {

// The bar's halves move apart at speed v: a tension wave of stress rho c v
// runs from the middle to both ends and arrives at t = L / (2c), when the
// end nodes stop moving outward. L = 1, c = sqrt(E / rho) = 100, v = 1.
void checkWave(const std::string& name) {
  const double length = 1.0;
  const double c = 100.0;
  const double v = 1.0;
  const std::vector<Sample> samples = runInProcess(name);
  ASSERT_GT(samples.size(), 20u);
  const Sample& first = samples.front();

  // Outward velocity of the end nodes (x = 0 moves towards -x, x = L towards +x).
  auto outwardSpeed = [&](const Sample& sample) {
    double sum = 0.0;
    int count = 0;
    for (std::size_t i = 0; i < sample.nodes.size(); ++i) {
      const double x = startX(first, static_cast<int>(i));
      if (x < 1e-9) {
        sum -= sample.nodes[i].vel[0];
        ++count;
      } else if (x > length - 1e-9) {
        sum += sample.nodes[i].vel[0];
        ++count;
      }
    }
    return sum / count;
  };
  double stopTime = -1.0;
  for (std::size_t s = 1; s < samples.size(); ++s) {
    const double before = outwardSpeed(samples[s - 1]);
    const double after = outwardSpeed(samples[s]);
    if (before > 0.0 && after <= 0.0) {
      stopTime = samples[s - 1].time + (samples[s].time - samples[s - 1].time) * before / (before - after);
      break;
    }
  }
  const double expectedStop = length / (2.0 * c);
  ASSERT_GT(stopTime, 0.0) << "the end nodes never stopped moving outward";
  EXPECT_NEAR(stopTime, expectedStop, 0.02 * expectedStop);

  // The stress the wave carries: each node in the middle half of the bar,
  // once the front has passed it by two elements, holds rho c v until the
  // front reaches the ends. Its mean over that window is compared, since
  // undamped central differences ring around a step front (Gibbs).
  const double expectedStress = 1.0 * c * v;
  const double h = length / 40.0;
  double rawPeak = 0.0;
  int checkedNodes = 0;
  for (std::size_t i = 0; i < first.nodes.size(); ++i) {
    const double distance = std::fabs(startX(first, static_cast<int>(i)) - 0.5 * length);
    double sum = 0.0;
    int count = 0;
    for (const Sample& sample : samples) {
      if (sample.time > expectedStop) {
        break;
      }
      rawPeak = std::max(rawPeak, sample.nodes[i].stress[0]);
      if (distance <= 0.25 * length && sample.time >= (distance + 2.0 * h) / c) {
        sum += sample.nodes[i].stress[0];
        ++count;
      }
    }
    if (distance <= 0.25 * length) {
      ASSERT_GT(count, 5) << "node " << i + 1;
      EXPECT_NEAR(sum / count, expectedStress, 0.05 * expectedStress) << "node " << i + 1;
      ++checkedNodes;
    }
  }
  EXPECT_GT(checkedNodes, 0);
  // The ringing at the front stays bounded: no node exceeds rho c v by a quarter.
  EXPECT_GT(rawPeak, expectedStress);
  EXPECT_LT(rawPeak, 1.25 * expectedStress);
  expectVtkFilesOpenInReader(asStrings(vtkFiles(fs::path(FEM_BINARY_DIR) / "deck_cases" / name / "work")));
}

}  // namespace

DEVICE_TEST(DeckCase, WaveInABarOfHexahedra) { checkWave("wave_hexa"); }

DEVICE_TEST(DeckCase, WaveInABarOfTetrahedra) { checkWave("wave_tetra"); }

DEVICE_TEST(DeckCase, WaveInABarOfRubber) { checkWave("wave_rubber"); }

TEST(DeckCase, UnknownMaterialRefusesTheDeck) {
  EXPECT_NE(runProgram("unknown_material"), 0);
  const fs::path scratch = fs::path(FEM_BINARY_DIR) / "deck_cases" / "unknown_material";
  const std::string console = readText(scratch / "console.txt");
  EXPECT_NE(console.find("material 9 (named by part 1 (cube)) is not defined in the deck"), std::string::npos)
      << console;
  EXPECT_EQ(console.find("Calculation completed"), std::string::npos);
  EXPECT_TRUE(vtkFiles(scratch / "work").empty());
}

namespace {

// Reads a case's deck (block loop and completion) into a new solver; null
// after a test failure when the deck is not read.
FEMDynamic* readCaseDeck(const std::string& name) {
  const fs::path scratch = scratchFolder(name + "_model");
  fs::copy_file(caseFolder(name) / "deck.k", scratch / "deck.k");
  auto* fem = new FEMDynamic[1];
  fem->newManagers();
  if (readKeywordDeck(fem, (scratch / "deck.k").string()) != 1) {
    ADD_FAILURE() << "the deck of " << name << " was not read";
    delete[] fem;
    return nullptr;
  }
  return fem;
}

// The read model as text, one line per record, every field the comparison
// of two decks looks at: nodes, parts with their solids, materials,
// sections, node sets, initial velocities, end time.
std::string modelText(FEMDynamic* fem) {
  std::ostringstream out;
  out.precision(17);
  for (const NodeCuda& n : fem->nodeManager->node_array_cpu) {
    out << "node " << n.id << " " << n.coord[0] << " " << n.coord[1] << " " << n.coord[2] << "\n";
  }
  for (std::size_t p = 0; p < fem->part_array.size(); ++p) {
    const Part& part = fem->part_array[p];
    out << "part " << part.id << " " << part.name << " " << part.section_id << " " << part.material_id << "\n";
    for (const SolidElementCuda& e : fem->elm_manager_array[p].solid_element_array_cpu) {
      out << "solid " << e.id << " " << e.part_id;
      for (int id : e.node_id) out << " " << id;
      out << "\n";
    }
  }
  for (const Material& m : fem->materialManager->material_array) {
    out << "material " << m.id << " " << m.type << " " << m.density << " " << m.youngs_modulus << " "
        << m.poissons_ratio << "\n";
  }
  for (const Section& s : fem->sectionManager->section_array) {
    out << "section " << s.id << " " << s.family_code << " " << s.card_formulation << " " << s.element_formulation
        << "\n";
  }
  for (const Set& set : fem->setManager->node_set_array) {
    out << "node set " << set.id;
    for (int member : set.id_array) out << " " << member;
    out << "\n";
  }
  for (const InitialCondition& c : *fem->initial_condition_array) {
    out << "velocity " << c.ic_set_id << " " << c.ic_node_id;
    for (double v : c.value) out << " " << v;
    out << "\n";
  }
  out << "end time " << fem->timeControl->end_time << "\n";
  return out.str();
}

// The model of the field-style deck equals the plain deck's, field by field.
void expectSameModel(const std::string& plainName, const std::string& fieldName) {
  FEMDynamic* plain = readCaseDeck(plainName);
  FEMDynamic* field = readCaseDeck(fieldName);
  if (plain != nullptr && field != nullptr) {
    EXPECT_EQ(modelText(plain), modelText(field));
  }
  delete[] plain;
  delete[] field;
}

// Both decks give the same nodal state at every cycle.
void expectSameRun(const std::string& plainName, const std::string& fieldName) {
  const std::vector<Sample> a = runInProcess(plainName, plainName + "_compared");
  const std::vector<Sample> b = runInProcess(fieldName);
  ASSERT_GT(a.size(), 10u);
  ASSERT_EQ(a.size(), b.size());
  for (std::size_t s = 0; s < a.size(); ++s) {
    ASSERT_EQ(a[s].time, b[s].time);
    for (std::size_t i = 0; i < a[s].nodes.size(); ++i) {
      for (int k = 0; k < 3; ++k) {
        ASSERT_EQ(a[s].nodes[i].total_disp[k], b[s].nodes[i].total_disp[k]) << "cycle " << s;
        ASSERT_EQ(a[s].nodes[i].vel[k], b[s].nodes[i].vel[k]) << "cycle " << s;
      }
      for (int k = 0; k < 6; ++k) {
        ASSERT_EQ(a[s].nodes[i].stress[k], b[s].nodes[i].stress[k]) << "cycle " << s;
      }
    }
  }
}

}  // namespace

TEST(DeckCase, FieldStyleDecksGiveThePlainModel) {
  expectSameModel("free_flight", "free_flight_field");
  expectSameModel("wave_hexa", "wave_hexa_field");
}

DEVICE_TEST(DeckCase, FieldStyleDecksGiveThePlainResults) {
  expectSameRun("free_flight", "free_flight_field");
  expectSameRun("wave_hexa", "wave_hexa_field");
}

// A plate of shells only, given one initial velocity: its nodes carry the
// shells' lumped mass from the set-up on, so the whole plate translates at
// v through the GPU loop without straining.
DEVICE_TEST(DeckCase, ShellPlateFliesRigidly) {
  const std::vector<Sample> samples = runInProcess("shell_plate");
  ASSERT_GT(samples.size(), 10u);
  const double v[3] = {3.0, -2.0, 0.5};
  for (const Sample& sample : samples) {
    for (const NodeCuda& node : sample.nodes) {
      ASSERT_GT(node.mass, 0.0) << "node " << node.id;
      for (int k = 0; k < 3; ++k) {
        EXPECT_NEAR(node.total_disp[k], v[k] * sample.time, 1e-12 + 1e-9 * std::fabs(v[k] * sample.time))
            << "node " << node.id << " at t = " << sample.time;
        EXPECT_NEAR(node.vel[k], v[k], 1e-9);
        EXPECT_NEAR(node.vel[3 + k], 0.0, 1e-9);
      }
    }
  }
  EXPECT_NEAR(samples.back().time, 0.002, 1e-4);
  expectVtkFilesOpenInReader(asStrings(vtkFiles(fs::path(FEM_BINARY_DIR) / "deck_cases" / "shell_plate" / "work")));
}

// The section card's thickness, point count and shear factor are what the
// shell formulation reads after set-up, and the lumped masses are in the
// nodes before the initial conditions act.
TEST(DeckCase, ShellSectionReachesTheFormulation) {
  const fs::path scratch = scratchFolder("shell_plate_setup");
  fs::copy_file(caseFolder("shell_plate") / "deck.k", scratch / "deck.k");
  auto* fem = new FEMDynamic[1];
  fem->newManagers();
  fem->input_file = (scratch / "deck.k").string();
  fem->work_path = (scratch / "work").string();
  ASSERT_EQ(readKeywordDeck(fem, fem->input_file), 1);
  ASSERT_EQ(preprocessModel(fem), 1);
  fem->initialComputeCpu();
  const std::vector<ShellElementCuda>& shells = fem->part_array[0].elmManager->shell_element_array_cpu;
  ASSERT_EQ(shells.size(), 24u);
  for (const ShellElementCuda& e : shells) {
    EXPECT_EQ(e.type, ET_BT_SHELL);
    EXPECT_DOUBLE_EQ(e.thickCurrent, 0.005);
    ASSERT_EQ(e.integratPointNum, 3);
    EXPECT_NEAR(e.gaussPoint[0].coord_[0], -0.774596669241483, 1e-15);
    EXPECT_NEAR(e.gaussPoint[1].weight_, 0.888888888888888, 1e-15);
    EXPECT_DOUBLE_EQ(fem->sectionManager->section_array[e.section_id - 1].shear_factor, 0.8333);
    EXPECT_NEAR(e.mass, 7850.0 * 0.01 * 0.005, 1e-12);
  }
  // Corner node: one element's quarter; inner node: four quarters.
  EXPECT_NEAR(fem->nodeManager->node_array_cpu[0].mass, 7850.0 * 0.01 * 0.005 / 4.0, 1e-12);
  EXPECT_NEAR(fem->nodeManager->node_array_cpu[8].mass, 7850.0 * 0.01 * 0.005, 1e-12);
  delete[] fem;
}

namespace {

// Keeps the node coordinates of the run's last state.
class FinalShape : public BasicOutput {
 public:
  explicit FinalShape(std::vector<std::array<double, 3>>* coords) : coords_(coords) {}
  void collect(OutputModel* fem, double, double) override {
    if (!finalPoint_) return;
    fem->nodeManager->copyNodesToCpu();
    coords_->clear();
    for (const NodeCuda& node : fem->nodeManager->node_array_cpu)
      coords_->push_back({node.coord[0], node.coord[1], node.coord[2]});
  }
  void init(OutputModel*) override {}
  void write(OutputModel*, double, double) override {}
  void writeBinaryDump(OutputModel*, double, double) override {}
  void readBinaryDump(OutputModel*, double, double) override {}

 private:
  std::vector<std::array<double, 3>>* coords_;
};

}  // namespace

// The Taylor test: a copper cylinder (R 3.2 mm, L 32.4 mm) strikes a rigid
// wall at 227 m/s; after 80 us codes of this kind publish a foot radius of
// 7.0-7.1 mm and a length near 21.4-21.5 mm. Eight hexahedra across: one
// point each with the deck's default hourglass control, and fully
// integrated (ELFORM 2, selectively reduced: the plastic flow keeps the
// volume without locking), within 3 % of the published foot.
struct TaylorRow {
  const char* elform;
  double footLow, footHigh;
};
void PrintTo(const TaylorRow& row, std::ostream* os) { *os << "ELFORM " << row.elform; }
class TaylorBar : public testing::TestWithParam<TaylorRow> {};

DEVICE_TEST_P(TaylorBar, MushroomsToThePublishedFoot) {
  const TaylorRow& row = GetParam();
  std::string deck = readText(caseFolder("taylor_bar_8") / "deck.k");
  const std::string section = "*SECTION_SOLID\n         1         1\n";
  ASSERT_NE(deck.find(section), std::string::npos);
  deck.replace(deck.find(section), section.size(),
               "*SECTION_SOLID\n         1         " + std::string(row.elform) + "\n");
  const fs::path scratch = scratchFolder(std::string("taylor_bar_8_elform") + row.elform);
  std::ofstream(scratch / "deck.k") << deck;
  std::vector<std::array<double, 3>> coords;
  runModelAt(scratch, std::make_unique<FinalShape>(&coords));
  ASSERT_FALSE(coords.empty());
  double foot = 0.0, low = 1e30, high = -1e30;
  for (const auto& x : coords) {
    foot = std::max(foot, std::hypot(x[0], x[1]));
    low = std::min(low, x[2]);
    high = std::max(high, x[2]);
  }
  EXPECT_GT(foot, row.footLow);
  EXPECT_LT(foot, row.footHigh);
  EXPECT_NEAR(high - low, 21.45, 0.25);
  EXPECT_GT(low, -1e-3);  // nothing passes the wall
}

INSTANTIATE_TEST_SUITE_P(DeckCase, TaylorBar, testing::Values(TaylorRow{"1", 7.0, 7.1}, TaylorRow{"2", 6.85, 7.26}),
                         [](const testing::TestParamInfo<TaylorRow>& info) {
                           return std::string("elform_") + info.param.elform;
                         });
