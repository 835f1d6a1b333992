#pragma once
// The host loop's hand-over of an element's latest scaled mass: the share
// its mass scaling left in scaledNodeMass (mass and rotary inertia x, y, z,
// the same at each node) added at once to its first n nodes. The device
// loop leaves the share for the nodes' ordered gather instead.
template <class ElementRecord>
inline void addScaledMassAtOnce(ElementRecord& e, int n) {
  for (int I = 0; I < n; ++I)
    if (e.node[I] != nullptr) e.node[I]->addMassShare(e.scaledNodeMass, 4);
}
