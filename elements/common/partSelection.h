// Which parts the element passes of both time loops run over: a part with
// an element store and a material model that is neither null nor rigid.
// Rigid parts move as bodies and null parts carry no stress, so their
// elements give no force, no step and take no mass scaling.
#pragma once
#include "core/part.h"
#include "materials/material.h"
#include "materials/materialnew.h"

inline bool partTakesPart(const Part& part) {
  if (part.elmManager == nullptr || part.materialNew == nullptr) return false;
  if (part.material == nullptr) return true;  // a store built without its flat record
  return part.material->type != MT_NULL && part.material->type != MT_RIGID;
}
