// Keyword family *MAT: thirteen material options, each read into a cleared
// material record with its type code and appended to the material list. The
// card's material id is mapped to the material's position in the list.
#include <memory>
#include <sstream>
#include <string>

#include "input/keyword/keywordCardRules.h"
#include "input/keyword/keywordReader.h"
#include "materials/material.h"
#include "materials/materialmanager.h"
#include "solver/femdynamic.h"

namespace {

// The options in the order they are recognised, with their type codes.
enum class MaterialOption {
  Elastic,
  PlasticKinematic,
  Rigid,
  Null,
  PiecewiseLinear,
  LinearDiscreteBeam,
  NonlinearPlasticDiscreteBeam,
  GeneralNonlinearDiscreteBeam,
  ModifiedHoneycomb,
  ModifiedPiecewiseLinear,
  SpotWeld,
  SpringNonlinearElastic,
  DamperViscous,
  MooneyRivlinRubber,
};

struct MaterialOptionEntry {
  const char* word;
  MaterialOption option;
  int type;
  // False for cards whose behaviour no model of this version computes
  // (they are kept; a part that uses one is refused after reading).
  bool computed;
};

constexpr MaterialOptionEntry kMaterialOptions[] = {
    {"MAT_ELASTIC", MaterialOption::Elastic, 2, true},
    {"PLASTIC_KINEMATIC", MaterialOption::PlasticKinematic, 4, true},
    {"MAT_RIGID", MaterialOption::Rigid, 1, true},
    {"MAT_NULL", MaterialOption::Null, 0, true},
    {"MAT_PIECEWISE_LINEAR_PLASTICITY", MaterialOption::PiecewiseLinear, 4, true},
    {"LINEAR_ELASTIC_DISCRETE_BEAM", MaterialOption::LinearDiscreteBeam, 6, true},
    {"NONLINEAR_PLASTIC_DISCRETE_BEAM", MaterialOption::NonlinearPlasticDiscreteBeam, 12, false},
    {"GENERAL_NONLINEAR_6DOF_DISCRETE_BEAM", MaterialOption::GeneralNonlinearDiscreteBeam, 7, false},
    {"MODIFIED_HONEYCOMB", MaterialOption::ModifiedHoneycomb, 4, false},
    {"MAT_MODIFIED_PIECEWISE_LINEAR_PLASTICITY", MaterialOption::ModifiedPiecewiseLinear, 4, true},
    {"MAT_SPOTWELD", MaterialOption::SpotWeld, 10, false},
    {"SPRING_NONLINEAR_ELASTIC", MaterialOption::SpringNonlinearElastic, 2, false},
    {"DAMPER_VISCOUS", MaterialOption::DamperViscous, 11, false},
    {"MOONEY-RIVLIN_RUBBER", MaterialOption::MooneyRivlinRubber, 8, true},
};

}  // namespace

// Hardening model of a piecewise-linear card without a hardening curve: the
// tabulated model (4) only when some input point has both a strain and a
// stress other than 0; else linear hardening (0).
int piecewiseHardeningModel(const Material& material) {
  if (material.curve_id != 0) return 4;
  for (int j = 0; j < 8; ++j) {
    if (material.input_strain_points[j] != 0.0 && material.input_stress_points[j] != 0.0) return 4;
  }
  return 0;
}

namespace {
// c3 of the Mooney-Rivlin law for the Poisson's ratio nu at small strain:
// lambda0 = 2 mu0 nu / (1 - 2 nu) with mu0 = 2 (c1 + c2), and lambda0 = 4 (c2 + c3).
double mooneyRivlinThirdConstant(double c1, double c2, double nu) {
  const double mu = 2.0 * (c1 + c2);
  return 0.5 * mu * nu / (1.0 - 2.0 * nu) - c2;
}
}  // namespace

