// Keyword family *CONSTRAINED: spot welds and joints.  Each weld, and each
// spherical or revolute joint, gets a node set of its own that the set-up
// binds; every appended constraint is a copy of the reader's working record.
#include <sstream>

#include "core/set.h"
#include "core/setManager.h"
#include "input/keyword/keywordReader.h"
#include "solver/constrained.h"
#include "solver/femdynamic.h"

int KeywordReader::appendGeneratedNodeSet(const std::vector<int>& nodeIds, const std::string& card) {
  Set set;
  set.type = SET_NODE;
  set.id = -(++generatedSetCount_);
  set.title = card;
  for (int id : nodeIds) {
    if (id != 0) set.id_array.push_back(id);
  }
  ++state_.nodeSetNumber;
  state_.nodeSetNumberMap.emplace(set.id, state_.nodeSetNumber);
  fem_->setManager->addSet(set);
  return set.id;
}

// One weld per card line; with "_ID" each card follows a line whose first
// field is the weld id.  Reading stops at the first empty line.
void KeywordReader::readSpotWelds(const std::string& block) {
  const std::string header = blockHeader(block);
  const bool withId = header.find("_ID") != std::string::npos;
  const std::vector<std::string> lines = splitDeckLines(block);
  const size_t end = cardLineEnd(lines);
  Constrained& c = constrainedRecord_;
  for (size_t k = 1; k < end; ++k) {
    if (lines[k].find_first_not_of(' ') == std::string::npos) continue;  // no weld
    if (withId) {
      readCard(lines, static_cast<int>(k), c.weld_id);
      if (++k >= end) break;
    }
    c.weld_nodes[0] = c.weld_nodes[1] = 0;
    readCard(lines, static_cast<int>(k), c.weld_nodes, c.weld_values, c.weld_value8);
    // SN, SS: failure forces; TF: failure time; EP: failure strain.
    // Blank: the weld never fails, which is what this version computes.
    const double tf = c.weld_values[4], ep = c.weld_value8;
    if (c.weld_values[0] != 0.0 || c.weld_values[1] != 0.0 || (tf != 0.0 && tf < 1.0e20) ||
        (ep != 0.0 && ep < 1.0e20)) {
      unreadMechanics(header, "spot welds do not fail in this version (SN, SS, TF, EP)");
    }
    const std::string card = cardAtLine(header, k);
    c.node_set_id = appendGeneratedNodeSet({c.weld_nodes[0], c.weld_nodes[1]}, card);
    c.constrained_type = 0;
    fem_->constrainedManager->constrained_array.push_back(c);
    state_.constrainedCards.resize(fem_->constrainedManager->constrained_array.size() - 1);
    state_.constrainedCards.push_back(card);
  }
}

namespace {

// Joint kind by header, tested in this order; 0 for none.
int jointType(const std::string& header) {
  if (header.find("JOINT_SPHERICAL") != std::string::npos) return 4;
  if (header.find("JOINT_REVOLUTE") != std::string::npos) return 5;
  if (header.find("JOINT_CYLINDRICAL") != std::string::npos) return 6;
  if (header.find("JOINT_UNIVERSAL") != std::string::npos) return 7;
  return 0;
}

// Relative penalty stiffness and field 8 of a spherical or revolute joint.
void checkJointValues(Constrained& c) {
  if (c.penalty_scale == 0.0) c.penalty_scale = 1.0;
  if (c.penalty_scale < 0.0) {
    printf("Not support relative penalty stiffness given by load curve\n");
    c.penalty_scale = 1.0;
  }
  if (c.joint_value8 == 0.0) {
    c.joint_value8 = 1.0;
  } else if (c.joint_value8 > 0.0 && c.joint_value8 <= 0.01) {
    c.joint_value8 = 0.0;
  }
}

}  // namespace

// With "_ID" every joint card follows a line holding the joint id and a
// title word; without it every line is a joint card.  A "FAILURE" block
// holds one joint: the joint card, then the failure cards 3 and 4.
void KeywordReader::readJoints(const std::string& block) {
  const std::string header = blockHeader(block);
  const int type = jointType(header);
  if (type == 0) {
    ignoreBlock(block);
    return;
  }
  const bool withId = header.find("_ID") != std::string::npos;
  const bool failure = header.find("FAILURE") != std::string::npos;
  // Kept, but nothing of this version acts on them.
  if (type == 6 || type == 7) unreadMechanics(header, "cylindrical and universal joints do not act in this version");
  if (failure) unreadMechanics(header, "joints do not fail in this version");
  const std::vector<std::string> lines = splitDeckLines(block);
  const size_t end = cardLineEnd(lines);
  Constrained& c = constrainedRecord_;
  for (size_t k = 1; k < end; ++k) {
    if (lines[k].find_first_not_of(' ') == std::string::npos) continue;  // no joint
    if (withId) {
      std::string title;
      readIdLine(lines[k], c.joint_id, &title);
      if (!title.empty()) c.joint_title = title;
      if (++k >= end) break;
    }
    for (int32_t& n : c.joint_nodes) n = 0;
    readCard(lines, static_cast<int>(k), c.joint_nodes, c.penalty_scale, c.joint_value8);
    if (failure) {
      readCard(lines, static_cast<int>(k) + 1, c.failure_flag, c.failure_values);
      readCard(lines, static_cast<int>(k) + 2, c.failure_limits);
    } else if (type == 4 || type == 5) {
      checkJointValues(c);
    }
    const bool bound = type == 4 || type == 5;
    const std::string card = cardAtLine(header, k);
    if (bound) c.node_set_id = appendGeneratedNodeSet(std::vector<int>(c.joint_nodes, c.joint_nodes + 6), card);
    c.constrained_type = type;
    fem_->constrainedManager->constrained_array.push_back(c);
    if (failure) break;
  }
}
