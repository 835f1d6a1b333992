#include "materials/elementInversion.h"

#include <cstdio>

#include "core/logErrorPrint.h"
#include "materials/integrationPoint.h"

namespace {
constexpr InvertedElementReport kNoInversion{0, 0, -1};
}  // namespace

FEM_DEFINE_REPORT_CELL(InvertedElementReport, invertedElementCell, kNoInversion)

namespace {
__host__ __device__ void recordInversion(int id, int position, double J) {
  InvertedElementReport& report = invertedElementCell();
  if (atomicAddAnywhere(&report.pointCount, 1) != 0) return;
  report.elementId = id;
  report.elementPosition = position;
  printf("element %d is turned inside out: det F = %g <= 0\n", id, J);
}
}  // namespace

__host__ __device__ void reportInvertedPoint(const GaussPoint* gp, double J) {
  const bool owned = gp != nullptr && gp->ownedByElement();
  recordInversion(owned ? gp->ownerId_ : -1, owned ? gp->ownerStoreId_ : -1, J);
}

__host__ __device__ void reportInvertedElement(int id, int storeId, double J) { recordInversion(id, storeId, J); }

InvertedElementReport invertedElementReport() {
  syncDeviceForReports();
  return mergeFirstReport(invertedElementCellOnHost, FEM_REPORT_CELL_DEVICE_COPY(invertedElementCell, kNoInversion),
                          &InvertedElementReport::pointCount);
}

bool runStopsOnInvertedElement(double time, double dt, int cycle) {
  const InvertedElementReport report = invertedElementReport();
  if (report.pointCount == 0) return false;
  // An element without a deck id is named by its reading position.
  char name[64];
  if (report.elementId >= 1 || report.elementPosition < 0)
    std::snprintf(name, sizeof(name), "element %d", report.elementId);
  else
    std::snprintf(name, sizeof(name), "the element read at position %d", report.elementPosition + 1);
  char text[256];
  std::snprintf(text, sizeof(text),
                "The run stops: %s is turned inside out (det F <= 0) at time %g, cycle %d; "
                "%d integration point(s) inverted.",
                name, time, cycle, report.pointCount);
  std::fflush(stdout);  // the console's progress lines go out first
  std::fprintf(stderr, "%s\n", text);
  if (g_runRecord.is_open()) g_runRecord << text << " dt = " << dt << std::endl;
  return true;
}

void clearInvertedElementReport() { FEM_RESET_REPORT_CELL(invertedElementCell, kNoInversion); }
