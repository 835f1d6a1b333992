// Owner of the contact definitions; applies their surface interactions in
// the contact cycle.
#pragma once
#include <vector>
#include "contact/contact.h"

class FEMDynamic;

class ContactManager {
 public:
  std::vector<Contact> contact_array;

  void assignSurfaceInteracts(FEMDynamic* fem);
  void imposeSurfaceInteractGpu(FEMDynamic* fem, double dt);
  void imposeSpecificSurfaceInteractGpu(FEMDynamic* fem, double dt);
  // The host path applies no surface interaction.
  void imposeSurfaceInteractCpu(FEMDynamic* fem, double dt);
};
