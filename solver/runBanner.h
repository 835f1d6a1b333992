// The banner and the summary that every run appends to the run record.
#pragma once
#include <ctime>
#include <ostream>
#include <string>

class MultiGpuManager;

// What computes a run with these GPUs selected: the GPU loop on the first
// one ("GPU 0 (name, compute capability 8.6)", or the CPU where this build
// emulates the GPU) or, with none, "the host loop on the CPU".
std::string runComputeText(const MultiGpuManager& gpus);
// Real GPUs the run computes on: 0 in the host loop and in the host build.
int runGpuCount(const MultiGpuManager& gpus);

// Writes the banner into the run record: the program, the local time, the
// deck, the work path and what computes the run.
void printRunBanner(std::string inputFile, std::string outputPath, const char* executablePath,
                    const std::string& computedOn);
// Writes the timings, the iteration count, what computed the run, the
// number of real GPUs and the status line (status 1: "calculation
// completed") into the run record.
void printRunSummary(double calculateTime, double contactTime, double outputTime, int status, int iterations,
                     const std::string& computedOn, int gpuCount);

// Writes into the run record, per contact, the deepest penetration its
// nodes showed (node, segment, time), the overlap left at the end and the
// overlap it started with.
class FEMDynamic;
void printContactRecord(FEMDynamic& fem);

// The same, into any stream.
void writeRunBanner(std::ostream& out, const std::string& inputFile, const std::string& outputPath,
                    const char* executablePath, const std::string& computedOn);
void writeRunSummary(std::ostream& out, double calculateTime, double contactTime, double outputTime, int status,
                     int iterations, const std::string& computedOn, int gpuCount);
// Local time as year-month-day hour:minute:second without zero padding.
std::string formatBannerTime(const std::tm& t);
