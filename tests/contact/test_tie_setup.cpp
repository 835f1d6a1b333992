// Tie set-up on a plate of segments: which slave nodes attach (reach,
// thickness, corners, round-off on an inclined face), their weights, the
// messages for nodes left free, doubly tied nodes and unresolved ties.
#include "tests/deviceTest.h"
#include <cmath>
#include <string>
#include <type_traits>
#include <utility>
#include "contact/surfacemanager.h"
#include "contact/tiemanager.h"
#include "tests/contact/contactRig.h"

namespace {

// A 2 x 2 plate of unit segments in z = 0 (surface 1) as the master side
// and free slave nodes given as a node set.
struct TieRig {
  ContactRig rig;
  TieManager tm;
  SurfaceManager sm;
  TieRig() { rig.addPlate(2, 2, 1.0, 0.0); }
  int slave(double x, double y, double z, double thickness = 0.0) {
    const int id = rig.addNode(x, y, z);
    rig.node(id).thickness = thickness;
    return id;
  }
  // Builds the tie over the given slave ids and runs the host set-up.
  Tie& build(std::initializer_list<int> ids, double tolerance = 0.0, unsigned char ignoreThickness = 0) {
    rig.buildSurface();
    sm.surface_array.push_back(rig.surface);
    Tie tie;
    tie.contact_id = 7;
    tie.master_surface_id = 1;
    tie.tolerance = tolerance;
    tie.ignore_thickness = ignoreThickness;
    for (int id : ids) tie.slave_node_array_cpu.push_back(&rig.node(id));
    tm.tie_array.push_back(std::move(tie));
    tm.linkTieSurfaces(&sm);
    tm.resolveTieInput();
    tm.buildSubTies();
    tm.calInterpFunCpu();
    tm.checkTiedNodes();
    return tm.tie_array.front();
  }
};

}  // namespace

TEST(TieSetup, NodesWithinReachAttachWithWeightsThatRecoverTheirPoint) {
  TieRig t;
  const int inside = t.slave(0.25, 0.75, 0.0);
  const int corner = t.slave(2.0, 2.0, 0.0);      // on the plate's outer corner
  const int thick = t.slave(1.5, 0.5, 0.2, 0.4);  // 0.2 above, half thickness 0.2
  const int far = t.slave(1.5, 1.5, 0.3);         // beyond the default reach
  const int outside = t.slave(2.5, 1.0, 0.0);     // beside the plate
  testing::internal::CaptureStderr();
  const Tie& tie = t.build({inside, corner, thick, far, outside});
  const std::string messages = testing::internal::GetCapturedStderr();
  ASSERT_EQ(tie.subTieNum(), 3);
  // Nodes left free are counted once with their ids, never put on a segment.
  EXPECT_NE(messages.find("Tie 7: 2 of 5 slave nodes found no master segment within reach and stay free (first: " +
                          std::to_string(far) + " " + std::to_string(outside) + ")"),
            std::string::npos)
      << messages;
  for (const SubTie& st : tie.sub_tie_array_cpu) {
    double x[3] = {0.0, 0.0, 0.0}, sum = 0.0;
    for (int k = 0; k < 4; ++k) {
      sum += st.weight[k];
      for (int j = 0; j < 3; ++j) x[j] += st.weight[k] * st.segment->node[k]->coord[j];
    }
    EXPECT_NEAR(sum, 1.0, 1e-12);
    EXPECT_NEAR(x[0], st.slave_node->coord[0], 1e-12);
    EXPECT_NEAR(x[1], st.slave_node->coord[1], 1e-12);
    EXPECT_NE(st.slave_node->id, far);
  }
  // The mass moves to the masters; the slave keeps it negated, the total stays.
  double before = 0.0, after = 0.0;
  for (const NodeCuda& n : t.rig.nodes.node_array_cpu) before += n.mass;
  t.tm.transferSlaveMassCpu();
  for (const NodeCuda& n : t.rig.nodes.node_array_cpu) after += n.mass > 0.0 ? n.mass : 0.0;
  EXPECT_NEAR(after, before, 1e-12);
  EXPECT_DOUBLE_EQ(t.rig.node(inside).mass, -1.0);
}

