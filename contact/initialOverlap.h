// Nodes that start inside a body they are searched against (meshes from
// pre-processors often overlap a little): found once at set-up, reported,
// and held at the depth they start at, so that the contact neither loses
// them nor pushes them out at once.
#pragma once
#include <vector>

class Contact;
struct ContactModel;
class SubDomainManager;

// Finds, for every searched pair of slave nodes and master surface, the
// slave nodes that start behind a face of the master surface (of another
// body than their own) that faces them, nearer to it than to any other
// face that faces them, by at most half the face's size: each such node's
// start_overlap becomes the largest such depth, and each contact's
// start_overlap record the deepest node. Returns the number of nodes held.
int findInitialOverlaps(std::vector<SubDomainManager>& searched);

// Prints, for every contact with such nodes, their number and the deepest,
// and, when there are several, the deepest few (deck node ids).
void reportInitialOverlaps(const std::vector<Contact>& contacts, const ContactModel& fem);
