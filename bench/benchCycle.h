// What the cycle benchmarks share: uploads of hand-built records, the
// element and node steps of the GPU cycle with their timings, the report
// line, and the series of runs on 1, 2, 4 ... threads.
#pragma once
#include <omp.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <atomic>
#include <initializer_list>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "bench/benchOptions.h"
#include "bench/benchTable.h"
#include "core/logErrorPrint.h"
#include "core/nodeManager.h"
#include "core/part.h"
#include "core/section.h"
#include "elements/common/elementControl.h"
#include "elements/common/elmmanager.h"
#include "elements/common/gausspoint.h"
#include "elements/solid1st/solidElementCuda.h"
#include "elements/common/hourglasscontrol.h"
#include "elements/common/nodeGather.h"
#include "materials/material.h"
#include "materials/materialmanager.h"
#include "materials/materialstatus.h"
#include "platform/gpuRuntime.h"

namespace bench {

template <typename T>
T* upload(const T* host, size_t n) {
  T* d = nullptr;
  CUDA_CHECK(cudaMalloc(&d, sizeof(T) * n));
  CUDA_CHECK(cudaMemcpy(d, host, sizeof(T) * n, cudaMemcpyHostToDevice));
  return d;
}

// Copies a host array over a device block of at least as many records.
template <typename T>
void copyToDevice(T* device, const std::vector<T>& host) {
  CUDA_CHECK(cudaMemcpy(device, host.data(), sizeof(T) * host.size(), cudaMemcpyHostToDevice));
}

// Copies the host arrays of a hand-built model over their device blocks:
// nodes, elements, points and states.
template <typename Element, typename Status>
void uploadModel(NodeCuda* dNodes, const std::vector<NodeCuda>& nodes, Element* dElems,
                 const std::vector<Element>& elems, GaussPoint* dPoints, const std::vector<GaussPoint>& points,
                 Status* dStates, const std::vector<Status>& states) {
  copyToDevice(dNodes, nodes);
  copyToDevice(dElems, elems);
  copyToDevice(dPoints, points);
  copyToDevice(dStates, states);
}

// Registers the device element with the first `corners` nodes of its host
// twin, so that each node gathers the element's force.
template <typename Element>
void registerWithNodes(std::vector<NodeCuda>& nodes, const Element& host, Element* device, int corners) {
  for (int I = 0; I < corners; ++I) {
    NodeCuda& nd = nodes[host.node_id[I] - 1];
    nd.element[nd.element_num] = device;
    nd.local_node_num[nd.element_num++] = I;
  }
}

using Clock = std::chrono::steady_clock;
inline double seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

// Wall time of the phases of the cycle and of the whole run, and the
// processor time of the process over the run.
struct Timing {
  double disp = 0.0, elements = 0.0, gather = 0.0, velocity = 0.0, total = 0.0, cpu = 0.0;
  // The smaller time of each field: over repeated runs the minimum is the
  // figure least disturbed by other programs.
  void keepMinimum(const Timing& o) {
    if (total == 0.0 || o.total < total) *this = o;
  }
};

// The element and node steps of the GPU cycle on a model in device memory:
// nodes move, elements compute forces and steps, nodes gather the forces and
// update their velocities.
struct GpuCycle {
  NodeManager* nodes = nullptr;
  ElementControl* control = nullptr;
  MaterialNew** materials = nullptr;
  Section* sections = nullptr;
  HourglassControl* hourglass = nullptr;
  cublasHandle_t handle = nullptr;
  double dt = 0.0, prevDt = 0.0;

