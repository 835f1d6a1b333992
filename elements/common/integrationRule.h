// Integration rules: Gauss-Legendre on [-1, 1], triangle rules in area
// coordinates and tetrahedron rules in volume coordinates.
#pragma once

struct LineRule {
  int n = 0;  // 0: no rule of the asked size
  const double* x = nullptr;
  const double* w = nullptr;
};

struct TriangleRule {
  int n = 0;
  const double (*L)[2] = nullptr;  // area coordinates L1, L2
  const double* w = nullptr;       // weights add up to 0.5
};

struct TetraRule {
  int n = 0;
  const double (*L)[3] = nullptr;  // volume coordinates L1, L2, L3
  const double* w = nullptr;       // weights add up to 1/6
};

// Rules with 1 to 7 points; the six-point rule is stored inner pair first.
LineRule lineRule(int n);
// Rules with 1, 3, 4 and 6 points.
TriangleRule triangleRule(int n);
// Rules with 1, 4, 5 and 11 points.
TetraRule tetraRule(int n);
