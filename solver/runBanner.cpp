#include "solver/runBanner.h"
#include <ctime>
#include <sstream>
#include "contact/contactRecord.h"
#include "core/logErrorPrint.h"
#include "platform/computeDevice.h"
#include "solver/multigpumanager.h"
#include "solver/modelViews.h"

std::string runComputeText(const MultiGpuManager& gpus) {
  return gpus.gpu_id_array.empty() ? "the host loop on the CPU" : computeDeviceText(gpus.gpu_id_array[0]);
}

int runGpuCount(const MultiGpuManager& gpus) { return computeDeviceEmulated() ? 0 : gpus.gpu_num; }

std::string formatBannerTime(const std::tm& t) {
  std::ostringstream s;
  s << (t.tm_year + 1900) << '-' << (t.tm_mon + 1) << '-' << t.tm_mday << ' ' << t.tm_hour << ':' << t.tm_min << ':'
    << t.tm_sec;
  return s.str();
}

void writeRunBanner(std::ostream& out, const std::string& inputFile, const std::string& outputPath,
                    const char* executablePath, const std::string& computedOn) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  out << std::endl;
  out << "Release mode!" << std::endl;
  out << "Program execution file:" << '\t' << (executablePath != nullptr ? executablePath : "") << std::endl;
  out << "current time:" << std::endl;
  out << formatBannerTime(local) << std::endl;
  out << "input file:" << '\t' << inputFile << std::endl;
  out << "output path:" << '\t' << outputPath << std::endl;
  out << "computed on:" << '\t' << computedOn << std::endl;
}

void writeRunSummary(std::ostream& out, double calculateTime, double contactTime, double outputTime, int status,
                     int iterations, const std::string& computedOn, int gpuCount) {
  out << "calculate time:" << '\t' << calculateTime << std::endl;
  if (iterations != 0) {
    out << "iteration number:" << '\t' << iterations << std::endl;
  } else {
    out << "Not an iterative solution !" << std::endl;
  }
  out << "Contact cal time:" << '\t' << contactTime << std::endl;
  out << "Output data time:" << '\t' << outputTime << std::endl;
  out << "computed on:" << '\t' << computedOn << std::endl;
  out << "Number of GPU:" << '\t' << gpuCount << std::endl;
  out << (status == 1 ? "calculation completed" : "calculation error") << std::endl;
  out << '\n';
}

void printRunBanner(std::string inputFile, std::string outputPath, const char* executablePath,
                    const std::string& computedOn) {
  if (!g_runRecord.is_open()) return;
  writeRunBanner(g_runRecord, inputFile, outputPath, executablePath, computedOn);
}

void printRunSummary(double calculateTime, double contactTime, double outputTime, int status, int iterations,
                     const std::string& computedOn, int gpuCount) {
  if (!g_runRecord.is_open()) return;
  writeRunSummary(g_runRecord, calculateTime, contactTime, outputTime, status, iterations, computedOn, gpuCount);
}

void printContactRecord(FEMDynamic& fem) {
  if (!g_runRecord.is_open()) return;
  ContactModel model = contactModelOf(fem);
  gatherContactDepths(model);
  writeContactRecord(g_runRecord, model);
}
