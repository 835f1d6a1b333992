// The error probe: makes a pending failure of an earlier kernel surface at a
// known place, under the CUDA error check.
#pragma once
#include "platform/gpuRuntime.h"

// Empty kernel, launched by the probe.
__global__ void globalTest();

// Launches globalTest, then allocates, writes and frees one double under the
// check: the copy waits for all earlier work on the device, so a failed
// kernel is reported here and not at some later unrelated call.
void gpuErrorProbe();
