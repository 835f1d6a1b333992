// Return mappings of the elastic-plastic model that do not converge within
// their iteration limit.  Every failing point update is counted; the run
// reports the count and the first element once, when its time loop ends
// (console and run record), rather than a line per point and cycle.  The
// points keep the stress of their last iteration.
#pragma once
#include "platform/reportCell.h"

struct GaussPoint;

// Point updates that failed since the start (or the last clear), and the id
// of the element of the first one (-1 when its owner is not an element
// record).
struct ReturnMapFailures {
  int count;
  int element;
};
FEM_DECLARE_REPORT_CELL(ReturnMapFailures, returnMapFailureCell)

__host__ __device__ void reportReturnMapFailure(const GaussPoint* gp);

// The failures of kernels and host code together (the device is idle).
ReturnMapFailures returnMapFailures();

// Prints the report (console and run record) when some update failed.
void printReturnMapFailures();
// Forgets every report (set-up of a new run, tests).
void clearReturnMapFailures();