namespace {

// What the fields of a material card ask for that the models of this
// version do not compute - strain-rate effects, failure and erosion, beam
// damping, a fluid bulk modulus, coupling with another program, a viscous
// null material, a discrete beam's stiffness, damping and preload besides
// its axial stiffness, rubber constants fitted to a test curve - as the
// texts of uncomputedFieldsText, joined; empty when the card asks for none.
// Card c of the option is line first + c - 1.
std::string uncomputedMaterialFields(const KeywordReader& reader, const std::string& header,
                                     const std::vector<std::string>& lines, int first, MaterialOption option) {
  std::string asked;
  auto check = [&](int c, std::initializer_list<UncomputedField> fields) {
    const std::string text = uncomputedFieldsText(reader, header, lines, first + c - 1, fields);
    if (!text.empty()) asked += (asked.empty() ? "" : "; ") + text;
  };
  const char* rates = "strain-rate effects";
  switch (option) {
    case MaterialOption::Elastic:
      check(1, {{5, "DA", "axial damping of beams"},
                {6, "DB", "bending damping of beams"},
                {7, "K", "a fluid bulk modulus"}});
      break;
    case MaterialOption::PlasticKinematic:
      check(2, {{1, "SRC", rates}, {2, "SRP", rates}, {3, "FS", "failure", standsAtNever}});
      break;
    case MaterialOption::Rigid:
      check(1, {{5, "N", "coupling with another program"},
                {6, "COUPLE", "coupling with another program"},
                {7, "M", "coupling with another program"},
                {8, "ALIAS", "a surface of another program"}});
      break;
    case MaterialOption::Null:
      check(1, {{4, "MU", "a viscous stress"},
                {5, "TEROD", "erosion in tension"},
                {6, "CEROD", "erosion in compression"}});
      break;
    case MaterialOption::PiecewiseLinear:
    case MaterialOption::ModifiedPiecewiseLinear:
      check(1, {{7, "FAIL", "failure", standsAtNever}, {8, "TDEL", "element deletion"}});
      check(2, {{1, "C", rates}, {2, "P", rates}, {4, "LCSR", rates}});
      if (option == MaterialOption::ModifiedPiecewiseLinear) {
        check(2, {{6, "EPSTHIN", "failure by thinning"}, {7, "EPSMAJ", "failure by major strain"}});
      }
      break;
    case MaterialOption::LinearDiscreteBeam:
      // The spring of this version is axial: TKR alone.
      check(1, {{4, "TKS", "a shear stiffness"},
                {5, "TKT", "a shear stiffness"},
                {6, "RKR", "a torsional stiffness"},
                {7, "RKS", "a bending stiffness"},
                {8, "RKT", "a bending stiffness"}});
      check(2, {{1, "TDR", "damping"},
                {2, "TDS", "damping"},
                {3, "TDT", "damping"},
                {4, "RDR", "damping"},
                {5, "RDS", "damping"},
                {6, "RDT", "damping"}});
      check(3, {{1, "FOR", "a preload"},
                {2, "FOS", "a preload"},
                {3, "FOT", "a preload"},
                {4, "MOR", "a preload"},
                {5, "MOS", "a preload"},
                {6, "MOT", "a preload"}});
      break;
    case MaterialOption::MooneyRivlinRubber:
      check(1, {{6, "REF", "stresses from a reference geometry"}});
      check(2, {{4, "LCID", "constants fitted to a test curve"}});
      break;
    default:
      break;
  }
  return asked;
}

// What keeps card 2 of a rigid material (CMO, CON1, CON2) from being
// applied; empty when it applies. CMO 0 holds nothing; CMO 1 holds the
// translations of code CON1 and the rotations of code CON2 in global axes
// (0 free, 1 x, 2 y, 3 z, 4 x and y, 5 y and z, 6 z and x, 7 all).
std::string rigidConstraintProblem(const Material& m) {
  const auto text = [](double value) {
    std::ostringstream out;
    out << value;
    return out.str();
  };
  const double cmo = m.constraint_option;
  if (cmo == 0.0) return "";
  if (cmo == -1.0) return "CMO -1 (constraints in local axes) is not applied by this version";
  if (cmo != 1.0) return "CMO " + text(cmo) + " is not 0 (free) or 1 (constraints in global axes)";
  for (const auto& [name, code] : {std::pair{"CON1", m.constraint_1}, std::pair{"CON2", m.constraint_2}}) {
    if (!(code >= 0.0 && code <= 7.0) || code != static_cast<double>(static_cast<int>(code))) {
      return std::string(name) + " " + text(code) + " is not a constraint code of global axes (0 to 7)";
    }
  }
  return "";
}
}  // namespace

