// Surface interactions on one pair: the friction law's stick and slip with
// its coefficients, the pair stiffness, and the device objects reached
// through the per-pair kernels.
#include "tests/deviceTest.h"
#include <omp.h>
#include <cmath>
#include <vector>
#include "contact/surfaceInteract.h"
#include "tests/contact/contactRig.h"

namespace {

// A slave node sliding along x at dv over a fixed 1 x 1 segment in z = 0,
// with an active node-to-segment pair carrying a normal force F.
struct SlidingPair {
  ContactRig rig;
  ContactNodeCuda* cn = nullptr;
  SlidingPair(double dv, double F) {
    rig.addPlate(1, 1, 1.0, 0.0);
    const int s = rig.addNode(0.5, 0.5, 0.0);
    rig.buildSurface();
    cn = &rig.addContactNode(s);
    ContactPairCuda& p = cn->contact_pair;
    p.kind = NODE_TO_SEGMENT;
    p.segment = &rig.segment(0);
    p.side = 1;
    p.carried_force = F;
    for (int k = 0; k < 4; ++k) p.weight[k] = p.mass_share[k] = 0.25;
    rig.segment(0).penalty_stiffness = 1000.0;
    rig.node(s).penalty_stiffness = 2000.0;
    rig.node(s).vel[0] = dv;
  }
  ContactPairCuda& pair() { return cn->contact_pair; }
  NodeCuda& slave() { return *cn->node; }
  // One cycle of the contact's own interaction (node forces cleared first).
  void step(SurfaceInteract** slots, double dt) {
    for (NodeCuda& n : rig.nodes.node_array_cpu) n.force[0] = n.force[1] = n.force[2] = 0.0;
    ContactNodeCuda* list[1] = {cn};
    launchImposeSpecificSurfaceInteract(1, dt, rig.surface.id, slots, list);
  }
};

struct DeviceFriction {
  std::vector<SurfaceInteract*> host;
  SurfaceInteract** slots = nullptr;
  explicit DeviceFriction(double mus, double mud = 0.0, double dc = 0.0, unsigned char rough = 0) {
    auto* f = new FrictionSurfaceInteract();
    f->id = 1;
    f->static_coefficient = mus;
    f->dynamic_coefficient = mud;
    f->decay_coefficient = dc;
    f->rough_flag = rough;
    host.push_back(f);
    uploadSurfaceInteracts(host, &slots);
  }
  ~DeviceFriction() {
    releaseSurfaceInteracts(1, &slots);
    for (SurfaceInteract* s : host) delete s;
  }
};

}  // namespace

DEVICE_TEST(FrictionLaw, StickEndsTheSlipInTheStepUpToMuFThenSlidesAndMomentumBalances) {
  SlidingPair sp(0.001, 10.0);
  DeviceFriction friction(0.3);
  ASSERT_NE(friction.slots[0], nullptr);
  EXPECT_EQ(friction.slots[0]->id, 0);  // a device object carries the law, not the id
  const double dt = 1e-3, k = 1000.0;   // min(segment 1000, node 2000)
  sp.step(friction.slots, dt);
  EXPECT_DOUBLE_EQ(sp.pair().stiffness, k);
  // The slave (mass 1) and the contact point (four masters of mass 1 at
  // weight 0.25) end the step at one speed: 0.001 / (dt (1 + 4 x 0.25^2)).
  EXPECT_NEAR(sp.pair().friction_force[0], 0.8, 1e-12);
  sp.slave().vel[0] = 0.1;  // that would take 80 N: it slides
  sp.step(friction.slots, dt);
  EXPECT_NEAR(sp.pair().friction_force[0], 0.3 * 10.0, 1e-12);  // capped at mu F
  EXPECT_NEAR(sp.slave().force[0], -3.0, 1e-12);                // against the sliding
  double masters = 0.0;
  for (int id = 1; id <= 4; ++id) masters += sp.rig.node(id).force[0];
  EXPECT_NEAR(masters, 3.0, 1e-12);

  // A pair whose carried force is below 1e-10 gets none and keeps its force.
  sp.pair().carried_force = 1e-11;
  sp.step(friction.slots, dt);
  EXPECT_DOUBLE_EQ(sp.slave().force[0], 0.0);
  EXPECT_NEAR(sp.pair().friction_force[0], 3.0, 1e-12);
  // A pair on a master of another surface is not this contact's.
  sp.pair().carried_force = 10.0;
  ContactNodeCuda* list[1] = {sp.cn};
  launchImposeSpecificSurfaceInteract(1, dt, sp.rig.surface.id + 1, friction.slots, list);
  EXPECT_DOUBLE_EQ(sp.slave().force[0], 0.0);
}

