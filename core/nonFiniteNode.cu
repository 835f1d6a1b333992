#include "core/nonFiniteNode.h"

#include <cstddef>
#include <cstdio>

#include "core/gridIndex.h"
#include "core/logErrorPrint.h"
#include "platform/simdLane.h"

namespace {
constexpr unsigned long long kNoReport = ~0ULL;
}  // namespace

FEM_DEFINE_REPORT_CELL(unsigned long long, nonFiniteNodeCell, kNoReport)

__host__ __device__ void reportNonFiniteNode(int id, int kind) {
  const unsigned long long code = static_cast<unsigned long long>(id < 0 ? 0 : id) * 4ULL + kind;
  atomicMinAnywhere(&nonFiniteNodeCell(), code);
}

unsigned long long nonFiniteNodeReport() {
  syncDeviceForReports();
  const unsigned long long onDevice = FEM_REPORT_CELL_DEVICE_COPY(nonFiniteNodeCell, kNoReport);
  return onDevice < nonFiniteNodeCellOnHost ? onDevice : nonFiniteNodeCellOnHost;
}

__host__ __device__ void checkNodeFinite(const NodeCuda& n) {
  double f = 0.0, v = 0.0;
  for (int j = 0; j < 3; ++j) f += n.force[j] + n.moment[j];
  for (int j = 0; j < 6; ++j) v += n.vel[j];
  if (!nodeValueIsFinite(n.coord[0] + n.coord[1] + n.coord[2])) reportNonFiniteNode(n.id, NONFINITE_COORDINATE);
  if (!nodeValueIsFinite(v)) reportNonFiniteNode(n.id, NONFINITE_VELOCITY);
  if (!nodeValueIsFinite(f)) reportNonFiniteNode(n.id, NONFINITE_FORCE);
}

namespace {
// Nodes ahead whose lines the check asks for: where the threads of a block
// run one after the other (host build), the four lines it reads of each
// 1.4 KB record arrive while the node before is checked.
constexpr int kCheckAhead = 8;
constexpr LaneRun kCoordRun = nodeFieldRun(offsetof(NodeCuda, coord), offsetof(NodeCuda, coord), 3 * sizeof(double));
// Force, moment, acceleration and velocity.
constexpr LaneRun kMotionRun = nodeFieldRun(offsetof(NodeCuda, force), offsetof(NodeCuda, vel), 6 * sizeof(double));
}  // namespace

__global__ void CheckNodesFinite(int n, const NodeCuda* nodes) {
  for (int i = gridStrideIndex(); i < n; i += gridStrideStep()) {
    lanePrefetchAhead<kCheckAhead>(nodes, i, n, kCoordRun, kMotionRun);
    checkNodeFinite(nodes[i]);
  }
}

bool runStopsOnNonFiniteNode(double time, int cycle) {
  const unsigned long long code = nonFiniteNodeReport();
  if (code == kNoReport) return false;
  static const char* const kWhat[] = {"coordinate", "velocity", "force", "force"};
  char text[200];
  std::snprintf(text, sizeof(text),
                "Node %llu has a %s that is not a finite number at time %g, cycle %d. The run stops.", code / 4,
                kWhat[code % 4], time, cycle);
  std::fflush(stdout);  // the console's progress lines go out first
  std::fprintf(stderr, "%s\n", text);
  if (g_runRecord.is_open()) g_runRecord << text << std::endl;
  return true;
}

void clearNonFiniteNodeReport() { FEM_RESET_REPORT_CELL(nonFiniteNodeCell, kNoReport); }
