// The search grids of the bucket search: one SubDomainManager per pair of
// slave and master surfaces.
#pragma once
#include <vector>

class Contact;
class Surface;
class ContactNodeManager;
class FEMDynamic;
struct ContactNodeCuda;

class SubDomainManager {
 public:
  Surface* slaveSurface = nullptr;
  Surface* masterSurface = nullptr;
  ContactNodeCuda** slave_contact_node_array_gpu = nullptr;
  int slave_contact_node_num = 0;

  void buildSubDomainGrid();
  void takeGridFromMasterSurface(int count, int index, SubDomainManager* all);
  void allocateAndCopySubDomainsGpu();
  void allocateSubDomainPtrArrayGpu();
  void allocateMinMaxGpu();
};

class UnifiedContact {
 public:
  std::vector<SubDomainManager> sub_domain_manager_array;
  std::vector<bool> box_check_array;  // one box-check bit per grid

  // One search grid per contact with two surfaces.
  void buildSubDomainManagers(std::vector<Contact>& contacts, ContactNodeManager* contactNodeManager, FEMDynamic* fem);
};
