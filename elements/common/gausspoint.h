// One integration point of an element or a smoothed-FEM domain: the record
// (materials/integrationPoint.h) and the reference derivative arrays its
// owner allocates.
#pragma once
#include "elements/common/elementType.h"
#include "materials/integrationPoint.h"

// nodeNumber_ := the owner's integration-point node count; for owners with
// the total-Lagrangian flag the three derivative arrays are allocated and
// zeroed (host).
void setNodeNumAndAllocateShapePartial(GaussPoint& point);

// Releases the host derivative arrays (host).
void freeShapePartial(GaussPoint& point);
