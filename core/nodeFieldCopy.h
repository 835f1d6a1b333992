// What an output point takes of the device node records: the fields its
// files write, packed node by node into mapped host memory by one kernel and
// put into the host records on all threads. The records are 1.4 KB; the
// coordinates and displacements of a VTK file are 48 bytes of them.
#pragma once
#include <cstddef>

#include "core/node.h"

// Fields of a node record, combined as bits.
enum NodeField : unsigned {
  NODE_COORDINATES = 1u << 0,    // coord
  NODE_DISPLACEMENTS = 1u << 1,  // total_disp x, y, z
  NODE_VELOCITIES = 1u << 2,     // vel x, y, z
  NODE_ACCELERATIONS = 1u << 3,  // accel x, y, z
  NODE_STRESSES = 1u << 4,       // stress and strain, six each
};

// The fields of a field file: coordinates always, the others as asked.
inline unsigned fieldFileNodeFields(bool displacements, bool velocities, bool accelerations, bool stresses) {
  return NODE_COORDINATES | (displacements ? NODE_DISPLACEMENTS : 0u) | (velocities ? NODE_VELOCITIES : 0u) |
         (accelerations ? NODE_ACCELERATIONS : 0u) | (stresses ? NODE_STRESSES : 0u);
}

// Calls visit(field, count) for each chosen field of a node, in the order
// of the bits.
template <typename Node, typename Visit>
__host__ __device__ void visitNodeFields(unsigned fields, Node& node, Visit& visit) {
  if (fields & NODE_COORDINATES) visit(node.coord, 3);
  if (fields & NODE_DISPLACEMENTS) visit(node.total_disp, 3);
  if (fields & NODE_VELOCITIES) visit(node.vel, 3);
  if (fields & NODE_ACCELERATIONS) visit(node.accel, 3);
  if (fields & NODE_STRESSES) {
    visit(node.stress, 6);
    visit(node.strain, 6);
  }
}

// Doubles a node takes in the packed buffer.
inline int nodeFieldWidth(unsigned fields) {
  return 3 * (((fields & NODE_COORDINATES) != 0) + ((fields & NODE_DISPLACEMENTS) != 0) +
              ((fields & NODE_VELOCITIES) != 0) + ((fields & NODE_ACCELERATIONS) != 0)) +
         12 * ((fields & NODE_STRESSES) != 0);
}

// The packed buffer, kept from one output point to the next.
class NodeFieldCopy {
 public:
  NodeFieldCopy() = default;
  NodeFieldCopy(const NodeFieldCopy&) = delete;
  NodeFieldCopy& operator=(const NodeFieldCopy&) = delete;
  ~NodeFieldCopy();

  // The chosen fields of n device nodes into the n host nodes.
  void copy(const NodeCuda* device, NodeCuda* host, int n, unsigned fields);

 private:
  void reserve(std::size_t doubles);
  double* host_ = nullptr;    // mapped host memory
  double* device_ = nullptr;  // its device alias
  std::size_t capacity_ = 0;  // doubles
};

// Node i's chosen fields at out + i * width.
__global__ void PackNodeFields(int n, const NodeCuda* nodes, unsigned fields, int width, double* out);