  Timing run(int cycles) {
    Timing t;
    const std::clock_t cpuStart = std::clock();
    const auto start = Clock::now();
    for (int c = 0; c < cycles; ++c) {
      const auto t0 = Clock::now();
      nodes->allNodeDispCal(dt);
      CUDA_CHECK(cudaDeviceSynchronize());
      const auto t1 = Clock::now();
      double candidate = dt;
      control->gpuAllElementInterFor(materials, sections, hourglass, dt, handle, &candidate, 0.9);
      CUDA_CHECK(cudaDeviceSynchronize());
      const auto t2 = Clock::now();
      gpuAddNodeInterForce(*nodes);
      CUDA_CHECK(cudaDeviceSynchronize());
      const auto t3 = Clock::now();
      const double next = std::min(candidate, 0.001);
      nodes->allNodeAccelVelCal(next, prevDt);
      CUDA_CHECK(cudaDeviceSynchronize());
      const auto t4 = Clock::now();
      prevDt = dt;
      dt = next;
      t.disp += seconds(t0, t1);
      t.elements += seconds(t1, t2);
      t.gather += seconds(t2, t3);
      t.velocity += seconds(t3, t4);
    }
    t.total = seconds(start, Clock::now());
    t.cpu = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    return t;
  }
};

// Estimate of the memory traffic of one cycle: the 64-byte lines of the
// records and arrays each phase touches, per element.  Lines are counted as
// if every record started on a line; a line read and written counts once.
struct Traffic {
  double disp = 0.0, elements = 0.0, gather = 0.0, velocity = 0.0;
  double total() const { return disp + elements + gather + velocity; }
};

constexpr std::size_t kLine = 64;

// Distinct lines of a record that the fields [offset, offset + size) of the
// list fall on.
inline std::size_t recordLines(std::initializer_list<std::pair<std::size_t, std::size_t>> fields) {
  std::vector<std::size_t> lines;
  for (const auto& [offset, size] : fields)
    for (std::size_t l = offset / kLine; l <= (offset + size - 1) / kLine; ++l) lines.push_back(l);
  std::sort(lines.begin(), lines.end());
  return static_cast<std::size_t>(std::unique(lines.begin(), lines.end()) - lines.begin());
}

#define BENCH_FIELD(T, f) std::pair<std::size_t, std::size_t>(offsetof(T, f), sizeof(T::f))

// Node record lines of the displacement and velocity updates.
inline std::size_t nodeDispBytes() {
  return kLine * recordLines({BENCH_FIELD(NodeCuda, coord), BENCH_FIELD(NodeCuda, rotation), BENCH_FIELD(NodeCuda, vel),
                              BENCH_FIELD(NodeCuda, total_disp), BENCH_FIELD(NodeCuda, step_disp)});
}
inline std::size_t nodeVelocityBytes() {
  return kLine *
         recordLines({BENCH_FIELD(NodeCuda, rigid_flag), BENCH_FIELD(NodeCuda, mass),
                      BENCH_FIELD(NodeCuda, rot_inertia), BENCH_FIELD(NodeCuda, force), BENCH_FIELD(NodeCuda, moment),
                      BENCH_FIELD(NodeCuda, accel), BENCH_FIELD(NodeCuda, vel), BENCH_FIELD(NodeCuda, contact_force)});
}
// Node record lines an element reads (position and velocity).
inline std::size_t nodeReadByElementBytes() {
  return kLine * recordLines({BENCH_FIELD(NodeCuda, coord), BENCH_FIELD(NodeCuda, vel)});
}
// Gather of one node with `registrations` elements.  The record path reads
// the slot count, the used slots and, per element, the line of its family
// code and the line of its force row; the compact path reads the node's
// offsets and (row, width) entries and the force rows.  Both write the force
// and moment lines.
inline double gatherBytes(bool compact, int registrations, std::size_t rowBytes) {
  const double out = kLine * recordLines({BENCH_FIELD(NodeCuda, force), BENCH_FIELD(NodeCuda, moment)});
  const double rows = registrations * static_cast<double>(std::max(rowBytes, kLine));
  if (compact) return out + rows + registrations * sizeof(NodeForceRow) + 2 * sizeof(int);
  const double slots = kLine * recordLines({BENCH_FIELD(NodeCuda, element_num),
                                            {offsetof(NodeCuda, local_node_num), registrations * sizeof(int)},
                                            {offsetof(NodeCuda, element), registrations * sizeof(Element*)}});
  return out + slots + rows + registrations * static_cast<double>(kLine);
}
#undef BENCH_FIELD

// Traffic per element-cycle of a model of `elements` elements of
// `elementBytes` each (record, points, states) on `nodes` nodes, each
// element with `corners` nodes whose force rows are `rowBytes` long.
inline Traffic estimateTraffic(bool compact, int elements, int nodes, int corners, std::size_t elementBytes,
                               std::size_t rowBytes) {
  const double perNode = static_cast<double>(nodes) / elements;
  const int registrations = static_cast<int>(std::lround(static_cast<double>(elements) * corners / nodes));
  Traffic t;
  t.disp = perNode * nodeDispBytes();
  t.elements = elementBytes + sizeof(void*) + sizeof(double) + corners * static_cast<double>(nodeReadByElementBytes());
  t.gather = perNode * gatherBytes(compact, registrations, rowBytes);
  t.velocity = perNode * nodeVelocityBytes();
  return t;
}

// The same traffic when the elements read each corner's motion
// (core/nodeMotions.h, motionBytes a node) in place of its record lines and
// the displacement update writes the motions.
inline void readNodeMotions(Traffic& t, int elements, int nodes, int corners, std::size_t motionBytes) {
  t.elements += corners * (static_cast<double>(motionBytes) - static_cast<double>(nodeReadByElementBytes()));
  t.disp += static_cast<double>(nodes) / elements * static_cast<double>(motionBytes);
}

// Traffic of the cube of n^3 one-point elastic hexahedra (bench_hexa_cube,
// bench_run); the compact path reads the nodes' motions.
inline Traffic cubeTraffic(bool compact, int n) {
  const int np = n + 1;
  Traffic t = estimateTraffic(compact, n * n * n, np * np * np, 8,
                              sizeof(SolidElementCuda) + sizeof(GaussPoint) + sizeof(ElasticMaterialStatus),
                              3 * sizeof(double));
  if (compact) readNodeMotions(t, n * n * n, np * np * np, 8, sizeof(NodeMotion));
  return t;
}

// What a model needs on the device once its nodes, elements, points and
// states are there: the material model built on the device from its record,
// one section, one hourglass record, the part with its element store, the
// element driver with the first step, and the cycle over all of it.
class DeviceRun {
 public:
  DeviceRun() = default;
  DeviceRun(const DeviceRun&) = delete;
  DeviceRun& operator=(const DeviceRun&) = delete;

