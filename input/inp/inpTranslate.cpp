// Writes a read ".inp" model as keyword-deck blocks for the keyword card
// families: comma-separated cards, numbers with 17 significant digits, so
// that nothing is lost on the way.
#include <algorithm>
#include <array>
#include <cstdio>
#include <iostream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "core/sectionmanager.h"
#include "elements/common/elementType.h"
#include "input/inp/inpCard.h"
#include "input/inp/inpReader.h"
#include "solver/femdynamic.h"

namespace {

using Card = InpCard;

// Curve ids: amplitudes first (in deck order), then plastic tables, then
// the ramp of displacements without an amplitude.
struct CurveIds {
  std::map<std::string, int> amplitude;
  std::map<std::string, int> plastic;  // by material name
  int ramp = 0;
  int count = 0;
};

std::string curveBlock(int id, const std::vector<std::pair<double, double>>& points) {
  std::string block = "*DEFINE_CURVE\n" + (Card() << id << 0 << 1.0 << 1.0 << 0.0 << 0.0).text();
  for (const auto& [x, y] : points) block += (Card() << x << y).text();
  return block;
}

// Hardening curve of a plastic table: (plastic strain, stress), flat from
// the last point on to a strain of 1 when the table stops below it.
std::vector<std::pair<double, double>> hardeningPoints(const InpModel::Material& material) {
  std::vector<std::pair<double, double>> points = material.plastic;
  if (points.size() == 1 || (points.back().first < 1.0 && points.size() < 128)) {
    points.emplace_back(points.back().first < 1.0 ? 1.0 : points.back().first + 1.0, points.back().second);
  }
  return points;
}

void addMaterials(const InpModel& model, const CurveIds& curves, std::vector<std::string>& blocks) {
  for (size_t m = 0; m < model.materials.size(); ++m) {
    const InpModel::Material& material = model.materials[m];
    const int id = static_cast<int>(m) + 1;
    if (material.hasMooneyRivlin) {
      // The card's Poisson's ratio gives c3 back; the exact constants
      // are put in after reading.
      const double* c = material.mooneyRivlin;
      const double mu = 2.0 * (c[0] + c[1]);
      const double lambda = 4.0 * (c[1] + c[2]);
      blocks.push_back("*MAT_MOONEY-RIVLIN_RUBBER\n" +
                       (Card() << id << material.density << lambda / (2.0 * (lambda + mu)) << c[0] << c[1]).text());
      continue;
    }
    if (material.hasFoam) {
      // The foam's own data are put in after reading.
      blocks.push_back("*MAT_ELASTIC\n" + (Card() << id << material.density << 0.0 << 0.0).text());
      for (int which = 0; which < 2; ++which) {
        blocks.push_back(
            curveBlock(inpFoamCurveId(model, m, which), which == 0 ? material.foamLoading : material.foamUnloading));
      }
      continue;
    }
    if (material.plastic.empty()) {
      blocks.push_back("*MAT_ELASTIC\n" +
                       (Card() << id << material.density << material.youngs << material.poisson).text());
      continue;
    }
    const int curve = curves.plastic.at(material.name);
    blocks.push_back("*MAT_PIECEWISE_LINEAR_PLASTICITY\n" +
                     (Card() << id << material.density << material.youngs << material.poisson
                             << material.plastic.front().second << 0.0 << 0.0 << 0.0)
                         .text() +
                     (Card() << 0.0 << 0.0 << curve << 0 << 0.0).text());
    blocks.push_back(curveBlock(curve, hardeningPoints(material)));
  }
}

int materialNumber(const InpModel& model, const std::string& name) {
  for (size_t m = 0; m < model.materials.size(); ++m) {
    if (model.materials[m].name == name) return static_cast<int>(m) + 1;
  }
  return 0;
}

void addParts(const InpModel& model, std::vector<std::string>& blocks) {
  int rigidMaterial = static_cast<int>(model.materials.size());
  for (size_t p = 0; p < model.parts.size(); ++p) {
    const InpModel::Part& part = model.parts[p];
    const int id = static_cast<int>(p) + 1;
    int material = materialNumber(model, part.material);
    if (part.rigid) {
      // Each rigid part gets a rigid material with its own mass data.
      const InpModel::Material& source = model.materials[static_cast<size_t>(material - 1)];
      material = ++rigidMaterial;
      blocks.push_back("*MAT_RIGID\n" +
                       (Card() << material << source.density << source.youngs << source.poisson).text());
    }
    blocks.push_back("*PART\n" + part.name + "\n" + (Card() << id << id << material).text());
    const bool shell = part.type->family == 3;
    if (shell) {
      blocks.push_back("*SECTION_SHELL\n" +
                       (Card() << id << part.type->cardFormulation << 0.83333 << part.points).text() +
                       (Card() << part.thickness << part.thickness << part.thickness << part.thickness).text());
    } else {
      blocks.push_back("*SECTION_SOLID\n" + (Card() << id << part.type->cardFormulation).text());
    }
    std::string block = shell ? "*ELEMENT_SHELL\n" : "*ELEMENT_SOLID\n";
    const size_t slots = shell ? 4 : 8;
    for (const InpModel::Element& element : part.elements) {
      Card card;
      card << element.id << id;
      for (size_t j = 0; j < slots; ++j) {
        const int position = part.type->slots[j];
        card << (position == 0 ? 0 : element.nodes[static_cast<size_t>(position - 1)]);
      }
      block += card.text();
    }
    blocks.push_back(block);
  }
}

std::string setBlock(const char* keyword, int id, const std::vector<int>& members) {
  std::string block = keyword + std::string("\n") + (Card() << id).text();
  for (size_t k = 0; k < members.size(); k += 8) {
    Card card;
    for (size_t j = k; j < members.size() && j < k + 8; ++j) card << members[j];
    block += card.text();
  }
  return block;
}

// Node set ids by name, in name order.
std::map<std::string, int> addNodeSets(const InpModel& model, std::vector<std::string>& blocks) {
  std::map<std::string, int> ids;
  for (const auto& [name, members] : model.nodeSets) {
    const int id = static_cast<int>(ids.size()) + 1;
    ids[name] = id;
    blocks.push_back(setBlock("*SET_NODE_LIST", id, members));
  }
  return ids;
}

// The element sets element outputs follow, as element-id lists.
void addOutputElementSets(const InpModel& model, std::vector<std::string>& blocks) {
  std::set<std::string> named;
  for (const InpModel::Output& output : model.outputs) {
    if (output.kind == InpModel::Output::Element && named.insert(output.set).second) {
      blocks.push_back(
          setBlock("*SET_SHELL_LIST", inpSetId(model.elementSets, output.set), model.elementSets.at(output.set)));
    }
  }
}

int targetId(const std::string& target, bool isSet, const std::map<std::string, int>& setIds) {
  return isSet ? setIds.at(target) : std::stoi(target);
}

// A zero displacement without an amplitude holds the nodes (zero
// velocity); any other boundary prescribes its motion per degree of
// freedom. A displacement without an amplitude is reached linearly over the
// step; velocities and accelerations without one are constant.
void addBoundaries(const InpModel& model, const CurveIds& curves, InpTranslation& ids,
                   std::vector<std::string>& blocks) {
  const std::map<std::string, int>& setIds = ids.nodeSetIds;
  for (const InpModel::Boundary& boundary : model.boundaries) {
    if (boundary.rigidPart >= 0) {
      addInpRigidMotion(boundary, ids, blocks);
      continue;
    }
    const int target = targetId(boundary.target, boundary.isSet, setIds);
    const std::string form = boundary.isSet ? "SET" : "NODE";
    if (boundary.kind == 1 && boundary.value == 0.0 && boundary.amplitude.empty()) {
      Card card;
      card << target << 0;
      for (int flag : boundary.flags) card << flag;
      blocks.push_back("*BOUNDARY_SPC_" + form + "\n" + card.text());
      continue;
    }
    const int vad = boundary.kind == 1 ? 2 : (boundary.kind == 2 ? 0 : 1);
    int curve = boundary.amplitude.empty() ? 0 : curves.amplitude.at(boundary.amplitude);
    if (curve == 0 && boundary.kind == 1) curve = curves.ramp;
    std::string block = "*BOUNDARY_PRESCRIBED_MOTION_" + form + "\n";
    for (int d = 0; d < 6; ++d) {
      if (boundary.flags[static_cast<size_t>(d)] == 0) continue;
      const int code = d < 3 ? d + 1 : d + 2;
      block += (Card() << target << code << vad << curve << boundary.value).text();
    }
    blocks.push_back(block);
  }
}

// Deck node numbers a velocity record reaches.
std::vector<int> reachedNodes(const InpModel& model, const InpModel::Velocity& velocity) {
  if (velocity.isSet) return model.nodeSets.at(velocity.target);
  return {std::stoi(velocity.target)};
}

// Every node's velocity, degree of freedom by degree of freedom from the
// line that gives it: a record of the node itself over a set's, of two sets
// the later. Empty when no node is reached by two records.
std::map<int, std::array<double, 6>> velocitiesByNode(const InpModel& model) {
  struct Given {
    std::array<double, 6> value{};
    std::array<int, 6> rank{};  // 0 none, 1 a set, 2 the node itself
    size_t record = 0;
  };
  std::map<int, Given> nodes;
  bool twice = false;
  for (size_t r = 0; r < model.velocities.size(); ++r) {
    const InpModel::Velocity& velocity = model.velocities[r];
    const int rank = velocity.isSet ? 1 : 2;
    for (int node : reachedNodes(model, velocity)) {
      const auto [at, isNew] = nodes.try_emplace(node);
      Given& given = at->second;
      twice = twice || (!isNew && given.record != r);
      given.record = r;
      for (size_t d = 0; d < 6; ++d) {
        if (velocity.given[d] && rank >= given.rank[d]) {
          given.value[d] = velocity.values[d];
          given.rank[d] = rank;
        }
      }
    }
  }
  std::map<int, std::array<double, 6>> velocities;
  for (const auto& [node, given] : nodes) {
    if (twice) velocities[node] = given.value;
  }
  return velocities;
}

// Records that reach nodes apart stand as they are; when a node is reached
// twice, every node is written with its own velocity (velocitiesByNode).
void addVelocities(const InpModel& model, const std::map<std::string, int>& setIds, std::vector<std::string>& blocks) {
  const std::map<int, std::array<double, 6>> byNode = velocitiesByNode(model);
  if (!byNode.empty()) {
    std::string block = "*INITIAL_VELOCITY_NODE\n";
    for (const auto& [node, v] : byNode) {
      Card card;
      card << node;
      for (double value : v) card << value;
      block += card.text();
    }
    blocks.push_back(block);
    return;
  }
  for (const InpModel::Velocity& velocity : model.velocities) {
    Card values;
    for (double v : velocity.values) values << v;
    if (velocity.isSet) {
      blocks.push_back("*INITIAL_VELOCITY\n" + (Card() << setIds.at(velocity.target)).text() + values.text());
    } else {
      Card card;
      card << std::stoi(velocity.target);
      for (double v : velocity.values) card << v;
      blocks.push_back("*INITIAL_VELOCITY_NODE\n" + card.text());
    }
  }
}

}  // namespace

