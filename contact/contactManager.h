// Owner of the contact definitions: input-time passes over them (ties that
// repeat a contact, all-exterior contacts), the assignment of surface
// interactions, and the per-cycle interaction launches.
#pragma once
#include <map>
#include <vector>
#include "contact/contact.h"

struct ContactModel;
class TieManager;
struct ContactPairCuda;

class ContactManager {
 public:
  unsigned char all_exterior_flag = 0;  // 1: every pair of part surfaces gets a contact
  std::vector<Contact> contact_array;   // deck order, then the automatic ones
  int global_interact_num = 0;
  // Two surface ids of a contact (or an empty list, or a list starting with
  // 0, for the whole model) -> 1-based interaction number.
  std::map<std::vector<int>, int> interact_assign_map;
  std::vector<SurfaceInteract*> global_interact_array_cpu;
  std::vector<SurfaceInteract**> global_interact_array_gpu;
  // Per contact node (by its number): the master surface id against which
  // its contact's own interaction handles it (0: none); device array, owned.
  int* own_interact_master_gpu = nullptr;
  std::vector<int> own_interact_master_cpu;  // the same per contact node, host copy

  ContactManager() = default;
  ContactManager(const ContactManager&) = delete;
  ContactManager& operator=(const ContactManager&) = delete;
  ~ContactManager();

  // Drops contacts that repeat a tie (the same two surfaces).
  void resolveTieOverlap(TieManager* tieManager, ContactModel* fem);
  // With the all-exterior switch: one surface per part name and one
  // surface-to-surface contact per pair of distinct part surfaces.
  void buildAllExteriorContact(ContactModel* fem);
  // Attaches the interactions to the contacts whose two ids match their key,
  // or to the whole model.
  void assignSurfaceInteracts(ContactModel* fem);
  // Per cycle, after the normal contact forces: the first model-wide
  // interaction over all pairs that no contact's own interaction handles,
  // then each contact's own over the slave nodes of its search grids.
  void imposeSurfaceInteractGpu(ContactModel* fem, double dt);
  void imposeSpecificSurfaceInteractGpu(ContactModel* fem, double dt);
  // The same two passes on the host objects (host-only loop).
  void imposeSurfaceInteractCpu(ContactModel* fem, double dt);
  void imposeSpecificSurfaceInteractCpu(ContactModel* fem, double dt);

 private:
  // Marks the slave nodes that a contact's own interaction handles.
  void buildOwnInteractMasters(ContactModel* fem);
};
