// ".inp" surface interactions with their friction, general contact
// (*CONTACT with its inclusions and property assignments) and ties.
#include "input/inp/inpReader.h"

namespace {

// The friction law's coefficient for surfaces that never slip.
constexpr double kRoughFriction = 100.0;

// Keywords of a surface interaction's own definition.
bool interactionSubKeyword(const std::string& name) {
  return name == "FRICTION" || name == "SURFACEBEHAVIOR" || name == "CONTACTDAMPING" || name == "GAPCONDUCTANCE" ||
         name == "GAPRADIATION" || name == "GAPHEATGENERATION";
}

// Keywords of a general contact's definition.
bool contactSubKeyword(const std::string& name) {
  return name == "CONTACTINCLUSIONS" || name == "CONTACTPROPERTYASSIGNMENT" || name == "CONTACTEXCLUSIONS" ||
         name == "CONTACTFORMULATION" || name == "CONTACTCONTROLSASSIGNMENT" ||
         name == "CONTACTINITIALIZATIONASSIGNMENT" || name == "SURFACEPROPERTYASSIGNMENT";
}

}  // namespace

// *FRICTION: one coefficient; with EXPONENTIAL DECAY the static and dynamic
// coefficients and the decay coefficient; ROUGH surfaces never slip.
// *SURFACE BEHAVIOR: the penalty contact of this system stands for a hard
// contact; a softened or non-separating one is told.
size_t InpReader::readSurfaceInteraction(const std::vector<InpBlock>& blocks, size_t i) {
  const InpBlock& head = blocks[i];
  refuseUnreadOptions(head, {"NAME"});
  InpModel::Interaction interaction;
  interaction.name = head.keyword.option("NAME");
  interaction.lineNumber = head.lineNumber;
  if (interaction.name.empty()) refuse(head.where() + ": the interaction name (NAME=) is missing");
  for (const InpModel::Interaction& other : model_.interactions) {
    if (other.name == interaction.name)
      refuse(head.where() + ": interaction " + interaction.name + " is defined twice");
  }
  for (; i + 1 < blocks.size() && interactionSubKeyword(blocks[i + 1].keyword.name); ++i) {
    const InpBlock& block = blocks[i + 1];
    const std::string& name = block.keyword.name;
    const std::string where = block.where() + " of interaction " + interaction.name;
    if (!hasDataLines(block)) continue;
    if (name == "FRICTION") {
      // SLIP TOLERANCE sets the elastic slip of implicit solvers' penalty friction.
      refuseUnreadOptions(block, {"ROUGH", "EXPONENTIALDECAY"}, {"SLIPTOLERANCE"});
      if (block.keyword.has("ROUGH")) {
        interaction.friction[0] = kRoughFriction;
        continue;
      }
      const bool decay = block.keyword.has("EXPONENTIALDECAY");
      const size_t wanted = decay ? 3 : 1;
      const std::vector<std::string> none;
      const std::vector<std::string>& line = block.lines.empty() ? none : block.lines[0];
      bool ok = block.lines.size() == 1 && line.size() >= wanted;
      for (size_t k = 0; ok && k < wanted; ++k) ok = inpNumber(line[k], interaction.friction[k]);
      for (size_t k = wanted; ok && k < line.size(); ++k) ok = line[k].empty();
      if (!ok || interaction.friction[0] < 0.0 || interaction.friction[1] < 0.0 || interaction.friction[2] < 0.0) {
        refuse(where + ": the data must be one line of " +
               (decay ? "static and dynamic coefficients and the decay coefficient"
                      : "one friction coefficient (no dependence on pressure, slip rate or temperature)") +
               ", none negative");
      }
    } else if (name == "SURFACEBEHAVIOR") {
      refuseUnreadOptions(block, {"PRESSURE-OVERCLOSURE"});
      const std::string law = block.keyword.choice("PRESSURE-OVERCLOSURE");
      if (!law.empty() && law != "HARD") {
        unreadMechanics(block, "PRESSURE-OVERCLOSURE=" + law + " asks for a softened contact; contact here is hard");
      }
    } else {
      unreadBlock(block);
    }
  }
  model_.interactions.push_back(interaction);
  return i;
}

