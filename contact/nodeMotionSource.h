// What the contact step asks of the model's held nodes and rigid bodies: the
// table the force step reads (contact/nodeMotion.h), renewed before each
// contact step, with the bodies' states refreshed between the penetration
// and the force passes. The solver builds it from the model's supports,
// prescribed motions, welds, joints, ties and rigid bodies
// (solver/contactMotion.h).
#pragma once
#include "contact/nodeMotion.h"

class NodeMotionSource {
 public:
  virtual ~NodeMotionSource() = default;
  // Before the contact step of a cycle, at the model's time.
  virtual void beginCycle() = 0;
  // After the penetration pass: every rigid body's state under the forces
  // and the contact pairs now on its nodes.
  virtual void refreshBodies() = 0;
  // The table the force step reads (device addresses for the GPU loop); an
  // empty one while no node is held or rigid.
  virtual NodeMotionTable table() const = 0;
};
