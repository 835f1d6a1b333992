#include "tests/deviceTest.h"

#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "output/tecplotOutput.h"
#include "tests/decks/deckCase.h"

namespace fs = std::filesystem;

namespace {

// A small reader of the Tecplot ASCII FEPOINT layout: blocks of a variables
// line and zones; a zone without a sharing list carries n node lines of V
// values, every zone e connectivity lines of 2, 4 or 8 node numbers.
struct ReadZone {
  std::string type;
  int nodes = 0;
  int elements = 0;
  int sharedFrom = 0;  // 0: the zone carries its own node data
};
struct ReadBlock {
  int variables = 0;
  std::vector<ReadZone> zones;
};

std::string valueAfter(const std::string& line, const std::string& key) {
  const std::size_t at = line.find(key);
  if (at == std::string::npos) return "";
  const std::size_t from = at + key.size();
  return line.substr(from, line.find_first_of(",)", from) - from);
}

std::vector<double> numbers(const std::string& line) {
  std::vector<double> out;
  std::istringstream in(line);
  double v = 0.0;
  while (in >> v) out.push_back(v);
  return out;
}

// Reads a whole file; every inconsistency is a test failure.
std::vector<ReadBlock> readTecplot(const fs::path& file) {
  std::ifstream in(file);
  EXPECT_TRUE(in.is_open()) << file;
  std::vector<ReadBlock> blocks;
  std::string line;
  int zonesInFile = 0;
  while (std::getline(in, line)) {
    if (line.rfind("variables=", 0) == 0) {
      ReadBlock block;
      for (char c : line) block.variables += c == '"';
      block.variables /= 2;
      blocks.push_back(block);
      continue;
    }
    if (line.rfind("zone t=", 0) != 0 || blocks.empty()) {
      ADD_FAILURE() << "unexpected line: " << line;
      return blocks;
    }
    ReadZone zone;
    zone.type = valueAfter(line, "et=");
    zone.nodes = std::stoi(valueAfter(line, ",n="));
    const std::string e = valueAfter(line, ",e=");
    zone.elements = std::stoi(e.empty() ? valueAfter(line, ",e =") : e);
    const std::string shared = valueAfter(line, "]=");
    zone.sharedFrom = shared.empty() ? 0 : std::stoi(shared);
    ++zonesInFile;
    const int variables = blocks.back().variables;
    if (zone.sharedFrom == 0) {
      for (int n = 0; n < zone.nodes; ++n) {
        EXPECT_TRUE(std::getline(in, line));
        EXPECT_EQ(numbers(line).size(), static_cast<std::size_t>(variables)) << line;
      }
    } else {
      EXPECT_LT(zone.sharedFrom, zonesInFile);
      EXPECT_NE(line.find("VARSHARELIST =([1"), std::string::npos);
    }
    const std::size_t corners = zone.type == "brick" ? 8 : zone.type == "quadrilateral" ? 4 : 2;
    EXPECT_TRUE(zone.type == "brick" || zone.type == "quadrilateral" || zone.type == "lineseg") << line;
    for (int k = 0; k < zone.elements; ++k) {
      EXPECT_TRUE(std::getline(in, line));
      const std::vector<double> ids = numbers(line);
      EXPECT_EQ(ids.size(), corners) << line;
      for (double id : ids) {
        EXPECT_GE(id, 1.0);
        EXPECT_LE(id, zone.nodes);
      }
    }
    blocks.back().zones.push_back(zone);
  }
  return blocks;
}

// A hexahedron, a shell and a beam, each its own part, in free flight.
const char* kMixedDeck =
    "*KEYWORD\n*NODE\n1,0,0,0\n2,1,0,0\n3,1,1,0\n4,0,1,0\n5,0,0,1\n6,1,0,1\n7,1,1,1\n8,0,1,1\n"
    "9,0,0,2\n10,1,0,2\n11,1,1,2\n12,0,1,2\n13,2,0,0\n14,3,0,0\n"
    "*ELEMENT_SOLID\n1,1,1,2,3,4,5,6,7,8\n*ELEMENT_SHELL\n2,2,9,10,11,12\n*ELEMENT_BEAM\n3,3,13,14,0\n"
    "*PART\ncube\n1,1,1\n*PART\nplate\n2,2,1\n*PART\nrod\n3,3,1\n"
    "*SECTION_SOLID\n1,1\n*SECTION_SHELL\n2,2,0.8333,2\n0.05,0.05,0.05,0.05\n"
    "*SECTION_BEAM\n3,2\n1e-2,1e-5,1e-5,2e-5,1e-2\n*MAT_ELASTIC\n1,7850,2.1e11,0.3\n"
    "*SET_NODE_LIST\n1\n1,2,3,4,5,6,7,8\n9,10,11,12,13,14\n*INITIAL_VELOCITY\n1\n1,0,0\n"
    "*CONTROL_TERMINATION\n3e-3\n*END\n";

}  // namespace

