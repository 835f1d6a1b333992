// The scaled-mass share of an element that a node gathers: the one place
// that knows which of each family's nodes take part in mass scaling, for the
// node's gather in core.
#include "elements/common/nodeGather.h"
#include "elements/beam/beamElementCuda.h"
#include "elements/shell/shellElementCuda.h"
#include "elements/solid2nd/solidElement2nd.h"
#include "elements/solid1st/solidElementCuda.h"

namespace {
// The element's one share of mass and rotary inertia for every mass node.
__host__ __device__ int commonShare(const double (&share)[4], int r, int massNodes, NodeMassShare out[2]) {
  if (r < 0 || r >= massNodes) return 0;
  out[0] = NodeMassShare{share, 4};
  return 1;
}

// A quadrilateral shell whose fourth node repeats its third is registered
// with three nodes but shares its mass over four: the third node takes the
// fourth node's share too.
__host__ __device__ int shellShares(const ShellElementCuda& e, int r, NodeMassShare out[2]) {
  const int count = commonShare(e.scaledNodeMass, r, e.massNodeNum(), out);
  if (count == 1 && r == 2 && e.registeredNodeNum() == 3 && e.massNodeNum() == 4 && e.node[3] == e.node[2]) {
    out[1] = out[0];
    return 2;
  }
  return count;
}
}  // namespace

__host__ __device__ int elementScaledMassShares(Element* e, int r, NodeMassShare out[2]) {
  if (e == nullptr) return 0;
  switch (e->sectionType) {
    case FAMILY_SOLID: {
      const auto* s = static_cast<SolidElementCuda*>(e);
      return commonShare(s->scaledNodeMass, r, s->massNodeNum(), out);
    }
    case FAMILY_SHELL:
      return shellShares(*static_cast<ShellElementCuda*>(e), r, out);
    case FAMILY_BEAM:
      return commonShare(static_cast<BeamElementCuda*>(e)->scaledNodeMass, r, 2, out);
    case FAMILY_SOLID_2ND: {
      const auto* s = static_cast<SolidElement2nd*>(e);
      if (r < 0 || r >= s->solid2ndMassNodeNum()) return 0;
      out[0] = NodeMassShare{s->scaledNodeMass + r, 1};
      return 1;
    }
    // Discrete elements are not scaled.
    default:
      return 0;
  }
}
