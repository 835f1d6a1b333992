// Tied contact: slave nodes of one surface glued to segments of another.
#pragma once
#include <cstdint>
#include <string>
#include <type_traits>
#include <vector>

struct SegmentCuda;
struct NodeCuda;
class Surface;

// One tied slave node with its master segment and interpolation weights.
struct SubTie {
  int32_t segment_index;
  int32_t node_index;
  SegmentCuda* segment;
  NodeCuda* slave_node;
  double weight[4];
};
static_assert(std::is_trivially_copyable_v<SubTie>);

class Tie {
 public:
  int32_t master_surface_id = 0;
  int32_t slave_surface_id = 0;
  std::string master_surface_name;
  std::string slave_surface_name;
  Surface* masterSurface = nullptr;
  Surface* slaveSurface = nullptr;
  double tolerance = 0.0;
  unsigned char ignore_thickness = 0;
  std::vector<SubTie> sub_tie_array_cpu;
  SubTie* sub_tie_array_gpu = nullptr;  // owned

  Tie() = default;
  Tie(const Tie&) = default;
  Tie& operator=(const Tie&) = default;
  virtual ~Tie();
};
