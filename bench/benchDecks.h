// Keyword decks of the benchmark models, with an end time and an end cycle
// and no output interval (results at time 0 only).
#pragma once
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace bench {

// The cube: n x n x n one-point hexahedra of 1 mm (elastic steel) with an
// initial velocity field (stretch along x, squeeze along y, a bending wave
// along z), as bench_hexa_cube builds it.
inline void writeCubeDeck(const std::filesystem::path& file, int n, double endTime, int cycles) {
  const int np = n + 1;
  const double h = 1e-3, L = n * h, pi = 3.14159265358979;
  std::ofstream d(file);
  d << "*KEYWORD\n*CONTROL_TERMINATION\n" << endTime << "," << cycles << "\n*NODE\n";
  char line[128];
  for (int k = 0; k < np; ++k)
    for (int j = 0; j < np; ++j)
      for (int i = 0; i < np; ++i) {
        std::snprintf(line, sizeof(line), "%d,%.6g,%.6g,%.6g\n", 1 + i + np * (j + np * k), i * h, j * h, k * h);
        d << line;
      }
  d << "*ELEMENT_SOLID\n";
  const auto id = [np](int i, int j, int k) { return 1 + i + np * (j + np * k); };
  for (int k = 0, e = 1; k < n; ++k)
    for (int j = 0; j < n; ++j)
      for (int i = 0; i < n; ++i, ++e)
        d << e << ",1," << id(i, j, k) << "," << id(i + 1, j, k) << "," << id(i + 1, j + 1, k) << "," << id(i, j + 1, k)
          << "," << id(i, j, k + 1) << "," << id(i + 1, j, k + 1) << "," << id(i + 1, j + 1, k + 1) << ","
          << id(i, j + 1, k + 1) << "\n";
  d << "*PART\ncube\n1,1,1\n*SECTION_SOLID\n1,1\n*MAT_ELASTIC\n1,7850,2.1e11,0.3\n*INITIAL_VELOCITY_NODE\n";
  for (int k = 0; k < np; ++k)
    for (int j = 0; j < np; ++j)
      for (int i = 0; i < np; ++i) {
        std::snprintf(line, sizeof(line), "%d,%.6g,%.6g,%.6g\n", id(i, j, k), 5.0 * i * h / L, -3.0 * j * h / L,
                      2.0 * std::sin(pi * i * h / L));
        d << line;
      }
  d << "*END\n";
}

// The plate: n x n Belytschko-Tsay shells over a 1 m square, 5 mm thick,
// five points through the thickness, elastic-plastic steel, set bending by
// an initial velocity normal to it, as bench_shell_plate builds it.
inline void writePlateDeck(const std::filesystem::path& file, int n, double endTime, int cycles) {
  const int np = n + 1;
  const double h = 1.0 / n, pi = 3.14159265358979;
  std::ofstream d(file);
  d << "*KEYWORD\n*CONTROL_TERMINATION\n" << endTime << "," << cycles << "\n*NODE\n";
  char line[128];
  for (int j = 0; j < np; ++j)
    for (int i = 0; i < np; ++i) {
      std::snprintf(line, sizeof(line), "%d,%.9g,%.9g,0\n", 1 + i + np * j, i * h, j * h);
      d << line;
    }
  d << "*ELEMENT_SHELL\n";
  for (int j = 0, e = 1; j < n; ++j)
    for (int i = 0; i < n; ++i, ++e) {
      const int a = 1 + i + np * j;
      d << e << ",1," << a << "," << a + 1 << "," << a + 1 + np << "," << a + np << "\n";
    }
  d << "*PART\nplate\n1,1,1\n*SECTION_SHELL\n1,2,0.8333,5\n0.005,0.005,0.005,0.005\n"
       "*MAT_PIECEWISE_LINEAR_PLASTICITY\n1,7850,2.1e11,0.3,2.5e8,1e9\n0,0,0,0,0\n"
       "0,0,0,0,0,0,0,0\n0,0,0,0,0,0,0,0\n*INITIAL_VELOCITY_NODE\n";
  for (int j = 0; j < np; ++j)
    for (int i = 0; i < np; ++i) {
      std::snprintf(line, sizeof(line), "%d,0,0,%.6g\n", 1 + i + np * j,
                    20.0 * std::sin(pi * i * h) * std::sin(pi * j * h));
      d << line;
    }
  d << "*END\n";
}

}  // namespace bench
