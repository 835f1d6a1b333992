#include "tests/deviceTest.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core/node.h"
#include "core/nodeManager.h"
#include "core/set.h"
#include "core/setManager.h"
#include "elements/common/element.h"
#include "elements/common/gausspoint.h"
#include "materials/materialstatus.h"
#include "output/elementOutput.h"
#include "output/nodeOutput.h"
#include "solver/femdynamic.h"
#include "output/outputManager.h"
#include "solver/timeControl.h"
#include "tests/decks/deckCase.h"
#include "tests/elements/common/lineElementRun.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::vector<std::string>> tabRows(const fs::path& file) {
  std::vector<std::vector<std::string>> rows;
  std::ifstream in(file);
  std::string line;
  while (std::getline(in, line)) {
    std::vector<std::string> row;
    std::istringstream fields(line);
    std::string field;
    while (std::getline(fields, field, '\t')) {
      row.push_back(field);
    }
    rows.push_back(row);
  }
  return rows;
}

fs::path freshCase(const std::string& caseName, const std::string& scratchName) {
  const fs::path scratch = deckcase::scratchFolder(scratchName);
  fs::copy_file(deckcase::caseFolder(caseName) / "deck.k", scratch / "deck.k", fs::copy_options::overwrite_existing);
  return scratch;
}

template <typename Output>
std::unique_ptr<Output> historyOf(int setId, const char* setName, double interval,
                                  std::initializer_list<const char*> names) {
  auto out = std::make_unique<Output>();
  out->setId_ = setId;
  out->setName_ = setName;
  out->interval_ = interval;
  for (const char* name : names) {
    out->variableNames_.push_back(name);
  }
  return out;
}

// The history number format: d.dddddde+XX, with an optional minus sign.
bool isHistoryNumber(const std::string& text) {
  const std::string s = !text.empty() && text[0] == '-' ? text.substr(1) : text;
  auto digit = [&s](std::size_t i) { return i < s.size() && s[i] >= '0' && s[i] <= '9'; };
  if (s.size() != 12 || !digit(0) || s[1] != '.' || s[8] != 'e' || (s[9] != '+' && s[9] != '-')) return false;
  for (std::size_t i : {2u, 3u, 4u, 5u, 6u, 7u, 10u, 11u}) {
    if (!digit(i)) return false;
  }
  return true;
}

}  // namespace

// A block flying at v = (3, -2, 0.5) without load: the contact line of its
// node set carries the displacement v t of the first node and no force, at
// the output times; successive lines give back the velocity; the nodal
// stresses stay zero. A second run in the same folder starts the files afresh.
DEVICE_TEST(NodeHistory, FreeFlyingBlock) {
  const fs::path scratch = freshCase("free_flight", "history_free_flight");
  const double v[3] = {3.0, -2.0, 0.5};
  for (int run = 0; run < 2; ++run) {
    deckcase::runModelAt(scratch, historyOf<NodeOutput>(1, "block", 0.005, {"RF", "S"}));
  }
  const fs::path folder = scratch / "work" / "nodeoutput";
  const auto contact = tabRows(folder / "contact_file_block.txt");
  ASSERT_EQ(contact.size(), 5u);  // t = 0, 0.005, 0.01, 0.015 and the end time 0.02
  for (std::size_t r = 0; r < contact.size(); ++r) {
    ASSERT_EQ(contact[r].size(), 7u) << "no TAB after the last value";
    for (const std::string& field : contact[r]) {
      EXPECT_TRUE(isHistoryNumber(field)) << field;
    }
    const double t = std::stod(contact[r][0]);
    EXPECT_NEAR(t, 0.005 * static_cast<double>(r), 2e-5);
    for (int k = 0; k < 3; ++k) {
      EXPECT_NEAR(std::stod(contact[r][1 + k]), v[k] * t, 1e-6 * std::fabs(v[k] * t) + 1e-12);
      EXPECT_EQ(std::stod(contact[r][4 + k]), 0.0);
    }
    if (r > 0) {
      const double t0 = std::stod(contact[r - 1][0]);
      for (int k = 0; k < 3; ++k) {
        const double speed = (std::stod(contact[r][1 + k]) - std::stod(contact[r - 1][1 + k])) / (t - t0);
        EXPECT_NEAR(speed, v[k], 1e-4);
      }
    }
  }
  const auto stress = tabRows(folder / "nodestress_file_block.txt");
  ASSERT_EQ(stress.size(), 5u * 27u);
  EXPECT_EQ(stress[0][1], "1");
  EXPECT_EQ(stress[26][1], "27");
  for (const auto& row : stress) {
    ASSERT_EQ(row.size(), 8u);
    for (int k = 2; k < 8; ++k) {
      EXPECT_LT(std::fabs(std::stod(row[k])), 1e-6);
    }
  }
}

