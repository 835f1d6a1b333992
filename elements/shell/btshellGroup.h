// What the group kernel of the Belytschko-Tsay shells reads through pointers,
// kept in one compact entry per group of kLaneWidth elements: the node and
// state addresses, the through-thickness rule the group's elements share,
// the hourglass thickness of their first nodes and whether the group can be
// computed this way at all.  The entries are built once, after set-up has
// linked the points and states, so that a cycle reads neither the head of
// the element records nor the integration points, and can ask for the
// records of a group two places ahead.
#pragma once
#include <type_traits>

#include "core/node.h"
#include "core/nodeMotions.h"
#include "platform/simdLane.h"

class MaterialNew;
class MaterialStatus;
struct GaussPoint;
struct HourglassControl;
struct Section;
struct ShellElementCuda;

// Points through the thickness a shell section can have.
constexpr int kShellGroupPointMax = 7;

struct ShellLaneGroup {
  const NodeCuda* node[kLaneWidth][4];
  GaussPoint* point[kLaneWidth];  // each element's first point; the others follow
  // State of each element's first point; the states of its other points
  // follow at stateStride bytes (as the material's state array holds them).
  MaterialStatus* state[kLaneWidth];
  // Thickness of each element's first node (its hourglass thickness where
  // positive).  Node thicknesses are fixed at set-up.
  double nodeThick[kLaneWidth];
  double weight[kShellGroupPointMax];  // the rule of the group's points
  double zeta[kShellGroupPointMax];
  // The group's distinct nodes, as positions in node (row by row), the
  // first distinctNodes of them: a corner the group's elements share is
  // asked for ahead once.
  unsigned char distinct[kLaneWidth * 4];
  int distinctNodes;
  int points;
  int stateStride;
  int materialId;  // 1-based ids shared by the group's elements
  int sectionId;
  int partId;  // 1-based part of the first element: its hourglass control
  // 1 when the group's elements are quadrilateral shells of one material,
  // section and hourglass control, on four nodes each, whose points share
  // one rule and carry evenly spaced states; 0 leaves the group to the
  // lanes that read the element records, or to the one-element path.
  int lanes;
};

static_assert(std::is_trivially_copyable_v<ShellLaneGroup>);

// The entry of the kLaneWidth shells from elements[0] (all of them must
// exist), given the material table, the sections and the per-part hourglass
// controls of the run.
__host__ __device__ void fillShellLaneGroup(MaterialNew* const* materials, const Section* sections,
                                            const HourglassControl* hourglass, ShellElementCuda* const* elements,
                                            ShellLaneGroup& group);

// Forces, hourglass state, area, length and step of kLaneWidth shells
// (elements[0..kLaneWidth-1], described by groups[0]; groups[1..ahead] are
// the entries of the following groups, whose records are asked for
// meanwhile), each element's step also into steps[l].  The nodes'
// coordinates and velocities come from motions where it holds every node of
// the group, from the node records otherwise (the same values).  Returns false,
// having written nothing, when the entry does not qualify or a shell is
// collapsed or inverted.  The same bits as btShellLaneGroup.
__host__ __device__ bool btShellLanes(MaterialNew* const* materials, const Section* sections,
                                      const HourglassControl* hourglass, ShellElementCuda* const* elements,
                                      const ShellLaneGroup* groups, int ahead, const NodeMotionView& motions, double dt,
                                      double safeFactor, double* steps);
