// ".inp" sections, rigid bodies and materials. Sections and rigid bodies
// name element sets, resolved after the block loop; a material takes the
// sub-keyword blocks that follow it, in any order.
#include <cstdio>
#include <set>

#include "materials/material.h"
#include "materials/materialmanager.h"
#include "solver/femdynamic.h"

#include "input/inp/inpReader.h"

namespace {

// Most points of a tabulated curve.
constexpr size_t kMaxCurvePoints = 128;

// Sub-keywords that belong to the material above them.
const std::set<std::string> kMaterialKeywords = {"DENSITY",
                                                 "ELASTIC",
                                                 "PLASTIC",
                                                 "EXPANSION",
                                                 "DAMPING",
                                                 "CONDUCTIVITY",
                                                 "SPECIFICHEAT",
                                                 "DEPVAR",
                                                 "USERMATERIAL",
                                                 "HYPERELASTIC",
                                                 "LOWDENSITYFOAM",
                                                 "UNIAXIALTESTDATA",
                                                 "RATEDEPENDENT",
                                                 "DAMAGEINITIATION",
                                                 "DUCTILEDAMAGEINITIATION",
                                                 "DAMAGEEVOLUTION",
                                                 "SHEARFAILURE",
                                                 "VISCOELASTIC",
                                                 "EOS",
                                                 "INELASTICHEATFRACTION",
                                                 "HYPERFOAM",
                                                 "VISCOSITY",
                                                 "CRUSHABLEFOAM",
                                                 "CRUSHABLEFOAMHARDENING",
                                                 "HYPERELASTICMOONEY-RIVLIN"};

// Parameters of a low-density foam whose block gives none.
constexpr double kFoamDefaults[3] = {0.0001, 0.005, 2.0};

}  // namespace

const char* inpSmoothFemName(int kind) {
  static const char* const kNames[] = {"", "ESFEM", "CSFEM", "NSFEM", "SNSFEM"};
  return kind >= 1 && kind <= 4 ? kNames[kind] : "";
}

int inpSmoothFemKind(const std::string& name) {
  for (int k = 1; k <= 4; ++k) {
    if (name == inpSmoothFemName(k)) return k;
  }
  return -1;
}

void InpReader::readSection(const InpBlock& block) {
  // ORIENTATION gives material axes, which no material here has.
  refuseUnreadOptions(block, {"ELSET", "MATERIAL", "CONTROLS", "SECTIONINTEGRATION", "SMOOTHFEM", "OFFSET"},
                      {"ORIENTATION"});
  InpModel::Section section;
  section.elementSet = block.keyword.option("ELSET");
  section.material = block.keyword.option("MATERIAL");
  section.family = block.keyword.name == "SOLIDSECTION" ? 4 : 3;
  section.controls = block.keyword.option("CONTROLS");
  section.lineNumber = block.lineNumber;
  // Points through a shell's thickness: Simpson's rule unless GAUSS.
  const std::string rule = block.keyword.choice("SECTIONINTEGRATION");
  section.simpson = block.keyword.name == "SHELLSECTION" && rule != "GAUSS";
  if (!rule.empty() && rule != "GAUSS" && rule != "SIMPSON") {
    refuse(block.where() + ": SECTION INTEGRATION=" + rule + " is not SIMPSON or GAUSS");
    return;
  }
  const std::string offset = block.keyword.choice("OFFSET");
  double shift = 0.0;
  if (!offset.empty() && offset != "SMID" && (!inpNumber(offset, shift) || shift != 0.0)) {
    unreadMechanics(block, "OFFSET=" + offset + " asks for a reference surface off the mid-surface");
  }
  if (section.elementSet.empty() || section.material.empty()) {
    refuse(block.where() + ": ELSET= and MATERIAL= are both needed");
    return;
  }
  // A smoothed-FEM name nobody knows refuses the deck: the part would
  // otherwise run unsmoothed, with other results.
  const std::string smoothFem = block.keyword.option("SMOOTHFEM");
  if (!smoothFem.empty()) {
    if (section.family != 4) {
      refuse(block.where() + " " + section.elementSet + ": SMOOTHFEM= is read on *SOLID SECTION only");
      return;
    }
    section.smoothFem = inpSmoothFemKind(smoothFem);
    if (section.smoothFem < 0) {
      std::printf("当前没有这种 %s 光滑有限元，请补充\n", smoothFem.c_str());
      refuse(block.where() + " " + section.elementSet + ": SMOOTHFEM=" + smoothFem +
             " is none of ESFEM, CSFEM, NSFEM, SNSFEM");
      return;
    }
  }
  if (section.family == 3) {
    const std::vector<std::string> none;
    const std::vector<std::string>& line = block.lines.empty() ? none : block.lines[0];
    if (line.empty() || !inpNumber(line[0], section.thickness) || section.thickness <= 0.0) {
      refuse(block.where() + " " + section.elementSet + ": the first data line must give a thickness > 0");
      return;
    }
    const bool shell = block.keyword.name == "SHELLSECTION";
    if (!onlyFields(block, line, shell ? 2 : 1, shell ? "thickness, points through the thickness" : "thickness"))
      return;
    // Points through the thickness: 5 when the line gives none.
    if (block.keyword.name == "SHELLSECTION" && line.size() > 1 && !line[1].empty() &&
        (!inpInteger(line[1], section.points) || section.points < 1 || section.points > 10)) {
      refuse(block.where() + " " + section.elementSet + ": \"" + line[1] +
             "\" is not a number of points through the thickness (1 to 10)");
      return;
    }
  }
  model_.sections.push_back(section);
}

