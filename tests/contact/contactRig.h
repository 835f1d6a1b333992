// Nodes, one contact surface and contact nodes built on the host, without a
// deck, for the tests of the contact kernels; the pair manager's pointer
// arrays point at the rig's records.
#pragma once
#include <string>
#include <vector>
#include "contact/contactnode.h"
#include "contact/pairmanager.h"
#include "contact/surface.h"
#include "core/nodeManager.h"
#include "platform/gpuRuntime.h"

// Number of times `text` appears in `out` (reports on the console).
inline std::size_t occurrences(const std::string& out, const std::string& text) {
  std::size_t n = 0;
  for (std::size_t at = out.find(text); at != std::string::npos; at = out.find(text, at + 1)) ++n;
  return n;
}

struct ContactRig {
  NodeManager nodes;
  Surface surface;
  std::vector<ContactNodeCuda> contactNodes;

  ContactRig() {
    nodes.node_array_cpu.reserve(4096);
    contactNodes.reserve(1024);
    surface.id = 1;
  }

  // Adds a node and returns its id.
  int addNode(double x, double y, double z, double mass = 1.0) {
    NodeCuda n{};
    n.id = static_cast<int>(nodes.node_array_cpu.size()) + 1;
    n.store_id = n.id - 1;
    n.coord[0] = n.ini_coord[0] = x;
    n.coord[1] = n.ini_coord[1] = y;
    n.coord[2] = n.ini_coord[2] = z;
    n.mass = n.equivalent_mass = n.stored_mass = mass;
    nodes.node_array_cpu.push_back(n);
    nodes.node_id_map[n.id] = &nodes.node_array_cpu.back();
    return n.id;
  }
  NodeCuda& node(int id) { return nodes.node_array_cpu[id - 1]; }

  // A segment of node ids (a triangle repeats its third id).
  void addSegment(int a, int b, int c, int d) {
    SegmentCuda s{};
    s.node_id[0] = a;
    s.node_id[1] = b;
    s.node_id[2] = c;
    s.node_id[3] = d;
    surface.segment_array.push_back(s);
  }
  // An nx x ny plate of square segments of edge h in the plane z, normals +z;
  // returns the id of its first node.
  int addPlate(int nx, int ny, double h, double z, double x0 = 0.0, double y0 = 0.0, double mass = 1.0) {
    const int first = static_cast<int>(nodes.node_array_cpu.size()) + 1;
    for (int j = 0; j <= ny; ++j) {
      for (int i = 0; i <= nx; ++i) addNode(x0 + i * h, y0 + j * h, z, mass);
    }
    const auto id = [&](int i, int j) { return first + j * (nx + 1) + i; };
    for (int j = 0; j < ny; ++j) {
      for (int i = 0; i < nx; ++i) addSegment(id(i, j), id(i + 1, j), id(i + 1, j + 1), id(i, j + 1));
    }
    return first;
  }

  // The host set-up of the surface: node links, numbering, thickness,
  // normals, neighbours, territories and boxes.
  void buildSurface() {
    surface.countSegments();
    surface.linkSegmentNodePtrs(&nodes);
    surface.linkSurfaceNodes(&nodes);
    surface.defineSegmentLocalIds(0);
    surface.setSegmentThickness();
    surface.solveSegmentNormals();
    surface.calSegmentTerritory();
    surface.calSegmentBoundingBoxes();
    surface.calAverageTerritorySize();
    refreshSegments();
  }
  // Current normals and extended boxes after nodes moved.
  void refreshSegments() {
    for (SegmentCuda& s : surface.segment_array) {
      s.solveNormVec();
      s.calExtTerritory();
    }
  }
  SegmentCuda& segment(int i) { return surface.segment_array[i]; }

  // A contact node of node `id`, linked like the set-up links it.
  ContactNodeCuda& addContactNode(int id) {
    ContactNodeCuda cn{};
    cn.node_id = id;
    cn.number = static_cast<int>(contactNodes.size()) + 1;
    const ContactNodeCuda* before = contactNodes.data();
    contactNodes.push_back(cn);
    contactNodes.back().linkNode(nodes.node_array_cpu.data());
    // A grown vector has moved the records: their owner links are relinked.
    if (contactNodes.data() != before) {
      for (ContactNodeCuda& c : contactNodes) c.linkNode(nodes.node_array_cpu.data());
    }
    return contactNodes.back();
  }

