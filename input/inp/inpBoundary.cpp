// ".inp" boundary conditions, initial velocities and the dynamic step's
// time period.
#include <cctype>

#include "input/inp/inpReader.h"

namespace {

// A target field: a node number, or else the name of a node set.
void readTarget(const std::string& field, std::string& target, bool& isSet) {
  int number = 0;
  isSet = !inpInteger(field, number);
  target = field;
  if (isSet) {
    target = inpUpper(target);
  } else {
    target = std::to_string(number);
  }
}

}  // namespace

bool namedBoundaryType(const std::string& name, std::array<int, 6>& flags) {
  struct Named {
    const char* name;
    std::array<int, 6> flags;
  };
  static const Named kNamed[] = {
      {"ENCASTRE", {1, 1, 1, 1, 1, 1}}, {"PINNED", {1, 1, 1, 0, 0, 0}}, {"XSYMM", {1, 0, 0, 0, 1, 1}},
      {"YSYMM", {0, 1, 0, 1, 0, 1}},    {"ZSYMM", {0, 0, 1, 1, 1, 0}},  {"XASYMM", {0, 1, 1, 1, 0, 0}},
      {"YASYMM", {1, 0, 1, 0, 1, 0}},   {"ZASYMM", {1, 1, 0, 0, 0, 1}},
  };
  for (const Named& named : kNamed) {
    if (name == named.name) {
      flags = named.flags;
      return true;
    }
  }
  return false;
}

void InpReader::readBoundary(const InpBlock& block) {
  refuseUnreadOptions(block, {"AMPLITUDE", "TYPE", "OP"});
  // OP=NEW takes away the boundaries given before it; with none before it,
  // it is OP=MOD.
  const std::string op = block.keyword.choice("OP");
  if (!op.empty() && op != "MOD" && (op != "NEW" || !model_.boundaries.empty())) {
    unreadMechanics(block, "OP=" + op + " would take away the boundaries given before it");
    return;
  }
  const std::string type = block.keyword.choice("TYPE");
  int kind = 1;
  if (type == "VELOCITY") {
    kind = 2;
  } else if (type == "ACCELERATION") {
    kind = 3;
  } else if (!type.empty() && type != "DISPLACEMENT") {
    refuse(block.where() + ": TYPE=" + type + " is not DISPLACEMENT, VELOCITY or ACCELERATION");
    return;
  }
  for (const std::vector<std::string>& line : block.lines) {
    InpModel::Boundary boundary;
    boundary.kind = kind;
    boundary.amplitude = block.keyword.option("AMPLITUDE");
    boundary.lineNumber = block.lineNumber;
    readTarget(line[0], boundary.target, boundary.isSet);
    const std::string where = block.where() + " " + line[0];
    if (line.size() < 2 || line[1].empty()) {
      refuse(where + ": the line names no degree of freedom");
      return;
    }
    const std::string second = inpUpper(line[1]);
    if (namedBoundaryType(second, boundary.flags)) {
      if (!onlyFields(block, line, 2, "node or set, boundary type")) return;
      model_.boundaries.push_back(boundary);
      continue;
    }
    int first = 0, last = 0;
    const bool ok = inpInteger(line[1], first) && (line.size() < 3 || line[2].empty() || inpInteger(line[2], last)) &&
                    (line.size() < 4 || line[3].empty() || inpNumber(line[3], boundary.value));
    if (last == 0) last = first;
    if (!ok || first < 1 || first > 6 || last < first || last > 6) {
      refuse(where + ": the degrees of freedom must be numbers from 1 to 6 (first, last), followed by a value");
      return;
    }
    if (!onlyFields(block, line, 4, "node or set, first and last degree of freedom, value")) return;
    for (int d = first; d <= last; ++d) boundary.flags[static_cast<size_t>(d - 1)] = 1;
    model_.boundaries.push_back(boundary);
  }
}

void InpReader::readInitialConditions(const InpBlock& block) {
  refuseUnreadOptions(block, {"TYPE"});
  const std::string type = block.keyword.choice("TYPE");
  if (type != "VELOCITY") {
    refuse(block.where() + ": TYPE=" + type + " is not read by this version (VELOCITY only)");
    return;
  }
  for (const std::vector<std::string>& line : block.lines) {
    std::string target;
    bool isSet = false;
    readTarget(line[0], target, isSet);
    int dof = 0;
    double value = 0.0;
    if (line.size() < 3 || !inpInteger(line[1], dof) || dof < 1 || dof > 6 || !inpNumber(line[2], value)) {
      refuse(block.where() + " " + line[0] + ": the line must give a degree of freedom from 1 to 6 and a value");
      return;
    }
    if (!onlyFields(block, line, 3, "node or set, degree of freedom, velocity")) return;
    // Lines naming the same target make one record; of two lines giving
    // one degree of freedom the later holds.
    InpModel::Velocity* record = nullptr;
    for (InpModel::Velocity& velocity : model_.velocities) {
      if (velocity.target == target && velocity.isSet == isSet) record = &velocity;
    }
    if (record == nullptr) {
      model_.velocities.push_back(InpModel::Velocity());
      record = &model_.velocities.back();
      record->target = target;
      record->isSet = isSet;
      record->lineNumber = block.lines.numberOf(line);
    }
    record->values[dof - 1] = value;
    record->given[dof - 1] = true;
  }
}

// Data: [time increment,] time period; an explicit step writes the period
// second, after an empty or given increment.
void InpReader::readDynamic(const InpBlock& block) {
  // The stable step is found element by element; a fixed increment
  // (DIRECT) is not taken.
  refuseUnreadOptions(block, {"EXPLICIT", "ELEMENTBYELEMENT"});
  if (!block.keyword.has("EXPLICIT")) {
    unreadMechanics(block, "an implicit dynamic step; this version runs explicit steps (*DYNAMIC, EXPLICIT)");
  }
  const std::vector<std::string> none;
  const std::vector<std::string>& line = block.lines.empty() ? none : block.lines[0];
  const std::string period = line.size() > 1 ? line[1] : (line.empty() ? std::string() : line[0]);
  double time = 0.0;
  if (!inpNumber(period, time) || time <= 0.0) {
    refuse(block.where() + ": the data line must give the time period of the step (> 0)");
    return;
  }
  // Field 4, a largest time increment, would bound the stable step.
  if (!onlyFields(block, line, 2, "time increment, time period")) return;
  model_.endTime = time;
  model_.hasEndTime = true;
}