void InpReader::readRigidBody(const InpBlock& block) {
  // DENSITY (the mass of rigid elements) is not computed: a rigid body
  // takes the mass of its elements' section material. ISOTHERMAL is a
  // thermal setting, in a run without temperatures.
  refuseUnreadOptions(block, {"REFNODE", "ELSET"}, {"ISOTHERMAL"});
  InpModel::RigidBody body;
  body.elementSet = block.keyword.option("ELSET");
  body.refNode = block.keyword.option("REFNODE");
  body.lineNumber = block.lineNumber;
  if (body.elementSet.empty() || body.refNode.empty()) {
    refuse(block.where() + ": REF NODE= and ELSET= are both needed");
    return;
  }
  if (!block.lines.empty() && !block.lines[0].empty() && !block.lines[0][0].empty() &&
      !inpNumber(block.lines[0][0], body.thickness)) {
    refuse(block.where() + ": \"" + block.lines[0][0] + "\" is not a thickness");
    return;
  }
  if (!block.lines.empty() && !onlyFields(block, block.lines[0], 1, "thickness")) return;
  model_.rigidBodies.push_back(body);
}

namespace {

// Reads the first n fields of a data line as numbers; false when one is
// missing or not a number.
bool numbers(const InpLines& lines, size_t line, size_t n, double* values) {
  if (line >= lines.size() || lines[line].size() < n) return false;
  for (size_t k = 0; k < n; ++k) {
    if (!inpNumber(lines[line][k], values[k])) return false;
  }
  return true;
}

}  // namespace

namespace {

// A table of (stress, strain) lines as (strain, stress) points; false with
// the reason in why.
bool readStressStrainTable(const InpBlock& block, std::vector<std::pair<double, double>>& points, std::string& why) {
  for (size_t l = 0; l < block.lines.size(); ++l) {
    double pair[2] = {};
    if (!numbers(block.lines, l, 2, pair)) {
      why = "data line " + std::to_string(l + 1) + " is not a stress and a strain";
      return false;
    }
    if (points.size() >= kMaxCurvePoints) {
      why = "the table holds more than " + std::to_string(kMaxCurvePoints) + " points";
      return false;
    }
    points.emplace_back(pair[1], pair[0]);
  }
  if (points.empty()) why = "the table has no data line";
  return !points.empty();
}

}  // namespace

