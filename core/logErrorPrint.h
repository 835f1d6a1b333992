// The CUDA error check and the run position it reports.
#pragma once
#include "core/checkedFile.h"

// Run position published by the GPU time loop at the start of every cycle;
// the error check reads it into its report.
extern double g_runTime;
extern double g_runDt;
extern int g_runCycle;

// The run record "history_record.txt", opened for appending by the program
// entry; the banner, the summary and the error check write into it. Every
// line is flushed whole; a write that fails asks the run to stop.
extern CheckedFile g_runRecord;

// Returns at once when code is 0; otherwise reports the failed call on the
// console and in the run record, resets the device and ends the process
// with exit code 1.
void checkCudaError(int code, const char* callText, const char* file, int line);

// Before the host reads report cells (platform/reportCell.h): while a GPU
// runs the kernels, waits for them, so that a kernel that failed is
// reported here, at a known place.
void syncDeviceForReports();

// Wraps one CUDA runtime call; the report names the call as written.
#define CUDA_CHECK(call) checkCudaError(static_cast<int>(call), #call, __FILE__, __LINE__)
