// Speed of the explicit cycle on a flat n x n plate of Belytschko-Tsay shells
// (steel, 1 m square, 5 mm thick, five points through the thickness,
// elastic-plastic) set bending by an initial velocity normal to it.  The GPU
// loop of the host build runs a fixed number of cycles on one thread and on
// all cores; reported: microseconds per element-cycle and the share of the
// cycle spent in the element kernels, the node update and the rest.
//
//   bench_shell_plate [n=200] [cycles=20] [threads=all cores]
#include <omp.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "core/logErrorPrint.h"
#include "core/nodeManager.h"
#include "core/part.h"
#include "core/section.h"
#include "elements/elementControl.h"
#include "elements/elmmanager.h"
#include "elements/gausspoint.h"
#include "elements/hourglasscontrol.h"
#include "elements/integrationRule.h"
#include "materials/elasticplastic.h"
#include "materials/material.h"
#include "materials/materialmanager.h"
#include "materials/materialstatus.h"

namespace {

template <typename T>
T* upload(const T* host, size_t n) {
  T* d = nullptr;
  CUDA_CHECK(cudaMalloc(&d, sizeof(T) * n));
  CUDA_CHECK(cudaMemcpy(d, host, sizeof(T) * n, cudaMemcpyHostToDevice));
  return d;
}

using Clock = std::chrono::steady_clock;
double seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

struct Timing {
  double elements = 0.0, nodes = 0.0, total = 0.0, cpu = 0.0;
};

constexpr int kPoints = 5;
constexpr double kThickness = 0.005;

// The plate model in device memory, ready for the cycle.
class PlateModel {
 public:
  explicit PlateModel(int n) : n_(n) {
    const int np = n + 1;
    const double L = 1.0, h = L / n;
    record_.id = 1;
    record_.type = MT_ELASTIC_PLASTIC;
    record_.youngs_modulus = 2.1e11;
    record_.poissons_ratio = 0.3;
    record_.density = 7850.0;
    record_.yield_stress = 2.5e8;
    record_.tangent_modulus = 1.0e9;
    record_.hardening_modulus = 2.1e11 * 1.0e9 / (2.1e11 - 1.0e9);
    record_.calMaterialConstants();
    record_.computeWaveNumber();
    section_.id = 1;
    section_.family_code = FAMILY_SHELL;
    section_.element_formulation = ET_BT_SHELL;
    section_.point_count = kPoints;
    for (double& t : section_.thickness) t = kThickness;
    section_.shear_factor = 5.0 / 6.0;
    section_.shell_constants[2] = 0.1;

    std::vector<NodeCuda>& nodes = nodeManager_.node_array_cpu;
    nodes.assign(static_cast<size_t>(np) * np, NodeCuda{});
    const double pi = 3.14159265358979;
    for (int j = 0; j < np; ++j)
      for (int i = 0; i < np; ++i) {
        NodeCuda& nd = nodes[static_cast<size_t>(j) * np + i];
        nd.id = static_cast<int>(&nd - nodes.data()) + 1;
        nd.store_id = nd.id - 1;
        const double x = i * h, y = j * h;
        nd.coord[0] = nd.ini_coord[0] = x;
        nd.coord[1] = nd.ini_coord[1] = y;
        nd.thickness = kThickness;
        // The first bending mode with a peak speed of 20 m/s: yields in a few
        // hundred cycles.
        // Rotational velocities of the same mode, so that it starts without
        // transverse shear.
        const double sx = std::sin(pi * x / L), sy = std::sin(pi * y / L);
        nd.vel[2] = 20.0 * sx * sy;
        nd.vel[3] = 20.0 * pi / L * sx * std::cos(pi * y / L);
        nd.vel[4] = -20.0 * pi / L * std::cos(pi * x / L) * sy;
      }

    const int ne = n * n;
    std::vector<ShellElementCuda>& elems = store_.shell_element_array_cpu;
    elems.resize(ne);
    const LineRule rule = lineRule(kPoints);
    std::vector<GaussPoint> points(static_cast<size_t>(ne) * kPoints);
    for (int j = 0, e = 0; j < n; ++j)
      for (int i = 0; i < n; ++i, ++e) {
        ShellElementCuda& r = elems[e];
        r.id = e + 1;
        r.type = ET_BT_SHELL;
        r.material_id = r.section_id = 1;
        r.node_num = r.gaussNodeNum = 4;
        r.integratPointNum = r.thickPointNum = kPoints;
        r.planePointNum = 1;
        r.gaussPointIndex = e * kPoints;
        r.dtScaleFactor = 1.0;
        r.sectionType = FAMILY_SHELL;
        const int a = 1 + i + np * j;
        const int ids[4] = {a, a + 1, a + 1 + np, a + np};
        for (int I = 0; I < 4; ++I) r.node_id[I] = ids[I];
        r.bulidNodeMatch(nodes.data());
        r.setThick(&section_);
        r.calShellNodeMass(&record_, &section_);
        for (int p = 0; p < kPoints; ++p) {
          GaussPoint& gp = points[static_cast<size_t>(e) * kPoints + p];
          gp.nodeNumber_ = 4;
          gp.matStatusIndex_ = e * kPoints + p;
          gp.coord_[0] = rule.x[p];
          gp.weight_ = rule.w[p];
          gp.elementType_ = ET_BT_SHELL;
        }
      }
    for (NodeCuda& nd : nodes) {
      nd.storeInitialMass();
      nd.equivalent_mass = nd.mass;
    }

    // Device arrays: nodes, elements, points, states.
    nodeManager_.allocateAndCopyNodes();
    NodeCuda* dNodes = nodeManager_.node_array_gpu;
    CUDA_CHECK(cudaMalloc(&store_.shell_element_array_gpu, sizeof(ShellElementCuda) * ne));
    ShellElementCuda* dElems = store_.shell_element_array_gpu;
    store_.elementAmount = ne;
    const size_t pointNum = points.size();
    std::vector<PlasticMaterialStatus> states(pointNum, PlasticMaterialStatus(record_.yield_stress));
    CUDA_CHECK(cudaMalloc(&dPoints_, sizeof(GaussPoint) * pointNum));
    CUDA_CHECK(cudaMalloc(&dStates_, sizeof(PlasticMaterialStatus) * pointNum));
    std::vector<ShellElementCuda> dev = elems;
    for (int e = 0; e < ne; ++e) {
      dev[e].bulidNodeMatch(dNodes);
      dev[e].gaussPoint = dPoints_ + static_cast<size_t>(e) * kPoints;
      for (int p = 0; p < kPoints; ++p) {
        const size_t k = static_cast<size_t>(e) * kPoints + p;
        points[k].matStatus_ = dStates_ + k;
        points[k].element_ = dElems + e;
        states[k].gaussPoint = dPoints_ + k;
      }
      // Registration with the nodes: the node gathers the element's force.
      for (int I = 0; I < 4; ++I) {
        NodeCuda& nd = nodes[elems[e].node_id[I] - 1];
        nd.element[nd.element_num] = dElems + e;
        nd.local_node_num[nd.element_num++] = I;
      }
    }
    CUDA_CHECK(cudaMemcpy(dNodes, nodes.data(), sizeof(NodeCuda) * nodes.size(), cudaMemcpyHostToDevice));
    CUDA_CHECK(cudaMemcpy(dElems, dev.data(), sizeof(ShellElementCuda) * ne, cudaMemcpyHostToDevice));
    CUDA_CHECK(cudaMemcpy(dPoints_, points.data(), sizeof(GaussPoint) * pointNum, cudaMemcpyHostToDevice));
    CUDA_CHECK(cudaMemcpy(dStates_, states.data(), sizeof(PlasticMaterialStatus) * pointNum, cudaMemcpyHostToDevice));

    // The device model object, built on the device from the uploaded record.
    dRecord_ = upload(&record_, 1);
    CUDA_CHECK(cudaMalloc(&dMaterials_, sizeof(MaterialNew*)));
    launch(GpuCreateMaterialNewArrayData, dim3(1), dim3(64), 1, dRecord_, dMaterials_);
    CUDA_CHECK(cudaDeviceSynchronize());
    dSections_ = upload(&section_, 1);
    HourglassControl hg;
    dHourglass_ = upload(&hg, 1);
    hostMaterial_ = new ElasticPlasticMaterial(&record_);
    parts_.resize(1);
    parts_[0].id = 1;
    parts_[0].elmManager = &store_;
    parts_[0].material = &record_;
    parts_[0].materialNew = hostMaterial_;
    control_.allocateAndCopyElementPtr(parts_);
    control_.gpuVerifyElement();
    control_.sortElementPtrByType();
    control_.allocateBlockDtBuffer();
    control_.allocateDtArray();
    CUDA_CHECK(cudaDeviceSynchronize());
    dt_ = std::min(control_.gpuCalCriticalDt(dRecord_, dSections_, 0.9), 0.001);
    prevDt_ = dt_;
    cublasCreate_v2(&handle_);
  }

