// Forms of the keyword format this reader does not take, and decks it
// cannot run as written: each refused deck stops the program with its
// message (naming line and field where there is one) and exit status 1;
// blocks that ask only for output are named once and the run completes.
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "keywordTestDeck.h"

namespace {

namespace fs = std::filesystem;

std::string cubeModel() { return cubeModelCards() + "*CONTROL_TERMINATION\n" + card({"1.0e-4"}); }

// The cube of cubeModelCards with the given material card (id 1).
std::string cubeOf(const std::string& material) {
  return "*NODE\n1 0 0 0\n2 1 0 0\n3 1 1 0\n4 0 1 0\n5 0 0 1\n6 1 0 1\n7 1 1 1\n8 0 1 1\n*ELEMENT_SOLID\n" +
         card({"1", "1", "1", "2", "3", "4", "5", "6", "7", "8"}, 8) + "*PART\ncube\n" + card({"1", "1", "1"}) +
         "*SECTION_SOLID\n" + card({"1", "1"}) + material + "*CONTROL_TERMINATION\n" + card({"1.0e-4"});
}

struct ProgramRun {
  int status = -1;
  std::string console;
};

// Runs the impactfem program on the deck text.
ProgramRun runDeck(const std::string& name, const std::string& text) {
  const fs::path folder = freshDeckFolder("form_" + name);
  std::ofstream(folder / "deck.k") << text;
  const std::string command = std::string(FEM_PROGRAM) + " INP=" + (folder / "deck.k").string() +
                              " WD=" + (folder / "work").string() + " > " + (folder / "console.txt").string() + " 2>&1";
  ProgramRun run;
  const int status = std::system(command.c_str());
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  std::ifstream in(folder / "console.txt");
  std::ostringstream all;
  all << in.rdbuf();
  run.console = all.str();
  return run;
}

// A beam from node 1 to node 2 (part, section and material 2), its end
// release fields after the orientation node, and its section cards.
std::string beamBar(const std::string& releases, const std::string& section) {
  std::string element = card({"2", "2", "1", "2", "3"}, 8);
  element.pop_back();
  return "*ELEMENT_BEAM\n" + element + releases + "\n*PART\nbar\n" + card({"2", "2", "2"}) + "*SECTION_BEAM\n" +
         section + "*MAT_ELASTIC\n" + card({"2", "1.0", "1.0e6", "0.3"});
}

size_t count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

}  // namespace

