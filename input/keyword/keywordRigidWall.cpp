// Keyword family *RIGIDWALL: planar walls (unbounded or finite, optionally
// moving) and flat geometric walls with a prescribed motion. Each block
// becomes one wall; other wall shapes are refused.
#include <cmath>
#include <string>

#include "input/keyword/keywordReader.h"
#include "solver/femdynamic.h"
#include "solver/rigidwall.h"

namespace {

// What a wall card asks for that the walls of this version do not compute:
// nodes exempted by a set or kept by a box, an offset, birth and death
// times, friction, a wall speed of its own, or a wall moved by its mass and
// initial velocity. Empty when it asks for none (blank fields: no exemption,
// no offset, born at 0, never dying, frictionless).
std::string uncomputedWallFields(const RigidWall& wall, bool moving) {
  std::string asked;
  auto ask = [&asked](bool given, const char* what) {
    if (given) asked += (asked.empty() ? "" : ", ") + std::string(what);
  };
  ask(wall.wall_ints[0] != 0, "NSIDEX");
  ask(wall.wall_ints[1] != 0, "BOXID");
  ask(wall.wall_values[0] != 0.0, "OFFSET");
  ask(wall.wall_values[1] != 0.0, "BIRTH");
  ask(wall.wall_values[2] != 0.0 && wall.wall_values[2] < 1.0e20, "DEATH");
  ask(wall.wall_value7 != 0.0, "FRIC");
  ask(wall.wall_value8 != 0.0, "WVEL");
  ask(moving, "a wall moved by its mass and initial velocity (MOVING)");
  return asked.empty() ? asked : asked + " are not computed for rigid walls";
}

}  // namespace

// The motion card of a flat geometric wall: its curve LCID, OPT 0 (the
// curve gives the speed) or 1 (the displacement), and the direction VX, VY,
// VZ of the motion, made a unit vector. A card without a curve or a
// direction, or with another OPT, refuses the deck: the wall would not
// move as the card asks.
bool KeywordReader::readWallMotion(const std::string& header, const std::vector<std::string>& lines, int k,
                                   RigidWall& wall) {
  readCard(lines, k, wall.motion_curve_id, wall.motion_kind, wall.motion_direction);
  const std::string where =
      k < static_cast<int>(lines.size()) ? lineWhere(header, lines[static_cast<size_t>(k)]) : "\"" + header + "\"";
  const double* v = wall.motion_direction;
  const double length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
  if (wall.motion_kind != 0 && wall.motion_kind != 1) {
    refuse(where + ", field 2: OPT " + std::to_string(wall.motion_kind) +
           " is not 0 (the curve gives the speed) or 1 (the curve gives the displacement)");
  } else if (wall.motion_curve_id == 0) {
    refuse(where + ", field 1: the motion card gives no curve (LCID); the wall would not move");
  } else if (!(length > 0.0) || !std::isfinite(length)) {
    refuse(where + ": the motion card gives no direction (VX, VY, VZ); the wall would not move");
  } else {
    for (int j = 0; j < 3; ++j) wall.motion_direction[j] /= length;
    wall.motion_mode = wall.motion_kind;
    return true;
  }
  return false;
}

void KeywordReader::readRigidWall(const std::string& block) {
  const std::string header = blockHeader(block);
  const std::vector<std::string> lines = splitDeckLines(block);
  auto has = [&header](const char* word) { return header.find(word) != std::string::npos; };
  RigidWall wall;
  const int b = has("_ID") ? firstCardLine(header, lines, &wall.wall_title, &wall.wall_id) : 1;

  if (has("PLANAR")) {
    readCard(lines, b, wall.slave_set_id, wall.wall_ints, wall.wall_values);
    readCard(lines, b + 1, wall.tail_point, wall.head_point, wall.wall_value7, wall.wall_value8);
    wall.motion_mode = 1;
    int next = b + 2;
    if (has("FINITE")) readCard(lines, next++, wall.edge_point, wall.edge_lengths);
    if (has("MOVING")) {
      readCard(lines, next, wall.moving_values);
      wall.motion_mode = 0;
    }
  } else if (has("GEOMETRIC") && has("_FLAT")) {
    readCard(lines, b, wall.slave_set_id, wall.wall_ints, cardSpan(wall.wall_values + 1, 2));
    readCard(lines, b + 1, wall.tail_point, wall.head_point, wall.wall_value7);
    readCard(lines, b + 2, wall.edge_point, wall.edge_lengths);
    wall.motion_mode = 1;
    if (has("_MOTION") && !readWallMotion(header, lines, b + 3, wall)) return;
  } else {
    unreadMechanics(header, "only planar and flat geometric rigid walls are computed");
    return;
  }
  const std::string uncomputed = uncomputedWallFields(wall, has("PLANAR") && has("MOVING"));
  if (!uncomputed.empty()) unreadMechanics(header, uncomputed);
  wall.tangent_mode = 0;
  fem_->rigid_wall_array->push_back(wall);
  state_.wallCards.resize(fem_->rigid_wall_array->size() - 1);
  state_.wallCards.push_back(cardAtLine(header, static_cast<size_t>(b)));
}
