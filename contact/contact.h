// One contact definition of the deck: its two sides, its kind, the card
// values, and the contact nodes it searches.
#pragma once
#include <string>
#include <vector>
#include "contact/contactDepth.h"

struct NodeCuda;
struct ContactNodeCuda;
class Part;
class Surface;
class SurfaceInteract;
class SurfaceManager;
class SetManager;
class NodeManager;
class ContactNodeManager;

// Contact kinds. A tied shell edge (kind 4) is a tie, kept for the tie
// manager; it never slides.
enum ContactType {
  NODES_TO_SURFACE = 0,
  SURFACE_TO_SURFACE = 1,
  SINGLE_SURFACE = 2,
  GENERAL_CONTACT = 3,
  TIED_SHELL_EDGE_TO_SURFACE = 4
};

// Entity kinds of a contact side (master_type, slave_type).
enum ContactEntity {
  ENTITY_SURFACE = 0,        // a contact surface by id
  ENTITY_ELEMENT_SET = 1,    // shell elements of an element set
  ENTITY_PART_SET = 2,       // the parts of a part set
  ENTITY_PART = 3,           // one part by id
  ENTITY_NODE_SET = 4,       // slave nodes of a node set
  ENTITY_EVERY_PART = 5,     // every part of the model
  ENTITY_EXCLUDED_PARTS = 6  // every part but those of a part set (none: every part)
};

// The fields of a contact definition, in their order; the device array is
// owned by the Contact that holds the record.
class ContactRecord {
 public:
  int contact_type = 0;
  int contact_id = 0;
  int slave_id = 0;
  int master_id = 0;
  int slave_type = 0;
  int master_type = 0;
  double static_friction = 0.0;
  double dynamic_friction = 0.0;
  double birth_time = 0.0;
  double death_time = 0.0;
  double slave_penalty_scale = 0.0;
  double master_penalty_scale = 0.0;
  double slave_thickness = 0.0;
  double master_thickness = 0.0;
  double slave_thickness_scale = 0.0;
  double master_thickness_scale = 0.0;
  double friction_scale = 0.0;
  double viscous_force_scale = 0.0;
  int soft_option = 0;
  double soft_scale = 0.1;
  int airbag_curve_id = 0;
  double max_parametric_coord = 1.025;
  double segment_option = 0.0;
  int search_depth = 2;
  int bucket_sort_interval = 0;
  int friction_update_interval = 1;
  double max_penetration = 0.0;
  int thickness_option = 0;
  int shell_thickness_option = 0;
  int shell_edge_logic = 0;
  int symmetry_option = 0;
  int dimension_option = 0;
  double solid_thickness = 0.0;
  double solid_stiffness = 0.0;
  int gap_option = 0;
  int ignore_option = 0;
  double penalty_damping_factor = 0.0;
  double stiffness_step = 0.0;
  double flange_angle = 0.0;
  int rcf_coordinate_id = 0;
  std::string title;
  int slave_box_id = 0;
  int master_box_id = 0;
  int slave_print_flag = 0;
  int master_print_flag = 0;
  int bucket_interval = 200;
  int bucket_curve_id = 0;
  int tracked_segments = 3;
  int initial_iterations = 2;
  double parametric_extension = 0.0;
  int parallel_option = 0;
  int contact_node_num = 0;
  std::vector<ContactNodeCuda*> slave_contact_node_array_cpu;
  ContactNodeCuda** slave_contact_node_array_gpu = nullptr;  // owned
  Surface* slaveSurface = nullptr;
  Surface* masterSurface = nullptr;
  unsigned char box_check_flag = 0;
  // 1: the nodes of each side are searched against the other side's
  // segments (every surface-to-surface contact but the one-way form).
  unsigned char two_way = 0;
  std::vector<NodeCuda*> slave_node_array_cpu;
  double decay_coefficient = 0.0;
  double viscous_friction = 0.0;
  double viscous_damping = 0.0;
  double penetration_check = 0.0;
  int surface_interact_num = 0;
  double tie_tolerance = 0.0;  // tied contacts: the tie's position tolerance (0: its default)
  // Where the contact comes from, for messages: the deck keyword and the
  // position among the deck's contact definitions (0: made by the program).
  std::string keyword;
  int deck_position = 0;
  std::vector<SurfaceInteract*> surface_interact_array_cpu;
  std::vector<SurfaceInteract**> surface_interact_array_gpu;
  // What the contact saw, for the run record: the deepest node at the start
  // (held there, see initialOverlap.h), over the run, and at the end.
  ContactDepth start_overlap;
  ContactDepth deepest;
  ContactDepth end_overlap;
  // The deepest nodes at the start, deepest first (at most
  // kReportedStartOverlaps), each node once, for the set-up message.
  std::vector<ContactDepth> start_overlap_worst;
};

class Contact : public ContactRecord {
 public:
  Contact() = default;
  // A contact owns its device array: it moves, it is never copied, so that
  // no array is freed twice.
  Contact(const Contact&) = delete;
  Contact& operator=(const Contact&) = delete;
  Contact(Contact&& other) noexcept;
  Contact& operator=(Contact&& other) noexcept;
  virtual ~Contact();

  // A record with every field 0 and empty (a deck contact starts so; the
  // constructor's defaults do not apply to it).
  static Contact zeroed();
  // A new contact made from this one: every field 0, the deck origin kept.
  Contact madeFrom() const;
  // "contact 6 (*CONTACT_SURFACE_TO_SURFACE_ID)", or for a contact without
  // an id "contact definition 2 (*CONTACT_NODES_TO_SURFACE)".
  std::string describe() const;
  // The same with the sides searched: "contact 6 (*CONTACT_SURFACE_TO_SURFACE_ID)
  // of part lower and part upper"; a contact the program made for the whole
  // model is named so.
  std::string describeWithSides() const;

  // Resolves the master side, then the slave side, into surfaces of the
  // surface manager (appending new ones) or a slave node list. False, after
  // a message naming the contact and the side, when a side names no part,
  // set or surface, or one that gives no segment or no node.
  bool buildContactEntities(SurfaceManager* surfaceManager, std::vector<Part>& parts, SetManager* setManager,
                            NodeManager* nodeManager);
  // The contact nodes this contact searches.
  void buildSlaveNodeSet(ContactNodeManager* contactNodeManager);
  // Device array of pointers to those contact nodes.
  void allocateAndCopySlaveNodeArrayGpu(ContactNodeManager* contactNodeManager);
  // Per-block buffers of the search: none, the search grids hold them.
  void allocateBlockBuffers();

 private:
  // The surface of one side (entity kind and id), or null after a message
  // when the side names nothing the model has or gives no segment.
  Surface* resolveSide(int type, int entityId, const char* side, SurfaceManager* surfaceManager,
                       std::vector<Part>& parts, SetManager* setManager, NodeManager* nodeManager);
  Surface* findSide(int type, int entityId, const char* side, SurfaceManager* surfaceManager, std::vector<Part>& parts,
                    SetManager* setManager, NodeManager* nodeManager);
  bool resolveSlaveNodes(std::vector<Part>& parts, SetManager* setManager);
};
