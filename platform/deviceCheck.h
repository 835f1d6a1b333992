// The CUDA error check: every runtime call's result goes through it.
#pragma once

// Returns at once when code is 0; otherwise reports the failed call on the
// console, resets the device, hands the failure to the registered record
// (setDeviceFailureRecord) and ends the process with exit code 1.
void checkCudaError(int code, const char* callText, const char* file, int line);

// Writes a failed call into the run's own record; `name` is the code's
// identifier in the runtime's error enumeration or "<unknown>".
using DeviceFailureRecord = void (*)(int code, const char* name, const char* callText, const char* file, int line);

// The record checkCudaError writes a failure into (none: the console only).
void setDeviceFailureRecord(DeviceFailureRecord record);

// Before the host reads report cells (platform/reportCell.h): while a GPU
// runs the kernels, waits for them, so that a kernel that failed is
// reported here, at a known place.
void syncDeviceForReports();

// Wraps one CUDA runtime call; the report names the call as written.
#define CUDA_CHECK(call) checkCudaError(static_cast<int>(call), #call, __FILE__, __LINE__)