int inpFoamCurveId(const InpModel& model, size_t material, int which) {
  int id = static_cast<int>(model.amplitudes.size()) + 1;  // the ramp
  for (const InpModel::Material& other : model.materials) id += other.plastic.empty() ? 0 : 1;
  for (size_t m = 0; m < material && m < model.materials.size(); ++m) id += model.materials[m].hasFoam ? 2 : 0;
  return id + 1 + which;
}

int inpSetId(const std::map<std::string, std::vector<int>>& sets, const std::string& name) {
  const auto found = sets.find(name);
  return found == sets.end() ? 0 : static_cast<int>(std::distance(sets.begin(), found)) + 1;
}

std::vector<std::string> translateInpModel(const InpModel& model, InpTranslation& ids) {
  std::vector<std::string> blocks;
  std::string nodes = "*NODE\n";
  for (const InpModel::Node& node : model.nodes)
    nodes += (Card() << node.id << node.x[0] << node.x[1] << node.x[2]).text();
  blocks.push_back(nodes);

  CurveIds curves;
  for (const InpModel::Amplitude& amplitude : model.amplitudes) {
    curves.amplitude[amplitude.name] = ++curves.count;
    blocks.push_back(curveBlock(curves.count, inpHeldPoints(amplitude, model.endTime)));
  }
  for (const InpModel::Material& material : model.materials) {
    if (!material.plastic.empty()) curves.plastic[material.name] = ++curves.count;
  }
  curves.ramp = ++curves.count;
  blocks.push_back(curveBlock(curves.ramp, {{0.0, 0.0}, {model.endTime, 1.0}}));

  addMaterials(model, curves, blocks);
  addParts(model, blocks);
  const std::map<std::string, int> setIds = addNodeSets(model, blocks);
  addOutputElementSets(model, blocks);
  ids.curveIds = curves.amplitude;
  ids.nodeSetIds = setIds;
  ids.nextCurveId = inpFoamCurveId(model, model.materials.size(), 0);  // after the foam curves
  ids.nextNodeSetId = static_cast<int>(setIds.size()) + 1;
  ids.rampCurveId = curves.ramp;
  addBoundaries(model, curves, ids, blocks);
  addVelocities(model, setIds, blocks);
  translateInpConnections(model, ids, blocks);
  blocks.push_back("*CONTROL_TERMINATION\n" + (Card() << model.endTime).text());
  return blocks;
}

// The keyword cards carry no smoothed-FEM kind: it reaches the section of
// each part (section id = part number) once the cards are read.
bool applyInpSmoothFem(const InpModel& model, FEMDynamic* fem) {
  bool suits = true;
  for (size_t p = 0; p < model.parts.size(); ++p) {
    const InpModel::Part& part = model.parts[p];
    if (part.smoothFem <= 0) continue;
    Section* section = nullptr;
    for (Section& s : fem->sectionManager->section_array) {
      if (s.id == static_cast<int>(p) + 1) section = &s;
    }
    const int needed = part.smoothFem == SFEM_CELL ? ET_PYRAMID_TL : ET_TETRA_TL;
    if (section == nullptr || section->element_formulation != needed) {
      std::cerr << "Inp deck refused: part " << part.name << " (" << part.type->name
                << ") cannot take SMOOTHFEM=" << inpSmoothFemName(part.smoothFem) << ": its elements must be "
                << (needed == ET_PYRAMID_TL ? "5-node pyramids" : "4-node tetrahedra (C3D4)") << std::endl;
      suits = false;
      continue;
    }
    section->sfem_kind = part.smoothFem;
  }
  return suits;
}
