#include "elements/common/integrationRule.h"

#include <cmath>

namespace {

const double kLineX1[] = {0.0};
const double kLineW1[] = {2.0};
const double kLineX2[] = {-0.577350269189626, 0.577350269189626};
const double kLineW2[] = {1.0, 1.0};
const double kLineX3[] = {-0.774596669241483, 0.0, 0.774596669241483};
const double kLineW3[] = {0.555555555555555, 0.888888888888888, 0.555555555555555};
const double kLineX4[] = {-0.861136311594053, -0.339981043584856, 0.339981043584856, 0.861136311594053};
const double kLineW4[] = {0.347854845137454, 0.652145154862546, 0.652145154862546, 0.347854845137454};
const double kLineX5[] = {-0.906179845938664, -0.5384693101056831, 0.0, 0.5384693101056831, 0.906179845938664};
const double kLineW5[] = {0.23692688505618908, 0.47862867049936647, 0.5688888888888889, 0.47862867049936647,
                          0.23692688505618908};
// Inner pair first, then outwards on the negative side, then inwards on the
// positive side: the order of the through-thickness points of a six-point shell.
const double kLineX6[] = {-0.2386191860831969, -0.6612093864662645, -0.932469514203152,
                          0.932469514203152,   0.6612093864662645,  0.2386191860831969};
const double kLineW6[] = {0.46791393457269104, 0.3607615730481386, 0.17132449237917036,
                          0.17132449237917036, 0.3607615730481386, 0.46791393457269104};
const double kLineX7[] = {-0.9491079123427585, -0.7415311855993945, -0.4058451513773972, 0.0,
                          0.4058451513773972,  0.7415311855993945,  0.9491079123427585};
const double kLineW7[] = {0.1294849661688697, 0.27970539148927664, 0.3818300505051189, 0.4179591836734694,
                          0.3818300505051189, 0.27970539148927664, 0.1294849661688697};

const double kTriL1[][2] = {{0.333333333333, 0.333333333333}};
const double kTriW1[] = {0.5};
constexpr double kTriA = 0.166666666666667;
constexpr double kTriB = 0.666666666666667;
const double kTriL3[][2] = {{kTriA, kTriA}, {kTriB, kTriA}, {kTriA, kTriB}};
const double kTriW3[] = {0.166666666666666, 0.166666666666666, 0.166666666666666};
const double kTriL4[][2] = {{0.333333333333333, 0.333333333333333}, {0.2, 0.6}, {0.2, 0.2}, {0.6, 0.2}};
const double kTriW4[] = {-0.28125, 0.260416666666667, 0.260416666666667, 0.260416666666667};
constexpr double kTri6A = 0.445948490915965;
constexpr double kTri6B = 0.10810301816807;
constexpr double kTri6C = 0.091576213509771;
constexpr double kTri6D = 0.816847572980459;
const double kTriL6[][2] = {{kTri6A, kTri6B}, {kTri6A, kTri6A}, {kTri6B, kTri6A},
                            {kTri6C, kTri6D}, {kTri6C, kTri6C}, {kTri6D, kTri6C}};
const double kTriW6[] = {0.111690794839006, 0.111690794839006, 0.111690794839006,
                         0.054975871827661, 0.054975871827661, 0.054975871827661};

// Tetrahedron rules; the four- and eleven-point rules hold square roots that
// are evaluated when the tables are first built.
struct TetraTables {
  double L1[1][3] = {{0.25, 0.25, 0.25}};
  double W1[1] = {1.0 / 6.0};
  double L4[4][3];
  double W4[4] = {1.0 / 24.0, 1.0 / 24.0, 1.0 / 24.0, 1.0 / 24.0};
  double L5[5][3] = {{0.25, 0.25, 0.25},
                     {0.5, 1.0 / 6.0, 1.0 / 6.0},
                     {1.0 / 6.0, 0.5, 1.0 / 6.0},
                     {1.0 / 6.0, 1.0 / 6.0, 0.5},
                     {1.0 / 6.0, 1.0 / 6.0, 1.0 / 6.0}};
  double W5[5] = {-2.0 / 15.0, 0.075, 0.075, 0.075, 0.075};
  double L11[11][3];
  double W11[11];

  TetraTables() {
    const double a = (5.0 + 3.0 * std::sqrt(5.0)) / 20.0;
    const double b = (5.0 - std::sqrt(5.0)) / 20.0;
    const double l4[4][3] = {{a, b, b}, {b, a, b}, {b, b, a}, {b, b, b}};
    for (int i = 0; i < 4; ++i)
      for (int k = 0; k < 3; ++k) L4[i][k] = l4[i][k];

    const double e = 0.7857142857142857;
    const double f = 1.0 / 14.0;
    const double c = (1.0 + std::sqrt(0.35714285714285715)) / 4.0;
    const double d = (1.0 - std::sqrt(0.35714285714285715)) / 4.0;
    const double l11[11][3] = {{0.25, 0.25, 0.25}, {e, f, f}, {f, e, f}, {f, f, e}, {f, f, f}, {c, c, d},
                               {c, d, c},          {c, d, d}, {d, c, c}, {d, c, d}, {d, d, c}};
    for (int i = 0; i < 11; ++i) {
      for (int k = 0; k < 3; ++k) L11[i][k] = l11[i][k];
      W11[i] = i == 0 ? -0.013155555555555556 : (i < 5 ? 0.007622222222222222 : 0.024888888888888887);
    }
  }
};

const TetraTables& tetraTables() {
  static const TetraTables tables;
  return tables;
}

}  // namespace

LineRule lineRule(int n) {
  switch (n) {
    case 1:
      return {1, kLineX1, kLineW1};
    case 2:
      return {2, kLineX2, kLineW2};
    case 3:
      return {3, kLineX3, kLineW3};
    case 4:
      return {4, kLineX4, kLineW4};
    case 5:
      return {5, kLineX5, kLineW5};
    case 6:
      return {6, kLineX6, kLineW6};
    case 7:
      return {7, kLineX7, kLineW7};
    default:
      return {};
  }
}

TriangleRule triangleRule(int n) {
  switch (n) {
    case 1:
      return {1, kTriL1, kTriW1};
    case 3:
      return {3, kTriL3, kTriW3};
    case 4:
      return {4, kTriL4, kTriW4};
    case 6:
      return {6, kTriL6, kTriW6};
    default:
      return {};
  }
}

TetraRule tetraRule(int n) {
  const TetraTables& t = tetraTables();
  switch (n) {
    case 1:
      return {1, t.L1, t.W1};
    case 4:
      return {4, t.L4, t.W4};
    case 5:
      return {5, t.L5, t.W5};
    case 11:
      return {11, t.L11, t.W11};
    default:
      return {};
  }
}
