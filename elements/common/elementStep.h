// The element that limits the time step: the one whose stored step is not
// a finite number, or else the smallest.  Used to name the element when a
// run cannot step on.
#pragma once
#include "core/node.h"

struct ElementStep {
  int id = 0;         // element id; 0 when no element was considered
  double step = 0.0;  // its step
  bool found = false;
};

// Keeps the worse of the recorded step and (id, step): a step that is not
// finite is worse than any finite one, the first of them is kept.
inline void considerElementStep(ElementStep& worst, int id, double step) {
  const bool finite = nodeValueIsFinite(step);
  const bool worstFinite = nodeValueIsFinite(worst.step);
  const bool worse = !worst.found || (worstFinite && (!finite || step < worst.step));
  if (!worse) return;
  worst.id = id;
  worst.step = step;
  worst.found = true;
}
