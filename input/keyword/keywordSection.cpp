// Keyword family *SECTION: shell, beam, solid and discrete sections. Each
// section gets the next running number; the deck's section number is mapped
// to it for the parts.
#include <cmath>
#include <cstring>
#include <map>
#include <sstream>

#include "core/sectionmanager.h"
#include "input/keyword/keywordCardRules.h"
#include "input/keyword/keywordReader.h"
#include "solver/femdynamic.h"

namespace {

// Element formulation of a shell card formulation; 0 when no shell
// formulation of this system answers it.
int shellFormulation(int cardFormulation) {
  switch (cardFormulation) {
    case 0:
    case 2:
      return 9;
    case 3:
    case 4:
      return 14;
    case 5:
      return 8;
    default:
      return 0;
  }
}

// Element formulation of a solid card formulation: 10 the tetrahedron (15),
// 2 the fully integrated, selectively reduced hexahedron (17), 0 and 1 the
// one-point hexahedron (18); 0 for a number no solid formulation answers.
int solidFormulation(int cardFormulation) {
  switch (cardFormulation) {
    case 10:
      return 15;
    case 2:
      return 17;
    case 0:
    case 1:
      return 18;
    default:
      return 0;
  }
}

// What a card formulation that no formulation of this version answers asks
// for, by family: "shell ELFORM 13 (plane strain)".
std::string uncomputedForm(const char* family, int cardFormulation) {
  static const std::map<int, const char*> kShell = {{1, "Hughes-Liu"},
                                                    {6, "selectively reduced Hughes-Liu"},
                                                    {7, "Hughes-Liu in co-rotational axes"},
                                                    {8, "Belytschko-Leviathan"},
                                                    {9, "fully integrated Belytschko-Tsay membrane"},
                                                    {10, "Belytschko-Wong-Chiang"},
                                                    {11, "fast Hughes-Liu"},
                                                    {12, "plane stress"},
                                                    {13, "plane strain"},
                                                    {14, "area-weighted axisymmetric"},
                                                    {15, "volume-weighted axisymmetric"},
                                                    {16, "fully integrated"},
                                                    {17, "fully integrated discrete Kirchhoff triangle"},
                                                    {18, "fully integrated linear"},
                                                    {20, "fully integrated linear assumed strain"},
                                                    {21, "fully integrated linear assumed strain, 5 DOF"},
                                                    {101, "user-defined"},
                                                    {102, "user-defined"},
                                                    {103, "user-defined"},
                                                    {104, "user-defined"},
                                                    {105, "user-defined"}};
  static const std::map<int, const char*> kSolid = {{3, "quadratic hexahedron with nodal rotations"},
                                                    {4, "tetrahedron with nodal rotations"},
                                                    {13, "one-point nodal-pressure tetrahedron"},
                                                    {15, "two-point pentahedron"},
                                                    {16, "ten-node tetrahedron"},
                                                    {17, "ten-node composite tetrahedron"},
                                                    {18, "eight-point enhanced strain"}};
  const std::map<int, const char*>& known = std::string(family) == "shell" ? kShell : kSolid;
  const auto name = known.find(cardFormulation);
  return std::string(family) + " ELFORM " + std::to_string(cardFormulation) +
         (name != known.end() ? " (" + std::string(name->second) + ")" : std::string());
}

// The nodal thicknesses T2 to T4 that are given (not blank or 0) and differ
// from T1, as "T2 0.002, T4 0.003 beside T1 0.001"; empty when there are none.
std::string shellNodeThicknessProblem(const double t[4]) {
  std::ostringstream given;
  for (int j = 1; j < 4; ++j) {
    if (t[j] == 0.0 || std::fabs(t[j] - t[0]) <= 1e-9 * std::fabs(t[0])) continue;
    given << (given.tellp() > 0 ? ", " : "") << "T" << j + 1 << " " << t[j];
  }
  if (given.tellp() == 0) return {};
  given << " beside T1 " << t[0];
  return given.str();
}

// What keeps a formulation-1 beam card from being computed; empty when it
// can be: CST 0 (a rectangle TS1 x TT1) or 1 (a tube of outer diameter TS1
// and inner diameter TT1), of one cross-section along the beam, on the beam
// axis (NSLOC and NTLOC 0), with an area.
std::string integratedBeamProblem(const Section& s) {
  std::ostringstream why;
  const double cst = s.shape_selector;
  const double ts1 = s.outer_diameter[0], ts2 = s.outer_diameter[1];
  const double tt1 = s.inner_diameter[0], tt2 = s.inner_diameter[1];
  if (cst != 0.0 && cst != 1.0) {
    why << "has CST " << cst << "; this version computes CST 0 (a rectangle) and 1 (a tube)";
  } else if (ts2 != ts1 || tt2 != tt1) {
    why << "tapers (TS1 " << ts1 << ", TS2 " << ts2 << ", TT1 " << tt1 << ", TT2 " << tt2
        << "); this version computes beams of one cross-section: give TS2 and TT2 blank or equal to TS1 and TT1";
  } else if (s.beam_type1_values[1] != 0.0 || s.beam_type1_values[2] != 0.0) {
    why << "places its reference axis off the centre (NSLOC " << s.beam_type1_values[1] << ", NTLOC "
        << s.beam_type1_values[2] << "), which this version does not compute";
  } else if (cst == 0.0 && !(ts1 > 0.0 && tt1 > 0.0 && std::isfinite(ts1 * tt1))) {
    why << "is a rectangle TS1 x TT1 = " << ts1 << " x " << tt1 << " without area";
  } else if (cst == 1.0 && !(ts1 > 0.0 && tt1 >= 0.0 && tt1 < ts1 && std::isfinite(ts1))) {
    why << "is a tube of outer diameter TS1 " << ts1 << " and inner diameter TT1 " << tt1 << " without area";
  }
  return why.str();
}

}  // namespace

