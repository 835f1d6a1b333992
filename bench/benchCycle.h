// What the cycle benchmarks share: uploads of hand-built records, the
// element and node steps of the GPU cycle with their timings, the report
// line, and the series of runs on 1, 2, 4 ... threads.
#pragma once
#include <omp.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>

#include <vector>

#include "core/logErrorPrint.h"
#include "core/nodeManager.h"
#include "core/part.h"
#include "core/section.h"
#include "elements/elementControl.h"
#include "elements/elmmanager.h"
#include "elements/hourglasscontrol.h"
#include "materials/material.h"
#include "materials/materialmanager.h"
#include "platform/gpu_runtime.h"

namespace bench {

template <typename T>
T* upload(const T* host, size_t n) {
  T* d = nullptr;
  CUDA_CHECK(cudaMalloc(&d, sizeof(T) * n));
  CUDA_CHECK(cudaMemcpy(d, host, sizeof(T) * n, cudaMemcpyHostToDevice));
  return d;
}

using Clock = std::chrono::steady_clock;
inline double seconds(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

// Wall time of the element kernels, the node steps and the whole run, and
// the processor time of the process over the run.
struct Timing {
  double elements = 0.0, nodes = 0.0, total = 0.0, cpu = 0.0;
};

// The element and node steps of the GPU cycle on a model in device memory:
// nodes move, elements compute forces and steps, nodes gather and update.
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
      const auto t2 = Clock::now();
      nodes->gpuAddNodeInterForce();
      const double next = std::min(candidate, 0.001);
      nodes->allNodeAccelVelCal(next, prevDt);
      CUDA_CHECK(cudaDeviceSynchronize());
      const auto t3 = Clock::now();
      prevDt = dt;
      dt = next;
      t.elements += seconds(t1, t2);
      t.nodes += seconds(t0, t1) + seconds(t2, t3);
    }
    t.total = seconds(start, Clock::now());
    t.cpu = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    return t;
  }
};

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
  const double rest = t.total - t.elements - t.nodes;
  printf("%-10s threads %2d: %8.4f us per element-cycle (processor time %8.4f us), %8.3f ms per cycle; "
         "elements %5.1f%%, nodes %5.1f%%, rest %5.1f%%\n",
         label, threads, perElementCycle, cpuPerElementCycle, t.total / cycles * 1e3, 100.0 * t.elements / t.total,
         100.0 * t.nodes / t.total, 100.0 * rest / t.total);
}

// The same model on one thread, then on doubling thread counts up to cores
// (its motion simply goes on), with the speed-up over one thread.
template <typename Model>
void runThreadSeries(Model& model, int cores, int cycles) {
  double oneThread = 0.0;
  for (int threads = 1;; threads = std::min(2 * threads, cores)) {
    omp_set_num_threads(threads);
    model.run(2);  // warm-up
    const Timing t = model.run(cycles);
    report(threads == 1 ? "1 thread" : "threads", threads, t, model.elementNum(), cycles);
    if (threads == 1)
      oneThread = t.total;
    else
      printf("speed-up on %d threads: %.2fx\n", threads, oneThread / t.total);
    if (threads == cores) break;
  }
}

}  // namespace bench
