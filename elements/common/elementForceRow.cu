// The row of an element's nodal force block that a node gathers: the one
// place that knows each family's force block, for the node's gather (elements/common/nodeGather.cu).
#include "elements/common/nodeGather.h"
#include "elements/beam/beamElementCuda.h"
#include "elements/beam/discreteCuda.h"
#include "elements/shell/shellElementCuda.h"
#include "elements/solid2nd/solidElement2nd.h"
#include "elements/solid1st/solidElementCuda.h"

namespace {
template <int Rows, int Cols>
__host__ __device__ bool rowOf(const double (&block)[Rows][Cols], int r, NodeForceRow* out) {
  if (r < 0 || r >= Rows) return false;
  *out = NodeForceRow{block[r], Cols};
  return true;
}
}  // namespace

__host__ __device__ bool elementForceRow(Element* e, int r, NodeForceRow* out, bool report) {
  if (e == nullptr) return false;
  switch (e->sectionType) {
    case FAMILY_DISCRETE:
      return rowOf(static_cast<DiscreteCuda*>(e)->interForce, r, out);
    case FAMILY_BEAM:
      return rowOf(static_cast<BeamElementCuda*>(e)->interForce, r, out);
    case FAMILY_SHELL:
      return rowOf(static_cast<ShellElementCuda*>(e)->interForce, r, out);
    case FAMILY_SOLID:
      return rowOf(static_cast<SolidElementCuda*>(e)->interForce, r, out);
    case FAMILY_SOLID_2ND:
      return rowOf(static_cast<SolidElement2nd*>(e)->interForce, r, out);
    // Second-order beams and shells carry no nodal force block and are
    // never registered; an entry of theirs is reported as misset.
    default:
      if (report) printf("单元截面类型设置错误\n");
      return false;
  }
}
