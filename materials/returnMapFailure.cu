#include "materials/returnMapFailure.h"

#include <cstdio>

#include "core/logErrorPrint.h"
#include "materials/integrationPoint.h"
#include "materials/radialReturn.h"

namespace {
constexpr ReturnMapFailures kNoFailure{0, -1};
}  // namespace

FEM_DEFINE_REPORT_CELL(ReturnMapFailures, returnMapFailureCell, kNoFailure)

__host__ __device__ void reportReturnMapFailure(const GaussPoint* gp) {
  ReturnMapFailures& failures = returnMapFailureCell();
  if (atomicAddAnywhere(&failures.count, 1) != 0) return;
  failures.element = gp != nullptr && gp->ownedByElement() ? gp->ownerId_ : -1;
}

ReturnMapFailures returnMapFailures() {
  syncDeviceForReports();
  return mergeFirstReport(returnMapFailureCellOnHost, FEM_REPORT_CELL_DEVICE_COPY(returnMapFailureCell, kNoFailure),
                          &ReturnMapFailures::count);
}

void printReturnMapFailures() {
  const ReturnMapFailures failures = returnMapFailures();
  if (failures.count == 0) return;
  char text[320];
  std::snprintf(text, sizeof(text),
                "jIter exceed limit. Divergent: the return mapping of the elastic-plastic model did not converge in "
                "%d iterations at %d point update(s), the first in element %d; those points kept the stress of "
                "their last iteration.",
                radial_return::kMaxIterations, failures.count, failures.element);
  std::fflush(stdout);
  std::printf("%s\n", text);
  if (g_runRecord.is_open()) g_runRecord << text << std::endl;
}

void clearReturnMapFailures() { FEM_RESET_REPORT_CELL(returnMapFailureCell, kNoFailure); }
