// Keyword family *BOUNDARY: prescribed motions of nodes, node sets and rigid
// parts, and single-point constraints of nodes and node sets, one boundary
// per card line. A single-point constraint prescribes zero velocity, so that
// a constrained node stops whatever velocity it had.
#include <string>

#include "input/keyword/keywordCardRules.h"
#include "input/keyword/keywordReader.h"
#include "solver/boundary.h"
#include "solver/femdynamic.h"
#include "solver/rigidmanager.h"

namespace {

bool blankField(const std::string& field) { return field.find_first_not_of(' ') == std::string::npos; }

// Degree of freedom of a prescribed-motion code: 1, 2, 3 translations,
// 5, 6, 7 rotations; -1 for any other code.
int dofOfCode(int code) {
  if (code >= 1 && code <= 3) return code - 1;
  if (code >= 5 && code <= 7) return code - 2;
  return -1;
}

// What a degree-of-freedom code that no degree of freedom answers asks for.
std::string dofCodeAsks(int code) {
  if (code == 4) return " (a motion along the vector VID)";
  if (code == 8) return " (a rotation about the vector VID)";
  if (code >= 9 && code <= 11) return " (a motion in a plane, or along a radius)";
  if (code < 0) return " (a motion in the rigid body's own axes)";
  return "";
}

// Boundary kind of a motion code: 0 velocity, 1 acceleration, 2 displacement.
int kindOfMotionCode(int vad) {
  switch (vad) {
    case 0:
      return BOUNDARY_VELOCITY;
    case 1:
      return BOUNDARY_ACCELERATION;
    case 2:
      return BOUNDARY_DISPLACEMENT;
    default:
      return BOUNDARY_NONE;
  }
}

}  // namespace

// One prescribed-motion card: target, DOF, VAD, curve, factor, then death
// and birth times (fields 7 and 8). A blank factor is 1.0; a rigid part's
// factor 0 is 1.0 as well. A blank or 0 death time means the motion never
// ends; a blank birth time is 0.
bool KeywordReader::readPrescribedMotionCard(const std::vector<std::string>& lines, int k, const std::string& card,
                                             BasicBoundary& boundary) {
  std::string fields[8];
  splitCardFields10(lines, fields, k, 8);
  int dofCode = 0;
  int vad = 0;
  int vectorId = 0;  // VID: the motion's vector, which only DOF 4, 8 and 9-11 (refused) use
  double factor = 0.0;
  readField(fields[0], boundary.id);
  readField(fields[1], dofCode);
  readField(fields[2], vad);
  readField(fields[3], boundary.curve_id);
  readField(fields[4], factor);
  if (blankField(fields[4]) || (boundary.is_rigid != 0 && factor == 0.0)) factor = 1.0;
  readField(fields[5], vectorId);
  readField(fields[6], boundary.death_time);
  readField(fields[7], boundary.birth_time);
  if (boundary.death_time == 0.0) boundary.death_time = kNeverEnds;
  boundary.type = kindOfMotionCode(vad);
  if (boundary.type == BOUNDARY_NONE) {
    refuse(card + " " + std::to_string(boundary.id) + ": motion code (VAD) " + std::to_string(vad) +
           " is not 0 (velocity), 1 (acceleration) or 2 (displacement)");
    return false;
  }
  const int dof = dofOfCode(dofCode);
  if (dof < 0) {
    refuse(lineWhere(card, lines[static_cast<size_t>(k)]) + ": DOF " + std::to_string(dofCode) + dofCodeAsks(dofCode) +
           " is not applied by this version (1, 2, 3: translations along x, y, z; 5, 6, 7: "
           "rotations about x, y, z)");
    return false;
  }
  boundary.dof_flag[dof] = 1;
  boundary.dof_value[dof] = factor;
  return true;
}

void KeywordReader::readBoundary(const std::string& block) {
  const std::string header = blockHeader(block);
  const std::string card = blockHeader(block);
  const std::vector<std::string> lines = splitDeckLines(block);
  auto has = [&header](const char* word) { return header.find(word) != std::string::npos; };

  // In the "_ID" forms an id card comes before every data card.
  if (has("PRESCRIBED_MOTION_SET") || has("PRESCRIBED_MOTION_NODE")) {
    for (const DataCard& data : dataCards(*this, header, lines, 1)) {
      auto* boundary = new NodeBoundary;
      boundary->card = cardAtLine(card, static_cast<size_t>(data.line));
      boundary->is_set = has("PRESCRIBED_MOTION_SET") ? 1 : 0;
      fem_->boundaryManager->addBoundary(boundary);
      if (!readPrescribedMotionCard(lines, data.line, card, *boundary)) return;
    }
  } else if (has("PRESCRIBED_MOTION_RIGID")) {
    for (const DataCard& data : dataCards(*this, header, lines, 1)) {
      auto* boundary = new RigidBoundary;
      boundary->card = cardAtLine(card, static_cast<size_t>(data.line));
      boundary->is_rigid = 1;
      fem_->boundaryManager->addBoundary(boundary);
      if (!readPrescribedMotionCard(lines, data.line, card, *boundary)) return;
      RigidConstrained motion;
      motion.part_id = boundary->id;
      motion.curve_id = boundary->curve_id;
      for (int j = 0; j < 6; ++j) motion.dof_flag[j] = boundary->dof_flag[j] != 0 ? 1.0 : 0.0;
      motion.boundary = boundary;
      fem_->rigidManager->rigid_constrained_array.push_back(motion);
    }
  } else if (has("BOUNDARY_SPC") && (has("SPC_NODE") || has("SPC_SET"))) {
    const bool isSet = !has("SPC_NODE");
    const bool birthDeath = isSet && has("BIRTH_DEATH");
    for (const DataCard& data : dataCards(*this, header, lines, 1, birthDeath ? 2 : 1)) {
      auto* boundary = new NodeBoundary;
      boundary->card = cardAtLine(card, static_cast<size_t>(data.line));
      boundary->is_set = isSet ? 1 : 0;
      boundary->type = BOUNDARY_VELOCITY;  // all values 0: the flagged components stand still
      fem_->boundaryManager->addBoundary(boundary);
      int cid = 0;
      readCard(lines, data.line, boundary->id, cid, boundary->dof_flag);
      if (cid != 0) unreadMechanics(header, "constraints in a local coordinate system (CID) are not computed");
      // Each DOF field holds 0 (free) or 1 (held): a 2 or a 7 would be read as held.
      static const char* const kDofNames[6] = {"DOFX", "DOFY", "DOFZ", "DOFRX", "DOFRY", "DOFRZ"};
      for (int j = 0; j < 6; ++j) {
        if (boundary->dof_flag[j] == 0 || boundary->dof_flag[j] == 1) continue;
        refuse(lineWhere(header, lines[static_cast<size_t>(data.line)]) + ", field " + std::to_string(3 + j) + ": " +
               kDofNames[j] + " " + std::to_string(boundary->dof_flag[j]) + " is not 0 (free) or 1 (held)");
        return;
      }
      if (birthDeath) {
        readCard(lines, data.line + 1, boundary->birth_time, boundary->death_time);
        if (boundary->death_time == 0.0) boundary->death_time = kNeverEnds;
      }
    }
  } else {
    ignoreBlock(block);
  }
}
