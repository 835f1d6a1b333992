// Contact search of the host-only loop: no bucket grid, but one record per
// searched pair of slave side and master surface (the pairs of the device
// search), a sweep over boxes sorted by x that lists the slave nodes near
// each master segment, and every cycle the device's candidate rule over that
// list. The list is rebuilt when the sides have moved by more than its
// margin or its interval has passed, so it always holds every pair that the
// device search could find.
#pragma once
#include <vector>
#include "platform/gpuRuntime.h"

class PairManager;
class Surface;
class UnifiedContact;
struct ContactNodeCuda;
struct SegmentCuda;

// Longest interval between two sweeps of a pair record, in cycles.
constexpr int kMaxSearchInterval = 200;

// Box and motion of one side of a pair record at this cycle.
struct SearchExtent {
  double3 box_max;
  double3 box_min;
  double max_speed2;  // largest squared node speed
  bool empty;         // no node or segment
};

// A slave node and a master segment whose box, widened by the record's
// margin, held the node at the last sweep.
struct NearCandidate {
  ContactNodeCuda* node;
  SegmentCuda* segment;
};

struct SurfacePairRecord {
  double3 overlap_max{0.0, 0.0, 0.0};
  double3 overlap_min{0.0, 0.0, 0.0};
  Surface* master = nullptr;
  Surface* slave = nullptr;                 // null for a node-set slave side
  std::vector<ContactNodeCuda*> node_list;  // the slave contact nodes
  int search_interval = 0;                  // cycles between sweeps
  int cycle_counter = 0;                    // cycles since the last sweep
  unsigned char active = 0;                 // the boxes of the two sides overlap
  double margin = 0.0;                      // widening of the segment boxes in the sweep
  std::vector<NearCandidate> near_list;
  // Node positions at the last sweep (slave nodes, then the master
  // surface's nodes), to measure how far the sides have moved since.
  std::vector<double3> slave_at_sweep;
  std::vector<double3> master_at_sweep;
};

struct GlobalSearchRecord {
  std::vector<Surface*> surface_list;         // every master surface, once
  std::vector<SurfacePairRecord> pair_array;  // one per searched pair, in device order
  bool face_normals_needed = true;            // as the device search grids' flag
};

// The record of the searched pairs that the device search grids would get.
void buildGlobalSearchRecord(const UnifiedContact& unifiedContact, GlobalSearchRecord& record);

// One search: segment boxes and normals refreshed, the candidate lists of
// the pair manager's test pairs cleaned, near lists rebuilt where due,
// candidates offered, and the test pairs with candidates counted into the
// pair manager's test-pair counter.
void globalContactSearchCpu(GlobalSearchRecord* record, double dt, PairManager* pairManager);