  void start(NodeManager* nodes, ElmManager* store, Material* record, MaterialNew* hostMaterial,
             const Section& section) {
    dRecord_ = upload(record, 1);
    CUDA_CHECK(cudaMalloc(&dMaterials_, sizeof(MaterialNew*)));
    launch(GpuCreateMaterialNewArrayData, dim3(1), dim3(64), 1, dRecord_, dMaterials_);
    CUDA_CHECK(cudaDeviceSynchronize());
    dSections_ = upload(&section, 1);
    HourglassControl hg;
    dHourglass_ = upload(&hg, 1);
    parts_.resize(1);
    parts_[0].id = 1;
    parts_[0].elmManager = store;
    parts_[0].material = record;
    parts_[0].materialNew = hostMaterial;
    control_.allocateAndCopyElementPtr(parts_);
    control_.gpuVerifyElement();
    control_.sortElementPtrByType();
    control_.allocateBlockDtBuffer();
    control_.allocateDtArray();
    CUDA_CHECK(cudaDeviceSynchronize());
    cycle.dt = cycle.prevDt = std::min(control_.gpuCalCriticalDt(dRecord_, dSections_, 0.9), 0.001);
    cublasCreate_v2(&cycle.handle);
    cycle.nodes = nodes;
    cycle.control = &control_;
    cycle.materials = dMaterials_;
    cycle.sections = dSections_;
    cycle.hourglass = dHourglass_;
  }

  ~DeviceRun() {
    if (dMaterials_ == nullptr) return;
    cublasDestroy_v2(cycle.handle);
    launch(GpuDestroyMaterialNewArrayData, dim3(1), dim3(64), 1, dMaterials_);
    CUDA_CHECK(cudaDeviceSynchronize());
    for (void* p : {static_cast<void*>(dRecord_), static_cast<void*>(dMaterials_), static_cast<void*>(dSections_),
                    static_cast<void*>(dHourglass_)})
      CUDA_CHECK(cudaFree(p));
  }

  GpuCycle cycle;

