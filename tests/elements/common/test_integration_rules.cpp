// Integration rules and the point coordinates and weights elements get.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "elements/common/element.h"
#include "elements/common/integrationRule.h"

namespace {

// An element with n points of the given layout, its points in a vector.
struct PointedElement {
  Element e;
  std::vector<GaussPoint> points;
  PointedElement(int shape, int n, int thick = 0, int plane = 0) : points(n) {
    e.id = 3;
    e.integralDomainShape = shape;
    e.integratPointNum = n;
    e.thickPointNum = thick;
    e.planePointNum = plane;
    e.linkGaussPoint(points.data(), ET_NONE, n);
    e.setGaussPointCoordWeight(nullptr);
  }
  double weightSum() const {
    double s = 0.0;
    for (const GaussPoint& p : points) s += p.weight_;
    return s;
  }
};

}  // namespace

TEST(IntegrationRules, WeightSums) {
  for (int n = 1; n <= 7; ++n) {
    const LineRule r = lineRule(n);
    ASSERT_EQ(r.n, n);
    double s = 0.0;
    for (int i = 0; i < n; ++i) s += r.w[i];
    EXPECT_NEAR(s, 2.0, 1e-12) << n;
  }
  for (int n : {1, 3, 4, 6}) {
    const TriangleRule r = triangleRule(n);
    ASSERT_EQ(r.n, n);
    double s = 0.0;
    for (int i = 0; i < n; ++i) s += r.w[i];
    EXPECT_NEAR(s, 0.5, 1e-12) << n;
  }
  for (int n : {1, 4, 5, 11}) {
    const TetraRule r = tetraRule(n);
    ASSERT_EQ(r.n, n);
    double s = 0.0;
    for (int i = 0; i < n; ++i) s += r.w[i];
    EXPECT_NEAR(s, 1.0 / 6.0, 1e-12) << n;
  }
  EXPECT_EQ(lineRule(8).n, 0);
  EXPECT_EQ(triangleRule(2).n, 0);
  EXPECT_EQ(tetraRule(2).n, 0);
}

TEST(IntegrationRules, ElevenPointTetraIntegratesQuadratics) {
  // The integral of L1 * L2 over the unit tetrahedron is 1/120.
  const TetraRule r = tetraRule(11);
  double s = 0.0;
  for (int i = 0; i < r.n; ++i) s += r.w[i] * r.L[i][0] * r.L[i][1];
  EXPECT_NEAR(s, 1.0 / 120.0, 1e-12);
  const TetraRule r4 = tetraRule(4);
  EXPECT_NEAR(r4.L[0][0], (5.0 + 3.0 * std::sqrt(5.0)) / 20.0, 1e-15);
}

TEST(IntegrationRules, FivePointShell) {
  PointedElement s(DOMAIN_LINE, 5, 5, 1);
  const double r[5] = {-0.906179845938664, -0.5384693101056831, 0.0, 0.5384693101056831, 0.906179845938664};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(s.points[i].coord_[0], r[i]);
    EXPECT_EQ(s.points[i].coord_[1], 0.0);
    EXPECT_EQ(s.points[i].coord_[2], 0.0);
  }
  EXPECT_NEAR(s.weightSum(), 2.0, 1e-12);

  // Eight or more points through the thickness: no rule, all zero.
  PointedElement eight(DOMAIN_LINE, 8, 8, 1);
  for (const GaussPoint& p : eight.points) {
    EXPECT_EQ(p.weight_, 0.0);
    EXPECT_EQ(p.coord_[0], 0.0);
  }
}

TEST(IntegrationRules, HexahedronOneAndEightPoints) {
  PointedElement one(DOMAIN_HEXA, 1);
  EXPECT_EQ(one.points[0].weight_, 8.0);
  EXPECT_EQ(one.points[0].coord_[0], 0.0);

  PointedElement eight(DOMAIN_HEXA, 8);
  const double g = 0.577350269189626;
  for (int i = 0; i < 2; ++i)
    for (int j = 0; j < 2; ++j)
      for (int k = 0; k < 2; ++k) {
        const GaussPoint& p = eight.points[(i * 2 + j) * 2 + k];
        EXPECT_EQ(p.weight_, 1.0);
        EXPECT_EQ(p.coord_[0], i == 0 ? -g : g);
        EXPECT_EQ(p.coord_[1], j == 0 ? -g : g);
        EXPECT_EQ(p.coord_[2], k == 0 ? -g : g);
      }

  // A count that is no cube writes nothing (and never past the element's points).
  PointedElement seven(DOMAIN_HEXA, 7);
  EXPECT_EQ(seven.weightSum(), 0.0);

  PointedElement quad(DOMAIN_QUAD, 4);
  EXPECT_NEAR(quad.weightSum(), 4.0, 1e-12);
}

TEST(IntegrationRules, WedgeAndTetrahedron) {
  PointedElement w(DOMAIN_WEDGE, 2, 2, 1);
  for (int k = 0; k < 2; ++k) {
    EXPECT_EQ(w.points[k].coord_[0], 0.333333333333);
    EXPECT_EQ(w.points[k].coord_[1], 0.333333333333);
    EXPECT_EQ(w.points[k].weight_, 0.5);
  }
  EXPECT_EQ(w.points[0].coord_[2], -0.577350269189626);
  EXPECT_EQ(w.points[1].coord_[2], 0.577350269189626);

  PointedElement t(DOMAIN_TETRA, 1);
  EXPECT_EQ(t.points[0].coord_[0], 0.25);
  EXPECT_NEAR(t.points[0].weight_, 1.0 / 6.0, 1e-15);

  // Shape 0 (the pyramid) leaves its points untouched.
  PointedElement pyramid(DOMAIN_NONE, 4);
  EXPECT_EQ(pyramid.weightSum(), 0.0);
}

TEST(IntegrationRules, MissingPointsAreReported) {
  Element e;
  e.id = 42;
  e.integralDomainShape = DOMAIN_HEXA;
  e.integratPointNum = 1;
  GaussPoint p;
  e.linkGaussPoint(&p, ET_HEXA_REDUCED, 0);  // count 0 links nothing
  EXPECT_EQ(e.gaussPoint, nullptr);
  testing::internal::CaptureStdout();
  e.setGaussPointCoordWeight(nullptr);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "单元 42 没有设置高斯积分点\n");
}

TEST(IntegrationRules, VolumeStaysApartFromTheWeight) {
  PointedElement one(DOMAIN_HEXA, 1);
  one.points[0].volume_ = 3.5;
  one.e.setGaussPointCoordWeight(nullptr);
  EXPECT_EQ(one.points[0].weight_, 8.0);
  EXPECT_EQ(one.points[0].volume_, 3.5);
}
