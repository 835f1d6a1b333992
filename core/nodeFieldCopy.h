// What an output point takes of the device node records: the fields its
// files write, packed field by field into mapped host memory by one kernel,
// from which the files are formatted. The records are 1.4 KB; the
// coordinates and displacements of a VTK file are 48 bytes of them.
#pragma once
#include <cstddef>
#include <vector>

#include "core/node.h"

// Fields of a node record, combined as bits.
enum NodeField : unsigned {
  NODE_COORDINATES = 1u << 0,    // coord
  NODE_DISPLACEMENTS = 1u << 1,  // total_disp x, y, z
  NODE_VELOCITIES = 1u << 2,     // vel x, y, z
  NODE_ACCELERATIONS = 1u << 3,  // accel x, y, z
  NODE_STRESSES = 1u << 4,       // stress and strain, six each
};
constexpr int kNodeFieldKinds = 5;

// The fields of a field file: coordinates always, the others as asked.
inline unsigned fieldFileNodeFields(bool displacements, bool velocities, bool accelerations, bool stresses) {
  return NODE_COORDINATES | (displacements ? NODE_DISPLACEMENTS : 0u) | (velocities ? NODE_VELOCITIES : 0u) |
         (accelerations ? NODE_ACCELERATIONS : 0u) | (stresses ? NODE_STRESSES : 0u);
}

// One field of every node, wherever it lies: node i's values at byte
// first + i * stride (in the node records, or packed).
struct NodeColumn {
  const char* first = nullptr;
  std::size_t stride = 0;
  const double* of(std::size_t i) const { return reinterpret_cast<const double*>(first + i * stride); }
};

// The node fields the files of an output point write.
struct NodeColumns {
  std::size_t count = 0;
  NodeColumn coord, disp, vel, accel, stress, strain;
  // Over host node records.
  static NodeColumns ofRecords(const std::vector<NodeCuda>& nodes);
};

// Device addresses of the packed fields, one array per NodeField bit.
struct PackedNodeFields {
  double* field[kNodeFieldKinds];
};

// The packed fields, kept from one output point to the next.
class NodeFieldCopy {
 public:
  NodeFieldCopy() = default;
  NodeFieldCopy(const NodeFieldCopy&) = delete;
  NodeFieldCopy& operator=(const NodeFieldCopy&) = delete;
  ~NodeFieldCopy();

  // Packs the chosen fields of n device nodes (the others keep what they
  // held).
  void pack(const NodeCuda* device, int n, unsigned fields);
  // The packed fields of the last n nodes packed.
  NodeColumns columns() const;

 private:
  void reserve(int kind, std::size_t doubles);
  double* host_[kNodeFieldKinds] = {};          // mapped host memory
  double* device_[kNodeFieldKinds] = {};        // its device alias
  std::size_t capacity_[kNodeFieldKinds] = {};  // doubles
  std::size_t count_ = 0;
};

// Node i's chosen fields at out.field[kind] + i * (3, or 12 for stress and strain).
__global__ void PackNodeFields(int n, const NodeCuda* nodes, unsigned fields, PackedNodeFields out);