 private:
  Material* dRecord_ = nullptr;
  MaterialNew** dMaterials_ = nullptr;
  Section* dSections_ = nullptr;
  HourglassControl* dHourglass_ = nullptr;
  std::vector<Part> parts_;
  ElementControl control_;
};

// One line per run.  The processor time of the process stands beside the
// wall time: on a loaded machine the wall time of a thread overstates its
// cost.
inline void report(const char* label, int threads, const Timing& t, int elements, int cycles) {
  const double perElementCycle = t.total / (static_cast<double>(elements) * cycles) * 1e6;
  const double cpuPerElementCycle = t.cpu / (static_cast<double>(elements) * cycles) * 1e6;
  const double rest = t.total - t.disp - t.elements - t.gather - t.velocity;
  const double pct = 100.0 / t.total;
  printf(
      "%-9s %2d threads: %7.4f us per element-cycle (processor %7.4f us), %8.3f ms per cycle; "
      "displacement %4.1f%%, elements %4.1f%%, gather %4.1f%%, velocity %4.1f%%, rest %4.1f%%\n",
      label, threads, perElementCycle, cpuPerElementCycle, t.total / cycles * 1e3, pct * t.disp, pct * t.elements,
      pct * t.gather, pct * t.velocity, pct * rest);
}

inline void reportTraffic(const Traffic& t) {
  printf(
      "memory traffic (estimate): %.0f bytes per element-cycle: displacement %.0f, elements %.0f, gather %.0f, "
      "velocity %.0f\n",
      t.total(), t.disp, t.elements, t.gather, t.velocity);
}

// Resident bytes of the process (host memory, and in the host build the
// device copies too).
inline double residentBytes() {
  long pages = 0, resident = 0;
  if (FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE));
}

// Bytes of the device blocks in use.
inline double deviceBytes() {
  size_t freeBytes = 0, totalBytes = 0;
  if (cudaMemGetInfo(&freeBytes, &totalBytes) != cudaSuccess) return 0.0;
  return static_cast<double>(totalBytes - freeBytes);
}

// The resident bytes per element go into the summary table under `figure`.
inline void reportMemory(int elements, const std::string& figure) {
  const double resident = residentBytes() / elements;
  printf("memory: %.0f bytes per element resident, %.0f bytes per element in device blocks\n", resident,
         deviceBytes() / elements);
  TableRow row(figure, "%.0f");
  row.add(resident);
  row.print();
}

// Another program keeping one core busy: a thread that spins while it lives.
class CoreLoad {
 public:
  CoreLoad()
      : spinner_([this] {
          volatile double x = 1.0;
          while (!stop_.load(std::memory_order_relaxed)) x = x * 1.0000001 + 1e-9;
        }) {}
  ~CoreLoad() {
    stop_ = true;
    spinner_.join();
  }
  CoreLoad(const CoreLoad&) = delete;
  CoreLoad& operator=(const CoreLoad&) = delete;

 private:
  std::atomic<bool> stop_{false};
  std::thread spinner_;
};

// Best of `repeats` runs of `cycles` cycles on `threads` threads, after a
// warm-up of two cycles.
template <typename Model>
Timing bestRun(Model& model, int threads, int cycles, int repeats) {
  omp_set_num_threads(threads);
  model.run(2);
  Timing best;
  for (int r = 0; r < repeats; ++r) best.keepMinimum(model.run(cycles));
  return best;
}

// The same model on 1, 2, 4 ... threads up to cores (its motion simply goes
// on), with the speed-up over one thread; then on all cores again while one
// core is kept busy (as by another program): the busy core should cost about
// its share of the work.  The wall microseconds per element-cycle of each go
// into the summary table under `figure`, with the bytes an element-cycle
// moves (none given: 0).
template <typename Model>
void runThreadSeries(Model& model, int cores, int cycles, int repeats, const std::string& figure,
                     double bytesPerElementCycle = 0.0) {
  const auto perElementCycle = [&](const Timing& t) {
    return t.total / (static_cast<double>(model.elementNum()) * cycles) * 1e6;
  };
  TableRow row(figure, "%.3f");
  row.setTimeBytes(bytesPerElementCycle, 1e6);
  double oneThread = 0.0;
  for (int threads = 1;; threads = std::min(2 * threads, cores)) {
    const Timing t = bestRun(model, threads, cycles, repeats);
    report("idle", threads, t, model.elementNum(), cycles);
    row.add(perElementCycle(t));
    if (threads == 1)
      oneThread = t.total;
    else
      printf("speed-up on %d threads: %.2fx\n", threads, oneThread / t.total);
    if (threads == cores) break;
  }
  const Timing idle = bestRun(model, cores, cycles, repeats);
  Timing loaded;
  {
    CoreLoad load;
    loaded = bestRun(model, cores, cycles, repeats);
  }
  report("1 loaded", cores, loaded, model.elementNum(), cycles);
  row.add(perElementCycle(loaded));
  printf("one core loaded: %.2fx the idle time (one core's share of %d: %.2fx)\n", loaded.total / idle.total, cores,
         cores > 1 ? static_cast<double>(cores) / (cores - 1) : 1.0);
  row.print();
}

}  // namespace bench