  // Points the pair manager's device pointer arrays at the rig's records.
  void attach(PairManager& pm) {
    const int n = static_cast<int>(contactNodes.size());
    pm.contact_node_num = n;
    std::vector<ContactPairCuda*> pairs;
    std::vector<TestPairCuda*> tests;
    for (ContactNodeCuda& cn : contactNodes) {
      pairs.push_back(&cn.contact_pair);
      tests.push_back(&cn.test_pair);
    }
    pm.contact_pair_array_cpu = pairs;
    pm.test_pair_array_cpu = tests;
    cudaMalloc(&pm.contact_pair_array_gpu, sizeof(ContactPairCuda*) * n);
    cudaMalloc(&pm.test_pair_array_gpu, sizeof(TestPairCuda*) * n);
    cudaMemcpy(pm.contact_pair_array_gpu, pairs.data(), sizeof(ContactPairCuda*) * n, cudaMemcpyHostToDevice);
    cudaMemcpy(pm.test_pair_array_gpu, tests.data(), sizeof(TestPairCuda*) * n, cudaMemcpyHostToDevice);
    pm.allocatePairCounters();
  }

  // Every node's contact force into its force, as the contact-node step and
  // the master-node step do.
  void gatherContactForces() {
    for (NodeCuda& n : nodes.node_array_cpu) {
      for (int j = 0; j < 3; ++j) {
        n.force[j] += n.contact_force[j];
        n.contact_force[j] = 0.0;
      }
    }
  }
  // Velocities after a step dt from the present forces.
  void advanceVelocities(double dt) {
    for (NodeCuda& n : nodes.node_array_cpu) {
      for (int j = 0; j < 3; ++j) n.vel[j] += n.force[j] / n.mass * dt;
    }
  }
};

// 200 unit plates stacked 0.5 mm apart and one contact node just above the
// middle of the stack, inside the boxes of far more than 64 segments.
inline ContactNodeCuda& crowdedPlates(ContactRig& rig) {
  for (int i = 0; i < 200; ++i) rig.addPlate(1, 1, 1.0, 0.0005 * i);
  rig.buildSurface();
  return rig.addContactNode(rig.addNode(0.5, 0.5, 0.05));
}

#include "contact/contact.h"
#include "contact/unified_contact.h"

// Device copies of a rig's nodes and segments, and a nodes-to-surface
// contact whose slave nodes are the rig's contact nodes, searched through
// one grid.
struct SearchRig {
  ContactRig rig;
  std::vector<Contact> contacts;
  UnifiedContact uc;
  PairManager pm;

  // After the rig is complete: uploads and builds the search grids of one
  // contact over all the rig's contact nodes.
  void setUp() {
    upload();
    addNodeSetContact(0, static_cast<int>(rig.contactNodes.size()));
    uc.buildSubDomainManagers(contacts, nullptr, nullptr);
    buildGrids(uc);
    rig.attach(pm);
  }
  void upload() {
    rig.nodes.allocateAndCopyNodes();
    rig.surface.allocateMaxDispIncre();
    rig.surface.allocateAndCopySegmentArrayGpu(&rig.nodes);
    rig.surface.allocateMinMaxGpu();
  }
  // A nodes-to-surface contact on the rig's surface whose slave nodes are
  // `count` of the rig's contact nodes from `first`.
  void addNodeSetContact(int first, int count) {
    Contact& c = contacts.emplace_back();
    c.contact_type = NODES_TO_SURFACE;
    c.masterSurface = &rig.surface;
    c.box_check_flag = 1;
    for (int i = first; i < first + count; ++i) c.slave_contact_node_array_cpu.push_back(&rig.contactNodes[i]);
    const std::size_t bytes = sizeof(ContactNodeCuda*) * c.slave_contact_node_array_cpu.size();
    cudaMalloc(&c.slave_contact_node_array_gpu, bytes);
    cudaMemcpy(c.slave_contact_node_array_gpu, c.slave_contact_node_array_cpu.data(), bytes, cudaMemcpyHostToDevice);
  }
  static void buildGrids(UnifiedContact& u) {
    std::vector<SubDomainManager>& grids = u.subDomainManagerArray;
    for (SubDomainManager& g : grids) g.buildSubDomainGrid();
    for (std::size_t i = 0; i < grids.size(); ++i) {
      grids[i].takeGridFromMasterSurface(static_cast<int>(grids.size()), static_cast<int>(i), grids.data());
      grids[i].allocateAndCopySubDomainsGpu();
      grids[i].allocateSubDomainPtrArrayGpu();
    }
  }
  // One bucket search, as the cycle runs it.
  void search() {
    for (unsigned char& f : rig.surface.flags) f = 0;
    pm.unifiedSearchGpu(&uc);
  }
};