TEST(KeywordForms, RefusedFormsStopTheRunWithTheirMessage) {
  const std::string model = cubeModel();
  // The cube model with another solid section card.
  auto sectioned = [&model](const std::string& sectionCard) {
    std::string deck = model;
    const std::string plain = "*SECTION_SOLID\n" + card({"1", "1"});
    return deck.replace(deck.find(plain), plain.size(), "*SECTION_SOLID\n" + sectionCard);
  };
  const std::string elasticWithParameter = "*MAT_ELASTIC\n" + card({"2", "1.0", "&young", "0.3"});
  const struct {
    const char* name;
    std::string deck;
    const char* message;
  } cases[] = {
      {"parameter", "*PARAMETER\nR   young    1.0e6\n" + model, "\"*PARAMETER\" defines \"R   young    1.0e6\""},
      {"parameter_field", model + elasticWithParameter, "the field \"&young\" names a parameter"},
      {"include", model + "*INCLUDE\nwheel.k\n", "\"*INCLUDE\" includes \"wheel.k\""},
      {"include_transform", model + "*INCLUDE_TRANSFORM\nwheel.k\n" + card({"0"}) + " 0\n" + card({"0"}) + " 1\n",
       "\"*INCLUDE_TRANSFORM\" includes \"wheel.k\""},
      {"only_includes", "*keyword\n*include\nbody.k\n*include\nwheel.k\n", "includes \"body.k\""},
      {"section_tshell", model + "*SECTION_TSHELL\n" + card({"2", "1"}), "\"*SECTION_TSHELL\" is not read"},
      {"element_tshell", model + "*ELEMENT_TSHELL\n" + card({"2", "1", "1", "2", "3", "4", "5", "6", "7", "8"}, 8),
       "\"*ELEMENT_TSHELL\" (thick shells) is not read"},
      {"set_generate", model + "*SET_NODE_LIST_GENERATE\n" + card({"5"}) + card({"1", "8"}),
       "\"*SET_NODE_LIST_GENERATE\" is not read"},
      {"velocity_generation", model + "*INITIAL_VELOCITY_GENERATION\n" + card({"1", "2", "10.0"}),
       "\"*INITIAL_VELOCITY_GENERATION\" is not read"},
      {"solid_ten_nodes_on_next_line",
       model + "*ELEMENT_SOLID\n" + card({"2", "1"}, 8) + card({"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"}, 8),
       "line 23: element 2 gives nodes N9, N10: ten-node solids are not read from keyword decks"},
      {"solid_option", model + "*ELEMENT_SOLID_ORTHO\n" + card({"2", "1", "1", "2", "3", "4", "5", "6", "7", "8"}, 8),
       "\"*ELEMENT_SOLID_ORTHO\" is not read by this version (option ORTHO)"},
      {"element_id_beyond_32_bits", model + "*ELEMENT_SOLID\n4294967297 1 1 2 3 4 5 6 7 8\n",
       "field 1: the field \"4294967297\" holds a number too large for its field"},
      {"duplicate_material", model + "*MAT_ELASTIC\n" + card({"1", "2.0", "1.0e5"}),
       "two *MAT cards give the material id 1"},
      {"no_elements", "*NODE\n1 0 0 0\n*END\n", "the deck defines no elements"},
      {"no_nodes", "*CONTROL_TERMINATION\n" + card({"1.0"}), "the deck defines no nodes"},
      {"long_format", "*KEYWORD long=y\n" + model, "long-format fields are not read"},
      {"long_format_block", model + "*SECTION_SOLID +\n" + card({"2", "1"}, 20),
       "\"*SECTION_SOLID +\" (line 21): \"+\" asks for long-format fields of 20 characters"},
      // A field holding anything besides one number: named with its line.
      {"shifted_column", model + "*MAT_ELASTIC\n         2      7.859  150000.       0.3\n",
       "\"*MAT_ELASTIC\", line 22, field 3: the field \"9  150000.\" holds a number followed by other characters"},
      {"letters_after_number", model + "*MAT_ELASTIC\n" + card({"2", "1.0abc", "1.0e6"}),
       "line 22, field 2: the field \"1.0abc\" holds a number followed"},
      {"letter_for_exponent", model + "*MAT_ELASTIC\n" + card({"2", "1.0", "1l+06"}),
       "line 22, field 3: the field \"1l+06\" holds a number followed"},
      {"fraction_as_id", model + "*ELEMENT_SOLID\n" + card({"2", "1.9", "1", "2", "3", "4", "5", "6", "7", "8"}, 8),
       "line 22, field 2: the field \"1.9\" holds a fraction where the field takes a whole number"},
      // Incomplete or impossible models.
      {"element_without_node", model + "*ELEMENT_SOLID\n" + card({"2", "1", "1", "2", "0", "4", "5", "6", "7", "8"}, 8),
       "line 22: element 2 gives no node in node field 3 (blank or 0)"},
      {"node_code", model + "*NODE\n       9             5.0             5.0             5.0       8\n",
       "line 22: node 9 has the constraint codes TC 8, RC 0; each must be 0 to 7"},
      {"duplicate_node", model + "*NODE\n" + card({"3", "5.0", "5.0", "5.0"}, 16), "line 22: node 3 is defined twice"},
      {"duplicate_element", model + "*ELEMENT_SOLID\n" + card({"1", "1", "1", "2", "3", "4", "5", "6", "7", "8"}, 8),
       "\"*ELEMENT_SOLID\", line 22: element 1 is defined twice"},
      {"shell_without_thickness", model + "*SECTION_SHELL\n" + card({"2", "2"}) + card({"0.0"}),
       "line 23: shell section 2 has thickness 0.000000; a shell needs a positive thickness"},
      {"damper_material_on_solid", cubeOf("*MAT_DAMPER_VISCOUS\n" + card({"1", "5.0"})),
       "part 1 (cube): its material is a \"*MAT_DAMPER_VISCOUS\" card, whose behaviour this version does not compute"},
      {"strain_rate_material",
       cubeOf("*MAT_PLASTIC_KINEMATIC\n" + card({"1", "1.0", "1.0e6", "0.3", "1.0e3"}) + card({"40.0", "5.0"})),
       "part 1 (cube): its material is a \"*MAT_PLASTIC_KINEMATIC\" card, line 19, field 1: SRC 40 asks for strain-rate "
       "effects, which this version does not compute; line 19, field 2: SRP 5"},
      {"hardening_parameter_beyond_one",
       cubeOf("*MAT_PLASTIC_KINEMATIC\n" + card({"1", "1.0", "1.0e6", "0.3", "1.0e3", "1.0e4", "1.5"})),
       "*MAT_PLASTIC_KINEMATIC 1: line 18, field 7: BETA 1.5 is not a hardening parameter from 0 (kinematic "
       "hardening) to 1 (isotropic hardening)"},
      {"failing_material",
       cubeOf("*MAT_PIECEWISE_LINEAR_PLASTICITY\n" + card({"1", "1.0", "1.0e6", "0.3", "1.0e3", "1.0e4", "0.3"})),
       "line 18, field 7: FAIL 0.3 asks for failure, which this version does not compute"},
      {"piecewise_points_not_from_zero",
       cubeOf("*MAT_PIECEWISE_LINEAR_PLASTICITY\n" + card({"1", "1.0", "1.0e6", "0.3"}) + card({"", ""}) +
              card({"0.01", "0.1"}) + card({"1.0e3", "2.0e3"})),
       "stress-strain table starts at plastic strain 0.01 instead of 0"},
      {"null_viscosity", cubeOf("*MAT_NULL\n" + card({"1", "1.0", "", "0.01"})),
       "line 18, field 4: MU 0.01 asks for a viscous stress"},
      {"spring_shear", cubeOf("*MAT_LINEAR_ELASTIC_DISCRETE_BEAM\n" + card({"1", "1.0", "1.0e3", "5.0"})),
       "line 18, field 4: TKS 5 asks for a shear stiffness"},
      {"rubber_reference", cubeOf("*MAT_MOONEY-RIVLIN_RUBBER\n" + card({"1", "1.0", "0.45", "1.0", "0.5", "1"})),
       "line 18, field 6: REF 1 asks for stresses from a reference geometry"},
      {"shell_rule", model + "*SECTION_SHELL\n" + card({"2", "2", "", "", "", "1.0"}) + card({"0.01", "", "", "", "1"}),
       "line 22, field 6: QR/IRID 1 asks for another rule through the thickness than Gauss's"},
      {"spc_code", model + "*BOUNDARY_SPC_NODE\n" + card({"1", "", "1", "2"}),
       "\"*BOUNDARY_SPC_NODE\", line 22, field 4: DOFY 2 is not 0 (free) or 1 (held)"},
      {"wall_friction",
       model + "*RIGIDWALL_PLANAR\n" + card({"0", "", "", "", "", "2.0e-5"}) +
           card({"0", "0", "-1", "0", "0", "0", "0.3"}),
       "line 21: \"*RIGIDWALL_PLANAR\" (DEATH, FRIC are not computed for rigid walls)"},
      {"solid_poor_aspect_form", model + "*SECTION_SOLID\n" + card({"2", "-2"}),
       "line 22: solid section 2 asks for ELFORM -2 (the fully integrated hexahedron for poor aspect ratios)"},
      // Beam cards this version would compute as another beam.
      {"beam_arbitrary_section", model + beamBar("", card({"2", "1", "", "", "2.0"}) + card({"0.1", "0.1", "0.1"})),
       "line 28: beam section 2 has CST 2; this version computes CST 0 (a rectangle) and 1 (a tube)"},
      {"beam_tapered", model + beamBar("", card({"2"}) + card({"0.1", "0.05", "0.1"})),
       "line 28: beam section 2 tapers (TS1 0.1, TS2 0.05, TT1 0.1, TT2 0.1)"},
      {"beam_end_release", model + beamBar(card({"", "", "7"}, 8), card({"2"}) + card({"0.1", "", "0.1"})),
       "line 22: element 2 releases its end (RT2 7)"},
      {"no_end_time", cubeModelCards(), "the deck gives no end time (*CONTROL_TERMINATION ENDTIM is 0"},
      {"zero_end_time", cubeModelCards() + "*CONTROL_TERMINATION\n" + card({"0.0", "100"}), "ENDTIM is 0;"},
      {"negative_end_time", cubeModelCards() + "*CONTROL_TERMINATION\n" + card({"-1.0"}), "ENDTIM is -1;"},
      {"infinite_end_time", cubeModelCards() + "*CONTROL_TERMINATION\n" + card({"1e999"}),
       "field 1: the field \"1e999\" holds a number too large"},
      // Loads, motions and contacts that ask for what is not computed,
      // named by card, line and field or code.
      {"load_body_rx", model + "*LOAD_BODY_RX\n" + card({"", "10.0"}),
       "\"*LOAD_BODY_RX\" asks for a body load this version does not compute"},
      {"load_body_vector", model + "*LOAD_BODY_VECTOR\n" + card({"", "9.81"}) + card({"0.0", "0.0", "1.0"}),
       "\"*LOAD_BODY_VECTOR\" asks for a body load"},
      {"load_body_relaxation", model + "*LOAD_BODY_Z\n" + card({"", "9.81", "3"}),
       "line 22, field 3: LCIDDR 3 asks for the load during a dynamic relaxation"},
      {"pressure_arrival", model + "*LOAD_SEGMENT_SET\n" + card({"1", "", "1.0", "0.002"}),
       "line 22, field 4: AT 0.002 asks for a pressure that arrives later"},
      {"motion_vector", model + "*BOUNDARY_PRESCRIBED_MOTION_NODE\n" + card({"1", "4", "0", "", "1.0", "3"}),
       "\"*BOUNDARY_PRESCRIBED_MOTION_NODE\", line 22: DOF 4 (a motion along the vector VID) is not applied"},
      {"motion_local_axes", model + "*BOUNDARY_PRESCRIBED_MOTION_RIGID\n" + card({"1", "-1", "0", "", "1.0"}),
       "line 22: DOF -1 (a motion in the rigid body's own axes) is not applied"},
      {"motion_plane", model + "*BOUNDARY_PRESCRIBED_MOTION_SET\n" + card({"1", "10", "2", "", "1.0"}),
       "line 22: DOF 10 (a motion in a plane, or along a radius) is not applied"},
      {"motion_id_card_alone", model + "*BOUNDARY_PRESCRIBED_MOTION_SET_ID\n" + card({"5", "push"}),
       "\"*BOUNDARY_PRESCRIBED_MOTION_SET_ID\", line 22: the id card 5 has no data card after it"},
      {"contact_birth",
       model + "*CONTACT_AUTOMATIC_SURFACE_TO_SURFACE\n" + card({"1", "1", "3", "3"}) +
           card({"", "", "", "", "", "", "0.001"}) + card({""}),
       "line 23, field 7: BT 0.001 asks for a contact that starts later"},
      {"contact_death",
       model + "*CONTACT_AUTOMATIC_SURFACE_TO_SURFACE\n" + card({"1", "1", "3", "3"}) +
           card({"", "", "", "", "", "", "", "0.5"}) + card({""}),
       "line 23, field 8: DT 0.5 asks for a contact that ends"},
      {"contact_box",
       model + "*CONTACT_AUTOMATIC_SINGLE_SURFACE\n" + card({"1", "", "2", "", "7"}) + card({""}) + card({""}),
       "line 22, field 5: SBOXID 7 asks for a slave side kept to a box"},
      {"contact_damping",
       model + "*CONTACT_NODES_TO_SURFACE\n" + card({"1", "1", "4", "3"}) + card({"", "", "", "", "20.0"}) + card({""}),
       "line 23, field 5: VDC 20 asks for viscous damping of the contact"},
      {"contact_part_friction",
       model + "*CONTACT_AUTOMATIC_SURFACE_TO_SURFACE\n" + card({"1", "1", "3", "3"}) + card({"-1.0"}) + card({""}),
       "line 23, field 1: FS -1 asks for friction of the parts' contact cards or of a table"},
      {"wall_motion_option",
       model + "*RIGIDWALL_GEOMETRIC_FLAT_MOTION\n" + card({"0"}) + card({"0", "0", "2", "0", "0", "3"}) +
           card({"1", "0", "2", "5", "5"}) + card({"7", "2", "0", "0", "-1"}),
       "line 25, field 2: OPT 2 is not 0 (the curve gives the speed) or 1"},
      {"wall_motion_without_curve",
       model + "*RIGIDWALL_GEOMETRIC_FLAT_MOTION\n" + card({"0"}) + card({"0", "0", "2", "0", "0", "3"}) +
           card({"1", "0", "2", "5", "5"}) + card({"", "0", "0", "0", "-1"}),
       "line 25, field 1: the motion card gives no curve (LCID); the wall would not move"},
      {"velocity_without_node",
       model + "*INITIAL_VELOCITY_NODE\n" + card({"1", "0.0", "0.0", "5.0"}) + card({"", "0.0", "0.0", "5.0"}),
       "\"*INITIAL_VELOCITY_NODE\", line 23: the line gives velocities but no node id (NID)"},
      {"control_contact_friction", model + "*CONTROL_CONTACT\n" + card({"0.1"}) + card({""}) + card({"0.3"}),
       "line 24, field 1: SFRIC 0.3 asks for a default friction of the contacts"},
      {"control_contact_card_7", model + "*CONTROL_CONTACT\n" + std::string(6, '\n') + card({"", "", "1"}),
       "line 28, field 3: IPBACK 1 asks for a penalty contact behind the ties"},
      {"contact_card_e",
       model + "*CONTACT_AUTOMATIC_SURFACE_TO_SURFACE\n" + card({"1", "1", "3", "3"}) + std::string(6, '\n') +
           card({"", "", "", "", "1.0", "0.5"}),
       "line 29, field 6: ICOR 0.5 asks for a coefficient of restitution"},
      {"solution_curve_accuracy", model + "*CONTROL_SOLUTION\n" + card({"0", "", "1", "", "1"}),
       "line 22, field 5: LCACC 1 asks for curves cut to six significant figures"},
      {"shell_offset",
       model + "*ELEMENT_SHELL_THICKNESS_OFFSET\n" + card({"2", "2", "1", "2", "3", "4"}, 8) + "\n" +
           card({"0.005"}, 16) + "*PART\nsheet\n" + card({"2", "2", "1"}) + "*SECTION_SHELL\n" + card({"2", "2"}) +
           card({"0.01"}),
       "line 24, element 2: OFFSET 0.005 asks for a shell off its nodes' plane"},
      {"termination_energy", model + "*CONTROL_TERMINATION\n" + card({"1.0e-4", "", "", "0.1"}),
       "line 22, field 4: ENDENG 0.1 asks for a run that ends on a change of its energy"},
      {"timestep_first", model + "*CONTROL_TIMESTEP\n" + card({"1.0e-7"}),
       "line 22, field 1: DTINIT 1e-07 asks for a first time step of the deck's own"},
      {"motion_vector_text", model + "*BOUNDARY_PRESCRIBED_MOTION_NODE\n" + card({"1", "3", "0", "", "1.0", "abc"}),
       "line 22, field 6: the field \"abc\" is not a number"},
      {"timestep_card_2", model + "*CONTROL_TIMESTEP\n" + card({"", "0.9"}) + card({"0.0", "0", "5"}),
       "line 23, field 3: IMSCL 5 asks for selective mass scaling"},
      {"part_eos", sectioned(card({"1", "1"})) + "*PART\nwater\n" + card({"2", "1", "1", "7"}),
       "line 23, field 4: EOSID 7 asks for an equation of state"},
      {"nodal_body_release", model + "*CONSTRAINED_NODAL_RIGID_BODY\n" + card({"9", "", "", "", "", "1"}),
       "line 22, field 6: DRFLAG 1 asks for translations released from the body"},
      // Element formulations that no element of this version computes,
      // named with the part that takes them.
      {"solid_form_3", sectioned(card({"1", "3"})),
       "part 1 (cube): its section 1 asks for solid ELFORM 3 (quadratic hexahedron with nodal rotations), which "
       "this version does not compute"},
      {"solid_form_99", sectioned(card({"1", "99"})), "part 1 (cube): its section 1 asks for solid ELFORM 99,"},
      {"shell_form_101",
       model + "*ELEMENT_SHELL\n" + card({"2", "2", "1", "2", "3", "3"}, 8) + "*PART\nsheet\n" + card({"2", "2", "1"}) +
           "*SECTION_SHELL\n" + card({"2", "101"}) + card({"0.01"}),
       "part 2 (sheet): its section 2 asks for shell ELFORM 101 (user-defined)"},
      {"shell_form_13",
       model + "*ELEMENT_SHELL\n" + card({"2", "2", "1", "2", "3", "4"}, 8) + "*PART\nsheet\n" + card({"2", "2", "1"}) +
           "*SECTION_SHELL\n" + card({"2", "13"}) + card({"0.01"}),
       "part 2 (sheet): its section 2 asks for shell ELFORM 13 (plane strain)"},
      // Blocks of mechanics this version does not compute: all listed,
      // with their lines, before the deck is refused.
      {"unread_mechanics",
       model + "*EOS_LINEAR_POLYNOMIAL\n" + card({"1"}) + "*DATABASE_GLSTAT\n" + card({"1e-5"}) +
           "*CONSTRAINED_JOINT_TRANSLATIONAL\n" + card({"1", "2"}) + "*CONTROL_IMPLICIT_GENERAL\n" +
           card({"1", "0.01"}),
       "does not compute; a run without them would give other results:\n  line 21: \"*EOS_LINEAR_POLYNOMIAL\"\n"
       "  line 25: \"*CONSTRAINED_JOINT_TRANSLATIONAL\"\n"
       "  line 27: \"*CONTROL_IMPLICIT_GENERAL\" (IMFLAG 1 asks for an implicit analysis)\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const ProgramRun run = runDeck(c.name, c.deck);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.console.find(c.message), std::string::npos) << run.console;
    EXPECT_EQ(run.console.find("Calculation completed"), std::string::npos);
  }
}

TEST(KeywordForms, OutputOnlyBlocksAreNamedOnceAndTheRunCompletes) {
  // Requests for other programs' output, output and parallel settings, an
  // implicit card that asks for no implicit run, titles and comments
  // change nothing this program computes: named once, the run completes.
  // A "*" inside a title is no keyword; a "$" after data ends only its line.
  // So do a job name, a set of solids and a sensor that nothing computed
  // names, and contact defaults that hold penalty and search settings.
  const std::string deck =
      "*KEYWORD\n*KEYWORD_ID\nlecture_cube\n*TITLE\nbar (5*5 mm) $ test\n" + cubeModel() +
      "*SET_SOLID_TITLE\nall solids\n" + card({"4"}) + card({"1"}) + "*SET_SOLID\n" + card({"5"}) + card({"1"}) +
      "*SENSOR_DEFINE_NODE_SET\n" + card({"1", "2", "", "VEL"}) + "*CONTROL_CONTACT\n" +
      card({"0.1", "0.0", "1", "0", "1", "0", "1", "0"}) + card({"0", "0", "10", "0", "4.0", "0", "0", "0"}) +
      card({"0.0", "0.0", "0.0", "0.0", "0.0", "0.0", "0.0"}) + "\n\n\n" + card({"0", "0", "0", "0", "2.0"}) +
      card({"0"}) + "*DATABASE_GLSTAT\n" + card({"1e-5"}) + "*DATABASE_GLSTAT\n" + card({"2e-5"}) +
      "*DATABASE_BINARY_D3PLOT\n" + card({"1e-5"}) + "*CONTROL_OUTPUT\n" + card({"1"}) +
      "*CONTROL_MPP_DECOMPOSITION_AUTO\n" + "*CONTROL_IMPLICIT_GENERAL\n" + card({"0"}) + "*CONTROL_SOLUTION\n" +
      card({"0", "0", "1", "100"}) + "*COMMENT\nlab run 3\n*END\n";
  const ProgramRun run = runDeck("output_only", deck);
  EXPECT_EQ(run.status, 0) << run.console;
  EXPECT_NE(run.console.find("Calculation completed"), std::string::npos) << run.console;
  EXPECT_EQ(count(run.console,
                  "\"*DATABASE_GLSTAT\" (line 44) is not acted on by this version; it asks only for output"),
            1u)
      << run.console;
  for (const char* keyword :
       {"*DATABASE_BINARY_D3PLOT", "*CONTROL_OUTPUT", "*CONTROL_MPP_DECOMPOSITION_AUTO", "*KEYWORD_ID",
        "*SET_SOLID_TITLE", "*SET_SOLID", "*SENSOR_DEFINE_NODE_SET", "*CONTROL_CONTACT"}) {
    EXPECT_EQ(count(run.console, std::string("\"").append(keyword) + "\""), 1u) << keyword;
  }
  for (const char* quiet : {"*TITLE", "*COMMENT", "*CONTROL_IMPLICIT_GENERAL", "*CONTROL_SOLUTION"}) {
    EXPECT_EQ(run.console.find(std::string("\"").append(quiet) + "\""), std::string::npos) << quiet;
  }
}

// A shell's own thickness card runs when it gives the thickness of the
// part's section, or leaves it blank, and refuses the deck, naming the
// element, when it gives another; so does a section whose T2 to T4 differ
// from T1.
TEST(KeywordForms, ShellThicknessCardsTakeTheSectionThicknessOrRefuseTheDeck) {
  auto strip = [](const std::string& secondThicknessCard, const std::string& sectionThicknesses = card({"0.002"})) {
    return "*KEYWORD\n*NODE\n" + card({"1", "0.0", "0.0", "0.0"}, 16) + card({"2", "0.1", "0.0", "0.0"}, 16) +
           card({"3", "0.2", "0.0", "0.0"}, 16) + card({"4", "0.0", "0.1", "0.0"}, 16) +
           card({"5", "0.1", "0.1", "0.0"}, 16) + card({"6", "0.2", "0.1", "0.0"}, 16) + "*ELEMENT_SHELL_THICKNESS\n" +
           card({"1", "1", "1", "2", "5", "4"}, 8) + "\n" + card({"2", "1", "2", "3", "6", "5"}, 8) +
           secondThicknessCard + "*PART\nstrip\n" + card({"1", "1", "1"}) + "*SECTION_SHELL\n" + card({"1", "2"}) +
           sectionThicknesses + "*MAT_ELASTIC\n" + card({"1", "7850", "2.1e11", "0.3"}) + "*CONTROL_TERMINATION\n" +
           card({"1.0e-5"}) + "*END\n";
  };
  const ProgramRun same = runDeck("shell_thickness_same", strip(card({"0.002", "0.002", "0.002", "0.002"}, 16)));
  EXPECT_EQ(same.status, 0) << same.console;
  EXPECT_NE(same.console.find("Calculation completed"), std::string::npos) << same.console;
  // Blank thickness cards keep their places: both shells are read.
  const ProgramRun blank = runDeck("shell_thickness_blank", strip("\n"));
  EXPECT_EQ(blank.status, 0) << blank.console;
  std::ifstream vtk(fs::path(::testing::TempDir()) / "keyword_form_shell_thickness_blank" / "work" / "result.vtk");
  std::ostringstream cells;
  cells << vtk.rdbuf();
  EXPECT_NE(cells.str().find("CELLS 2\t10"), std::string::npos);
  const ProgramRun own = runDeck("shell_thickness_own", strip(card({"0.004", "0.004", "0.004", "0.004"}, 16)));
  EXPECT_EQ(own.status, 1);
  EXPECT_NE(own.console.find("\"*ELEMENT_SHELL_THICKNESS\", line 13: element 2 gives its own thickness 0.004 "
                             "where its part's section 1 gives 0.002"),
            std::string::npos)
      << own.console;
  EXPECT_EQ(own.console.find("Calculation completed"), std::string::npos);
  const ProgramRun tapered = runDeck("shell_section_tapered", strip("\n", card({"0.002", "0.003", "", "0.002"})));
  EXPECT_EQ(tapered.status, 1);
  EXPECT_NE(tapered.console.find("\"*SECTION_SHELL\", line 19: shell section 1 gives T2 0.003 beside T1 0.002"),
            std::string::npos)
      << tapered.console;
}
