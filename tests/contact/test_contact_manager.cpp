// The contact manager's passes (ties that repeat a contact, all-exterior
// contacts, interaction assignment), ownership of device arrays by contacts
// and surfaces, and the contact nodes with their per-cycle force gather.
#include "tests/deviceTest.h"

#include <vector>

#include "contact/surfaceInteract.h"
#include "contact/tiemanager.h"
#include "input/link/preprocessModel.h"
#include "solver/modelViews.h"
#include "tests/contact/contactTestModel.h"

namespace {

using contacttest::Model;

Contact sides(int type, int master, int slave) {
  Contact c;
  c.contact_type = type;
  c.master_id = master;
  c.slave_id = slave;
  return c;
}

TEST(ContactManagerPasses, TieDropsTheContactOverItsTwoSurfaces) {
  Model m;
  m.addGridNodes(3, 1, 0, 1.0);
  m.finishNodes();
  m.addSurface({{1, 2, 6, 5}});  // 1
  m.addSurface({{2, 3, 7, 6}});  // 2
  m.addSurface({{3, 4, 8, 7}});  // 3
  m.addSurface({{2, 6, 7, 3}});  // 4: the faces of 2, in another order
  std::vector<Contact>& contacts = m.fem.contactManager->contact_array;
  contacts.push_back(sides(SURFACE_TO_SURFACE, 3, 1));  // repeats the tie (1, 3) the other way
  contacts.push_back(sides(SURFACE_TO_SURFACE, 3, 2));
  contacts.push_back(sides(SURFACE_TO_SURFACE, 4, 1));  // shares faces with the tie (2, 1)
  contacts.push_back(sides(SURFACE_TO_SURFACE, 3, 4));
  TieManager ties;
  ties.tie_array.resize(2);
  ties.tie_array[0].master_surface_id = 1;
  ties.tie_array[0].slave_surface_id = 3;
  ties.tie_array[1].master_surface_id = 2;
  ties.tie_array[1].slave_surface_id = 1;
  ContactModel view = contactModelOf(m.fem);
  m.fem.contactManager->resolveTieOverlap(&ties, &view);
  ASSERT_EQ(contacts.size(), 2u);
  EXPECT_EQ(contacts[0].master_id, 3);
  EXPECT_EQ(contacts[0].slave_id, 2);
  EXPECT_EQ(contacts[1].slave_id, 4);
}

TEST(ContactManagerPasses, AllExteriorModeGivesOneContactPerPairOfPartSurfacesAndOnePerSurface) {
  Model m;
  m.addPlate(1, 1, 1.0, 0.1, "a");
  m.addPlate(1, 1, 1.0, 0.1, "b");
  m.addPlate(1, 1, 1.0, 0.1, "b");  // same name as the second: one surface, no contact between them
  m.addPlate(1, 1, 1.0, 0.1, "c");
  m.fem.contactManager->all_exterior_flag = 1;
  ContactModel view = contactModelOf(m.fem);
  m.fem.contactManager->buildAllExteriorContact(&view);
  ASSERT_EQ(m.surfaces().size(), 3u);
  EXPECT_EQ(m.surfaces()[1].segment_array.size(), 2u);
  const std::vector<Contact>& contacts = m.fem.contactManager->contact_array;
  // The pairs of distinct surfaces, then each surface with itself, all
  // searched both ways.
  ASSERT_EQ(contacts.size(), 6u);
  const int expected[6][2] = {{1, 2}, {1, 3}, {2, 3}, {1, 1}, {2, 2}, {3, 3}};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(contacts[static_cast<std::size_t>(i)].master_id, expected[i][0]);
    EXPECT_EQ(contacts[static_cast<std::size_t>(i)].slave_id, expected[i][1]);
    EXPECT_EQ(contacts[static_cast<std::size_t>(i)].box_check_flag, 1);
    EXPECT_EQ(contacts[static_cast<std::size_t>(i)].two_way, 1);
    EXPECT_EQ(contacts[static_cast<std::size_t>(i)].search_depth, 2);  // constructor defaults
  }
  // Set-up grows the surface list; the parts follow their surfaces.
  m.surfaces().reserve(64);
  buildContactSurfaces(&m.fem);
  EXPECT_EQ(m.fem.part_array[2].contact_surface, &m.surfaces()[1]);
  EXPECT_EQ(contacts[2].slaveSurface, &m.surfaces()[2]);
}

TEST(ContactManagerPasses, InteractionsAttachByTheirTwoIdsOrToTheWholeModel) {
  Model m;
  SurfaceManager& sm = *m.fem.surfaceManager;
  for (int i = 0; i < 2; ++i) {
    sm.surfaceInteractArrayCpu.push_back(new FrictionSurfaceInteract());
    sm.surfaceInteractArrayCpu.back()->id = i + 1;
  }
  ContactManager& cm = *m.fem.contactManager;
  cm.contact_array.push_back(sides(SURFACE_TO_SURFACE, 5, 3));
  cm.contact_array.push_back(sides(SURFACE_TO_SURFACE, 5, 4));
  cm.interact_assign_map[{3, 5}] = 1;
  cm.interact_assign_map[{}] = 2;
  cm.interact_assign_map[{9, 9}] = 1;  // matches no contact
  ContactModel view = contactModelOf(m.fem);
  cm.assignSurfaceInteracts(&view);
  EXPECT_EQ(cm.contact_array[0].surface_interact_num, 1);
  EXPECT_EQ(cm.contact_array[0].surface_interact_array_cpu[0], sm.surfaceInteractArrayCpu[0]);
  EXPECT_EQ(cm.contact_array[1].surface_interact_num, 0);
  EXPECT_EQ(cm.global_interact_num, 1);
  EXPECT_EQ(cm.global_interact_array_cpu[0], sm.surfaceInteractArrayCpu[1]);
}

