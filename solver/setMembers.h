// The members of a set resolved against the model, and their device
// pointer arrays: the passes over a set and over all sets that need the
// whole model (its nodes, parts and element managers). The set records
// themselves are in core/set.h and core/setManager.h.
#pragma once
#include "core/set.h"
#include "core/setManager.h"

class FEMDynamic;

// Turns the set's id list into host record pointers.
void resolveMembers(Set& set, FEMDynamic* fem);
// Builds the device pointer array of a node or element set.
void copyToGpu(Set& set, FEMDynamic* fem);
// buildSetMaps, then resolveMembers of every node, part and element set.
void resolveAllSets(SetManager& sets, FEMDynamic* fem);
// Device arrays of every node, element and part set.
void copyAllToGpu(SetManager& sets, FEMDynamic* fem);
