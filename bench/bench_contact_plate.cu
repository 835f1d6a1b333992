// Cost of contact in the GPU loop of the host build: a clamped plate of
// n x n Belytschko-Tsay shells struck by a rigid sphere of about 2,000 shell
// segments under single-surface contact. The model is written as a keyword
// deck, read and set up as a run does, and run for a fixed number of cycles;
// the same model without the contact card gives the cost of the rest of the
// cycle. Reported, of the time loop's cycles alone (set-up and start state
// not counted): the cycle with and without contact and its speed-up over one
// thread, the share of the cycle spent in contact, microseconds per contact
// node-cycle and the time of contact over that of the element forces beside
// it (the shells' force launches and their gather into the nodes), on 1, 2,
// 4 ... threads up to all cores and on all cores with one core kept busy;
// each the best of three runs (the machine is shared).
//
//   bench_contact_plate [n=100] [cycles=200] [threads=all cores]
#include <omp.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "bench/benchCycle.h"
#include "contact/pairmanager.h"
#include "contact/subDomainManager.h"
#include "contact/surface.h"
#include "core/nodeForceRows.h"
#include "elements/common/elementControl.h"
#include "input/keyword/keywordReader.h"
#include "input/link/preprocessModel.h"
#include "platform/launchTimes.h"
#include "solver/femDynaAnalyParalle.h"
#include "solver/femdynamic.h"
#include "solver/multigpumanager.h"
#include "solver/timeControl.h"

namespace fs = std::filesystem;

