// Elements turned inside out.  A material that finds det F <= 0 at an
// integration point, or a solid whose volume has lost the sign of its
// initial shape, reports it here; the time loops stop the run once the
// element passes are complete, naming the first element reported, rather
// than go on with no force or the force of the element's mirror image.
#pragma once
#include "platform/reportCell.h"

struct GaussPoint;

// Points reported since the start (or the last clear), and the id and the
// 0-based reading position of the element of the first one (-1 when its
// owner is not an element record).
struct InvertedElementReport {
  int pointCount;
  int elementId;
  int elementPosition;
};
FEM_DECLARE_REPORT_CELL(InvertedElementReport, invertedElementCell)

// Records the point; the first report prints the element and J.
__host__ __device__ void reportInvertedPoint(const GaussPoint* gp, double J);
// The same for an element (deck id, 0-based reading position) that its own
// kinematics find inside out: J is the ratio of its present to its initial
// volume (or Jacobian) at a point.
__host__ __device__ void reportInvertedElement(int id, int storeId, double J);

// The reports of kernels and host code together (the device is idle).
InvertedElementReport invertedElementReport();

// True when a point was reported: the message, naming the element and the
// run position, goes to the error stream and the run record, and the time
// loop stops the run (exit status 1).
bool runStopsOnInvertedElement(double time, double dt, int cycle);

// Forgets every report (set-up of a new run, tests).
void clearInvertedElementReport();
