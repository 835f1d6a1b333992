// A contact surface: its segments, its distinct nodes and their contact
// nodes, the search grid over it and the device copies of all of these.
#pragma once
#include <string>
#include <vector>
#include "core/segment.h"
#include "platform/gpu_runtime.h"

class Part;
class NodeManager;
class ContactNodeManager;
struct ContactNodeCuda;
struct SubDomain;

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
  SubDomain* subDomainArrayCpu_ = nullptr;  // owned
  SubDomain* subDomainArrayGpu_ = nullptr;  // owned
  int grid_dims[3] = {0, 0, 0};
  double box_max[3] = {0.0, 0.0, 0.0};
  double box_min[3] = {0.0, 0.0, 0.0};
  double cell_size[3] = {0.0, 0.0, 0.0};
  double slave_box_max[3] = {0.0, 0.0, 0.0};
  double slave_box_min[3] = {0.0, 0.0, 0.0};
  double3* max_gpu = nullptr;  // per-block partial boxes, temp_num_block entries
  double3* min_gpu = nullptr;
  double3* max_cpu = nullptr;
  double3* min_cpu = nullptr;
  unsigned char flags[6] = {0, 0, 0, 0, 0, 0};  // per-cycle flags of the contact step
  double* max_disp_incre = nullptr;  // one device double
  int id = 0;
  int surface_type = 0;  // 1: read from a segment set
  int segment_num = 0;
  double min_edge_length = 0.0;
  double mean_edge_length = 0.0;
  double mean_territory = 0.0;

  Surface() = default;
  // Surfaces are copied only before the upload pass, while they own no
  // device arrays.
  Surface(const Surface&) = default;
  Surface& operator=(const Surface&) = default;
  virtual ~Surface();

  int tempNumBlock() const { return segment_num / 32 + 1; }

  // Host set-up.
  void countSegments();
  void linkSurfaceNodes(NodeManager* nodeManager);
  void solveSegmentNormals();
  void collectContactNodeIds(ContactNodeManager* contactNodeManager);
  void calSegmentTerritory();
  void calSegmentBoundingBoxes();
  void calAverageTerritorySize();
  // Uploads.
  void allocateAndCopySegmentArrayGpu(NodeManager* nodeManager);
  void allocateAndCopyContactNodeArrayGpu(ContactNodeManager* contactNodeManager);
  void allocateMinMaxGpu();
};

// Turns the copied host pointers of a surface's device segments into device
// pointers (one thread per segment).
__global__ void gpuSegmentCudaCpy(NodeCuda* nodes, int n, SegmentCuda* segments);
