// Elements turned inside out.  A material that finds det F <= 0 at an
// integration point reports it here; the element passes stop the run once
// their pass is complete, naming the first element reported, rather than go
// on with the stress of the element's mirror image.
#pragma once
#include "platform/gpu_runtime.h"

struct GaussPoint;

// Points reported since the start (or the last clear), and the id of the
// element of the first one (-1 when its owner is not an element record).
// Managed memory: written by kernels, read by the host between passes.
extern __device__ __managed__ int g_invertedPointCount;
extern __device__ __managed__ int g_invertedElementId;

// Records the point; the first report prints the element and J.
__host__ __device__ void reportInvertedPoint(const GaussPoint* gp, double J);

// When a point was reported: the message on the console and in the run
// record with the run position, and the process ends with exit status 1.
void stopRunIfElementInverted();

// Forgets every report (set-up of a new run, tests).
void clearInvertedElementReport();
