// One part: a group of elements sharing one section and one material.  It
// holds the links that set-up (elements/common/partSetup.h) makes to the part's
// element store, material record, material model and section, and the list
// of the part's distinct nodes.
#pragma once
#include <string>
#include <vector>

struct NodeCuda;
class ElmManager;
struct Material;
class MaterialNew;
struct Section;
class Surface;

// The plain values of a part: ids, card values and host links.  Copying it
// is always safe; the device copies that a part owns live in Part itself.
struct PartValues {
  int id = 0;       // part id (1-based); its ElmManager is entry id-1
  int deck_id = 0;  // the id the deck gives the part (0: the deck gives none)
  int section_id = 0;
  int material_id = 0;
  // The remaining five integers of the part card, as read.
  int eos_id = 0;
  int hourglass_id = 0;
  int gravity_option = 0;
  int adaptive_option = 0;
  int thermal_material_id = 0;
  std::string name;                    // title line of the part card
  ElmManager* elmManager = nullptr;    // set by linkMaterialSectionElement
  Material* material = nullptr;        // host record
  MaterialNew* materialNew = nullptr;  // host model object (null: the material has no model)
  Section* section = nullptr;          // host record
  std::vector<NodeCuda*> node_array;   // distinct nodes of the part's elements, first-seen order

  // Values of the part option cards, as read.
  int storage_index = 0;  // 0-based position in the part vector
  double contact_static_friction = 0.0;
  double contact_dynamic_friction = 0.0;
  double contact_decay_coefficient = 0.0;
  double contact_viscous_friction = 0.0;
  double contact_thickness_option = 0.0;
  double contact_thickness = 0.0;
  double contact_penalty_scale = 0.0;
  int inertia_coord_option = 0;
  int inertia_node_id = 0;
  int inertia_coord_id = 0;
  double inertia_centre[3] = {};
  double inertia_mass = 0.0;
  double inertia_tensor[6] = {};    // xx, xy, xz, yy, yz, zz
  double initial_velocity[6] = {};  // translational x, y, z, rotational x, y, z
  double inertia_axes[6] = {};
  // Contact surface built from the part (0 / null when none).
  int contact_surface_id = 0;
  Surface* contact_surface = nullptr;

  // The id messages name the part by: the deck's own.
  int shownId() const { return deck_id != 0 ? deck_id : id; }
};

class Part : public PartValues {
 public:
  Material* materialGpu = nullptr;      // device copy of the material record, owned
  Section* sectionGpu = nullptr;        // device copy of the section, owned
  NodeCuda** node_array_gpu = nullptr;  // device array of node pointers when made, owned

  Part() = default;
  // A copy shares no device memory: the device arrays stay with the original.
  Part(const Part& other);
  Part& operator=(const Part& other);
  Part(Part&& other) noexcept;
  Part& operator=(Part&& other) noexcept;
  virtual ~Part();

 private:
  void releaseGpu();
};