// *CONTACT: general contact of the surfaces its inclusions name (ALL
// EXTERIOR: every part with every part and itself), with the interactions
// its property assignments give.
size_t InpReader::readContact(const std::vector<InpBlock>& blocks, size_t i) {
  const InpBlock& head = blocks[i];
  refuseUnreadOptions(head, {"OP"});
  // One step is run: a general contact made anew or changed in it is the same.
  if (const std::string op = head.keyword.choice("OP"); !op.empty() && op != "NEW" && op != "MOD") {
    refuse(head.where() + ": OP=" + op + " is not NEW or MOD");
  }
  bool included = false;
  for (; i + 1 < blocks.size() && contactSubKeyword(blocks[i + 1].keyword.name); ++i) {
    const InpBlock& block = blocks[i + 1];
    const std::string& name = block.keyword.name;
    if (!hasDataLines(block)) return i + 1;
    included = included || name == "CONTACTINCLUSIONS";
    if (name == "CONTACTINCLUSIONS") {
      refuseUnreadOptions(block, {"ALLEXTERIOR"});
      if (block.keyword.has("ALLEXTERIOR")) {
        model_.allExterior = true;
        continue;
      }
      for (const std::vector<std::string>& line : block.lines) {
        // One name: the surface's contact with itself.
        InpModel::ContactPair pair;
        pair.slave = inpUpper(line[0]);
        pair.master = line.size() > 1 ? inpUpper(line[1]) : std::string();
        pair.lineNumber = block.lineNumber;
        if (pair.slave.empty() || line.size() > 2) {
          refuse(block.where() + ": each line must give one surface (self-contact) or two surfaces");
          return i + 1;
        }
        if (pair.master == pair.slave) pair.master.clear();
        model_.inclusions.push_back(pair);
      }
    } else if (name == "CONTACTPROPERTYASSIGNMENT") {
      refuseUnreadOptions(block, {});
      for (const std::vector<std::string>& line : block.lines) {
        if (line.size() < 3 || line[2].empty()) {
          refuse(block.where() + ": the line \"" + line[0] +
                 ", ...\" must give two surface names (both may be empty) and an interaction name");
          return i + 1;
        }
        if (!onlyFields(block, line, 3, "two surfaces, interaction")) return i + 1;
        model_.assignments.push_back(
            InpModel::Assignment{inpUpper(line[0]), inpUpper(line[1]), inpUpper(line[2]), block.lineNumber});
      }
    } else if (name == "CONTACTEXCLUSIONS") {
      refuse(block.where() + " is not read by this version; the excluded surfaces would come into contact");
    } else {
      unreadBlock(block);
    }
  }
  // Without its inclusions a general contact would touch nothing.
  if (!included) refuse(head.where() + " has no *CONTACT INCLUSIONS block: it names no surfaces");
  return i;
}

// *TIE: each data line ties a slave surface to a master surface; nodes of
// the slave farther than the position tolerance from the master stay free.
// With ADJUST=YES (the default) the slave nodes within reach are moved onto
// the master surface before the run; rotations are never tied (NO ROTATION).
void InpReader::readTie(const InpBlock& block) {
  refuseUnreadOptions(block, {"NAME", "POSITIONTOLERANCE", "ADJUST", "TYPE", "NOROTATION"});
  InpModel::Tie tie;
  tie.lineNumber = block.lineNumber;
  tie.noRotation = block.keyword.has("NOROTATION");
  const std::string adjust = block.keyword.choice("ADJUST");
  if (adjust != "" && adjust != "YES" && adjust != "NO") {
    refuse(block.where() + ": ADJUST=" + adjust + " is not YES or NO");
    return;
  }
  tie.adjust = adjust != "NO";
  const std::string tolerance = block.keyword.option("POSITIONTOLERANCE");
  if (!tolerance.empty() && (!inpNumber(tolerance, tie.tolerance) || tie.tolerance < 0.0)) {
    refuse(block.where() + ": POSITION TOLERANCE=" + tolerance + " is not a distance >= 0");
    return;
  }
  const std::string type = block.keyword.choice("TYPE");
  if (!type.empty() && type != "SURFACETOSURFACE" && type != "NODETOSURFACE") {
    refuse(block.where() + ": TYPE=" + type + " is not SURFACE TO SURFACE or NODE TO SURFACE");
    return;
  }
  if (block.lines.empty()) refuse(block.where() + ": the tie names no surfaces");
  for (const std::vector<std::string>& line : block.lines) {
    if (line.size() != 2 || line[0].empty() || line[1].empty()) {
      refuse(block.where() + ": the line \"" + line[0] + "\" must give a slave and a master surface");
      return;
    }
    tie.slave = inpUpper(line[0]);
    tie.master = inpUpper(line[1]);
    model_.ties.push_back(tie);
  }
}