DEVICE_TEST(ContactOwnership, ContactsMoveTheirDeviceArrayAndSurfaceCopiesOwnNone) {
  std::vector<Contact> contacts;
  contacts.push_back(sides(NODES_TO_SURFACE, 1, 2));
  contacts.push_back(sides(SURFACE_TO_SURFACE, 3, 4));
  ASSERT_EQ(cudaMalloc(&contacts[0].slave_contact_node_array_gpu, 16), cudaSuccess);
  ContactNodeCuda** owned = contacts[0].slave_contact_node_array_gpu;
  contacts.reserve(16);  // moves every contact
  EXPECT_EQ(contacts[0].slave_contact_node_array_gpu, owned);
  contacts.erase(contacts.begin());  // the array is freed once (the sanitizer build checks)
  EXPECT_EQ(contacts[0].master_id, 3);
  EXPECT_EQ(contacts[0].slave_contact_node_array_gpu, nullptr);

  Surface surface;
  surface.id = 3;
  surface.segment_num = 40;
  surface.allocateMinMaxGpu();
  surface.allocateMaxDispIncre();
  const Surface copy = surface;
  EXPECT_EQ(copy.id, 3);
  EXPECT_EQ(copy.max_gpu, nullptr);
  EXPECT_EQ(copy.max_cpu, nullptr);
  EXPECT_EQ(copy.max_disp_incre, nullptr);
  const Surface moved = std::move(surface);
  EXPECT_NE(moved.max_cpu, nullptr);
  EXPECT_EQ(surface.max_cpu, nullptr);  // NOLINT: the moved-from surface owns nothing
}

DEVICE_TEST(ContactNodes, OneRecordPerSlaveNodeAndTheGatherAddsOncePerCycle) {
  Model m;
  m.addGridNodes(2, 1, 0, 1.0);  // nodes 1..6
  m.finishNodes();
  Surface& master = m.addSurface({{1, 2, 5, 4}});
  Surface& slave = m.addSurface({{2, 3, 6, 5}});
  for (Surface& s : m.surfaces()) m.prepare(s);
  std::vector<Contact>& contacts = m.fem.contactManager->contact_array;
  Contact a = sides(NODES_TO_SURFACE, 1, 0);
  a.masterSurface = &master;
  a.slave_node_array_cpu = {&m.node(3), &m.node(6), &m.node(3)};
  Contact b = sides(NODES_TO_SURFACE, 1, 0);
  b.masterSurface = &master;
  b.slave_node_array_cpu = {&m.node(6)};  // slave of two contacts
  Contact c = sides(SURFACE_TO_SURFACE, 1, 2);
  c.masterSurface = &master;
  c.slaveSurface = &slave;
  contacts.push_back(std::move(a));
  contacts.push_back(std::move(b));
  contacts.push_back(std::move(c));
  ContactNodeManager& cnm = *m.fem.contactNodeManager;
  cnm.buildContactNodes(contacts, m.nodes().data());
  // Node 3, 6 from the slave lists; 1, 2, 5, 4 from the master surface.
  ASSERT_EQ(cnm.contact_node_num, 6);
  EXPECT_EQ(cnm.contact_node_array_cpu[2].node_id, 1);
  EXPECT_EQ(cnm.contact_node_array_cpu[2].contact_pair.surface_id, 1);  // surface it came from
  for (ContactNodeCuda& cn : cnm.contact_node_array_cpu) {
    EXPECT_EQ(cn.node->contact_node, &cn);
    EXPECT_EQ(cn.test_pair.contactNode, &cn);
    EXPECT_EQ(cn.contact_pair.owner, &cn);
  }
  for (Contact& contact : contacts) contact.buildSlaveNodeSet(&cnm);
  EXPECT_EQ(contacts[0].slave_contact_node_array_cpu.size(), 2u);  // node 3 once
  EXPECT_EQ(contacts[1].slave_contact_node_array_cpu[0], contacts[0].slave_contact_node_array_cpu[1]);

  // Host gather: contact-force accumulator into the force, once per call.
  m.node(6).contact_force[1] = 2.5;
  m.node(2).contact_force[0] = -1.0;
  cnm.integraContactForceCpu();
  EXPECT_DOUBLE_EQ(m.node(6).force[1], 2.5);
  EXPECT_DOUBLE_EQ(m.node(2).force[0], -1.0);

  // Device gather over the uploaded records.
  m.fem.nodeManager->allocateAndCopyNodes();
  cnm.allocateAndCopyGpu(m.fem.nodeManager);
  for (Contact& contact : contacts) contact.allocateAndCopySlaveNodeArrayGpu(&cnm);
  EXPECT_EQ(contacts[0].contact_node_num, 2);
  cnm.integraContactForceGpu(cnm.contact_node_num);
  std::vector<NodeCuda> onDevice(m.nodes().size());
  ASSERT_EQ(cudaMemcpy(onDevice.data(), m.fem.nodeManager->node_array_gpu, onDevice.size() * sizeof(NodeCuda),
                       cudaMemcpyDeviceToHost),
            cudaSuccess);
  EXPECT_DOUBLE_EQ(onDevice[5].force[1], 5.0);  // the uploaded 2.5 plus its accumulator
  EXPECT_DOUBLE_EQ(onDevice[1].force[0], -2.0);
  EXPECT_DOUBLE_EQ(onDevice[0].force[0], 0.0);
}

}  // namespace