// The Tecplot files of a model of solids, shells and beams: one zone per
// part, the first with the node data, the others sharing it from the first
// zone of their own block; counts match the lines. A second run in the same
// folder starts "result.plt" afresh.
DEVICE_TEST(TecplotOutput, MixedModelFilesReadBack) {
  const fs::path scratch = deckcase::scratchFolder("tecplot_mixed");
  std::ofstream(scratch / "deck.k") << kMixedDeck;
  std::vector<ReadBlock> firstRun;
  for (int run = 0; run < 2; ++run) {
    auto out = std::make_unique<TecplotOutput>();
    out->interval_ = 1e-3;
    out->startEndInterval_ = 1e-3;
    out->dispFlag_ = true;
    out->stressFlag_ = true;
    deckcase::runModelAt(scratch, std::move(out));
    const std::vector<ReadBlock> blocks = readTecplot(scratch / "work" / "result.plt");
    if (run == 0) {
      firstRun = blocks;
    } else {
      EXPECT_EQ(blocks.size(), firstRun.size());
    }
  }
  ASSERT_GE(firstRun.size(), 3u);
  for (std::size_t b = 0; b < firstRun.size(); ++b) {
    const ReadBlock& block = firstRun[b];
    EXPECT_EQ(block.variables, 12);
    ASSERT_EQ(block.zones.size(), 3u);
    EXPECT_EQ(block.zones[0].type, "brick");
    EXPECT_EQ(block.zones[1].type, "quadrilateral");
    EXPECT_EQ(block.zones[2].type, "lineseg");
    EXPECT_EQ(block.zones[0].sharedFrom, 0);
    for (int z = 0; z < 3; ++z) {
      EXPECT_EQ(block.zones[z].nodes, 14);
      EXPECT_EQ(block.zones[z].elements, 1);
    }
    EXPECT_EQ(block.zones[1].sharedFrom, static_cast<int>(3 * b + 1));
    EXPECT_EQ(block.zones[2].sharedFrom, static_cast<int>(3 * b + 1));
  }
  for (const char* single : {"start.plt", "end.plt"}) {
    const std::vector<ReadBlock> blocks = readTecplot(scratch / "work" / single);
    ASSERT_EQ(blocks.size(), 1u) << single;
    EXPECT_EQ(blocks[0].zones[2].sharedFrom, 1);
  }
  // The displacement of node 2 (x = 1) in the last block is v t.
  std::ifstream in(scratch / "work" / "result.plt");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::size_t last = text.rfind("zone t=\"zone ");
  std::istringstream rest(text.substr(last));
  std::string zoneLine, node1, node2;
  std::getline(rest, zoneLine);
  std::getline(rest, node1);
  std::getline(rest, node2);
  const double t = std::stod(zoneLine.substr(std::string("zone t=\"zone ").size()));
  const std::vector<double> values = numbers(node2);
  ASSERT_EQ(values.size(), 12u);
  EXPECT_NEAR(values[0], 1.0 + t, 1e-5);
  EXPECT_NEAR(values[3], t, 1e-5);
}
