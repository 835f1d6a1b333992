#include "materials/elementInversion.h"

#include <cstdio>
#include <cstdlib>

#include "core/logErrorPrint.h"
#include "elements/element.h"
#include "elements/gausspoint.h"

__device__ __managed__ int g_invertedPointCount = 0;
__device__ __managed__ int g_invertedElementId = 0;

__host__ __device__ void reportInvertedPoint(const GaussPoint* gp, double J) {
  if (atomicAddAnywhere(&g_invertedPointCount, 1) != 0) return;
  const bool owned = gp != nullptr && gp->element_ != nullptr && gp->elementType_ != ET_NONE;
  const int id = owned ? gp->element_->id : -1;
  g_invertedElementId = id;
  printf("element %d is turned inside out: det F = %g <= 0\n", id, J);
}

void stopRunIfElementInverted() {
  if (g_invertedPointCount == 0) return;
  std::fprintf(stderr,
               "The run stops: element %d is turned inside out (det F <= 0) at time %g, cycle %d; "
               "%d integration point(s) inverted.\n",
               g_invertedElementId, g_runTime, g_runCycle, g_invertedPointCount);
  std::fflush(stderr);
  g_runRecord << "The run stopped: element " << g_invertedElementId << " is turned inside out (det F <= 0)"
              << std::endl;
  g_runRecord << "at simulation time =" << g_runTime << " and dt =" << g_runDt << " and cycle =" << g_runCycle
              << std::endl;
  g_runRecord.close();
  cudaDeviceReset();
  std::exit(1);
}

void clearInvertedElementReport() {
  g_invertedPointCount = 0;
  g_invertedElementId = 0;
}
