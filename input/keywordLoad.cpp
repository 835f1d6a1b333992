// Keyword family *LOAD: concentrated loads on nodes and node sets, gravity on
// the whole model and pressure on shell element sets, one load per card line.
#include <sstream>
#include <string>

#include "input/keywordReader.h"
#include "solver/femdynamic.h"
#include "solver/load.h"
#include "solver/surfaceLoad.h"

namespace {

// Direction of a node-load code 1, 2 or 3; false for any other code.
bool setNodeLoadDirection(int dofCode, BasicLoad& load) {
  if (dofCode < 1 || dofCode > 3) return false;
  load.direction[dofCode - 1] = 1.0;
  return true;
}

// True when a node-load card holds anything after its third field. The card
// reads node, direction and factor only; a deck that goes on with more
// numbers (a curve id before the factor, as many writers put it) would
// otherwise load with the wrong size without a word.
bool nodeLoadCardGoesOn(const std::string& line) {
  const std::vector<std::string> fields = splitFixedFields(line, {10}, 8);
  for (std::size_t i = 3; i < fields.size(); ++i) {
    if (fields[i].find_first_not_of(" \t\r") != std::string::npos) return true;
  }
  return false;
}

}  // namespace

// Node-load card: direction code and factor (0 read as 1.0).
void KeywordReader::finishNodeLoad(NodeLoad* load, int dofCode, const std::string& card) {
  load->card = card;
  load->load_type = LOAD_CONCENTRATED;
  load->load_kind = 0;
  if (load->scale_factor == 0.0) load->scale_factor = 1.0;
  if (!setNodeLoadDirection(dofCode, *load)) {
    warn(card + " " + std::to_string(load->id) + ": direction code " + std::to_string(dofCode) +
         " is not 1, 2 or 3; the load acts on no direction");
  }
  fem_->loadManager->addLoad(load);
}

void KeywordReader::readLoad(const std::string& block) {
  const std::string header = blockHeader(block);
  const std::string card = blockHeader(block);
  const std::vector<std::string> lines = splitDeckLines(block);
  const int end = static_cast<int>(cardLineEnd(lines));
  auto has = [&header](const char* word) { return header.find(word) != std::string::npos; };

  if (has("LOAD_NODE_POINT")) {
    for (int k = 1; k < end; ++k) {
      auto* load = new NodeLoad;
      int dofCode = 0;
      readCard(lines, k, load->id, dofCode, load->scale_factor);
      if (nodeLoadCardGoesOn(lines[static_cast<std::size_t>(k)])) {
        warn(card + " " + std::to_string(load->id) + ": the card reads node, direction and factor (" +
             std::to_string(load->scale_factor) + ") only; the fields after the third are not read");
      }
      finishNodeLoad(load, dofCode, card);
    }
  } else if (has("LOAD_NODE_SET")) {
    // Free format: node-set id, direction code, factor, curve id.
    for (int k = 1; k < end; ++k) {
      auto* load = new NodeLoad;
      load->is_set = 1;
      int dofCode = 0;
      std::istringstream stream(lines[static_cast<std::size_t>(k)]);
      stream >> load->id >> dofCode >> load->scale_factor >> load->curve_id;
      finishNodeLoad(load, dofCode, card);
    }
  } else if (has("LOAD_BODY")) {
    auto* load = new GlobalLoad;
    load->card = card;
    load->load_type = LOAD_GRAVITY;
    load->load_kind = 3;
    const int axis = has("_X") ? 0 : has("_Y") ? 1 : has("_Z") ? 2 : -1;
    if (axis < 0) {
      warn("Not support define body force in any direction or for a part subset!");
    } else {
      // The card gives the acceleration of the base; the body force acts against it.
      load->direction[axis] = -1.0;
    }
    readCard(lines, 1, load->curve_id, load->scale_factor, load->dr_curve_id, load->center, load->coord_id);
    if (load->scale_factor == 0.0) load->scale_factor = 1.0;  // SF blank: 1.0
    fem_->loadManager->addLoad(load);
  } else if (has("LOAD_SHELL_SET")) {
    readSetPressure<ElementLoad>(block, 2);
  } else if (has("LOAD_SEGMENT_SET")) {
    readSetPressure<SurfaceLoad>(block, 1);
  } else {
    ignoreBlock(block);
  }
}

// Pressure cards on a shell set (kind 2) or a segment set (kind 1): set id,
// curve id, factor, arrival time; an "_ID" line gives every card its id and
// title. A blank or 0 factor is the full pressure.
template <class Load>
void KeywordReader::readSetPressure(const std::string& block, int loadKind) {
  const std::string header = blockHeader(block);
  const std::vector<std::string> lines = splitDeckLines(block);
  const int end = static_cast<int>(cardLineEnd(lines));
  int loadId = 0;
  std::string title;
  const int first = header.find("_ID") != std::string::npos ? firstCardLine(header, lines, &title, &loadId) : 1;
  for (int k = first; k < end; ++k) {
    auto* load = new Load;
    load->card = header;
    load->load_type = LOAD_PRESSURE;
    load->load_kind = loadKind;
    load->is_set = 1;
    load->load_id = loadId;
    load->title = title;
    readCard(lines, k, load->set_ref_id, load->curve_ref_id, load->scale_factor, load->arrival_time);
    load->id = load->set_ref_id;
    load->curve_id = load->curve_ref_id;
    if (load->scale_factor == 0.0) load->scale_factor = 1.0;
    load->ref_factor = load->scale_factor;
    fem_->loadManager->addLoad(load);
  }
}
