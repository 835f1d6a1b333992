// A contact surface: its segments, its distinct nodes and their contact
// nodes, the search grid over it and the device copies of all of these.
#pragma once
#include <functional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>
#include "contact/subdomain.h"
#include "core/nodePlaces.h"
#include "core/segment.h"
#include "platform/gpuRuntime.h"

class Part;
class NodeManager;
class ContactNodeManager;
struct ContactModel;
struct ContactNodeCuda;
struct ShellElementCuda;
struct Element;
struct AnchorWatches;

// Per-cycle flag bytes of a surface (cleared at the start of every contact
// step); bytes 0, 1 and 5 are only cleared.
enum SurfaceFlag { SEGMENTS_BINNED = 2, BOX_KNOWN = 3, BOX_EXTENDED = 4 };

// What the per-cycle refresh reads of a segment besides its nodes: the
// positions of its nodes in the surface's list of refreshed nodes, its node
// count and its territory (half a cache line a segment).
struct SegmentCorners {
  int place[4];
  int node_num;
  double territory;
};
static_assert(std::is_trivially_copyable_v<SegmentCorners>);

class Surface;
struct RefreshBatch;
struct SurfaceRefresh;
// The per-cycle refresh of the master surfaces of a search, with the device
// copy of what its launches read.
class SurfaceRefresher {
 public:
  SurfaceRefresher() = default;
  SurfaceRefresher(const SurfaceRefresher&) = delete;
  SurfaceRefresher& operator=(const SurfaceRefresher&) = delete;
  ~SurfaceRefresher();
  // On every surface given with a search grid (the others only count the
  // refresh): segment boxes and normals on the device, each box checked
  // against the box it was binned with and the anchors of its watches
  // checked for the segments whose box changes; all surfaces in two
  // launches.
  void refresh(const std::vector<std::pair<Surface*, AnchorWatches>>& surfaces);

 private:
  RefreshBatch* batch_gpu_ = nullptr;  // owned, read by the launches
  void launchBatch(const RefreshBatch& b);
};

class Surface {
 public:
  std::string title;
  std::string part_name;
  std::vector<Part*> part_array;
  std::vector<int> part_index_array;
  double attributes[4] = {0.0, 0.0, 0.0, 0.0};
  std::string solver_name;
  std::vector<SegmentCuda> segment_array;
  SegmentCuda* segment_array_gpu = nullptr;  // owned
  std::vector<NodeCuda*> node_array;         // distinct nodes of the segments
  std::vector<ContactNodeCuda*> contact_node_array_cpu;
  ContactNodeCuda** contact_node_array_gpu = nullptr;  // owned
  int subDomainNum_ = 0;
  SubDomain* subDomainArrayCpu_ = nullptr;  // owned by the search grid that made it
  SubDomain* subDomainArrayGpu_ = nullptr;  // owned
  int grid_dims[3] = {0, 0, 0};
  double box_max[3] = {0.0, 0.0, 0.0};
  double box_min[3] = {0.0, 0.0, 0.0};
  double cell_size[3] = {0.0, 0.0, 0.0};
  // Segments in the buckets (surfaceBins.cu): each was binned with its
  // extended box widened by bin_margin, and the buckets are kept until a
  // segment's box leaves the box it was binned with.
  BinnedBox* binned_box_gpu = nullptr;             // owned, one per segment
  int* bin_flags_gpu = nullptr;                    // owned: boxes that left their binned box, entries refused
  SegmentSearchEntry* search_entry_gpu = nullptr;  // owned, one per segment, refreshed with the boxes
  BucketMembers bucket_members;                    // owned: the buckets' segments as indices, made with each filling
  // The refresh's own copy of what it reads (made at its first cycle): the
  // segments' corners and the distinct nodes of the segments by id, with
  // their places of the cycle.
  SegmentCorners* corners_gpu = nullptr;      // owned, one per segment
  const NodeCuda** place_node_gpu = nullptr;  // owned, place_num entries
  NodePlace* place_gpu = nullptr;             // owned, place_num entries
  unsigned char* place_bits_gpu = nullptr;    // owned: a byte per place of the cycle
  // The places the node passes keep (core/nodePlaces.h), read in place of
  // the node records when they are current, and the store position of each
  // place's node there (made with the refresh's copy when every place has a
  // node).
  NodePlaces* node_places = nullptr;            // the node manager's
  const NodeCuda* node_base_gpu = nullptr;      // its device node array
  int node_count = 0;                           // of node_count records
  int* place_store_gpu = nullptr;               // owned, place_num entries
  std::vector<int> place_store;                 // host copy
  SegmentCorners* corners_store_gpu = nullptr;  // owned: the corners as store positions
  long long refreshed_pass = -1;                // the node places' pass count at the last refresh
  bool places_stale = false;                    // the last refresh read the kept places, not its own
  // The places the last refresh read: its own (by place), or the kept ones
  // (by store position).
  const NodePlace* cycle_places = nullptr;
  bool cycle_by_store = false;
  int place_num = 0;
  bool places_known = false;  // the places hold those of the last refresh
  int refreshes = 0;          // times the segments were refreshed (or asked to be)
  double bin_margin = 0.0;
  bool bins_filled = false;    // the buckets hold the segments of the last binning
  int bin_fills = 0;           // times the buckets were filled since set-up
  double3* max_gpu = nullptr;  // per-block partial boxes, tempNumBlock() entries, owned
  double3* min_gpu = nullptr;
  double3* max_cpu = nullptr;  // host copies, owned
  double3* min_cpu = nullptr;
  unsigned char flags[6] = {0, 0, 0, 0, 0, 0};  // per-cycle flags (SurfaceFlag)
  double* max_disp_incre = nullptr;             // one device double, owned
  int id = 0;
  int surface_type = 0;  // 1: read from a segment set
  int segment_num = 0;
  double min_edge_length = 0.0;
  double mean_edge_length = 0.0;
  double mean_territory = 0.0;

