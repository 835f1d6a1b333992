// What the group kernel of the one-point hexahedra reads through pointers,
// kept beside the element records in one compact entry per group of
// kLaneWidth elements: the node, point and state addresses, the elements'
// initial signed volumes, which of the nodes to ask for
// ahead, and whether the group can be computed in lanes at all.  The entries are built once, after
// set-up has linked the points and states, so that a cycle finds every
// address of a group without hopping through its element and point records
// and can ask for the records of a group two places ahead.
#pragma once
#include <type_traits>

#include "core/node.h"
#include "core/nodeMotions.h"
#include "elements/common/gausspoint.h"
#include "platform/simdLane.h"

class MaterialNew;
class MaterialStatus;
struct HourglassControl;
struct SolidElementCuda;

struct HexaLaneGroup {
  const NodeCuda* node[kLaneWidth][8];
  GaussPoint* point[kLaneWidth];
  MaterialStatus* state[kLaneWidth];
  // Signed one-point volume of each element's initial shape (as the
  // element record keeps it), read by the kernel as one lane value.
  double initialVolume[kLaneWidth];
  // Node slots (bit 8 l + I for node[l][I]) whose records are asked for
  // ahead: each node once, and not one of the group before, whose nodes
  // were asked for one group earlier.
  unsigned aheadNodes;
  int materialId;  // 1-based id shared by the group's elements
  int partId;      // 1-based part of the first element: its hourglass control
  // 1 when the group's elements are one-point hexahedra of one material and
  // one hourglass control whose eight nodes are all there and whose points
  // carry a state; 0 sends the group to the one-element path every cycle.
  int lanes;
};

static_assert(std::is_trivially_copyable_v<HexaLaneGroup>);
static_assert(8 * kLaneWidth <= 32, "a bit of aheadNodes for each node slot");

// The entry of the kLaneWidth elements from elements[0] (all of them must
// exist): their addresses and whether they qualify for the lanes, given
// the material table and the per-part hourglass controls of the run.
// previous: the kLaneWidth elements of the group before (null for the
// first), whose nodes the entry's read-ahead leaves out.
__host__ __device__ void fillHexaLaneGroup(MaterialNew* const* materials, const HourglassControl* hourglass,
                                           SolidElementCuda* const* elements, SolidElementCuda* const* previous,
                                           HexaLaneGroup& group);

// Forces, volumes, lengths and steps of kLaneWidth one-point hexahedra
// (elements[0..kLaneWidth-1], described by groups[0]; groups[1..ahead] are
// the entries of the following groups, whose records are asked for
// meanwhile) computed together, each element's step also into steps[l].
// The nodes' coordinates, steps and velocities come from motions where it
// holds every node of the group, from the node records otherwise (the same
// values).
// Returns false, having written nothing, when the group does not qualify
// (see HexaLaneGroup::lanes) or holds a mirror-numbered, collapsed or
// inside-out shape: its elements then take the one-element path.
// hourglass is the table of one control per part (hourglassOfPart).
__host__ __device__ bool onePointHexaLanes(MaterialNew* const* materials, const HourglassControl* hourglass,
                                           SolidElementCuda* const* elements, const HexaLaneGroup* groups, int ahead,
                                           const NodeMotionView& motions, double dt, double safeFactor, double* steps);
