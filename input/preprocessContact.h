// Contact steps of the keyword deck's completion after the block loop.
#pragma once
#include <vector>

class FEMDynamic;
struct KeywordDeckState;

// Before ids are translated: exchanges the sides of single-surface and
// general contacts, creates their friction interactions, and expands those
// over part sets and segment sets into contacts between parts or per-part
// surfaces. friction[i] receives the interaction number of contact i (0:
// none). False, after a message, when a contact names a set the deck does
// not define.
bool expandDeckContacts(FEMDynamic* fem, KeywordDeckState& state, std::vector<int>& friction);

// After the other ids are translated: contact side ids to surface numbers
// and part positions (a contact whose side the deck does not define is
// skipped with a message), single-surface and general contacts paired into
// surface-to-surface contacts, mirror images dropped, and each friction
// interaction keyed by the final ids of the contacts it applies to.
void completeContactIds(FEMDynamic* fem, std::vector<int>& friction);
