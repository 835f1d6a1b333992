// Shared fixture of the keyword-reader tests: a fresh solver with its
// managers and a reader over it, and a helper that writes fixed-width cards.
#pragma once
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <memory>
#include <string>

#include "core/part.h"
#include "elements/common/elmmanager.h"
#include "input/keyword/keywordReader.h"
#include "solver/femdynamic.h"

// One card of right-aligned fields of the given width.
inline std::string card(std::initializer_list<std::string> fields, int width = 10) {
  std::string line;
  for (const std::string& field : fields) {
    line += std::string(field.size() < static_cast<size_t>(width) ? width - field.size() : 0, ' ') + field;
  }
  return line + "\n";
}

// The cards of a model of one unit-cube hexahedron (nodes 1-8, element 1,
// part, section and material 1), elastic with rho = 1, E = 1e6, nu = 0.
inline std::string cubeModelCards() {
  return "*NODE\n1 0 0 0\n2 1 0 0\n3 1 1 0\n4 0 1 0\n5 0 0 1\n6 1 0 1\n7 1 1 1\n8 0 1 1\n*ELEMENT_SOLID\n" +
         card({"1", "1", "1", "2", "3", "4", "5", "6", "7", "8"}, 8) + "*PART\ncube\n" + card({"1", "1", "1"}) +
         "*SECTION_SOLID\n" + card({"1", "1"}) + "*MAT_ELASTIC\n" + card({"1", "1.0", "1.0e6", "0.0"});
}

// The cards of a model of one discrete element between two nodes: element,
// part, section and material, so that a deck of nodes and other cards is
// a complete model.
inline std::string discretePart(int node1, int node2) {
  return "*ELEMENT_DISCRETE\n" + card({"990", "990", std::to_string(node1), std::to_string(node2)}, 8) +
         "*PART\nspring\n" + card({"990", "990", "990"}) + "*SECTION_DISCRETE\n" + card({"990"}) + card({""}) +
         "*MAT_ELASTIC\n" + card({"990", "1.0", "1.0e3", "0.3"});
}

// A fresh folder for one test's deck and working files.
inline std::filesystem::path freshDeckFolder(const std::string& name) {
  const std::filesystem::path folder = std::filesystem::path(::testing::TempDir()) / ("keyword_" + name);
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  return folder;
}

// Writes the deck text as <name>.k in a fresh folder and reads it whole
// (block loop and completion); returns readKeywordDeck's result.
inline int readDeckFile(FEMDynamic* fem, const std::string& name, const std::string& text) {
  const std::filesystem::path deck = freshDeckFolder(name) / (name + ".k");
  std::ofstream(deck, std::ios::binary) << text;
  return readKeywordDeck(fem, deck.string());
}

class KeywordDeckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fem = std::make_unique<FEMDynamic>();
    fem->newManagers();
    reader = std::make_unique<KeywordReader>(fem.get(), state);
  }
  // Reads the blocks of a comment-free deck text; false when refused.
  bool read(const std::string& text) { return reader->readBlocks(cutDeckBlocks(text)); }

  std::unique_ptr<FEMDynamic> fem;
  KeywordDeckState state;
  std::unique_ptr<KeywordReader> reader;
};
