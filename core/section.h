// One section card: element family and formulation, integration points,
// shell thicknesses, beam geometry and cross-section constants, and the
// smoothed-FEM kind.  Plain record with one layout on host and device.
#pragma once
#include <type_traits>

#include "core/fixedName.h"
#include "platform/gpuRuntime.h"

constexpr int kSectionTitleLength = 88;
constexpr int kBeamSectionPointMax = 16;

struct Section {
  int family_code = 0;             // 1 discrete, 2 beam, 3 shell, 4 solid
  int element_formulation = 0;     // ElementNewType code the part's elements take
  int sfem_kind = 0;               // SmoothFEMType: 0 none, 1 edge, 2 cell, 3 node, 4 six-point node
  int card_formulation = 0;        // formulation number as written on the card
  int point_count_copy = 0;        // shells: copy of point_count
  int beam_integer = 0;            // integer option of the beam card, as read
  double shell_constants[3] = {};  // 1.024e-6, 0.001 and the hourglass coefficient (0.1)
  // Remaining shell-card values, as read (card 1 fields 5-8, card 2 fields 5-8).
  double shell_card1_value5 = 0.0;
  double shell_card1_value6 = 0.0;
  int shell_card1_value7 = 0;
  int shell_card1_value8 = 0;
  double shell_card2_value5 = 0.0;
  double shell_card2_value6 = 0.0;
  double shell_card2_value7 = 0.0;
  int shell_card2_value8 = 0;
  FixedName<kSectionTitleLength> title;
  // Remaining beam-card values, as read.
  double beam_card1_value4 = 0.0;       // card 1 field 4
  double beam_card1_value6 = 0.0;       // card 1 field 6
  double beam_card1_value7 = 0.0;       // card 1 field 7
  double beam_type1_values[3] = {};     // tube card fields 4, 5, 6
  double beam_type2_values[3] = {};     // resultant card fields 1, 5, 6
  double discrete_beam_values[8] = {};  // formulation-6 card: volume, inertia and companions
  // Discrete section card: field 2 (int), then fields 3-6 and card 2 fields 1-2.
  int discrete_card_value2 = 0;
  double discrete_card_values[6] = {};
  int solid_option = 0;      // integer option of the solid card (field 3)
  int id = 0;                // section id, 1-based
  int point_count = 0;       // integration points: through the thickness (shells), over the cross-section (tube beams)
  double thickness[4] = {};  // nodal thicknesses t1..t4 of a shell section
  double shear_factor = 0.0;
  double point_y[kBeamSectionPointMax] = {};  // cross-section coordinates of the beam section points
  double point_z[kBeamSectionPointMax] = {};
  double shape_selector = 0.0;    // CST of beam card 1 (field 5): 0 rectangle, 1.0 tube
  double outer_diameter[2] = {};  // TS1, TS2: tube outer diameter, rectangle width along y, at node 1 and 2
  double inner_diameter[2] = {};  // TT1, TT2: tube inner diameter, rectangle width along z, at node 1 and 2
  int point_grid[2] = {};         // points across the two cross-section directions, as read
  double A = 0.0;                 // cross-section area
  double As = 0.0;                // shear area
  double Iyy = 0.0, Izz = 0.0, J = 0.0;
  double reserved[2] = {};
  double given_Iyy = 0.0, given_Izz = 0.0, given_J = 0.0;  // resultant beam card values
  double formulation8_value = 0.0;  // last field; 0.1 for a formulation-8 section that leaves it 0

  // Beam cross-section constants (rectangles and tubes of formulation 1,
  // resultant beams, trusses).
  void calBeamSectionProperty();
  // A, Iyy = TS TT^3 / 12, Izz = TT TS^3 / 12, the torsion constant of a
  // solid rectangle and the shear area SHRF A of the rectangle TS1 x TT1.
  void calRectangleProperties();
  // One point at the centre of a tube section.
  void setIntegrationPoints();
  // Formulation 8: the last field becomes 0.1 when it is 0.
  void setDefaultValue();
};
static_assert(std::is_trivially_copyable_v<Section>);