void KeywordReader::readMaterial(const std::string& block) {
  const std::string header = blockHeader(block);
  // The option is the whole keyword (without "_TITLE"): a longer keyword
  // that holds an option's name is another material, whose cards differ.
  const std::string form = withoutTitle(header);
  const MaterialOptionEntry* entry = nullptr;
  for (const MaterialOptionEntry& candidate : kMaterialOptions) {
    const std::string word = candidate.word;
    if (form == (word.rfind("MAT_", 0) == 0 ? "*" + word : "*MAT_" + word)) {
      entry = &candidate;
      break;
    }
  }
  if (entry == nullptr) {
    unreadBlock(header);
    return;
  }

  const std::vector<std::string> lines = splitDeckLines(block);
  auto record = std::make_unique<Material>();
  Material& m = *record;
  m.clear();
  std::string name;
  const int first = firstCardLine(header, lines, &name);
  m.name = name;
  // Card c (1-based) of the option.
  auto card = [first](int c) { return first + c - 1; };
  int cardId = 0;
  std::string alias;      // ALIAS of a rigid card: a name
  double unused[5] = {};  // fields checked, not kept: REF; SGL, SW, ST, LCID of the rubber card

  switch (entry->option) {
    case MaterialOption::Elastic:
      readCard(lines, card(1), cardId, m.density, m.youngs_modulus, m.poissons_ratio, m.axial_damping,
               m.bending_damping, m.elastic_bulk_modulus);
      break;
    case MaterialOption::PlasticKinematic:
      readCard(lines, card(1), cardId, m.density, m.youngs_modulus, m.poissons_ratio, m.yield_stress, m.tangent_modulus,
               m.hardening_parameter);
      readCard(lines, card(2), m.strain_rate_c, m.strain_rate_p, m.failure_strain, m.viscoplastic_flag);
      // BETA mixes the hardening: 0 (and blank) moves the yield
      // surface, 1 widens it.
      if (!(m.hardening_parameter >= 0.0 && m.hardening_parameter <= 1.0)) {
        const std::string line =
            card(1) < static_cast<int>(lines.size()) ? cardLineText(*this, header, lines[card(1)]) : "";
        std::ostringstream value;
        value << m.hardening_parameter;
        refuse(header + " " + std::to_string(cardId) + ": " + line + "field 7: BETA " + value.str() +
               " is not a hardening parameter from 0 (kinematic hardening) to 1 (isotropic hardening)");
        return;
      }
      break;
    case MaterialOption::Rigid:
      readCard(lines, card(1), cardId, m.density, m.youngs_modulus, m.poissons_ratio, m.coupling_n, m.coupling_option,
               m.coupling_m, alias);
      readCard(lines, card(2), m.constraint_option, m.constraint_1, m.constraint_2);
      readCard(lines, card(3), m.local_axes);
      if (const std::string problem = rigidConstraintProblem(m); !problem.empty()) {
        refuse(header + " " + std::to_string(cardId) + ": " + problem);
        return;
      }
      break;
    case MaterialOption::Null:
      readCard(lines, card(1), cardId, m.density, m.pressure_cutoff, m.viscosity, m.tension_erosion,
               m.compression_erosion, m.youngs_modulus, m.poissons_ratio);
      break;
    case MaterialOption::PiecewiseLinear:
    case MaterialOption::ModifiedPiecewiseLinear:
      readCard(lines, card(1), cardId, m.density, m.youngs_modulus, m.poissons_ratio, m.yield_stress, m.tangent_modulus,
               m.failure_plastic_strain, m.deletion_time_step);
      if (entry->option == MaterialOption::PiecewiseLinear) {
        readCard(lines, card(2), m.rate_c, m.rate_p, m.hardening_curve_id, m.rate_curve_id, m.viscoplastic_flag);
      } else {
        readCard(lines, card(2), m.rate_c, m.rate_p, m.hardening_curve_id, m.rate_curve_id, m.viscoplastic_flag,
                 m.thinning_strain, m.major_strain, m.failure_point_count);
      }
      readCard(lines, card(3), m.input_strain_points);
      readCard(lines, card(4), m.input_stress_points);
      // FAIL blank: 1e21 (no failure). Both take their hardening from
      // the curve or the points when they give one (the modified card
      // adds failure data only).
      if (m.failure_plastic_strain == 0.0) m.failure_plastic_strain = 1.0e21;
      m.curve_id = m.hardening_curve_id;
      m.plastic_model = piecewiseHardeningModel(m);
      m.hardening_parameter = 1.0;  // these cards harden isotropically
      // Without a curve (LCSS), the points are the hardening table.
      if (m.curve_id == 0 && m.plastic_model == 4) m.copyInputPoints();
      break;
    case MaterialOption::LinearDiscreteBeam:
      readCard(lines, card(1), cardId, m.density, m.discrete_stiffness);
      readCard(lines, card(2), m.discrete_damping);
      readCard(lines, card(3), m.discrete_preload);
      break;
    case MaterialOption::NonlinearPlasticDiscreteBeam:
      readCard(lines, card(1), cardId, m.density, m.discrete_stiffness);
      readCard(lines, card(2), m.discrete_damping);
      readCard(lines, card(3), m.yield_curve_values);
      readCard(lines, card(4), m.failure_loads);
      readCard(lines, card(5), m.failure_displacements);
      readCard(lines, card(6), m.discrete_preload);
      break;
    case MaterialOption::GeneralNonlinearDiscreteBeam:
      readCard(lines, card(1), cardId, m.density, m.translational_stiffness, m.rotational_stiffness, m.unloading_option,
               m.beam_offset, m.damping_factor, m.input_flag);
      for (int c = 0; c < 4; ++c) readCard(lines, card(2 + c), cardSpan(m.curve_ids + 6 * c, 6));
      readCard(lines, card(6), m.tension_failure_limits);
      readCard(lines, card(7), m.compression_failure_limits);
      readCard(lines, card(8), m.failure_option_values);
      if (m.input_flag == 2) {
        readCard(lines, card(9), cardSpan(m.extra_option_values, 6));
        readCard(lines, card(10), cardSpan(m.extra_option_values + 6, 6));
        readCard(lines, card(11), cardSpan(m.extra_option_values + 12, 8));
      }
      break;
    case MaterialOption::ModifiedHoneycomb:
      readCard(lines, card(1), cardId, m.density, m.youngs_modulus, m.poissons_ratio, m.yield_stress,
               m.compacted_volume, m.honeycomb_damping, m.bulk_viscosity_flag);
      readCard(lines, card(2), m.honeycomb_curve_ids, m.rate_curve_id);
      readCard(lines, card(3), m.uncompacted_moduli, m.axes_option, m.axes_change_option);
      readCard(lines, card(4), m.axes_point, m.axes_a);
      readCard(lines, card(5), m.axes_d, m.tensile_failure_strain, m.shear_failure_strain, m.axes_v);
      break;
    case MaterialOption::SpotWeld:
      readCard(lines, card(1), cardId, m.density, m.youngs_modulus, m.poissons_ratio, m.yield_stress,
               m.plastic_hardening_modulus, m.output_interval, m.failure_time);
      readCard(lines, card(2), m.weld_failure_strain, m.weld_axial_force, m.weld_shear_force_s, m.weld_shear_force_t,
               m.weld_torsion_moment, m.weld_bending_moment_s, m.weld_bending_moment_t, m.weld_failure_flag);
      break;
    case MaterialOption::SpringNonlinearElastic:
      readCard(lines, card(1), cardId, m.curve_id, m.rotational_curve_id);
      break;
    case MaterialOption::MooneyRivlinRubber:
      // Card 1: MID, RO, PR, A, B, REF.  A and B are c1 and c2; the third
      // constant follows from PR through the small-strain moduli
      // mu0 = 2 (A + B) and lambda0 = 4 (B + c3).
      readCard(lines, card(1), cardId, m.density, m.poissons_ratio, m.mooney_rivlin_constants[0],
               m.mooney_rivlin_constants[1], unused[0]);
      // Card 2: SGL, SW, ST, LCID (a test curve to fit A and B to).
      readCard(lines, card(2), cardSpan(unused + 1, 4));
      if (!(m.poissons_ratio > -1.0 && m.poissons_ratio < 0.5)) {
        refuse("*MAT_MOONEY-RIVLIN_RUBBER " + std::to_string(cardId) + ": Poisson's ratio " +
               std::to_string(m.poissons_ratio) + " must lie between -1 and 0.5");
        return;
      }
      m.mooney_rivlin_constants[2] =
          mooneyRivlinThirdConstant(m.mooney_rivlin_constants[0], m.mooney_rivlin_constants[1], m.poissons_ratio);
      break;
    case MaterialOption::DamperViscous:
      readCard(lines, card(1), cardId, m.damping_constant);
      break;
  }
  m.type = entry->type;

  std::vector<Material>& materials = fem_->materialManager->material_array;
  m.id = static_cast<int>(materials.size()) + 1;
  if (!state_.materialNumberMap.emplace(cardId, m.id).second) {
    refuse(lineWhereAt(header, static_cast<size_t>(card(1))) + ": two *MAT cards give the material id " +
           std::to_string(cardId));
    return;
  }
  fem_->materialManager->cards[m.id] = cardAtLine(withoutTitle(header), static_cast<size_t>(card(1)));
  const std::string keyword = "\"" + withoutTitle(header) + "\" card";
  if (!entry->computed) {
    state_.uncomputedMaterials.emplace(m.id, keyword + ", whose behaviour this version does not compute");
  } else if (const std::string asked = uncomputedMaterialFields(*this, header, lines, first, entry->option);
             !asked.empty()) {
    state_.uncomputedMaterials.emplace(m.id, keyword + ", " + asked);
  }
  materials.push_back(m);
}
