// The search grid of one pair of slave side and master surface: its size,
// the master surface's bucket array it shares, the slave contact nodes, the
// box buffers, and the per-cycle binning steps of the bucket search.
#pragma once
#include <array>
#include <type_traits>
#include <vector>
#include "contact/subdomain.h"
#include "platform/gpuRuntime.h"

class Contact;
class Surface;
class UnifiedContact;
struct ContactNodeCuda;
struct NodePlace;

// Largest grid a master surface may get (about 512 MiB of buckets).
constexpr long long kMaxSubDomainNum = (512LL << 20) / static_cast<long long>(sizeof(SubDomain));

// The segments near one slave node, kept over the cycles while the node's
// path stays inside `reach` and the segments' boxes inside their anchors
// (SegmentAnchor): those listed in the buckets that reach touches whose
// anchor meets it, not the node's own. Any segment whose box meets a path
// inside the reach is among them. `reach` holds six upper bounds as
// SlaveSearchEntry does; `epoch` is the grid's anchor epoch when they were
// listed (-1: none listed); `count` is -1 when they did not fit or a bucket
// was full (the node's buckets are then searched); `steady` is 1 when every
// point of the reach lies in one and the same bucket or outside the grid,
// so that the node's bucket link stays while its path stays inside.
constexpr int kNearSlots = 16;
struct NearSegments {
  double reach[6];
  int epoch;
  int count;
  int steady;
};
static_assert(std::is_trivially_copyable_v<NearSegments>);
// A master segment's box when the near lists were made, widened by their
// reach, as six lower bounds (SegmentSearchEntry). The lists hold while
// every segment's box stays inside its anchor; the anchors are set anew,
// and the lists made anew, when one leaves or the buckets are filled anew.
struct SegmentAnchor {
  double bound[6];
};
static_assert(std::is_trivially_copyable_v<SegmentAnchor>);
// A segment's box (its search entry) has left its anchor; a bound that is
// not a number has left.
__host__ __device__ inline bool leftAnchor(const SegmentSearchEntry& e, const SegmentAnchor& a) {
  bool inside = true;
  for (int k = 0; k < 6; ++k) inside &= e.bound[k] >= a.bound[k];
  return !inside;
}
// The anchors of the grids over one master surface that its refresh checks:
// each segment whose box the refresh changes and that has left the anchors
// of grid g is counted in *left[g].
constexpr int kAnchorWatchSlots = 4;
struct AnchorWatches {
  const SegmentAnchor* anchors[kAnchorWatchSlots];
  int* left[kAnchorWatchSlots];
  int count;
};
static_assert(std::is_trivially_copyable_v<AnchorWatches>);

struct GridSearch;

class SubDomainManager {
 public:
  SubDomain* subdomain_array_cpu = nullptr;        // the master surface's host buckets
  SubDomain* subdomain_array_gpu = nullptr;        // the master surface's device buckets
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
  // Per slave node (in the order of the slave list), the bucket link the
  // search last wrote into the contact node's record (bucket index + 1, 0
  // for none, kLinkUnknown before the first), or kLinkLeft where a later
  // grid of the search binds the node and sets its link (owned, device;
  // made by the UnifiedContact).
  int* link_state_gpu = nullptr;
  // Per slave node, the segments near it (NearSegments) and their
  // positions, kNearSlots a node (owned, device; made at the first search).
  NearSegments* near_gpu = nullptr;
  int* near_member_gpu = nullptr;
  // The master segments' anchors (owned, device), the count of those that
  // left them (owned, device), the bucket filling they were set after and
  // how many times they were set.
  SegmentAnchor* anchor_gpu = nullptr;
  int* anchors_left_gpu = nullptr;
  int anchor_fills = -1;
  // The master's refreshes when the anchors were last checked and when the
  // refresh last checked them itself (it counts the segments that moved
  // out); whether a segment lay outside its anchor as they were set.
  int anchor_refresh = -1;
  int watched_refresh = -1;
  bool anchors_stuck = false;
  int near_epoch = 0;
  int slave_side = -1;              // the owner's gathered slave entries this grid reads
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
  // The grid has slave nodes and filled buckets to test them against.
  bool offersCandidates() const;
  // What the candidate test of this search reads and keeps of the grid
  // (with the near lists' anchors checked); the grid offers candidates and
  // its link states are made.
  GridSearch candidateSearchGpu();
  // The master segments' anchors checked, and set anew when one has left
  // its anchor or the buckets were filled anew (near lists of a new epoch).
  void anchorNearLists(double reach);
  // Adds this grid's anchors to those the master's refresh checks.
  void watchAnchors(AnchorWatches& watches);

