// Runs the real VTK reader check (tests/output/check_vtk.py, with Debian's
// system python and python3-meshio) over files a test wrote.
#pragma once
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

inline void expectVtkFilesOpenInReader(const std::vector<std::string>& files) {
  ASSERT_FALSE(files.empty());
  std::string command = "/usr/bin/python3 " + std::string(FEM_SOURCE_DIR) + "/tests/output/check_vtk.py";
  for (const std::string& file : files) {
    command += " '" + file + "'";
  }
  const int status = std::system(command.c_str());
  EXPECT_EQ(status, 0) << "the VTK reader check failed for: " << command;
}