// A hardening table of (stress, strain[, temperature]) lines: a run here
// has no temperature, so one temperature (or none) throughout is one table;
// tables of several temperatures, or fields past the temperature, refuse
// the deck.
void InpReader::refuseTemperatureTable(const InpBlock& sub, const std::string& where) {
  const std::string first = sub.lines.empty() || sub.lines[0].size() < 3 ? "" : sub.lines[0][2];
  for (const InpLines::Line& line : sub.lines) {
    if (!onlyFields(sub, line, 3, "yield stress, plastic strain, temperature", true)) return;
    const std::string temperature = line.size() < 3 ? "" : line[2];
    double a = 0.0, b = 0.0;
    if (temperature == first || (inpNumber(temperature, a) && inpNumber(first, b) && a == b)) continue;
    refuse(where + ": line " + std::to_string(sub.lines.numberOf(line)) + " gives the hardening at temperature " +
           (temperature.empty() ? "none" : temperature) + " beside " + (first.empty() ? "none" : first) +
           ": hardening that changes with temperature is not computed (a run here has no temperature)");
    return;
  }
}

// *HYPERELASTIC, MOONEY-RIVLIN: C10, C01 and D1. The strain energy of this
// system's rubber uses c1 = C10, c2 = C01 and c3, whose small-strain bulk
// modulus K0 = 4 (c2 + c3) + 4 (c1 + c2) / 3 is 2 / D1.
void InpReader::readMooneyRivlin(const InpBlock& sub, const std::string& where, InpModel::Material& material) {
  const bool mooney = sub.keyword.name == "HYPERELASTICMOONEY-RIVLIN" || sub.keyword.has("MOONEY-RIVLIN");
  if (!mooney) {
    refuse(where + ": only the Mooney-Rivlin form (*HYPERELASTIC, MOONEY-RIVLIN) with its coefficients is read");
    return;
  }
  refuseUnreadOptions(sub, {"MOONEY-RIVLIN"});
  double values[3] = {};
  if (!numbers(sub.lines, 0, 3, values)) {
    refuse(where + ": the first data line must give C10, C01 and D1");
    return;
  }
  if (!onlyFields(sub, sub.lines[0], 4, "C10, C01, D1, temperature", true)) return;
  if (!(values[2] > 0.0)) {
    refuse(where + ": D1 must be > 0: an explicit run needs a compressible rubber (bulk modulus 2 / D1)");
    return;
  }
  const double c1 = values[0], c2 = values[1];
  const double bulk = 2.0 / values[2];
  material.mooneyRivlin[0] = c1;
  material.mooneyRivlin[1] = c2;
  material.mooneyRivlin[2] = (bulk - 4.0 * (c1 + c2) / 3.0) / 4.0 - c2;
  material.hasMooneyRivlin = true;
}

// *LOW DENSITY FOAM: its data gives three parameters (defaults when it has
// none); the two blocks after it are the loading and the unloading curve,
// lines of stress and strain. Returns the last block read.
size_t InpReader::readFoam(const std::vector<InpBlock>& blocks, size_t j, const std::string& where,
                           InpModel::Material& material) {
  const InpBlock& sub = blocks[j];
  for (int k = 0; k < 3; ++k) material.foam[k] = kFoamDefaults[k];
  if (!sub.lines.empty() && !numbers(sub.lines, 0, 3, material.foam)) {
    refuse(where + ": the data line must give the three foam parameters");
  }
  std::vector<std::pair<double, double>>* curves[2] = {&material.foamLoading, &material.foamUnloading};
  const char* names[2] = {"loading", "unloading"};
  for (int c = 0; c < 2; ++c) {
    std::string why;
    if (j + 1 >= blocks.size()) {
      refuse(where + ": the " + std::string(names[c]) + " curve block is missing");
      return j;
    }
    ++j;
    if (!readStressStrainTable(blocks[j], *curves[c], why)) {
      refuse(where + ": the " + names[c] + " curve " + blocks[j].where() + ": " + why);
    }
  }
  material.hasFoam = true;
  return j;
}

