// The contact records the solver's passes build before the contact search:
// surface nodes, contact nodes and the device pointer arrays over them.
#include "tests/deviceTest.h"

#include "contact/contactManager.h"
#include "contact/contactnodemanager.h"
#include "contact/pairmanager.h"
#include "contact/surfacemanager.h"
#include "tests/solver/nodeSetModel.h"

namespace {

class ContactServices : public NodeSetModel {};

DEVICE_TEST_F(ContactServices, ContactNodesFromSlaveNodesAndSurfacesOnce) {
  makeNodes(6);
  FEMDynamic& fem = fem_;
  std::vector<Surface>& surfaces = fem.surfaceManager->surface_array;
  surfaces.reserve(2);
  for (int s = 0; s < 2; ++s) {
    Surface surface;
    surface.id = s + 1;
    SegmentCuda seg{};
    const int ids[2][4] = {{1, 2, 3, 3}, {3, 4, 5, 6}};
    for (int k = 0; k < 4; ++k) seg.node_id[k] = ids[s][k];
    surface.segment_array.push_back(seg);
    surfaces.push_back(surface);
    surfaces.back().countSegments();
    surfaces.back().linkSurfaceNodes(fem.nodeManager);
  }
  EXPECT_EQ(surfaces[0].segment_array[0].node_num, 3);
  EXPECT_EQ(surfaces[0].node_array.size(), 3u);

  Contact nodesToSurface;  // slave nodes 6 and 1, master surface 2
  nodesToSurface.contact_type = NODES_TO_SURFACE;
  nodesToSurface.slave_node_array_cpu = {fem.nodeManager->findNodeById(6), fem.nodeManager->findNodeById(1)};
  nodesToSurface.masterSurface = &surfaces[1];
  Contact surfaceToSurface;  // slave surface 1, master surface 2
  surfaceToSurface.contact_type = SURFACE_TO_SURFACE;
  surfaceToSurface.slaveSurface = &surfaces[0];
  surfaceToSurface.masterSurface = &surfaces[1];
  fem.contactManager->contact_array.push_back(std::move(nodesToSurface));
  fem.contactManager->contact_array.push_back(std::move(surfaceToSurface));

  ContactNodeManager& cnm = *fem.contactNodeManager;
  cnm.buildContactNodes(fem.contactManager->contact_array, fem.nodeManager->node_array_cpu.data());
  // Pass 1: 6, 1; pass 2: master surface 3, 4, 5 (6 known), slave surface 2 (1, 3 known).
  ASSERT_EQ(cnm.contact_node_num, 6);
  const int order[6] = {6, 1, 3, 4, 5, 2};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(cnm.contact_node_array_cpu[i].node_id, order[i]);
    EXPECT_EQ(cnm.contact_node_array_cpu[i].number, i + 1);
    EXPECT_EQ(cnm.contact_node_array_cpu[i].node, fem.nodeManager->findNodeById(order[i]));
  }
  EXPECT_EQ(cnm.contact_node_array_cpu[0].contact_pair.surface_id, 0);
  EXPECT_EQ(cnm.contact_node_array_cpu[2].contact_pair.surface_id, 2);
  EXPECT_EQ(fem.nodeManager->findNodeById(4)->contact_node, &cnm.contact_node_array_cpu[3]);

  for (Surface& s : surfaces) s.collectContactNodeIds(&cnm);
  EXPECT_EQ(surfaces[0].contact_node_array_cpu.size(), 3u);
  for (Contact& c : fem.contactManager->contact_array) c.buildSlaveNodeSet(&cnm);
  EXPECT_EQ(fem.contactManager->contact_array[0].slave_contact_node_array_cpu.size(), 2u);
  EXPECT_EQ(fem.contactManager->contact_array[1].slave_contact_node_array_cpu, surfaces[0].contact_node_array_cpu);

  fem.nodeManager->allocateAndCopyNodes();
  cnm.allocateAndCopyGpu(fem.nodeManager);
  PairManager& pm = *fem.pairManager;
  pm.allocateAndCopyContactPairArrayGpu(&cnm);
  pm.allocateAndCopyTestPairArrayGpu(&cnm);
  ASSERT_EQ(pm.contact_node_num, 6);
  std::vector<ContactPairCuda*> pairs(6);
  ASSERT_EQ(cudaMemcpy(pairs.data(), pm.contact_pair_array_gpu, 6 * sizeof(ContactPairCuda*), cudaMemcpyDeviceToHost),
            cudaSuccess);
  EXPECT_EQ(pairs[5], &cnm.contact_node_array_gpu[5].contact_pair);
  std::vector<ContactNodeCuda> onDevice(6);
  ASSERT_EQ(cudaMemcpy(onDevice.data(), cnm.contact_node_array_gpu, 6 * sizeof(ContactNodeCuda),
                       cudaMemcpyDeviceToHost),
            cudaSuccess);
  EXPECT_EQ(onDevice[0].node, fem.nodeManager->node_array_gpu + 5);  // device address of node 6
  EXPECT_EQ(onDevice[0].contact_pair.owner, cnm.contact_node_array_gpu);
}

}  // namespace