TEST(TieSetup, ThicknessCountsUnlessIgnoredAndATightToleranceStillTakesRoundOff) {
  TieRig a;
  const int thick = a.slave(0.5, 0.5, 0.2, 0.4);
  EXPECT_EQ(a.build({thick}, 0.1).subTieNum(), 1);
  TieRig b;
  const int thick2 = b.slave(0.5, 0.5, 0.2, 0.4);
  testing::internal::CaptureStderr();
  EXPECT_EQ(b.build({thick2}, 0.1, 1).subTieNum(), 0);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("stay free"), std::string::npos);
  // Round-off off the plane (a few 1e-16) is within the accepted margin
  // even for a tolerance far below it.
  TieRig c;
  const int onPlane = c.slave(0.3, 0.7, 3e-16);
  EXPECT_EQ(c.build({onPlane}, 1e-20).subTieNum(), 1);
}

TEST(TieSetup, DoublyTiedNodeKeepsItsFirstAttachmentAndUnresolvedTiesGo) {
  TieRig t;
  const int s = t.slave(0.5, 0.5, 0.0);
  Tie& tie = t.build({s});
  ASSERT_EQ(tie.subTieNum(), 1);
  tie.sub_tie_array_cpu.push_back(tie.sub_tie_array_cpu.front());  // the same node again
  testing::internal::CaptureStdout();
  t.tm.checkTiedNodes();
  EXPECT_NE(testing::internal::GetCapturedStdout().find("节点 " + std::to_string(s) + " 被重复绑定"),
            std::string::npos);
  EXPECT_EQ(tie.subTieNum(), 1);

  Tie lost;
  lost.contact_id = 9;
  lost.master_surface_id = 42;
  t.tm.tie_array.push_back(std::move(lost));
  testing::internal::CaptureStderr();
  t.tm.linkTieSurfaces(&t.sm);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("Tie 9 (master surface 42"), std::string::npos);
  EXPECT_EQ(t.tm.tie_num, 1);
}

// A tie owns its device sub-ties alone: it cannot be copied, and a move
// (as when the tie list grows) hands the device copy over, which then
// still drives the slave and is freed once.
static_assert(!std::is_copy_constructible_v<Tie> && !std::is_copy_assignable_v<Tie>);
static_assert(std::is_nothrow_move_constructible_v<Tie> && std::is_nothrow_move_assignable_v<Tie>);

DEVICE_TEST(TieSetup, UploadedTieMovesItsDeviceCopyAlongAndItStillDrivesTheSlave) {
  TieRig t;
  const int s = t.slave(0.25, 0.75, 0.0);
  t.build({s});
  t.rig.nodes.allocateAndCopyNodes();
  t.sm.surface_array.front().allocateAndCopySegmentArrayGpu(&t.rig.nodes);
  t.tm.allocateAndCopyGpu(&t.rig.nodes);
  const SubTie* device = t.tm.tie_array.front().sub_tie_array_gpu.get();
  ASSERT_NE(device, nullptr);
  Tie moved = std::move(t.tm.tie_array.front());
  EXPECT_EQ(t.tm.tie_array.front().sub_tie_array_gpu.get(), nullptr);
  t.tm.tie_array.front() = std::move(moved);
  t.tm.tie_array.reserve(t.tm.tie_array.capacity() + 8);  // the list grows: its ties move
  ASSERT_EQ(t.tm.tie_array.front().sub_tie_array_gpu.get(), device);
  // Master nodes move with velocity (x, 0, 0): the slave takes its point's.
  for (NodeCuda& n : t.rig.nodes.node_array_cpu) n.vel[0] = n.id == s ? 0.0 : n.coord[0];
  ASSERT_EQ(cudaMemcpy(t.rig.nodes.node_array_gpu, t.rig.nodes.node_array_cpu.data(),
                       sizeof(NodeCuda) * t.rig.nodes.node_array_cpu.size(), cudaMemcpyHostToDevice),
            cudaSuccess);
  t.tm.modifySlaveVelGpu();
  ASSERT_EQ(cudaDeviceSynchronize(), cudaSuccess);
  t.rig.nodes.copyNodesToCpu();
  EXPECT_NEAR(t.rig.node(s).vel[0], 0.25, 1e-12);
}
