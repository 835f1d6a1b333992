// Host base operations of every element record: point indices, point
// coordinates and weights of the element's rule, and the buffer of
// additional variables.
#include <cmath>
#include <cstdio>

#include "core/repeatedMessage.h"
#include "elements/common/element.h"
#include "elements/common/integrationRule.h"

namespace {

void setPoint(GaussPoint& p, double r, double s, double t, double w) {
  p.coord_[0] = r;
  p.coord_[1] = s;
  p.coord_[2] = t;
  p.weight_ = w;
}

}  // namespace

void Element::setGaussPointIndex(int count, int start) {
  if (gaussPoint == nullptr) return;
  for (int i = 0; i < count; ++i) gaussPoint[i].matStatusIndex_ = start + i;
}

void Element::setGaussPointCoordWeight(const Section*) {
  if (gaussPoint == nullptr) {
    noteRepeated(REPEATED_NO_GAUSS_POINTS, id);
    return;
  }
  const int N = integratPointNum;
  GaussPoint* p = gaussPoint;
  switch (integralDomainShape) {
    case DOMAIN_LINE: {
      const LineRule rule = lineRule(N);
      for (int i = 0; i < rule.n; ++i) setPoint(p[i], rule.x[i], 0.0, 0.0, rule.w[i]);
      break;
    }
    case DOMAIN_TRIANGLE: {
      const TriangleRule rule = triangleRule(N);
      for (int i = 0; i < rule.n; ++i) setPoint(p[i], rule.L[i][0], rule.L[i][1], 0.0, rule.w[i]);
      break;
    }
    case DOMAIN_QUAD: {
      const int n = N > 0 ? static_cast<int>(std::sqrt(static_cast<double>(N))) : 0;
      const LineRule rule = lineRule(n);
      for (int i = 0; i < rule.n; ++i)
        for (int j = 0; j < rule.n; ++j) setPoint(p[i * n + j], rule.x[i], rule.x[j], 0.0, rule.w[i] * rule.w[j]);
      break;
    }
    case DOMAIN_HEXA: {
      const int n = N > 0 ? static_cast<int>(std::cbrt(static_cast<double>(N)) + 0.5) : 0;
      // A count that is not a cube would place more points than the element
      // owns; such an element keeps zero coordinates and weights.
      if (n * n * n != N) break;
      const LineRule rule = lineRule(n);
      for (int i = 0; i < rule.n; ++i)
        for (int j = 0; j < rule.n; ++j)
          for (int k = 0; k < rule.n; ++k)
            setPoint(p[(i * n + j) * n + k], rule.x[i], rule.x[j], rule.x[k], rule.w[i] * rule.w[j] * rule.w[k]);
      break;
    }
    case DOMAIN_TETRA: {
      const TetraRule rule = tetraRule(N);
      for (int i = 0; i < rule.n; ++i) setPoint(p[i], rule.L[i][0], rule.L[i][1], rule.L[i][2], rule.w[i]);
      break;
    }
    case DOMAIN_WEDGE: {
      const int Nz = thickPointNum;
      const int Nt = planePointNum;
      // Only when the product rule fits into the element's points.
      if (Nz <= 0 || Nt <= 0 || Nz * Nt > N) break;
      const TriangleRule tri = triangleRule(Nt);
      const LineRule line = lineRule(Nz);
      if (tri.n == 0 || line.n == 0) break;
      for (int t = 0; t < tri.n; ++t)
        for (int k = 0; k < line.n; ++k)
          setPoint(p[t * Nz + k], tri.L[t][0], tri.L[t][1], line.x[k], tri.w[t] * line.w[k]);
      break;
    }
    default:
      break;
  }
}

void Element::computeAddMemSize(const Section*) { additionalVariableNum = additionalSeed; }

void Element::allocateAddMemory() {
  if (additionalVariableNum > 0) {
    delete[] additionalVariablePtr;
    additionalVariablePtr = new double[additionalVariableNum]();
  } else if (additionalVariableNum < 0) {
    printf("单元计算所需的额外分配错误\n");
  } else {
    delete[] additionalVariablePtr;
    additionalVariablePtr = nullptr;
  }
}

void Element::freeAddMemory() {
  delete[] additionalVariablePtr;
  additionalVariablePtr = nullptr;
}