size_t InpReader::readMaterial(const std::vector<InpBlock>& blocks, size_t i) {
  refuseUnreadOptions(blocks[i], {"NAME"});
  InpModel::Material material;
  material.name = blocks[i].keyword.option("NAME");
  if (material.name.empty()) refuse(blocks[i].where() + ": the material name (NAME=) is missing");
  for (const InpModel::Material& other : model_.materials) {
    if (other.name == material.name) refuse(blocks[i].where() + ": material " + material.name + " is defined twice");
  }
  size_t j = i + 1;
  for (; j < blocks.size() && kMaterialKeywords.count(blocks[j].keyword.name) != 0; ++j) {
    const InpBlock& sub = blocks[j];
    const std::string where = sub.where() + " of material " + material.name;
    if (!hasDataLines(sub)) continue;
    if (sub.keyword.name == "DENSITY") {
      refuseUnreadOptions(sub, {});
      material.hasDensity = numbers(sub.lines, 0, 1, &material.density) && material.density > 0.0;
      if (!material.hasDensity) refuse(where + ": the first data line must give a density > 0");
      onlyFields(sub, sub.lines[0], 2, "density, temperature", true);
    } else if (sub.keyword.name == "ELASTIC") {
      refuseUnreadOptions(sub, {"TYPE"});
      const std::string type = sub.keyword.option("TYPE");
      double values[2] = {};
      if (!type.empty() && type != "ISOTROPIC") {
        refuse(where + ": TYPE=" + type + " is not read by this version (isotropic only)");
      } else if (!numbers(sub.lines, 0, 2, values) || values[0] <= 0.0 || values[1] <= -1.0 || values[1] >= 0.5) {
        refuse(where + ": the first data line must give Young's modulus > 0 and Poisson's ratio in (-1, 0.5)");
      } else if (onlyFields(sub, sub.lines[0], 3, "Young's modulus, Poisson's ratio, temperature", true)) {
        material.hasElastic = true;
        material.youngs = values[0];
        material.poisson = values[1];
      }
    } else if (sub.keyword.name == "PLASTIC") {
      refuseUnreadOptions(sub, {"HARDENING"});
      const std::string hardening = sub.keyword.option("HARDENING");
      if (!hardening.empty() && hardening != "ISOTROPIC") {
        refuse(where + ": HARDENING=" + hardening + " is not read by this version (isotropic tables only)");
      }
      // One (stress, plastic strain) pair per line.
      std::string why;
      if (!readStressStrainTable(sub, material.plastic, why)) refuse(where + ": " + why);
      refuseTemperatureTable(sub, where);
    } else if (sub.keyword.name == "HYPERELASTIC" || sub.keyword.name == "HYPERELASTICMOONEY-RIVLIN") {
      readMooneyRivlin(sub, where, material);
    } else if (sub.keyword.name == "LOWDENSITYFOAM") {
      j = readFoam(blocks, j, where, material);
    } else {
      unreadBlock(sub);
    }
  }
  model_.materials.push_back(material);
  return j - 1;
}

// Rubber constants exactly as read, and the foam's parameters and curves,
// which the card families have no card for. The deck's materials are the
// first ones, in deck order.
void completeInpMaterials(const InpModel& model, FEMDynamic* fem) {
  std::vector<Material>& records = fem->materialManager->material_array;
  for (size_t m = 0; m < model.materials.size() && m < records.size(); ++m) {
    const InpModel::Material& material = model.materials[m];
    Material& record = records[m];
    if (material.hasMooneyRivlin) {
      for (int k = 0; k < 3; ++k) record.mooney_rivlin_constants[k] = material.mooneyRivlin[k];
    } else if (material.hasFoam) {
      record.type = 9;
      for (int k = 0; k < 3; ++k) record.foam_constants[k] = material.foam[k];
      record.loading_curve_id = inpFoamCurveId(model, m, 0);
      record.unloading_curve_id = inpFoamCurveId(model, m, 1);
    }
  }
}