// The host loop gives the same contact line: the displacement is taken from
// the node at the output point, not left at its first value.
TEST(NodeHistory, FreeFlyingBlockOnTheHostLoop) {
  std::string work;
  linerun::RunOptions options;
  options.hostLoop = true;
  options.afterRead = [&work](FEMDynamic* fem) {
    work = fem->work_path;
    fem->outputManager->addOutput(historyOf<NodeOutput>(1, "block", 0.005, {"RF"}));
  };
  linerun::runDeck("history_host_loop", deckcase::readText(deckcase::caseFolder("free_flight") / "deck.k"), options);
  const auto contact = tabRows(fs::path(work) / "nodeoutput" / "contact_file_block.txt");
  ASSERT_GE(contact.size(), 4u);
  for (const auto& row : contact) {
    ASSERT_EQ(row.size(), 7u);
    const double t = std::stod(row[0]);
    EXPECT_NEAR(std::stod(row[1]), 3.0 * t, 1e-6 * 3.0 * t + 1e-12) << "t = " << t;
    EXPECT_NEAR(std::stod(row[2]), -2.0 * t, 1e-6 * 2.0 * t + 1e-12);
    EXPECT_EQ(std::stod(row[4]), 0.0);
  }
  EXPECT_GT(std::stod(contact.back()[0]), 0.0);
}

// Contact-force lines of the four slave nodes of node_on_shell (set "slaves",
// with an id the model does not hold) and of the sixteen master-shell nodes
// (set "masters"), on either loop.
std::vector<std::vector<std::string>> contactLines(bool hostLoop, const char* setName) {
  std::string work;
  linerun::RunOptions options;
  options.hostLoop = hostLoop;
  options.afterRead = [&work](FEMDynamic* fem) {
    work = fem->work_path;
    Set slaves, masters;
    slaves.type = masters.type = SET_NODE;
    slaves.id = 51;
    slaves.id_array = {17, 18, 999, 19, 20};
    masters.id = 52;
    for (int id = 1; id <= 16; ++id) masters.id_array.push_back(id);
    fem->setManager->addSet(slaves);
    fem->setManager->addSet(masters);
    // Lines every 10 us: the strike lasts a few cycles, and only lines
    // within it hold a force.
    fem->outputManager->addOutput(historyOf<NodeOutput>(51, "slaves", 1e-5, {"RF"}));
    fem->outputManager->addOutput(historyOf<NodeOutput>(52, "masters", 1e-5, {"RF"}));
  };
  linerun::runDeck(std::string("history_contact_") + (hostLoop ? "host" : "gpu"),
                   deckcase::readText(deckcase::caseFolder("node_on_shell") / "deck.k"), options);
  return tabRows(fs::path(work) / "nodeoutput" / (std::string("contact_file_") + setName + ".txt"));
}

// The slave nodes strike the master shells: on either loop each line of the
// masters holds the force of the slaves' line with the sign turned, and the
// slave set's id missing from the model neither counts nor makes the sum
// read past the set's nodes.  (The host loop used to add only the slaves'
// own pair forces, so the masters' lines stayed zero.)
DEVICE_TEST(NodeHistory, ContactForceOfSlavesAndMastersOnBothLoops) {
  for (bool hostLoop : {false, true}) {
    SCOPED_TRACE(hostLoop ? "host loop" : "GPU loop");
    const auto slaves = contactLines(hostLoop, "slaves");
    const auto masters = contactLines(hostLoop, "masters");
    ASSERT_GT(slaves.size(), 5u);
    ASSERT_EQ(masters.size(), slaves.size());
    double largest = 0.0;
    for (const auto& row : slaves) largest = std::fmax(largest, std::fabs(std::stod(row[6])));
    ASSERT_GT(largest, 0.0) << "no contact force in the slaves' lines";
    for (std::size_t r = 0; r < slaves.size(); ++r) {
      for (int k = 4; k < 7; ++k)
        EXPECT_NEAR(std::stod(masters[r][k]), -std::stod(slaves[r][k]), 1e-6 * largest) << "line " << r;
    }
  }
}

