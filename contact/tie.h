// Tied contact: slave nodes of one surface glued to segments of another.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>
#include "core/orderedShares.h"
#include "platform/gpuRuntime.h"

struct SegmentCuda;
struct NodeCuda;
class Surface;

// One tied slave node with its master segment and interpolation weights.
struct SubTie {
  int32_t segment_index;  // position of the master segment in its surface
  int32_t node_index;     // storage position of the slave node
  SegmentCuda* segment;
  NodeCuda* slave_node;
  double weight[4];

  // Weights of the slave node's point over the segment's nodes (w_3 = 0
  // for a triangle); false after a message for another node count.
  __host__ __device__ bool calInterpFun();
  // Slave velocity := weighted velocity of the master nodes.
  __host__ __device__ void modifySlaveVel();
  // Master nodes take the weighted slave mass; the slave keeps it negated.
  __host__ __device__ void transferMassGpu();
  // Master nodes take the weighted slave force; the slave's becomes 0.
  __host__ __device__ void addForToMasterGpu();
  // The same left in four share slots (master node k: weight_k times the
  // slave force, zeros past the segment's nodes) for a fixed-order gather.
  __host__ __device__ void masterForceShares(double* shares);
  // The slave mass left in four share slots the same way (weight_k times
  // the slave mass); the slave keeps it negated.
  __host__ __device__ void masterMassShares(double* shares);
  // Device links: node and segment from their storage positions.
  __host__ __device__ void linkNodePtr(NodeCuda* nodes);
  __host__ __device__ void linkSegmentPtr(SegmentCuda* segments);
};
static_assert(std::is_trivially_copyable_v<SubTie>);

// Frees a device array of sub-ties through the CUDA error check.
struct SubTieDeviceFree {
  void operator()(SubTie* array) const;
};
// The device copy of a tie's sub-ties: one owner, moved along with its tie,
// never copied.
using SubTieDeviceArray = std::unique_ptr<SubTie[], SubTieDeviceFree>;

class Tie {
 public:
  int32_t master_surface_id = 0;
  int32_t slave_surface_id = 0;
  std::string master_surface_name;
  std::string slave_surface_name;
  Surface* masterSurface = nullptr;
  Surface* slaveSurface = nullptr;
  double tolerance = 0.0;  // 0: a default of a twentieth of each segment's mean edge
  unsigned char ignore_thickness = 0;
  std::vector<SubTie> sub_tie_array_cpu;
  SubTieDeviceArray sub_tie_array_gpu;  // device copy
  // The slave forces' way into the master nodes: four slots per sub-tie.
  OrderedShares master_force_shares;
  // The slave masses' way into the master nodes (mass scaling): four slots
  // per sub-tie.
  OrderedShares master_mass_shares;
  // Slave nodes given as a node set (no slave surface), and the deck id of
  // the card the tie came from (0 when none).
  std::vector<NodeCuda*> slave_node_array_cpu;
  int contact_id = 0;

  int subTieNum() const { return static_cast<int>(sub_tie_array_cpu.size()); }
  // The nodes to attach: the slave surface's, or the node set's.
  const std::vector<NodeCuda*>& slaveNodes() const;
};

// Kernels, one thread per sub-tie (grid-stride loops, blocks of 32).
__global__ void subTieGpuLinkNodeSeg(SubTie* subTies, int n, NodeCuda* nodes, SegmentCuda* segments);
__global__ void GpuVerAllSubTieInter(SubTie* subTies, int n);
__global__ void GpuTieModifySlaveVel(SubTie* subTies, int n);
// Each sub-tie's master force shares: four slots per sub-tie.
__global__ void GpuSubTieMasterForceShares(int n, SubTie* subTies, double* shares);
__global__ void GpuTransferSlaveMassToMasterSegment(SubTie* subTies, int n);
__global__ void GpuSubTieMasterMassShares(int n, SubTie* subTies, double* shares);
__global__ void GpuSubTieAddMasterFor(int n, SubTie* subTies);
