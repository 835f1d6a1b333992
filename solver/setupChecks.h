// Checks of the linked model that the set-up makes before it computes
// anything: a model that would run into a zero or undefined step, or into
// divisions by zero, is refused with a message instead.
#pragma once
#include <vector>

class Part;
class FEMDynamic;

// Every part with elements has a material whose density and elastic
// constants the elements can use; each refused material is named once on
// the error stream and in the run record.  False when any is refused.
bool elementPartMaterialsUsable(const std::vector<Part>& parts);

// Every node holds, in its kNodeElementSlots registration slots, all the
// elements that give it a force row: the GPU gather reads a node's element
// forces through them, so an element beyond them would lose its force. A
// node with more is named with its element count on the error stream and in
// the run record; false then.
bool nodesHoldTheirElements(const FEMDynamic& fem);