 private:
  void moveFrom(SubDomainManager& other) noexcept;
  void freeOwned();
  // Box of the slave side at set-up: its segments' boxes, or its nodes
  // widened by their smallest spacing. False when it has neither.
  bool slaveExtent(double3& mx, double3& mn) const;
  void giveMasterSurfaceGrid();
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

// Link states of a slave node (see SubDomainManager::link_state_gpu).
constexpr int kLinkUnknown = -2;
constexpr int kLinkLeft = -1;

// What the search reads instead of the contact nodes' records: from the
// first record base (a node's position from it is its place in the arrays),
// their nodes and node ids and their flags (ContactNodeFlag; a node without
// NODE_MAY_PAIR has no current contact segment). A null base: the records
// are read.
struct ContactNodeLookup {
  const ContactNodeCuda* base;
  NodeCuda* const* node;
  const int* node_id;
  unsigned char* flags;
};

// What it reads of the grid and its master surface.
struct CandidateGrid {
  double3 cell;
  double3 origin;
  int3 dims;
  int total;
  SubDomain* subdomains;
  const int2* range;  // bucket members (BucketMembers)
  const int* member;
  SegmentCuda* segments;
  const SegmentSearchEntry* entries;
  const BinnedBox* binned;       // the boxes the segments were binned with
  const SegmentAnchor* anchors;  // the segments' anchors of the near lists
  int epoch;                     // the anchors' epoch
  double reach;                  // how far a near list reaches beyond the path
};
// What the candidate test reads and keeps of one grid, per slave node in
// the order of the grid's slave list.
struct GridSearch {
  int* link_state;
  NearSegments* near;  // null: every node searches its buckets
  int* near_member;    // kNearSlots a node
  CandidateGrid grid;
};

// Where the candidate test reads the slave nodes' positions: their places of
// this cycle among those of their surface's nodes, node i at
// places[place_of[i]] (null places: the nodes are read).
struct SlavePlaces {
  const NodePlace* places;
  const int* place_of;
};

// Candidates of the bucket search over n slave nodes of `count` grids that
// share the slave list, grid by grid for each node: the node is linked to
// the bucket of a grid it lies in (unless a later grid links it), and
// offered the segments of the buckets its path over the step reaches whose
// extended box the path meets. Each thread tests a run of kLaneWidth nodes:
// launch (n - 1) / kLaneWidth + 1 threads.
__global__ void testPairProduceAccorContactNode(int n, ContactNodeCuda* const* nodes, ContactNodeLookup look,
                                                SlavePlaces places, const GridSearch* grids, int count, int* overflow);
// The node of each of n contact nodes (null for a missing one) into out.
__global__ void GpuSlaveNodes(int n, ContactNodeCuda* const* nodes, ContactNodeLookup look, NodeCuda** out);
// Counts into *left the segments whose box (entries) has left its anchor.
__global__ void GpuSegmentsLeftAnchors(int n, const SegmentSearchEntry* entries, const SegmentAnchor* anchors,
                                       int* left);
// Sets each segment's anchor: its box widened by `reach`; counts into
// *outside the segments whose box is not inside it even so.
__global__ void GpuAnchorSegments(int n, const SegmentSearchEntry* entries, SegmentAnchor* anchors, double reach,
                                  int* outside);

// Box reductions: one partial box per block of 32 items.
__global__ void minMaxNodeArray(int n, ContactNodeCuda** nodes, double3* maxPartial, double3* minPartial, double ext);
__global__ void minMaxSegmentCudaArray(int n, const SegmentCuda* segments, double3* maxPartial, double3* minPartial);
// Folds `count` partial boxes into mx, mn (which start from the largest
// double).
void foldPartialBoxes(const double3* maxPartial, const double3* minPartial, int count, double3& mx, double3& mn);