namespace {

struct Point {
  double x, y, z;
};

// Nodes of a sphere of 6 m^2 quadrilaterals (a cube's faces projected onto
// it), normals outward; returns the quadrilaterals as node numbers.
std::vector<std::array<int, 4>> quadSphere(int m, double r, Point c, std::vector<Point>& nodes) {
  std::map<std::tuple<long, long, long>, int> index;
  auto node = [&](double u[3]) {
    const auto key = std::make_tuple(std::lround(u[0] * 1e6), std::lround(u[1] * 1e6), std::lround(u[2] * 1e6));
    const auto it = index.find(key);
    if (it != index.end()) return it->second;
    const double len = std::sqrt(u[0] * u[0] + u[1] * u[1] + u[2] * u[2]);
    nodes.push_back({c.x + r * u[0] / len, c.y + r * u[1] / len, c.z + r * u[2] / len});
    return index[key] = static_cast<int>(nodes.size());
  };
  std::vector<std::array<int, 4>> quads;
  for (int axis = 0; axis < 3; ++axis) {
    for (int sign = -1; sign <= 1; sign += 2) {
      const int a = (axis + 1) % 3, b = (axis + 2) % 3;
      for (int j = 0; j < m; ++j) {
        for (int i = 0; i < m; ++i) {
          std::array<int, 4> q{};
          const int di[4] = {0, 1, 1, 0}, dj[4] = {0, 0, 1, 1};
          for (int k = 0; k < 4; ++k) {
            double u[3];
            u[axis] = sign;
            u[a] = -1.0 + 2.0 * (i + di[k]) / m;
            u[b] = -1.0 + 2.0 * (j + dj[k]) / m;
            q[k] = node(u);
          }
          // (a, b, axis) is right-handed: outward for the + face.
          if (sign < 0) std::swap(q[1], q[3]);
          quads.push_back(q);
        }
      }
    }
  }
  return quads;
}

std::string deckText(int n, int cycles, bool withContact) {
  std::ostringstream d;
  const double h = 1.0 / n, r = 0.1;
  std::vector<Point> nodes;
  for (int j = 0; j <= n; ++j)
    for (int i = 0; i <= n; ++i) nodes.push_back({-0.5 + i * h, -0.5 + j * h, 0.0});
  const int plateNodes = static_cast<int>(nodes.size());
  const std::vector<std::array<int, 4>> ball = quadSphere(18, r, {0.0, 0.0, r + 0.003 + 0.0005}, nodes);
  d << "*KEYWORD\n*NODE\n";
  for (std::size_t k = 0; k < nodes.size(); ++k)
    d << k + 1 << " " << nodes[k].x << " " << nodes[k].y << " " << nodes[k].z << "\n";
  d << "*ELEMENT_SHELL\n";
  int e = 0;
  for (int j = 0; j < n; ++j)
    for (int i = 0; i < n; ++i) {
      const int a = 1 + j * (n + 1) + i;
      d << ++e << " 1 " << a << " " << a + 1 << " " << a + n + 2 << " " << a + n + 1 << "\n";
    }
  for (const auto& q : ball) d << ++e << " 2 " << q[0] << " " << q[1] << " " << q[2] << " " << q[3] << "\n";
  d << "*PART\nplate\n1,1,1\n*PART\nsphere\n2,2,2\n";
  d << "*SECTION_SHELL\n1,2,0.8333,3\n0.005,0.005,0.005,0.005\n";
  d << "*SECTION_SHELL\n2,2,0.8333,2\n0.001,0.001,0.001,0.001\n";
  d << "*MAT_ELASTIC\n1,7850,2.1e11,0.3\n*MAT_RIGID\n2,7850,2.1e11,0.3\n";
  d << "*SET_NODE_LIST\n1\n";
  for (int k = 1; k <= plateNodes; ++k) {
    const Point& p = nodes[k - 1];
    if (std::fabs(std::fabs(p.x) - 0.5) < 1e-9 || std::fabs(std::fabs(p.y) - 0.5) < 1e-9) d << k << "\n";
  }
  d << "*BOUNDARY_SPC_SET\n1,0,1,1,1,1,1,1\n*SET_NODE_LIST\n2\n";
  for (std::size_t k = plateNodes + 1; k <= nodes.size(); ++k) d << k << "\n";
  d << "*INITIAL_VELOCITY\n2\n0,0,-10\n";
  if (withContact) d << "*SET_PART_LIST\n5\n1,2\n*CONTACT_AUTOMATIC_SINGLE_SURFACE\n5,0,2\n0\n0\n";
  // An end time far beyond the cycles asked: the end cycle alone ends the run.
  d << "*CONTROL_TERMINATION\n1.0," << cycles << "\n*END\n";
  return d.str();
}

struct RunTimes {
  double loop = 0.0, contact = 0.0, elementForces = 0.0;  // milliseconds, the loop's cycles
  int contactNodes = 0, cycles = 0;
};

// Wall time of the element force launches (the shells' forces and their
// gather into the nodes) from this thread so far, in milliseconds; NaN in a
// build that does not time its launches.
double elementForceMs() {
  const KernelLaunchTime forces = kernelLaunchTime(_AllShellElementInterFor);
  const KernelLaunchTime gather = kernelLaunchTime(GatherNodeForceRows);
  return forces.measured ? (forces.wallNs + gather.wallNs) * 1e-6 : std::nan("");
}

RunTimes runDeckOnce(const fs::path& deck) {
  RunTimes t;
  auto* fem = new FEMDynamic[1];
  fem->newManagers();
  fem->multiGpuManager->selectGpu();
  fem->input_file = deck.string();
  fem->work_path = (deck.parent_path() / "work").string();
  fs::create_directories(fs::path(fem->work_path) / "history");
  if (readKeywordDeck(fem, fem->input_file) != 1 || preprocessModel(fem) != 1) {
    fprintf(stderr, "the benchmark model could not be set up\n");
    std::exit(1);
  }
  fem->timeControl->output_interval = 1e9;  // outputs at time 0 only
  fem->host_path_flag = 0;
  double contactTime = 0.0, outputTime = 0.0;
  const double elementsBefore = elementForceMs();
  femDynaAnalyParalle(fem, &contactTime, &outputTime);
  t.loop = fem->loop_ms;
  t.contact = contactTime;
  t.elementForces = elementForceMs() - elementsBefore;
  t.contactNodes = fem->pairManager->contact_node_num;
  t.cycles = fem->cycle;
  delete[] fem;
  return t;
}

// The run of the shortest loop of three, with its own figures.
RunTimes runDeck(const fs::path& deck) {
  RunTimes best = runDeckOnce(deck);
  for (int k = 1; k < 3; ++k) {
    const RunTimes t = runDeckOnce(deck);
    if (t.loop < best.loop) best = t;
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  const bench::Options args(argc, argv);
  const int n = args.number(1, 100);
  const int cycles = args.number(2, 200);
  const int cores = args.threads(3);
  if (n < 2 || cycles < 1 || cores < 1) {
    fprintf(stderr, "usage: bench_contact_plate [n >= 2] [cycles >= 1] [threads >= 1]\n");
    return 1;
  }
  // A folder of this process's own: another run of the benchmark on the
  // same machine would rewrite the decks under this one.
  const fs::path folder = fs::temp_directory_path() / ("impactfem_bench_contact_plate_" + std::to_string(getpid()));
  fs::create_directories(folder);
  std::ofstream(folder / "with.k") << deckText(n, cycles, true);
  std::ofstream(folder / "without.k") << deckText(n, cycles, false);
  const std::string plate = "contact plate " + std::to_string(n) + "^2: ";
  bench::TableRow cycleWith(plate + "ms per cycle with contact", "%.3f");
  bench::TableRow cycleWithout(plate + "ms per cycle without contact", "%.3f");
  bench::TableRow speedUp(plate + "cycle with contact: speed-up over one thread", "%.2f");
  double oneThread = 0.0;
  bench::TableRow share(plate + "contact share of the cycle (%)", "%.1f");
  bench::TableRow perNode(plate + "us per contact node-cycle", "%.3f");
  // What a cycle moves per contact node (about one master segment each):
  // the segment refresh reads the segment's corners, binned box and anchor
  // and writes its search entry and the lines of its record that hold its
  // normal and box (each line read for ownership, then written); the
  // refresh and the candidate test each read the node's place; the
  // candidate test reads the node's near list and its segments.
  perNode.setTimeBytes(sizeof(SegmentCorners) + sizeof(BinnedBox) + sizeof(SegmentAnchor) +
                           2 * sizeof(SegmentSearchEntry) + 2 * 2 * 64.0 + 2 * sizeof(NodePlace) +
                           sizeof(NearSegments) + kNearSlots * sizeof(int),
                       1e6);
  bench::TableRow overElements(plate + "contact / element forces", "%.2f");
  const auto measure = [&](const char* label, int threads) {
    omp_set_num_threads(threads);
    const RunTimes with = runDeck(folder / "with.k");
    const RunTimes without = runDeck(folder / "without.k");
    const double perNodeCycle = with.contact * 1e3 / (static_cast<double>(with.contactNodes) * with.cycles);
    printf(
        "%-9s %2d threads: %d cycles, %d contact nodes; cycle %.3f ms with contact, %.3f ms without; "
        "contact %.3f ms per cycle = %.1f%% of the cycle, %.4f us per contact node-cycle; "
        "element forces %.3f ms per cycle (contact %.2fx); rest of the cycle %.3f ms\n",
        label, threads, with.cycles, with.contactNodes, with.loop / with.cycles, without.loop / without.cycles,
        with.contact / with.cycles, 100.0 * with.contact / with.loop, perNodeCycle, with.elementForces / with.cycles,
        with.contact / with.elementForces, (with.loop - with.contact) / with.cycles);
    if (threads == 1) oneThread = with.loop / with.cycles;
    cycleWith.add(with.loop / with.cycles);
    cycleWithout.add(without.loop / without.cycles);
    speedUp.add(oneThread / (with.loop / with.cycles));
    share.add(100.0 * with.contact / with.loop);
    perNode.add(perNodeCycle);
    overElements.add(with.contact / with.elementForces);
  };
  for (int threads = 1;; threads = std::min(2 * threads, cores)) {
    measure("idle", threads);
    if (threads == cores) break;
  }
  {
    bench::CoreLoad load;
    measure("1 loaded", cores);
  }
  fs::remove_all(folder);
  cycleWith.print();
  cycleWithout.print();
  speedUp.print();
  share.print();
  perNode.print();
  overElements.print();
  return 0;
}
