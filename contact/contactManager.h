// Owner of the contact definitions: input-time passes over them (ties that
// repeat a contact, all-exterior contacts), the assignment of surface
// interactions, and the per-cycle interaction launches.
#pragma once
#include <map>
#include <vector>
#include "contact/contact.h"

class FEMDynamic;
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

  // Drops contacts that repeat a tie (the same two surfaces).
  void resolveTieOverlap(TieManager* tieManager, FEMDynamic* fem);
  // With the all-exterior switch: one surface per part name and one
  // surface-to-surface contact per pair of distinct part surfaces.
  void buildAllExteriorContact(FEMDynamic* fem);
  // Attaches the interactions to the contacts whose two ids match their key,
  // or to the whole model.
  void assignSurfaceInteracts(FEMDynamic* fem);
  void imposeSurfaceInteractGpu(FEMDynamic* fem, double dt);
  void imposeSpecificSurfaceInteractGpu(double dt);
  // The host path applies no surface interaction.
  void imposeSurfaceInteractCpu(double dt);
};
