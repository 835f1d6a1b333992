// The banner and the summary that every run appends to the run record.
#pragma once
#include <ctime>
#include <ostream>
#include <string>

// Writes the banner into the run record: the program, the local time, the
// deck and the work path.
void printRunBanner(std::string inputFile, std::string outputPath, const char* executablePath);
// Writes the timings, the iteration count, the GPU count and the status
// line (status 1: "calculation completed") into the run record.
void printRunSummary(double calculateTime, double contactTime, double outputTime, int status, int iterations,
                     int gpuCount);

// Writes into the run record, per contact, the deepest penetration its
// nodes showed (node, segment, time), the overlap left at the end and the
// overlap it started with.
class FEMDynamic;
void printContactRecord(FEMDynamic& fem);

// The same, into any stream.
void writeRunBanner(std::ostream& out, const std::string& inputFile, const std::string& outputPath,
                    const char* executablePath);
void writeRunSummary(std::ostream& out, double calculateTime, double contactTime, double outputTime, int status,
                     int iterations, int gpuCount);
// Local time as year-month-day hour:minute:second without zero padding.
std::string formatBannerTime(const std::tm& t);
