// Names and descriptions of the runtime's error codes (host emulation).
#include "platform/host/hostRuntime.h"

namespace {
struct ErrorName {
  cudaError_t code;
  const char* name;
};

#define GPU_HOST_NAME_ENTRY(name, value) {name, #name},
constexpr ErrorName kNames[] = {GPU_HOST_ERROR_CODES(GPU_HOST_NAME_ENTRY)};
#undef GPU_HOST_NAME_ENTRY

struct ErrorText {
  cudaError_t code;
  const char* text;
};

// The runtime's descriptions of the codes the emulation itself returns, and
// of the failures a GPU run reports most often.
constexpr ErrorText kTexts[] = {
    {cudaSuccess, "no error"},
    {cudaErrorInvalidValue, "invalid argument"},
    {cudaErrorMemoryAllocation, "out of memory"},
    {cudaErrorInitializationError, "initialization error"},
    {cudaErrorCudartUnloading, "driver shutting down"},
    {cudaErrorInvalidConfiguration, "invalid configuration argument"},
    {cudaErrorInvalidPitchValue, "invalid pitch argument"},
    {cudaErrorInvalidSymbol, "invalid device symbol"},
    {cudaErrorInvalidHostPointer, "invalid host pointer"},
    {cudaErrorInvalidDevicePointer, "invalid device pointer"},
    {cudaErrorInvalidMemcpyDirection, "invalid copy direction for memcpy"},
    {cudaErrorInsufficientDriver, "CUDA driver version is insufficient for CUDA runtime version"},
    {cudaErrorNoDevice, "no CUDA-capable device is detected"},
    {cudaErrorInvalidDevice, "invalid device ordinal"},
    {cudaErrorIllegalAddress, "an illegal memory access was encountered"},
    {cudaErrorLaunchOutOfResources, "too many resources requested for launch"},
    {cudaErrorLaunchTimeout, "the launch timed out and was terminated"},
    {cudaErrorLaunchFailure, "unspecified launch failure"},
    {cudaErrorNotSupported, "operation not supported"},
    {cudaErrorUnknown, "unknown error"},
};

// What the runtime answers for a number that is not one of its codes.
constexpr const char* kUnrecognized = "unrecognized error code";
}  // namespace

const char* cudaGetErrorName(cudaError_t error) {
  for (const auto& e : kNames)
    if (e.code == error) return e.name;
  return kUnrecognized;
}

const char* cudaGetErrorString(cudaError_t error) {
  for (const auto& e : kTexts)
    if (e.code == error) return e.text;
  for (const auto& e : kNames)
    if (e.code == error) return e.name;
  return kUnrecognized;
}
