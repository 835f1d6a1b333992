// Keyword family *LOAD: concentrated forces and moments on nodes and node
// sets, gravity on the whole model and pressure on shell element sets and
// segment sets, one load per card line.
//
// Node-load cards (*LOAD_NODE_POINT, *LOAD_NODE_SET) are NID/NSID, DOF,
// LCID, SF, CID, M1, M2, M3: the load is SF x curve LCID (blank or 0 SF is
// 1.0; no curve is a constant SF). DOF 1, 2, 3 are forces along x, y, z and
// 5, 6, 7 moments about x, y, z. Follower loads (DOF 4 and 8), a local
// coordinate system (CID) and follower nodes (M1-M3) are refused.
#include <string>
#include <vector>

#include "input/keyword/keywordCardRules.h"
#include "input/keyword/keywordReader.h"
#include "solver/femdynamic.h"
#include "solver/load.h"
#include "solver/surfaceLoad.h"

namespace {

// Component of a node-load DOF code: 0, 1, 2 forces, 3, 4, 5 moments; -1
// for any other code.
int nodeLoadComponent(int dofCode) {
  if (dofCode >= 1 && dofCode <= 3) return dofCode - 1;
  if (dofCode >= 5 && dofCode <= 7) return dofCode - 2;
  return -1;
}

}  // namespace

// One node-load card line into a load; false, after refusing the deck, for
// a code or field this version cannot apply.
bool KeywordReader::readNodeLoadCard(const std::string& line, const std::string& card, NodeLoad& load) {
  const std::vector<std::string> f = dataFields(line, {10}, 8, 3);
  int dofCode = 0, coordinateId = 0;
  int followers[3] = {0, 0, 0};
  readFields(f, load.id, dofCode, load.curve_id, load.scale_factor, coordinateId, followers);
  load.card = card;
  load.load_type = LOAD_CONCENTRATED;
  load.load_kind = 0;
  if (load.scale_factor == 0.0) load.scale_factor = 1.0;
  const std::string where = card + " " + std::to_string(load.id);
  const int component = nodeLoadComponent(dofCode);
  if (component < 0) {
    const char* what = dofCode == 4 ? " (a follower force)" : dofCode == 8 ? " (a follower moment)" : "";
    refuse(where + ": DOF " + std::to_string(dofCode) + what +
           " is not applied by this version (1, 2, 3: force along x, y, z; 5, 6, 7: moment about x, y, z)");
    return false;
  }
  if (coordinateId != 0 || followers[0] != 0 || followers[1] != 0 || followers[2] != 0) {
    refuse(where +
           ": a load in a local coordinate system (CID) or following nodes (M1-M3) is not applied by "
           "this version");
    return false;
  }
  load.direction[component] = 1.0;
  return true;
}

void KeywordReader::readLoad(const std::string& block) {
  const std::string header = blockHeader(block);
  const std::string card = blockHeader(block);
  const std::vector<std::string> lines = splitDeckLines(block);
  auto has = [&header](const char* word) { return header.find(word) != std::string::npos; };

  if (has("LOAD_NODE_POINT") || has("LOAD_NODE_SET")) {
    for (const DataCard& data : dataCards(*this, header, lines, 1)) {
      auto* load = new NodeLoad;
      load->is_set = has("LOAD_NODE_SET") ? 1 : 0;
      load->load_id = data.id;
      load->title = data.heading;
      fem_->loadManager->addLoad(load);
      if (!readNodeLoadCard(lines[static_cast<std::size_t>(data.line)], card, *load)) return;
      load->card = cardAtLine(card, static_cast<size_t>(data.line));
    }
  } else if (keywordIs(header, "*LOAD_BODY")) {
    readBodyLoad(header, lines);
  } else if (has("LOAD_SHELL_SET")) {
    readSetPressure<ElementLoad>(block, 2);
  } else if (has("LOAD_SEGMENT_SET")) {
    readSetPressure<SurfaceLoad>(block, 1);
  } else {
    ignoreBlock(block);
  }
}

// Gravity along x, y or z: LCID, SF, LCIDDR, XC, YC, ZC, CID. The centre
// (XC, YC, ZC) belongs to the angular forms; a curve for dynamic relaxation
// and a local coordinate system are refused. Other body loads (angular
// velocities, a vector, a subset of parts) are refused.
void KeywordReader::readBodyLoad(const std::string& header, const std::vector<std::string>& lines) {
  const int axis = header == "*LOAD_BODY_X" ? 0 : header == "*LOAD_BODY_Y" ? 1 : header == "*LOAD_BODY_Z" ? 2 : -1;
  if (axis < 0) {
    refuseForm(header,
               "asks for a body load this version does not compute (only *LOAD_BODY_X, _Y and _Z, "
               "accelerations of the base along the global axes, are computed)");
    return;
  }
  auto* load = new GlobalLoad;
  load->card = cardAtLine(header, 1);
  load->load_type = LOAD_GRAVITY;
  load->load_kind = 3;
  // The card gives the acceleration of the base; the body force acts against it.
  load->direction[axis] = -1.0;
  readCard(lines, 1, load->curve_id, load->scale_factor, load->dr_curve_id, load->center, load->coord_id);
  if (load->scale_factor == 0.0) load->scale_factor = 1.0;  // SF blank: 1.0
  refuseUncomputedFields(*this, header, lines, 1,
                         {{3, "LCIDDR", "the load during a dynamic relaxation"},
                          {7, "CID", "a load in a local coordinate system"}});
  fem_->loadManager->addLoad(load);
}

// Pressure cards on a shell set (kind 2) or a segment set (kind 1): set id,
// curve id, factor, arrival time (and, on a segment set, death time); an
// "_ID" form puts an id card before every card. A blank or 0 factor is the
// full pressure. A pressure that starts later (AT) or ends (DT) is refused.
template <class Load>
void KeywordReader::readSetPressure(const std::string& block, int loadKind) {
  const std::string header = blockHeader(block);
  const std::vector<std::string> lines = splitDeckLines(block);
  for (const DataCard& data : dataCards(*this, header, lines, 1)) {
    auto* load = new Load;
    load->card = cardAtLine(header, static_cast<size_t>(data.line));
    load->load_type = LOAD_PRESSURE;
    load->load_kind = loadKind;
    load->is_set = 1;
    load->load_id = data.id;
    load->title = data.heading;
    readCard(lines, data.line, load->set_ref_id, load->curve_ref_id, load->scale_factor, load->arrival_time);
    load->id = load->set_ref_id;
    load->curve_id = load->curve_ref_id;
    if (load->scale_factor == 0.0) load->scale_factor = 1.0;
    load->ref_factor = load->scale_factor;
    refuseUncomputedFields(*this, header, lines, data.line,
                           {{4, "AT", "a pressure that arrives later"},
                            {5, "DT", "a pressure that ends", standsAtNever}});
    fem_->loadManager->addLoad(load);
  }
}
