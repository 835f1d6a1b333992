// A solver object with its managers that reads .inp deck text for a test;
// the error stream of each reading is kept in messages.
#pragma once
#include <gtest/gtest.h>

#include <string>

#include "input/inp/inpReader.h"
#include "solver/femdynamic.h"

class InpTestDeck : public ::testing::Test {
 protected:
  void SetUp() override {
    fem = new FEMDynamic[1];
    fem->newManagers();
  }
  void TearDown() override { delete[] fem; }

  // Reads and completes the deck into fem.
  bool read(const std::string& text) {
    ::testing::internal::CaptureStderr();
    const int result = readInpText(fem, text, "test.inp");
    messages = ::testing::internal::GetCapturedStderr();
    return result == 1;
  }
  // The block loop alone, before names are resolved.
  bool readModel(const std::string& text, InpModel& model) {
    ::testing::internal::CaptureStderr();
    InpReader reader(model);
    const bool ok = reader.readBlocks(cutInpBlocks(text));
    messages = ::testing::internal::GetCapturedStderr();
    return ok;
  }
  bool said(const std::string& text) const { return messages.find(text) != std::string::npos; }

  FEMDynamic* fem = nullptr;
  std::string messages;
};
