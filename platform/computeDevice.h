// What computes a run's kernels, in words for the console: a real GPU in
// the CUDA build, the CPU in the host build (whose one listed device is an
// emulation of a GPU).
#pragma once
#include <string>

// The device that computes the GPU loop: "GPU 0 (<name>, compute
// capability 8.6)", or in the host build "the CPU (this build emulates the
// GPU; 8 threads run its kernels)".
std::string computeDeviceText(int device);
// Appended to the GPU loop's set-up lines: empty with a real GPU, " (the
// GPU is emulated on the CPU)" in the host build.
const char* emulationNote();
// True in the host build, whose one device is an emulation on the CPU.
bool computeDeviceEmulated();
// Why no device can run kernels in this process, or empty when one can:
// the host build always runs them; the GPU build needs a GPU that its driver
// answers for ("no CUDA device can run kernels: cudaGetDeviceCount returned
// cudaErrorInsufficientDriver (...)").
std::string kernelDeviceProblem();
