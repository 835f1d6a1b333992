// Helpers of the error-check tests: a run-record file per test and reading it
// back after the death test's child has written it.
#pragma once
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

// A file in the build tree named after the running test: ctest runs tests in
// parallel, and a death test's child must find the same name as its parent.
inline std::string perTestRecordPath(const char* prefix) {
  std::string path = std::string(FEM_BINARY_DIR) + "/" + prefix + "_" +
                     ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".txt";
  std::remove(path.c_str());
  return path;
}

inline std::string readWholeFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}
