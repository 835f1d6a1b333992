// The run record and the run position the CUDA error check writes into it.
#include "core/logErrorPrint.h"

double g_runTime = 0.0;
double g_runDt = 0.0;
int g_runCycle = 0;
CheckedFile g_runRecord;

namespace {
void recordDeviceFailure(int code, const char* name, const char* callText, const char* file, int line) {
  g_runRecord << "CUDA error at" << file << ":" << line << " code=" << code << "(" << name << ") \"" << callText
              << "\" \n"
              << std::endl;
  g_runRecord << "The error occurred at simulation time =" << g_runTime << " and dt =" << g_runDt
              << " and cycle =" << g_runCycle << std::endl;
  g_runRecord.close();
}

// Every program that has the run record has the CUDA error write into it.
const bool recordsDeviceFailures = (setDeviceFailureRecord(&recordDeviceFailure), true);
}  // namespace
