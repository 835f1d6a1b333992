#include "contact/unified_contact.h"
#include "contact/contact.h"
#include "solver/pendingFeature.h"

// The grids come with the bucket search: a model with contacts is told that
// they do not act; one without builds no grid.
void UnifiedContact::buildSubDomainManagers(std::vector<Contact>& contacts, ContactNodeManager*, FEMDynamic*) {
  if (!contacts.empty()) reportUnavailable("Contact search", contacts.size());
}
void SubDomainManager::buildSubDomainGrid() { reportUnavailable("Contact search", 1); }
void SubDomainManager::takeGridFromMasterSurface(int, int, SubDomainManager*) { reportUnavailable("Contact search", 1); }
void SubDomainManager::allocateAndCopySubDomainsGpu() { reportUnavailable("Contact search", 1); }
void SubDomainManager::allocateSubDomainPtrArrayGpu() { reportUnavailable("Contact search", 1); }
void SubDomainManager::allocateMinMaxGpu() { reportUnavailable("Contact search", 1); }