  Surface() = default;
  // A copy carries the host data only: the device arrays and box buffers
  // stay with the surface that allocated them, so none is freed twice.
  Surface(const Surface& other);
  Surface& operator=(const Surface& other);
  Surface(Surface&& other) noexcept;
  Surface& operator=(Surface&& other) noexcept;
  virtual ~Surface();

  int tempNumBlock() const { return segment_num / 32 + 1; }

  // Builders (reading and model set-up).
  void buildSegmentsFromParts(ContactModel* fem);
  void addSegmentsFromShells(const std::vector<ShellElementCuda>& shells);
  void addSegmentsFromSolidFaces(Part* part, NodeCuda* hostNodes);
  void addSegmentsFromElements(std::vector<Element*>& elements);
  // Model set-up.
  void linkSegmentNodePtrs(NodeManager* nodeManager);
  void defineSegmentLocalIds(int offset);
  void setSegmentThickness();
  void allocateMaxDispIncre();
  // Host pass.
  void countSegments();
  void linkSurfaceNodes(NodeManager* nodeManager);
  void solveSegmentNormals();
  void collectContactNodeIds(ContactNodeManager* contactNodeManager);
  // Territories of the segments; thickestNode is the largest contact
  // thickness of the nodes that may meet them.
  void calSegmentTerritory(double thickestNode = 0.0);
  void calSegmentBoundingBoxes();
  void calAverageTerritorySize();
  // Uploads.
  void allocateAndCopySegmentArrayGpu(NodeManager* nodeManager);
  void allocateAndCopyContactNodeArrayGpu(ContactNodeManager* contactNodeManager);
  void allocateMinMaxGpu();
  // Segment boxes and normals on the device, then the surface box (the
  // union of the segment boxes widened by `margin`) and the cell size of its
  // search grid.
  void calExtendAreaImproveGpu(double margin);
  // Empties the surface's search grid on the device.
  void clearSubDomainsGpu();
  // Per cycle, on a surface with a search grid: counts the refresh and
  // makes what it reads; false when the surface has nothing to refresh.
  bool readyForRefreshGpu();
  // This surface's part of the cycle's refresh (surfaceBins.cu), whose runs
  // start at the given ones.
  SurfaceRefresh refreshOfCycle(const AnchorWatches& watches, int firstPlaceRun, int firstSegmentRun);
  // The buckets still hold every segment whose box can hold a point of
  // their cells: no segment's box has left the box it was binned with.
  bool binsHoldSegmentsGpu();
  // Fills the buckets anew, with the boxes widened by the margin when
  // `widen` (by none if widened boxes would overfill a bucket), and lists
  // their segments in bucket_members.
  void rebinSegmentsGpu(bool widen, int* overflow);
  // Widening of segment boxes for a search kept over several cycles: the
  // smallest territory of the segments (the mean edge length when they
  // have none).
  double searchMargin() const;

 private:
  void listBucketMembersGpu();
  void makeRefreshCopyGpu();
  // The store positions of the places' nodes and the corners by them, and
  // the node passes asked to keep their places.
  void keepNodePlaces();
  void copyHostData(const Surface& other);
  void takeOwned(Surface& other) noexcept;
  void freeOwned();
  // Drops the segments that fail keep, each with a message that gives the
  // reason, and renumbers local_index; returns the number dropped.
  int dropSegments(const std::function<bool(const SegmentCuda&)>& keep, const char* reason);
};

// The node ids of a face, ascending, without repeats.
using FaceKey = std::vector<int>;
// Faces of an element given by its node ids: a shell (slots 3 or 4) has
// one, a solid of eight slots those of the shape its ids describe: a
// tetrahedron (slots 5-8 empty or repeating slot 4), a pentahedron (six
// distinct ids, slots 7-8 empty or repeating slot 6), else a hexahedron,
// whose face rows give the faces of its degenerate forms too. Faces of
// fewer than three distinct ids are left out.
std::vector<FaceKey> elementFaceKeys(const int* ids, int slots);
// The face key of a segment's four node ids.
FaceKey faceKeyOf(const int (&nodeIds)[4]);

// Turns the copied host pointers of a surface's device segments into device
// pointers (grid-stride loop over the segments).
__global__ void gpuSegmentCudaCpy(NodeCuda* nodes, int n, SegmentCuda* segments);
// Per-cycle segment boxes and normals; with partial arrays given, each block
// of 32 threads leaves the box of its segments in entry (block index).
__global__ void GpuCalExtendAreaImprove(int n, SegmentCuda* segments, double3* maxPartial, double3* minPartial);
