// Belytschko-Tsay quadrilateral shell (types 9 and 10): one point in the
// plane, points through the thickness, a corotational frame taken at
// mid-step, warping correction of the curvatures and hourglass resultants.
// The body is shared with the groups computed in lanes (btshellLanes.cu).
#include <cstdio>

#include "core/repeatedMessage.h"
#include "elements/shell/btshellBody.h"

__host__ __device__ void ShellElementCuda::interForce_BT_Gpu(const MaterialNew* material, const Section* section,
                                                             const HourglassControl* hourglass, double timeStep) {
  if (material == nullptr) return;
  // Node data, the end-of-step frame, the mid-step geometry.
  shell1st::QuadStep q;
  shell1st::beginQuadStep(*this, timeStep, q);

  btshell::ElementState<double> s;
  btshell::initState(*this, section, hourglass, timeStep, s);
  const auto checkArea = [&](const double a[4], double A) {
    if (!shell1st::quadAreaSound(a, A)) noteRepeated(REPEATED_QUAD_SHELL_AREA, id);
  };
  const auto integrate = [&](const double strain[8], double A, btshell::Resultants<double>& R) {
    btshell::integrateThickness(*this, material, strain, A, timeStep, R);
  };
  btshell::bodyForce(material, q, q.du, q.dr, s, checkArea, integrate, interForce);
  for (int m = 0; m < 5; ++m) hourglassStress[m] = s.hourglass[m];
}

void ShellElementCuda::interForce_BT_Cpu(const MaterialNew* material, const Section* section,
                                         const HourglassControl* hourglass, double timeStep) {
  interForce_BT_Gpu(material, section, hourglass, timeStep);
  shell1st::subtractForceBlock(*this);
}