// The rigid sphere of sphere_on_plate with a node attached at its centre
// (its reference node) strikes the plate. The history of the set of that
// one node follows the whole body: its contact force is that of the set of
// all the sphere's nodes, and not zero once the sphere is on the plate; its
// displacement is the centre's (-5 m/s before the impact); its stress lines
// name every node of the body. On either loop.
DEVICE_TEST(NodeHistory, ReferenceNodeFollowsItsRigidBody) {
  std::string deck = deckcase::readText(deckcase::caseFolder("sphere_on_plate") / "deck.k");
  deck.insert(deck.rfind("*END"),
              "*NODE\n1000 0 0 0.054\n*CONSTRAINED_EXTRA_NODES_NODE\n         2      1000\n"
              "*SET_NODE_LIST\n        61\n      1000\n");
  for (bool hostLoop : {false, true}) {
    SCOPED_TRACE(hostLoop ? "host loop" : "GPU loop");
    std::string work;
    linerun::RunOptions options;
    options.hostLoop = hostLoop;
    options.afterRead = [&work](FEMDynamic* fem) {
      work = fem->work_path;
      fem->timeControl->end_time = 4e-4;  // 0.2 ms on the plate
      Set members;                        // the sphere's own nodes: above the plate, less the centre
      members.type = SET_NODE;
      members.id = 62;
      for (const NodeCuda& node : fem->nodeManager->node_array_cpu) {
        if (node.coord[2] > 0.001 && node.coord[2] < 0.05) members.id_array.push_back(node.id);
      }
      fem->setManager->addSet(members);
      fem->outputManager->addOutput(historyOf<NodeOutput>(61, "centre", 2e-5, {"RF", "S"}));
      fem->outputManager->addOutput(historyOf<NodeOutput>(62, "members", 2e-5, {"RF"}));
    };
    const std::string console =
        linerun::runDeck(std::string("history_rigid_") + (hostLoop ? "host" : "gpu"), deck, options).console;
    EXPECT_NE(console.find("the output follows its 99 nodes"), std::string::npos) << console;
    const fs::path folder = fs::path(work) / "nodeoutput";
    const auto centre = tabRows(folder / "contact_file_centre.txt");
    const auto members = tabRows(folder / "contact_file_members.txt");
    ASSERT_GT(centre.size(), 15u);
    ASSERT_EQ(members.size(), centre.size());
    double largest = 0.0;
    for (std::size_t r = 0; r < centre.size(); ++r) {
      const double t = std::stod(centre[r][0]);
      if (t < 1.8e-4) {
        EXPECT_NEAR(std::stod(centre[r][3]), -5.0 * t, 1e-9) << "t = " << t;
      }
      for (int k = 4; k < 7; ++k) {
        EXPECT_NEAR(std::stod(centre[r][k]), std::stod(members[r][k]), 1e-6 * (1.0 + largest)) << "t = " << t;
      }
      largest = std::fmax(largest, std::stod(centre[r][6]));
    }
    EXPECT_GT(largest, 100.0) << "the plate pushes the sphere up";
    EXPECT_EQ(tabRows(folder / "nodestress_file_centre.txt").size(), 99u * centre.size());
  }
}