TEST(FrictionLaw, CoefficientDecaysFromStaticToDynamicWithSlidingSpeed) {
  FrictionSurfaceInteract f;
  f.static_coefficient = 0.5;
  EXPECT_DOUBLE_EQ(f.coefficientAt(10.0f), 0.5);  // no dynamic coefficient: mu_s at any speed
  f.dynamic_coefficient = 0.2;
  f.decay_coefficient = 2.0;
  EXPECT_NEAR(f.coefficientAt(0.0f), 0.5, 1e-7);
  EXPECT_NEAR(f.coefficientAt(0.5f), 0.2 + 0.3 * std::exp(-1.0), 1e-6);
  EXPECT_NEAR(f.coefficientAt(100.0f), 0.2, 1e-12);  // exp(-200) taken as 0
  f.rough_flag = 1;
  EXPECT_DOUBLE_EQ(f.coefficientAt(0.5f), 100.0);
}

TEST(FrictionLaw, PairStiffnessModesAndANodeOnNoSurface) {
  SlidingPair sp(0.0, 1.0);
  ContactPairCuda& p = sp.pair();
  p.computeInterForceStiff(1e-3, 0);
  EXPECT_DOUBLE_EQ(p.stiffness, 1000.0);
  sp.rig.node(1).rigid_flag = 1;  // a rigid master: the node's own stiffness
  p.computeInterForceStiff(1e-3, 0);
  EXPECT_DOUBLE_EQ(p.stiffness, 2000.0);
  // A slave node on no surface has no stiffness: the segment's is taken,
  // also against a rigid master, so that friction builds up there.
  sp.slave().penalty_stiffness = 0.0;
  p.computeInterForceStiff(1e-3, 0);
  EXPECT_DOUBLE_EQ(p.stiffness, 1000.0);
  sp.rig.segment(0).mass = 3.0;  // slave mass 1
  p.computeInterForceStiff(1e-3, 2);
  EXPECT_NEAR(p.stiffness, 0.05 * 3.0 / (1e-6 * 4.0), 1e-6);
  p.computeInterForceStiff(1e-3, 3);
  EXPECT_NEAR(p.stiffness, 0.04 / 1e-6, 1e-6);
  p.computeInterForceStiff(1e-3, 4);  // no user stiffness given: 0
  EXPECT_DOUBLE_EQ(p.stiffness, 0.0);
}

DEVICE_TEST(FrictionLaw, ModelWideLawSkipsPairsThatTheirContactHandles) {
  SlidingPair sp(0.001, 10.0);
  DeviceFriction friction(0.3);
  ContactPairCuda* pairs[1] = {&sp.pair()};
  int own[1] = {0};
  launchImposeSurfaceInteract(1, 1e-3, friction.slots, pairs, own);
  EXPECT_NEAR(sp.pair().friction_force[0], 0.8, 1e-12);
  own[0] = sp.rig.surface.id;  // its contact's own law acts on it
  sp.slave().vel[0] = 0.1;
  launchImposeSurfaceInteract(1, 1e-3, friction.slots, pairs, own);
  EXPECT_NEAR(sp.pair().friction_force[0], 0.8, 1e-12);
}

namespace {

// 4096 slave nodes sliding at 0.1 over the same 1 x 1 segment, each with its
// own pair carrying 10 N, for 200 cycles: the friction threads of four host
// threads add to the same four master nodes at once.  The masters take exactly the
// opposite of the slaves' sum; a plain addition loses some of the shares.
DEVICE_TEST(FrictionLaw, ManyPairsOnOneSegmentHandEveryForceToItsNodes) {
  const int n = 4096;
  ContactRig rig;
  rig.nodes.node_array_cpu.reserve(n + 4);
  rig.contactNodes.reserve(n);
  rig.addPlate(1, 1, 1.0, 0.0);
  for (int i = 0; i < n; ++i) rig.node(rig.addNode(0.5, 0.5, 0.0)).vel[0] = 0.1;
  rig.buildSurface();
  rig.segment(0).penalty_stiffness = 1000.0;
  std::vector<ContactNodeCuda*> list;
  for (int i = 0; i < n; ++i) {
    ContactNodeCuda& cn = rig.addContactNode(5 + i);
    ContactPairCuda& p = cn.contact_pair;
    p.kind = NODE_TO_SEGMENT;
    p.segment = &rig.segment(0);
    p.side = 1;
    p.carried_force = 10.0;
    for (int k = 0; k < 4; ++k) p.weight[k] = p.mass_share[k] = 0.25;
    list.push_back(&cn);
  }
  DeviceFriction friction(0.3);
  const int threads = omp_get_max_threads();
  omp_set_num_threads(4);
  for (int cycle = 0; cycle < 200; ++cycle)
    launchImposeSpecificSurfaceInteract(n, 1e-3, rig.surface.id, friction.slots, list.data());
  omp_set_num_threads(threads);
  ASSERT_EQ(cudaDeviceSynchronize(), cudaSuccess);
  double slaves = 0.0;
  for (int i = 0; i < n; ++i) slaves += rig.node(5 + i).force[0];
  ASSERT_LT(slaves, 0.0);  // friction holds the slaves back
  for (int k = 1; k <= 4; ++k) EXPECT_NEAR(rig.node(k).force[0], -0.25 * slaves, 1e-9 * -slaves) << "master node " << k;
}

}  // namespace
