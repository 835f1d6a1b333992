#include "materials/elementInversion.h"

#include <cstdio>

#include "core/logErrorPrint.h"
#include "elements/element.h"
#include "elements/gausspoint.h"

__device__ __managed__ int g_invertedPointCount = 0;
__device__ __managed__ int g_invertedElementId = 0;
__device__ __managed__ int g_invertedElementPosition = -1;

namespace {
__host__ __device__ void recordInversion(int id, int position, double J) {
  if (atomicAddAnywhere(&g_invertedPointCount, 1) != 0) return;
  g_invertedElementId = id;
  g_invertedElementPosition = position;
  printf("element %d is turned inside out: det F = %g <= 0\n", id, J);
}
}  // namespace

__host__ __device__ void reportInvertedPoint(const GaussPoint* gp, double J) {
  const bool owned = gp != nullptr && gp->element_ != nullptr && gp->elementType_ != ET_NONE;
  recordInversion(owned ? gp->element_->id : -1, owned ? gp->element_->store_id : -1, J);
}

__host__ __device__ void reportInvertedElement(const Element& e, double J) { recordInversion(e.id, e.store_id, J); }

bool runStopsOnInvertedElement(double time, double dt, int cycle) {
  if (g_invertedPointCount == 0) return false;
  // An element without a deck id is named by its reading position.
  char name[64];
  if (g_invertedElementId >= 1 || g_invertedElementPosition < 0)
    std::snprintf(name, sizeof(name), "element %d", g_invertedElementId);
  else
    std::snprintf(name, sizeof(name), "the element read at position %d", g_invertedElementPosition + 1);
  char text[256];
  std::snprintf(text, sizeof(text),
                "The run stops: %s is turned inside out (det F <= 0) at time %g, cycle %d; "
                "%d integration point(s) inverted.",
                name, time, cycle, g_invertedPointCount);
  std::fflush(stdout);  // the console's progress lines go out first
  std::fprintf(stderr, "%s\n", text);
  if (g_runRecord.is_open()) g_runRecord << text << " dt = " << dt << std::endl;
  return true;
}

void clearInvertedElementReport() {
  g_invertedPointCount = 0;
  g_invertedElementId = 0;
  g_invertedElementPosition = -1;
}