// A set that is not defined, or holds no node, is skipped with a message
// instead of reading past an empty list.
DEVICE_TEST(NodeHistory, MissingOrEmptySetIsSkipped) {
  const fs::path scratch = freshCase("free_flight", "history_missing_set");
  testing::internal::CaptureStdout();
  deckcase::runModelAt(scratch, historyOf<NodeOutput>(42, "nowhere", 0.005, {"RF"}), [](FEMDynamic* fem) {
    Set empty;
    empty.type = SET_NODE;
    empty.id = 43;
    fem->setManager->addSet(empty);
  });
  deckcase::runModelAt(scratch, historyOf<NodeOutput>(43, "empty", 0.005, {"RF"}), [](FEMDynamic* fem) {
    Set empty;
    empty.type = SET_NODE;
    empty.id = 43;
    fem->setManager->addSet(empty);
  });
  const std::string console = testing::internal::GetCapturedStdout();
  EXPECT_NE(console.find("node set 42 is not defined; the output is skipped"), std::string::npos) << console;
  EXPECT_NE(console.find("node set 43 holds no node of the model; the output is skipped"), std::string::npos);
  EXPECT_FALSE(fs::exists(scratch / "work" / "nodeoutput" / "contact_file_nowhere.txt"));
}

// The bar's halves pull apart at v = 1: behind the front the element
// stress is rho c v = 100 until the unloading wave reflected at the free end
// comes back (element 10, x = 0.225 .. 0.25: front at t = 0.0026, unloading
// at t = 0.0074).
DEVICE_TEST(ElementHistory, WaveBarCarriesRhoCV) {
  const fs::path scratch = freshCase("wave_hexa", "history_wave_hexa");
  deckcase::runModelAt(scratch, historyOf<ElementOutput>(7, "probe", 0.0005, {"S"}), [](FEMDynamic* fem) {
    Set probe;
    probe.type = SET_ELEMENT;
    probe.id = 7;
    probe.id_array = {2, 10};
    fem->setManager->addSet(probe);
  });
  const auto rows = tabRows(scratch / "work" / "elementoutput" / "element_point_stress_file_probe.txt");
  // Per output point: per element its id line and one line per point.
  ASSERT_EQ(rows.size() % 4, 0u);
  ASSERT_EQ(rows.size() / 4, 17u);  // t = 0, 0.0005, ..., 0.0075 and the end time 0.008
  double sum = 0.0;
  int count = 0;
  for (std::size_t block = 0; block < rows.size() / 4; ++block) {
    const double t = 0.0005 * static_cast<double>(block);
    EXPECT_EQ(rows[block * 4][0], "2");
    ASSERT_EQ(rows[block * 4 + 2].size(), 1u);
    EXPECT_EQ(rows[block * 4 + 2][0], "10");
    ASSERT_EQ(rows[block * 4 + 3].size(), 6u);
    const double sxx = std::stod(rows[block * 4 + 3][0]);
    EXPECT_TRUE(isHistoryNumber(rows[block * 4 + 3][0]));
    // The lines carry no time: the output points lie within dt / 2 of
    // the nominal times (dt = 2.25e-4).
    if (t < 0.002) {
      EXPECT_LT(std::fabs(sxx), 5.0) << "t = " << t;
    } else if (t > 0.0034 && t < 0.007) {
      EXPECT_NEAR(sxx, 100.0, 20.0) << "t = " << t;
      sum += sxx;
      ++count;
    }
  }
  ASSERT_GT(count, 5);
  EXPECT_NEAR(sum / count, 100.0, 5.0);
}

// An element with fewer points than the layout gives zeros in the rest of
// its places; a missing element gives zeros throughout.
TEST(ElementHistory, ShortElementsAreZeroFilled) {
  MaterialStatus status[2];
  status[0].stress[0] = 7.0;
  status[1].strain[5] = -3.0;
  GaussPoint points[2];
  points[0].matStatus_ = &status[0];
  points[1].matStatus_ = &status[1];
  Element element;
  element.integratPointNum = 2;
  element.gaussPoint = points;
  std::vector<double> out(4 * 6, 99.0);
  copyElementPointValues(&element, out.data(), 4, false);
  EXPECT_EQ(out[0], 7.0);
  for (std::size_t k = 12; k < out.size(); ++k) {
    EXPECT_EQ(out[k], 0.0);
  }
  copyElementPointValues(&element, out.data(), 2, true);
  EXPECT_EQ(out[11], -3.0);
  copyElementPointValues(nullptr, out.data(), 4, true);
  for (double value : out) {
    EXPECT_EQ(value, 0.0);
  }
}
