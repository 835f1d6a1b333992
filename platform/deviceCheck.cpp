// The CUDA error check.
#include "platform/deviceCheck.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/gpuRuntime.h"
#include "platform/reportCell.h"

namespace {
DeviceFailureRecord failureRecord = nullptr;

// The identifier of `code` in the runtime's error enumeration, or "<unknown>"
// for a number that has none (the runtime then answers with a sentence).
const char* errorName(int code) {
  const char* name = cudaGetErrorName(static_cast<cudaError_t>(code));
  if (name == nullptr || std::strncmp(name, "cuda", 4) != 0) return "<unknown>";
  return name;
}
}  // namespace

void setDeviceFailureRecord(DeviceFailureRecord record) { failureRecord = record; }

void checkCudaError(int code, const char* callText, const char* file, int line) {
  if (code == 0) return;
  const char* name = errorName(code);
  std::fprintf(stderr, "CUDA error at %s:%d code=%d(%s) \"%s\" \n", file, line, code, name, callText);
  std::fflush(stderr);
  cudaDeviceReset();
  if (failureRecord != nullptr) failureRecord(code, name, callText, file, line);
  std::exit(1);
}

void syncDeviceForReports() {
  if (reportCellsOnDevice()) CUDA_CHECK(cudaDeviceSynchronize());
}
