// Speed of the explicit cycle on a flat n x n plate of Belytschko-Tsay shells
// (steel, 1 m square, 5 mm thick, five points through the thickness,
// elastic-plastic) set bending by an initial velocity normal to it.  The GPU
// loop of the host build runs a fixed number of cycles on 1, 2, 4 ... threads
// up to all cores and on all cores with one core kept busy; reported, best of
// a few runs each: microseconds per element-cycle, the share of each phase
// and an estimate of the bytes moved per element-cycle.  "records" runs the node and
// step paths as they were: the gather through the node records' element
// slots and the serial search of the smallest step.
//
//   bench_shell_plate [n=200] [cycles=20] [threads=all cores] [repeats=3] [compact|records]
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
#include "elements/shell/btshellGroup.h"
#include "elements/common/elementControl.h"
#include "elements/common/elmmanager.h"
#include "elements/common/gausspoint.h"
#include "elements/common/hourglasscontrol.h"
#include "elements/common/integrationRule.h"
#include "materials/elasticplastic.h"
#include "materials/material.h"
#include "materials/materialmanager.h"
#include "materials/materialstatus.h"
#include "core/deviceNodeList.h"

namespace {

constexpr int kPoints = 5;
constexpr double kThickness = 0.005;

// The plate model in device memory, ready for the cycle.
class PlateModel {
 public:
  PlateModel(int n, bool compact) : n_(n) {
    nodeManager_.compact_gather = compact;
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
    record_.hardening_parameter = 1.0;  // isotropic hardening: states without a back stress
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
    dPoints_.assign(nullptr, static_cast<int>(pointNum));
    dStates_.assign(nullptr, static_cast<int>(pointNum));
    std::vector<ShellElementCuda> dev = elems;
    for (int e = 0; e < ne; ++e) {
      dev[e].bulidNodeMatch(dNodes);
      dev[e].gaussPoint = dPoints_.data() + static_cast<size_t>(e) * kPoints;
      for (int p = 0; p < kPoints; ++p) {
        const size_t k = static_cast<size_t>(e) * kPoints + p;
        points[k].matStatus_ = dStates_.data() + k;
        points[k].element_ = dElems + e;
        states[k].gaussPoint = dPoints_.data() + k;
      }
      bench::registerWithNodes(nodes, elems[e], dElems + e, 4);
    }
    bench::uploadModel(dNodes, nodes, dElems, dev, dPoints_.data(), points, dStates_.data(), states);

    hostMaterial_ = std::make_unique<ElasticPlasticMaterial>(&record_);
    run_.start(&nodeManager_, &store_, &record_, hostMaterial_.get(), section_);
    run_.cycle.control->chunk_step_minimum = compact;
    if (compact) run_.cycle.control->linkNodeMotions(&nodeManager_.node_motions);
  }

  // The element and node steps of the GPU cycle.
  bench::Timing run(int cycles) { return run_.cycle.run(cycles); }

  int elementNum() const { return n_ * n_; }
  double dt() const { return run_.cycle.dt; }

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
  DeviceArray<GaussPoint> dPoints_;
  DeviceArray<PlasticMaterialStatus> dStates_;
  std::unique_ptr<ElasticPlasticMaterial> hostMaterial_;
  bench::DeviceRun run_;  // device material, section and driver of the cycle
};

}  // namespace

int main(int argc, char** argv) {
  bench::Options opt(argc, argv);
  if (!opt.readCycle(200, 20)) {
    fprintf(stderr,
            "usage: bench_shell_plate [n >= 1] [cycles >= 1] [threads >= 1] [repeats >= 1] [compact|records]\n");
    return 1;
  }
  const int n = opt.n;
  printf(
      "plate of %d x %d Belytschko-Tsay shells (%d elements, %d points each, %d nodes), %d cycles, best of %d, "
      "paths: %s\n",
      n, n, n * n, kPoints, (n + 1) * (n + 1), opt.cycles, opt.repeats,
      opt.compact ? "compact lists, chunked step minimum" : "node records, serial step search");
  PlateModel model(n, opt.compact);
  const double v0 = model.maxSpeed();
  // A group reads its entry, the element records from the forces to the
  // hourglass resultants, and the points' states (not the points).
  const ShellElementCuda probe{};
  const auto elementTail = static_cast<std::size_t>(reinterpret_cast<const char*>(probe.hourglassStress + 5) -
                                                    reinterpret_cast<const char*>(&probe.interForce[0][0]));
  // The compact path reads the nodes' motions.
  const int nodes = (n + 1) * (n + 1);
  bench::Traffic traffic = bench::estimateTraffic(opt.compact, model.elementNum(), nodes, 4,
                                                  sizeof(ShellLaneGroup) / kLaneWidth + elementTail +
                                                      kPoints * sizeof(PlasticMaterialStatus),
                                                  6 * sizeof(double));
  if (opt.compact) bench::readNodeMotions(traffic, model.elementNum(), nodes, 4, sizeof(TurningNodeMotion));
  bench::reportTraffic(traffic);
  const std::string label = "shells " + std::to_string(n) + "^2";
  bench::reportMemory(model.elementNum(), label + ": bytes per element (resident)");
  bench::runThreadSeries(model, opt.cores, opt.cycles, opt.repeats, label + ": us per element-cycle", traffic.total());
  printf("step %.4e s; largest normal node speed %.3f m/s at the start, %.3f m/s after the runs\n", model.dt(), v0,
         model.maxSpeed());
  return 0;
}
