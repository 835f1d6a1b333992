// Keyword family *CONSTRAINED, the cards that make rigid bodies: nodal rigid
// bodies (a node set that moves as one rigid body), extra nodes attached to
// rigid parts, and rigid parts merged into a master rigid part.
#include <string>

#include "input/keyword/keywordCardRules.h"
#include "input/keyword/keywordReader.h"
#include "solver/femdynamic.h"
#include "solver/rigidmanager.h"

void KeywordReader::readConstrainedRigid(const std::string& block) {
  const std::string header = blockHeader(block);
  const std::vector<std::string> lines = splitDeckLines(block);
  const int end = static_cast<int>(cardLineEnd(lines));
  RigidManager* rigid = fem_->rigidManager;
  auto has = [&header](const char* word) { return header.find(word) != std::string::npos; };

  // IFLAG of merged bodies and extra nodes updates inertias given by
  // *PART_INERTIA, which this version refuses: it changes nothing here.
  int inertiaFlag = 0;
  for (int k = 1; k < end; ++k) {
    if (has("CONSTRAINED_NODAL_RIGID_BODY")) {
      // Field 1 the body id, field 3 its node set (the body id when blank);
      // CID only orients the releases, IPRT asks for output.
      int values[7] = {0, 0, 0, 0, 0, 0, 0};
      readCard(lines, k, values);
      refuseUncomputedFields(*this, header, lines, k,
                             {{4, "PNODE", "a node moved to the body's mass centre"},
                              {6, "DRFLAG", "translations released from the body"},
                              {7, "RRFLAG", "rotations released from the body"}});
      rigid->nodal_rigid_ids.push_back(values[0]);
      rigid->nodal_rigid_set_ids.push_back(values[2] != 0 ? values[2] : values[0]);
      rigid->nodal_rigid_cards.push_back(cardAtLine(header, static_cast<size_t>(k)));
    } else if (has("CONSTRAINED_RIGID_BODIES")) {
      int master = 0, slave = 0;
      readCard(lines, k, master, slave, inertiaFlag);
      rigid->master_rigid_ids.push_back(master);
      rigid->slave_rigid_ids.push_back(slave);
      state_.rigidMergeCards.push_back(cardAtLine(header, static_cast<size_t>(k)));
    } else if (has("CONSTRAINED_EXTRA_NODES_NODE") || has("CONSTRAINED_EXTRA_NODES_SET")) {
      const bool isSet = has("CONSTRAINED_EXTRA_NODES_SET");
      int part = 0, target = 0;
      readCard(lines, k, part, target, inertiaFlag);
      rigid->extra_rigid_ids.push_back(part);
      rigid->extra_node_ids.push_back(isSet ? 0 : target);
      rigid->extra_set_ids.push_back(isSet ? target : 0);
      rigid->extra_is_set.push_back(isSet);
      rigid->extra_cards.push_back(cardAtLine(header, static_cast<size_t>(k)));
    }
  }
}
