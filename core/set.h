// A set of nodes, segments, parts or elements named by id in the deck.
#pragma once
#include <string>
#include <vector>

struct NodeCuda;
struct SegmentCuda;
struct Element;
class Part;

// Set types, in the order the set manager keeps them.
enum SetType { SET_NODE = 0, SET_SEGMENT = 1, SET_PART = 2, SET_ELEMENT = 3 };

class Set {
 public:
  // Text fields filled by the readers.
  std::string name;
  std::string title;
  std::string solver_name;
  std::string general_option;  // option word of a NODE_GENERAL card
  int type = SET_NODE;         // SetType
  int id = 0;                  // set id; the key of the set in its type's map
  int deck_line = 0;           // line of the set's card in the deck, for messages (0: not known)
  double attributes[4] = {0.0, 0.0, 0.0, 0.0};
  // Member ids in deck order (node numbers, part positions or element ids
  // after the keyword completion; for a segment set the first entry is a
  // surface id).
  std::vector<int> id_array;
  // Raw lists of "_ADD" and "NODE_GENERAL" cards, expanded after reading.
  std::vector<int> add_node_set_ids;
  std::vector<int> add_part_set_ids;
  std::vector<int> add_shell_set_ids;
  std::vector<int> general_values;

  // Resolved members (host pointers).
  std::vector<NodeCuda*> node_array_cpu;  // one per id; null for an id that is no node
  std::vector<SegmentCuda*> segment_array_cpu;
  std::vector<Part*> part_array_cpu;
  std::vector<Element*> element_array_cpu;

  // Device pointer arrays, owned by the set.
  NodeCuda** node_array_gpu = nullptr;
  SegmentCuda** segment_array_gpu = nullptr;
  Element** element_array_gpu = nullptr;
  int element_array_gpu_num = 0;  // slots of element_array_gpu

  Set() = default;
  // A copy carries the host data only: the device arrays stay with the
  // set that allocated them, so no array is freed twice.
  Set(const Set& other);
  Set& operator=(const Set& other);
  Set(Set&& other) noexcept;
  Set& operator=(Set&& other) noexcept;
  ~Set();

  // Frees the device arrays.
  void freeGpu();

 private:
  void copyHostData(const Set& other);
  void takeGpu(Set& other) noexcept;
};
