// Contact steps of the keyword deck's completion after the block loop.
#pragma once
#include <vector>

class FEMDynamic;
struct KeywordDeckState;

// Before ids are translated: exchanges the sides of single-surface and
// general contacts, creates their friction interactions, and expands those
// over part sets and segment sets into contacts between parts or per-part
// surfaces; a single-surface or general contact of every part sets the
// contact manager's whole-model switch. friction[i] receives the
// interaction number of contact i (0: none). False, after a message, when a
// contact names a set the deck does not define or that is empty.
bool expandDeckContacts(FEMDynamic* fem, KeywordDeckState& state, std::vector<int>& friction);

// After the other ids are translated: contact side ids to surface numbers
// and part positions, single-surface and general contacts paired into
// surface-to-surface contacts, mirror images dropped, and each friction
// interaction keyed by the final ids of the contacts it applies to. False,
// after a message naming the contact and the side, when a side names a
// segment set or part the deck does not define.
bool completeContactIds(FEMDynamic* fem, const KeywordDeckState& state, std::vector<int>& friction);