  ~PlateModel() {
    cublasDestroy_v2(handle_);
    launch(GpuDestroyMaterialNewArrayData, dim3(1), dim3(64), 1, dMaterials_);
    CUDA_CHECK(cudaDeviceSynchronize());
    for (void* p : {static_cast<void*>(dPoints_), static_cast<void*>(dStates_), static_cast<void*>(dRecord_),
                    static_cast<void*>(dMaterials_), static_cast<void*>(dSections_),
                    static_cast<void*>(dHourglass_)})
      CUDA_CHECK(cudaFree(p));
    delete hostMaterial_;
  }

  // The element and node steps of the GPU cycle.
  Timing run(int cycles) {
    Timing t;
    const std::clock_t cpuStart = std::clock();
    const auto start = Clock::now();
    for (int c = 0; c < cycles; ++c) {
      const auto t0 = Clock::now();
      nodeManager_.allNodeDispCal(dt_);
      CUDA_CHECK(cudaDeviceSynchronize());
      const auto t1 = Clock::now();
      double candidate = dt_;
      control_.gpuAllElementInterFor(dMaterials_, dSections_, dHourglass_, dt_, handle_, &candidate, 0.9);
      const auto t2 = Clock::now();
      nodeManager_.gpuAddNodeInterForce();
      const double next = std::min(candidate, 0.001);
      nodeManager_.allNodeAccelVelCal(next, prevDt_);
      CUDA_CHECK(cudaDeviceSynchronize());
      const auto t3 = Clock::now();
      prevDt_ = dt_;
      dt_ = next;
      t.elements += seconds(t1, t2);
      t.nodes += seconds(t0, t1) + seconds(t2, t3);
    }
    t.total = seconds(start, Clock::now());
    t.cpu = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    return t;
  }

