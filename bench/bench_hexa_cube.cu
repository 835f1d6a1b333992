// Speed of the explicit cycle on an n x n x n cube of one-point hexahedra
// (elastic steel, 1 mm elements) with an initial velocity field.  The GPU loop
// of the host build runs a fixed number of cycles on 1, 2, 4 ... threads up
// to all cores, then on all cores again while one core is kept busy (as by
// another program); reported, best of a few runs each: microseconds per
// element-cycle, the share of each phase of the cycle (displacement, element
// kernels with the step, gather, velocity) and an estimate of the bytes
// moved per element-cycle.  "records" runs the node and step paths as they
// were: the gather through the node records' element slots and the serial
// search of the smallest step.
//
//   bench_hexa_cube [n=40] [cycles=50] [threads=all cores] [repeats=3] [compact|records]
#include <omp.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "bench/benchCycle.h"
#include "core/logErrorPrint.h"
#include "core/nodeManager.h"
#include "core/part.h"
#include "core/section.h"
#include "elements/common/elementControl.h"
#include "elements/common/elmmanager.h"
#include "elements/common/gausspoint.h"
#include "elements/common/hourglasscontrol.h"
#include "elements/solid1st/solid1st.h"
#include "materials/linearelastic.h"
#include "materials/material.h"
#include "materials/materialmanager.h"
#include "materials/materialstatus.h"
#include "core/deviceNodeList.h"

namespace {

// The cube model in device memory, ready for the cycle.
class CubeModel {
 public:
  CubeModel(int n, bool compact) : n_(n) {
    nodeManager_.compact_gather = compact;
    const int np = n + 1;
    const double h = 1e-3, L = n * h;
    record_.id = 1;
    record_.type = MT_LINEAR_ELASTIC;
    record_.youngs_modulus = 2.1e11;
    record_.poissons_ratio = 0.3;
    record_.density = 7850.0;
    record_.calMaterialConstants();
    record_.computeWaveNumber();

    std::vector<NodeCuda>& nodes = nodeManager_.node_array_cpu;
    nodes.assign(static_cast<size_t>(np) * np * np, NodeCuda{});
    for (int k = 0; k < np; ++k)
      for (int j = 0; j < np; ++j)
        for (int i = 0; i < np; ++i) {
          NodeCuda& nd = nodes[(static_cast<size_t>(k) * np + j) * np + i];
          nd.id = static_cast<int>(&nd - nodes.data()) + 1;
          nd.store_id = nd.id - 1;
          const double x = i * h, y = j * h, z = k * h;
          nd.coord[0] = nd.ini_coord[0] = x;
          nd.coord[1] = nd.ini_coord[1] = y;
          nd.coord[2] = nd.ini_coord[2] = z;
          // Stretch along x, squeeze along y, a bending wave along z.
          nd.vel[0] = 5.0 * x / L;
          nd.vel[1] = -3.0 * y / L;
          nd.vel[2] = 2.0 * std::sin(3.14159265358979 * x / L);
        }

    const int ne = n * n * n;
    std::vector<SolidElementCuda>& elems = store_.solid_element_array_cpu;
    elems.resize(ne);
    points_.resize(ne);
    const int corner[8][3] = {{0, 0, 1}, {0, 1, 1}, {1, 1, 1}, {1, 0, 1}, {0, 0, 0}, {0, 1, 0}, {1, 1, 0}, {1, 0, 0}};
    for (int k = 0, e = 0; k < n; ++k)
      for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i, ++e) {
          SolidElementCuda& r = elems[e];
          r.id = e + 1;
          r.type = ET_HEXA_REDUCED;
          r.material_id = r.section_id = 1;
          r.node_num = r.gaussNodeNum = 8;
          r.integratPointNum = 1;
          r.gaussPointIndex = e;
          r.dtScaleFactor = 1.0;
          r.sectionType = FAMILY_SOLID;
          for (int I = 0; I < 8; ++I)
            r.node_id[I] = 1 + (i + corner[I][0]) + np * ((j + corner[I][1]) + np * (k + corner[I][2]));
          r.bulidNodeMatch(nodes.data());
          r.calSolidNodeMass(&record_, nullptr);
          points_[e].nodeNumber_ = 8;
          points_[e].matStatusIndex_ = e;
          points_[e].weight_ = 8.0;
          points_[e].elementType_ = ET_HEXA_REDUCED;
        }
    for (NodeCuda& nd : nodes) nd.stored_mass = nd.equivalent_mass = nd.mass;