void KeywordReader::readSection(const std::string& block) {
  const std::string header = blockHeader(block);
  auto has = [&header](const char* word) { return keywordIs(header, word); };
  const bool shell = has("SECTION_SHELL");
  const bool beam = !shell && has("SECTION_BEAM");
  const bool solid = !shell && !beam && has("SECTION_SOLID");
  const bool discrete = !shell && !beam && !solid && has("SECTION_DISCRETE");
  if (!shell && !beam && !solid && !discrete) {
    // A part naming a section this reader skipped would be refused later
    // without saying why; say it here.
    refuseForm(header, "is not read by this version");
    return;
  }

  const std::vector<std::string> lines = splitDeckLines(block);
  Section section;
  std::memset(static_cast<void*>(&section), 0, sizeof(Section));
  std::string title;
  const size_t first = static_cast<size_t>(firstCardLine(header, lines, &title));
  section.title = title;
  int deckNumber = 0;
  // Appends the section of card line `card` as it stands and maps its deck number.
  auto append = [&](size_t card) {
    std::vector<Section>& sections = fem_->sectionManager->section_array;
    const int number = static_cast<int>(sections.size()) + 1;
    if (!state_.sectionNumberMap.emplace(deckNumber, number).second) {
      refuse(lineWhereAt(header, card) + ": two section cards give the section id " + std::to_string(deckNumber));
      return;
    }
    section.id = number;
    sections.push_back(section);
  };
  std::string f[10];
  const size_t end = cardLineEnd(lines);

  if (shell) {
    // Two cards per section; a block may hold several sections.
    const Section blank = section;
    for (size_t i = first; i < end && !refused_; i += 2) {
      const int k = static_cast<int>(i);
      section = blank;
      splitCardFields10(lines, f, k, 8);
      readField(f[0], deckNumber);
      readField(f[1], section.card_formulation);
      readField(f[2], section.shear_factor);
      readField(f[3], section.point_count);
      readField(f[4], section.shell_card1_value5);
      readField(f[5], section.shell_card1_value6);
      readField(f[6], section.shell_card1_value7);
      readField(f[7], section.shell_card1_value8);
      splitCardFields10(lines, f, k + 1, 8);
      for (int j = 0; j < 4; ++j) readField(f[j], section.thickness[j]);
      const std::string& thicknessLine =
          lines[static_cast<size_t>(k) + 1 < lines.size() ? static_cast<size_t>(k) + 1 : 0];
      if (!(section.thickness[0] > 0.0) || !std::isfinite(section.thickness[0])) {
        refuse(lineWhere(header, thicknessLine) + ": shell section " + std::to_string(deckNumber) + " has thickness " +
               std::to_string(section.thickness[0]) + "; a shell needs a positive thickness");
        return;
      }
      // T2 to T4 blank: T1. A shell of this version has one thickness.
      if (const std::string tapered = shellNodeThicknessProblem(section.thickness); !tapered.empty()) {
        refuse(lineWhere(header, thicknessLine) + ": shell section " + std::to_string(deckNumber) + " gives " +
               tapered + "; the shells of this version have one thickness: give T2 to T4 blank or equal to T1");
        return;
      }
      for (int j = 1; j < 4; ++j) section.thickness[j] = section.thickness[0];
      readField(f[4], section.shell_card2_value5);
      readField(f[5], section.shell_card2_value6);
      readField(f[6], section.shell_card2_value7);
      readField(f[7], section.shell_card2_value8);
      // SHRF blank: 1.0; NIP blank: 2 points; PROPT blank: 1.0; SETYP
      // blank: 1; T2 to T4 are T1.
      if (section.shear_factor == 0.0) section.shear_factor = 1.0;
      if (section.point_count == 0) section.point_count = 2;
      // The line rule of the shells integrates 1 to 7 points.
      if (!(section.shear_factor > 0.0) || section.point_count < 1 || section.point_count > 7) {
        refuse(lineWhere(header, lines[static_cast<size_t>(k)]) + ": shell section " + std::to_string(deckNumber) +
               (section.shear_factor > 0.0
                    ? " asks for " + std::to_string(section.point_count) +
                          " points through the thickness (NIP); this version integrates 1 to 7"
                    : " has the shear factor SHRF " + std::to_string(section.shear_factor) + "; it must be above 0"));
        return;
      }
      // PROPT (a print option), SETYP (two-dimensional solids), IDOF
      // (thick shells) and EDGSET (seat-belt shells) change nothing
      // computed here.
      refuseUncomputedFields(*this, header, lines, k,
                             {{6, "QR/IRID", "another rule through the thickness than Gauss's"},
                              {7, "ICOMP", "layers of their own material angles"}});
      refuseUncomputedFields(*this, header, lines, k + 1,
                             {{5, "NLOC", "a reference surface off the mid-surface"},
                              {6, "MAREA", "a non-structural mass"}});
      if (section.shell_card1_value5 == 0.0) section.shell_card1_value5 = 1.0;
      if (section.shell_card1_value8 == 0) section.shell_card1_value8 = 1;
      section.point_count_copy = section.point_count;
      section.shell_constants[0] = 1.024e-6;
      section.shell_constants[1] = 0.001;
      section.shell_constants[2] = 0.1;
      section.element_formulation = shellFormulation(section.card_formulation);
      section.family_code = 3;
      append(i);
      if (section.element_formulation == 0) {
        state_.uncomputedSections[section.id] = uncomputedForm("shell", section.card_formulation);
      }
    }
  } else if (beam) {
    for (size_t i = first; i + 1 < end && !refused_; i += 2) {
      const int k = static_cast<int>(i);
      splitCardFields10(lines, f, k, 7);
      readField(f[0], deckNumber);
      readField(f[1], section.card_formulation);
      if (section.card_formulation == 0) section.card_formulation = 1;
      readField(f[2], section.shear_factor);
      readField(f[3], section.beam_card1_value4);
      readField(f[4], section.shape_selector);
      readField(f[5], section.beam_card1_value6);
      readField(f[6], section.beam_card1_value7);
      // SHRF blank: 1.0; QR/IRID blank: 2.0.
      if (section.shear_factor == 0.0) section.shear_factor = 1.0;
      if (!(section.shear_factor > 0.0)) {
        refuse(lineWhere(header, lines[static_cast<size_t>(k)]) + ": beam section " + std::to_string(deckNumber) +
               " has the shear factor SHRF " + std::to_string(section.shear_factor) + "; it must be above 0");
        return;
      }
      if (section.beam_card1_value4 == 0.0) section.beam_card1_value4 = 2.0;
      refuseUncomputedFields(*this, header, lines, k, {{7, "NSM", "a non-structural mass"}});
      // QR/IRID of an integrated beam: a negative value names a rule of
      // its own (points and weights that shape the section).
      const double qr = section.beam_card1_value4;
      if (section.card_formulation == 1 && !(qr >= 1.0 && qr <= 9.0 && qr == std::floor(qr))) {
        refuse(lineWhere(header, lines[static_cast<size_t>(k)]) + ", field 4: beam section " +
               std::to_string(deckNumber) + " asks for QR/IRID " + std::to_string(qr) +
               (qr < 0.0 ? ", an integration rule of its own, which this version does not read"
                         : ", which this version does not compute: QR takes 1 to 9 (3, 6 or 9 points on a "
                           "tube's wall)"));
        return;
      }
      if (section.card_formulation == 1) {
        // Blank TS2 and TT2 mean this section's TS1 and TT1, not
        // the values of a section before it in the block.
        section.outer_diameter[1] = section.inner_diameter[1] = 0.0;
        for (double& value : section.beam_type1_values) value = 0.0;
        splitCardFields10(lines, f, k + 1, 6);
        readField(f[0], section.outer_diameter[0]);
        readField(f[1], section.outer_diameter[1]);
        readField(f[2], section.inner_diameter[0]);
        for (int j = 0; j < 3; ++j) readField(f[3 + j], section.beam_type1_values[j]);
        // TS2 blank: TS1; TT2 blank: TT1 (a tube of one diameter).
        if (section.outer_diameter[1] == 0.0) section.outer_diameter[1] = section.outer_diameter[0];
        if (section.beam_type1_values[0] == 0.0) section.beam_type1_values[0] = section.inner_diameter[0];
        section.inner_diameter[1] = section.beam_type1_values[0];
        if (const std::string problem = integratedBeamProblem(section); !problem.empty()) {
          refuse(lineWhere(header, lines[i + 1]) + ": beam section " + std::to_string(deckNumber) + " " + problem);
          return;
        }
        section.element_formulation = 1;
        section.family_code = 2;
      } else if (section.card_formulation == 2) {
        splitCardFields10(lines, f, k + 1, 6);
        readField(f[0], section.beam_type2_values[0]);
        readField(f[1], section.given_Iyy);
        readField(f[2], section.given_Izz);
        readField(f[3], section.given_J);
        readField(f[4], section.beam_type2_values[1]);
        readField(f[5], section.beam_type2_values[2]);
        refuseUncomputedFields(*this, header, lines, k + 1, {{6, "IST", "a section of skew principal axes"}});
        section.element_formulation = 2;
        section.family_code = 2;
      } else if (section.card_formulation == 3) {
        // Truss: card 2 field 1 is the area.
        splitCardFields10(lines, f, k + 1, 1);
        readField(f[0], section.beam_type2_values[0]);
        section.element_formulation = 5;
        section.family_code = 2;
      } else if (section.card_formulation == 6) {
        splitCardFields10(lines, f, k + 1, 8);
        for (int j = 0; j < 8; ++j) readField(f[j], section.discrete_beam_values[j]);
        // The spring of this version acts along its nodes; CA and
        // OFFSET belong to cables.
        refuseUncomputedFields(*this, header, lines, k + 1,
                               {{3, "CID", "a spring in axes of its own"},
                                {6, "RRCON", "a rotation held by the spring"},
                                {7, "SRCON", "a rotation held by the spring"},
                                {8, "TRCON", "a rotation held by the spring"}});
        section.element_formulation = 3;
        section.family_code = 2;
      } else {
        section.element_formulation = 0;
        section.family_code = 2;
      }
      append(i);
      if (section.element_formulation == 0) {
        state_.uncomputedSections[section.id] = "beam ELFORM " + std::to_string(section.card_formulation);
      }
    }
  } else if (solid) {
    for (size_t i = first; i < end && !refused_; ++i) {
      if (lines[i].empty()) continue;
      splitCardFields10(lines, f, static_cast<int>(i), 3);
      readField(f[0], deckNumber);
      readField(f[1], section.card_formulation);
      readField(f[2], section.solid_option);
      if (section.card_formulation == -1 || section.card_formulation == -2) {
        refuse(lineWhere(header, lines[i]) + ": solid section " + std::to_string(deckNumber) + " asks for ELFORM " +
               std::to_string(section.card_formulation) +
               " (the fully integrated hexahedron for poor aspect ratios), which this version does not "
               "compute; ELFORM 2 is the fully integrated hexahedron it computes");
        return;
      }
      section.element_formulation = solidFormulation(section.card_formulation);
      section.family_code = 4;
      append(i);
      if (section.element_formulation == 0) {
        state_.uncomputedSections[section.id] = uncomputedForm("solid", section.card_formulation);
      }
    }
  } else {
    for (size_t i = first; i + 1 < end && !refused_; i += 2) {
      const int k = static_cast<int>(i);
      splitCardFields10(lines, f, k, 6);
      readField(f[0], deckNumber);
      readField(f[1], section.discrete_card_value2);
      for (int j = 0; j < 4; ++j) readField(f[2 + j], section.discrete_card_values[j]);
      splitCardFields10(lines, f, k + 1, 2);
      readField(f[0], section.discrete_card_values[4]);
      readField(f[1], section.discrete_card_values[5]);
      section.element_formulation = 3;
      section.family_code = 1;
      append(i);
    }
  }
}
