// The search grid of one pair of slave side and master surface: its size,
// the master surface's bucket array it shares, the slave contact nodes, the
// box buffers, and the per-cycle binning steps of the bucket search.
#pragma once
#include <array>
#include <vector>
#include "contact/subdomain.h"
#include "platform/gpu_runtime.h"

class Contact;
class Surface;
class UnifiedContact;
struct ContactNodeCuda;

// Largest grid a master surface may get (about 512 MiB of buckets).
constexpr long long kMaxSubDomainNum = (512LL << 20) / static_cast<long long>(sizeof(SubDomain));

class SubDomainManager {
 public:
  SubDomain* subdomain_array_cpu = nullptr;  // the master surface's host buckets
  SubDomain* subdomain_array_gpu = nullptr;  // the master surface's device buckets
  SubDomain** sub_domain_ptr_array_gpu = nullptr;  // owned
  int sub_domian_num = 0;
  int3 subdomain_dims{0, 0, 0};
  double3 box_max{0.0, 0.0, 0.0};
  double3 box_min{0.0, 0.0, 0.0};
  double3 cell_size{0.0, 0.0, 0.0};
  Contact* contact = nullptr;
  Surface* masterSurface = nullptr;
  Surface* slaveSurface = nullptr;  // null for a node-set slave side
  std::vector<ContactNodeCuda*> slave_contact_node_array_cpu;
  ContactNodeCuda** slave_contact_node_array_gpu = nullptr;  // owned
  // The same nodes (device addresses, owned) in the order of the buckets
  // they lay in at the first search: the candidate test visits them in this
  // order, so that the nodes of a bucket follow each other and find its
  // segments at hand. Each node's candidates are the same in any order.
  ContactNodeCuda** slave_visit_order_gpu = nullptr;
  UnifiedContact* owner = nullptr;  // keeper of the host bucket arrays

  SubDomainManager() = default;
  SubDomainManager(const SubDomainManager&) = delete;
  SubDomainManager& operator=(const SubDomainManager&) = delete;
  SubDomainManager(SubDomainManager&& other) noexcept;
  SubDomainManager& operator=(SubDomainManager&& other) noexcept;
  virtual ~SubDomainManager();

  int slaveNodeNum() const { return static_cast<int>(slave_contact_node_array_cpu.size()); }

  // Device set-up.
  void buildSubDomainGrid();
  void takeGridFromMasterSurface(int count, int index, SubDomainManager* all);
  void allocateAndCopySubDomainsGpu();
  void allocateSubDomainPtrArrayGpu();
  // Device array of the slave contact nodes, copied from a device list.
  void copySlaveNodeArrayGpu(ContactNodeCuda** source);

  // Per cycle (bucket search): the grid of the master surface's last
  // binning; the master's segments binned anew unless `keep` and they are
  // still within the boxes they were binned with (once per master surface
  // and cycle); each slave node offered the segments of its bucket.
  void takeMasterBoxGpu();
  void fillSegmentsGpu(Surface* master, int* overflow, bool keep);
  void offerCandidatesGpu(int* overflow);

 private:
  void moveFrom(SubDomainManager& other) noexcept;
  void freeOwned();
  // Box of the slave side at set-up: its segments' boxes, or its nodes
  // widened by their smallest spacing. False when it has neither.
  bool slaveExtent(double3& mx, double3& mn) const;
  void giveMasterSurfaceGrid();
  // Sorts the slave nodes by the bucket of their host (initial) position
  // into slave_visit_order_gpu.
  void buildVisitOrderGpu();
};

// Smallest distance between two of the points (1e6 for fewer than two),
// in time linear in their number for the nodes of a mesh.
double smallestSpacing(std::vector<std::array<double, 3>> points);

// Grid sizing rule: sub-domains per axis for `count` items spread over a box
// of edge lengths L (cube-root rule, two-dimensional on a flat axis).
int3 subDomainCountsFor(double count, const double3& L);
// Dims of a grid from the slave counts n, the master counts m and the
// refinement factors k, with the spare layer; capped so the grid fits.
int3 subDomainDimsFor(const int3& n, const int3& m, const int3& k);

// Candidates of the bucket search: each slave node is linked to the bucket
// of the grid (cell, origin, dims) it lies in, and offered the segments of
// that bucket whose extended box holds it (their boxes and nodes read from
// the search entries of the master surface's segment array `segments`).
__global__ void testPairProduceAccorContactNode(int n, ContactNodeCuda** nodes, double3 cell, double3 origin,
                                                SubDomain* subdomains, int3 dims, int total,
                                                const SegmentCuda* segments, const SegmentSearchEntry* entries,
                                                int* overflow);

// Box reductions: one partial box per block of 32 items.
__global__ void minMaxNodeArray(int n, ContactNodeCuda** nodes, double3* maxPartial, double3* minPartial, double ext);
__global__ void minMaxSegmentCudaArray(int n, const SegmentCuda* segments, double3* maxPartial, double3* minPartial);
// Folds `count` partial boxes into mx, mn (which start from the largest
// double).
void foldPartialBoxes(const double3* maxPartial, const double3* minPartial, int count, double3& mx, double3& mn);