  int elementNum() const { return n_ * n_; }
  double dt() const { return dt_; }

  // Largest node speed normal to the plate: a check that the run stayed
  // bounded.
  double maxSpeed() {
    nodeManager_.copyNodesToCpu();
    double v = 0.0;
    for (const NodeCuda& nd : nodeManager_.node_array_cpu) v = std::max(v, std::fabs(nd.vel[2]));
    return v;
  }

 private:
  int n_;
  Material record_;
  Section section_;
  NodeManager nodeManager_;
  ElmManager store_;
  std::vector<Part> parts_;
  GaussPoint* dPoints_ = nullptr;
  PlasticMaterialStatus* dStates_ = nullptr;
  Material* dRecord_ = nullptr;
  MaterialNew** dMaterials_ = nullptr;
  Section* dSections_ = nullptr;
  HourglassControl* dHourglass_ = nullptr;
  ElasticPlasticMaterial* hostMaterial_ = nullptr;
  ElementControl control_;
  cublasHandle_t handle_ = nullptr;
  double dt_ = 0.0, prevDt_ = 0.0;
};

void report(const char* label, int threads, const Timing& t, int elements, int cycles) {
  const double perElementCycle = t.total / (static_cast<double>(elements) * cycles) * 1e6;
  const double rest = t.total - t.elements - t.nodes;
  // Processor time of the whole process over the same cycles: on a loaded
  // machine the wall time of one thread overstates its cost.
  const double cpuPerElementCycle = t.cpu / (static_cast<double>(elements) * cycles) * 1e6;
  printf("%-10s threads %2d: %8.4f us per element-cycle (processor time %8.4f us), %8.3f ms per cycle; "
         "elements %5.1f%%, nodes %5.1f%%, rest %5.1f%%\n",
         label, threads, perElementCycle, cpuPerElementCycle, t.total / cycles * 1e3, 100.0 * t.elements / t.total,
         100.0 * t.nodes / t.total, 100.0 * rest / t.total);
}

}  // namespace

int main(int argc, char** argv) {
  const int n = argc > 1 ? std::atoi(argv[1]) : 200;
  const int cycles = argc > 2 ? std::atoi(argv[2]) : 20;
  const int cores = argc > 3 ? std::atoi(argv[3]) : omp_get_num_procs();
  if (n < 1 || cycles < 1 || cores < 1) {
    fprintf(stderr, "usage: bench_shell_plate [n >= 1] [cycles >= 1] [threads >= 1]\n");
    return 1;
  }
  printf("plate of %d x %d Belytschko-Tsay shells (%d elements, %d points each, %d nodes), %d cycles\n", n, n,
         n * n, kPoints, (n + 1) * (n + 1), cycles);
  PlateModel model(n);
  const double v0 = model.maxSpeed();
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
  printf("step %.4e s; largest normal node speed %.3f m/s at the start, %.3f m/s after the runs\n", model.dt(), v0,
         model.maxSpeed());
  return 0;
}
