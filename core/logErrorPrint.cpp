// The CUDA error check and the run position it reports.
#include "core/logErrorPrint.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/gpu_runtime.h"
#include "platform/reportCell.h"

double g_runTime = 0.0;
double g_runDt = 0.0;
int g_runCycle = 0;
CheckedFile g_runRecord;

namespace {
// The identifier of `code` in the runtime's error enumeration, or "<unknown>"
// for a number that has none (the runtime then answers with a sentence).
const char* errorName(int code) {
  const char* name = cudaGetErrorName(static_cast<cudaError_t>(code));
  if (name == nullptr || std::strncmp(name, "cuda", 4) != 0) return "<unknown>";
  return name;
}
}  // namespace

void checkCudaError(int code, const char* callText, const char* file, int line) {
  if (code == 0) return;
  const char* name = errorName(code);
  std::fprintf(stderr, "CUDA error at %s:%d code=%d(%s) \"%s\" \n", file, line, code, name, callText);
  std::fflush(stderr);
  cudaDeviceReset();
  g_runRecord << "CUDA error at" << file << ":" << line << " code=" << code << "(" << name << ") \"" << callText
              << "\" \n"
              << std::endl;
  g_runRecord << "The error occurred at simulation time =" << g_runTime << " and dt =" << g_runDt
              << " and cycle =" << g_runCycle << std::endl;
  g_runRecord.close();
  std::exit(1);
}

void syncDeviceForReports() {
  if (reportCellsOnDevice()) CUDA_CHECK(cudaDeviceSynchronize());
}
