#include "solver/runLog.h"
#include <cmath>
#include <filesystem>
#include "contact/pairKindCount.h"
#include "contact/pairmanager.h"
#include "core/checkedFile.h"
#include "solver/femdynamic.h"
#include "solver/timeControl.h"

namespace {
CheckedFile g_runLog;  // grows by whole records: each ends with a flush
int g_runLogIndex = 0;
double g_lastRecordTime = 0.0;

// One record: progress, time, cycle, step and the active contact pairs by
// kind.
void writeRecord(const FEMDynamic& domain, double dt) {
  const PairManager* pairs = domain.pairManager;
  const PairKindCounts kinds = countPairKinds(pairs);
  const int active = pairs != nullptr ? pairs->activePairCount() : 0;
  g_runLog << runProgressPercent(domain) << "%" << '\t' << domain.time << '\t' << domain.cycle << '\t' << dt << '\t'
           << active << '\t' << kinds.nodeToSegment << '\t' << kinds.nodeToEdge << '\t' << kinds.nodeToNode << '\t'
           << std::endl;
  g_lastRecordTime = domain.time;
  ++g_runLogIndex;
}
}  // namespace

void resetRunLog() {
  if (g_runLog.is_open()) g_runLog.close();
  g_runLog.clear();
  g_runLogIndex = 0;
  g_lastRecordTime = 0.0;
}

int runLogRecordCount() { return g_runLogIndex; }

double runProgressPercent(const FEMDynamic& domain) {
  const TimeControl& tc = *domain.timeControl;
  if (tc.end_time > 0.0) return 100.0 * domain.time / tc.end_time;
  return tc.end_cycle > 0 ? 100.0 * domain.cycle / tc.end_cycle : 0.0;
}

void writeRunLog(FEMDynamic* domain, double dt) {
  // A run starts its log afresh, with one header.
  if (domain->cycle == 0 && !g_runLog.is_open() && g_runLogIndex == 0) {
    const std::filesystem::path folder = std::filesystem::path(domain->work_path) / "history";
    if (ensureOutputFolder(folder)) g_runLog.open(folder / "log.txt", FileMode::Fresh);
    g_runLog << "Calculate file: \t" << domain->input_file << std::endl;
    for (const char* column : {"Progress percentage", "Simulated time", "Iteration steps", "Time increment",
                               "Number of contacts pairs", "Number of n2s", "number of n2e", "number of n2n"}) {
      g_runLog << column << '\t';
    }
    g_runLog << std::endl;
  }
  // A record is due once the time comes within one step of the next record
  // time, or has passed it: with steps longer than the spacing the records
  // lag behind the time and follow one per call until they catch up.
  const double spacing = domain->timeControl->end_time / static_cast<double>(kRunLogRecords);
  if (g_runLogIndex < kRunLogRecords && domain->time > g_runLogIndex * spacing - dt) writeRecord(*domain, dt);
  if (g_runLogIndex == kRunLogRecords && g_runLog.is_open()) g_runLog.close();
}

void finishRunLog(FEMDynamic* domain) {
  if (!g_runLog.is_open() || (g_runLogIndex > 0 && g_lastRecordTime == domain->time)) return;
  writeRecord(*domain, domain->dt);
}