    // Device arrays: nodes, elements, points, states.
    nodeManager_.allocateAndCopyNodes();
    NodeCuda* dNodes = nodeManager_.node_array_gpu;
    CUDA_CHECK(cudaMalloc(&store_.solid_element_array_gpu, sizeof(SolidElementCuda) * ne));
    SolidElementCuda* dElems = store_.solid_element_array_gpu;
    store_.elementAmount = ne;
    std::vector<ElasticMaterialStatus> states(ne);
    dPoints_.assign(nullptr, ne);
    dStates_.assign(nullptr, ne);
    std::vector<SolidElementCuda> dev = elems;
    for (int e = 0; e < ne; ++e) {
      dev[e].bulidNodeMatch(dNodes);
      dev[e].gaussPoint = dPoints_.data() + e;
      points_[e].matStatus_ = dStates_.data() + e;
      points_[e].element_ = dElems + e;
      states[e].gaussPoint = dPoints_.data() + e;
      bench::registerWithNodes(nodes, elems[e], dElems + e, 8);
    }
    bench::uploadModel(dNodes, nodes, dElems, dev, dPoints_.data(), points_, dStates_.data(), states);

    Section sec;
    sec.id = 1;
    sec.family_code = 4;
    sec.element_formulation = ET_HEXA_REDUCED;
    hostMaterial_ = std::make_unique<LinearElasticMaterial>(&record_);
    run_.start(&nodeManager_, &store_, &record_, hostMaterial_.get(), sec);
    run_.cycle.control->chunk_step_minimum = compact;
    if (compact) run_.cycle.control->linkNodeMotions(&nodeManager_.node_motions);
  }

  // The element and node steps of the GPU cycle.
  bench::Timing run(int cycles) { return run_.cycle.run(cycles); }

  int elementNum() const { return n_ * n_ * n_; }
  double dt() const { return run_.cycle.dt; }

  // Largest node speed: a check that the run stayed bounded.
  double maxSpeed() {
    nodeManager_.copyNodesToCpu();
    double v = 0.0;
    for (const NodeCuda& nd : nodeManager_.node_array_cpu)
      v = std::max(v, std::sqrt(nd.vel[0] * nd.vel[0] + nd.vel[1] * nd.vel[1] + nd.vel[2] * nd.vel[2]));
    return v;
  }

 private:
  int n_;
  Material record_;
  NodeManager nodeManager_;
  ElmManager store_;
  std::vector<GaussPoint> points_;
  DeviceArray<GaussPoint> dPoints_;
  DeviceArray<ElasticMaterialStatus> dStates_;
  std::unique_ptr<LinearElasticMaterial> hostMaterial_;
  bench::DeviceRun run_;  // device material, section and driver of the cycle
};

}  // namespace

int main(int argc, char** argv) {
  bench::Options opt(argc, argv);
  if (!opt.readCycle(40, 50)) {
    fprintf(stderr, "usage: bench_hexa_cube [n >= 1] [cycles >= 1] [threads >= 1] [repeats >= 1] [compact|records]\n");
    return 1;
  }
  const int n = opt.n;
  printf("cube of %d x %d x %d one-point hexahedra (%d elements, %d nodes), %d cycles, best of %d, paths: %s\n", n, n,
         n, n * n * n, (n + 1) * (n + 1) * (n + 1), opt.cycles, opt.repeats,
         opt.compact ? "compact lists, chunked step minimum" : "node records, serial step search");
  CubeModel model(n, opt.compact);
  const double v0 = model.maxSpeed();
  const bench::Traffic traffic = bench::cubeTraffic(opt.compact, n);
  bench::reportTraffic(traffic);
  const std::string label = "hexahedra " + std::to_string(n) + "^3";
  bench::reportMemory(model.elementNum(), label + ": bytes per element (resident)");
  bench::runThreadSeries(model, opt.cores, opt.cycles, opt.repeats, label + ": us per element-cycle", traffic.total());
  printf("step %.4e s; largest node speed %.3f m/s at the start, %.3f m/s after the runs\n", model.dt(), v0,
         model.maxSpeed());
  return 0;
}
