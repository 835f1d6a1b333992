// Kernels over the smoothed-FEM domains: node links at set-up, the domain
// forces of every cycle and the nodal stress shares for output.
#pragma once
#include "elements/smoothFem/smoothFem.h"

struct Section;
struct HourglassControl;

__global__ void GpuLinkNodeForSmoothFem(int n, SmoothFEM* domains, NodeCuda* nodes);
__global__ void _AllSmoothFemInterFor(MaterialNew** materials, Section* sections, HourglassControl* hourglass,
                                      SmoothFEM* domains, int n, double dt, double* forceShares);
__global__ void GpuAccumulateSmoothElementStrToNode(int n, SmoothFEM* domains, Section* sections, double* stressShares,
                                                    double* weightShares);
