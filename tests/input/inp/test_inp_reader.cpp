// The .inp reader: one deck per keyword family with the values it must
// produce, and the deck forms that pre-processors export which once lost or
// corrupted data without a word.
#include <gtest/gtest.h>

#include <cmath>

#include "core/curvemanager.h"
#include "core/nodeManager.h"
#include "core/part.h"
#include "core/sectionmanager.h"
#include "core/setManager.h"
#include "elements/common/elmmanager.h"
#include "input/inp/inpReader.h"
#include "tests/input/inp/inpTestDeck.h"
#include "materials/materialmanager.h"
#include "solver/boundary.h"
#include "solver/femdynamic.h"
#include "solver/initialCondition.h"
#include "solver/timeControl.h"

namespace {

// A unit cube of eight nodes, numbered as exporters do (not from 1, with gaps).
const std::string kCube =
    "*Node\n 11, 0., 0., 0.\n 12, 1., 0., 0.\n 13, 1., 1., 0.\n 14, 0., 1., 0.\n"
    " 15, 0., 0., 1.\n 16, 1., 0., 1.\n 17, 1., 1., 1.\n 18, 0., 1., 1.\n"
    "*Element, type=C3D8R, elset=CUBE\n 1, 11, 12, 13, 14, 15, 16, 17, 18\n";
const std::string kSteel = "*Material, name=STEEL\n*Density\n7.85e-9,\n*Elastic\n210000., 0.3\n";
const std::string kStep = "*Step\n*Dynamic, Explicit\n, 1e-5\n*End Step\n";

using InpDeckTest = InpTestDeck;

}  // namespace

TEST(InpKeywordLine, OptionsAreKeyValuePairsInAnyOrderAndCase) {
  const InpKeyword nset = parseInpKeywordLine("*Nset, nset=N1, generate");
  EXPECT_EQ(nset.name, "NSET");
  EXPECT_EQ(nset.option("NSET"), "N1");
  EXPECT_TRUE(nset.has("GENERATE"));
  const InpKeyword element = parseInpKeywordLine("*element,ELSET = p1 , Type=c3d8r");
  EXPECT_EQ(element.option("TYPE"), "C3D8R");
  EXPECT_EQ(element.option("ELSET"), "P1");
  // A set named MIDSECTION stays a set; a keyword written with blanks is one name.
  EXPECT_EQ(parseInpKeywordLine("*NSET, NSET=MIDSECTION").name, "NSET");
  EXPECT_EQ(parseInpKeywordLine("*Node Output, nset=TIP").name, "NODEOUTPUT");
  EXPECT_EQ(parseInpKeywordLine("*Output, field, time interval=0.001").option("TIMEINTERVAL"), "0.001");
  // Returns, tabs and comments.
  const std::vector<InpBlock> blocks = cutInpBlocks("** note\r\n*NODE\r\n1,\t0., 1.\r\n**x\r\n\r\n2, 3.\r\n");
  ASSERT_EQ(blocks.size(), 1u);
  ASSERT_EQ(blocks[0].lines.size(), 2u);
  EXPECT_EQ(blocks[0].lines[0], (std::vector<std::string>{"1", "0.", "1."}));
}

TEST_F(InpDeckTest, CubeDeckFillsTheManagers) {
  ASSERT_TRUE(read(kCube + "*Solid Section, elset=CUBE, material=STEEL\n" + kSteel +
                   "*Nset, nset=BASE\n11, 12, 13, 14\n" +
                   "*Boundary\nBASE, ENCASTRE\n*Initial Conditions, type=VELOCITY\n15, 3, -2.\n15, 1, 4.\n" + kStep +
                   "*Output, field, number interval=4\n*Node Output, nset=BASE\nU, RF\n"))
      << messages;
  ASSERT_EQ(fem->part_array.size(), 1u);
  EXPECT_EQ(fem->part_array[0].name, "CUBE");
  const Section& section = fem->sectionManager->section_array.at(0);
  EXPECT_EQ(section.family_code, 4);
  EXPECT_EQ(section.element_formulation, 18);
  ASSERT_EQ(fem->elm_manager_array.at(0).solid_element_array_cpu.size(), 1u);
  const SolidElementCuda& solid = fem->elm_manager_array[0].solid_element_array_cpu[0];
  EXPECT_EQ(solid.node_id[0], 1);  // node 11 is the first node read
  EXPECT_EQ(solid.node_id[7], 8);
  const Material& steel = fem->materialManager->material_array.at(0);
  EXPECT_EQ(steel.type, 2);
  EXPECT_DOUBLE_EQ(steel.density, 7.85e-9);
  EXPECT_DOUBLE_EQ(steel.youngs_modulus, 210000.0);
  EXPECT_DOUBLE_EQ(steel.poissons_ratio, 0.3);
  ASSERT_EQ(fem->boundaryManager->boundary_array.size(), 1u);
  for (int d = 0; d < 6; ++d) EXPECT_EQ(fem->boundaryManager->boundary_array[0]->dof_flag[d], 1);
  ASSERT_EQ(fem->initial_condition_array->size(), 1u);  // two lines of one node merge
  EXPECT_DOUBLE_EQ((*fem->initial_condition_array)[0].value[0], 4.0);
  EXPECT_DOUBLE_EQ((*fem->initial_condition_array)[0].value[2], -2.0);
  EXPECT_DOUBLE_EQ(fem->timeControl->end_time, 1e-5);
  EXPECT_DOUBLE_EQ(fem->timeControl->output_interval, 2.5e-6);
  EXPECT_TRUE(said("*NODEOUTPUT")) << messages;
}

TEST_F(InpDeckTest, ShellsSectionsAndPlasticTables) {
  const std::string deck =
      "*Node\n1, 0., 0.\n2, 1., 0.\n3, 1., 1.\n4, 0., 1.\n5, 2., 0., 0.\n"
      "*Part, name=SKIN\n*Element, type=S4R\n1, 1, 2, 3, 4\n*Element, type=S3R, elset=TRI\n2, 2, 5, 3\n*End Part\n"
      "*Elset, elset=ALL\nSKIN, TRI\n*Shell Section, elset=ALL, material=AL, section integration=GAUSS\n0.002\n"
      "*Material, name=AL\n*Plastic\n250., 0.\n300., 0.1\n*Expansion\n2e-5\n*Elastic\n70000., 0.33\n*Density\n2.7e-9\n" +
      kStep;
  ASSERT_TRUE(read(deck)) << messages;
  EXPECT_TRUE(said("*EXPANSION"));
  ASSERT_EQ(fem->part_array.size(), 2u);  // the S4R block is named by its *PART
  EXPECT_EQ(fem->part_array[0].name, "SKIN");
  const std::vector<Section>& sections = fem->sectionManager->section_array;
  EXPECT_EQ(sections.at(0).element_formulation, 9);
  EXPECT_EQ(sections.at(1).element_formulation, 14);
  EXPECT_EQ(sections.at(0).point_count, 5);  // the data line gives no point count
  for (int k = 0; k < 4; ++k) EXPECT_DOUBLE_EQ(sections[1].thickness[k], 0.002);
  // A node line with two coordinates puts z = 0 and shifts nothing.
  EXPECT_DOUBLE_EQ(fem->nodeManager->node_array_cpu.at(4).coord[0], 2.0);
  const Material& al = fem->materialManager->material_array.at(0);
  EXPECT_EQ(al.type, 4);
  EXPECT_DOUBLE_EQ(al.yield_stress, 250.0);
  EXPECT_DOUBLE_EQ(al.density, 2.7e-9);  // *DENSITY after *PLASTIC and *EXPANSION
  const Curve* found = nullptr;
  for (const Curve& curve : fem->curveManager->curve_array) {
    if (curve.id == al.curve_id) found = &curve;
  }
  ASSERT_NE(found, nullptr) << al.curve_id;
  const Curve& hardening = *found;
  ASSERT_EQ(hardening.count, 3);  // one pair per line, flat on to a strain of 1
  EXPECT_DOUBLE_EQ(hardening.x[1], 0.1);
  EXPECT_DOUBLE_EQ(hardening.y[1], 300.0);
  EXPECT_DOUBLE_EQ(hardening.x[2], 1.0);
}

TEST_F(InpDeckTest, SetsNodesAndSystems) {
  InpModel model;
  ASSERT_TRUE(
      readModel("*System\n1., 0., 0., 1., 1., 0.\n0., 0., 0.\n*Node, system=R, nset=A\n1, 2., 0., 0.\n"
                "*System\n*Node\n5, 0., 0., 0.\n7, 1., 0.\n*Node\n2, 0., 1., 0.\n"
                "*Nset, nset=R, generate\n1, 7, 3\n*Nset, nset=B\nA, 5\n",
                model))
      << messages;
  // e1 = unit(b - a) = y, e3 = unit(e1 x (c - a)) = z, e2 = e3 x e1 = -x.
  EXPECT_NEAR(model.nodes[0].x[0], 1.0, 1e-15);
  EXPECT_NEAR(model.nodes[0].x[1], 2.0, 1e-15);
  // Several *NODE blocks keep every node.
  ASSERT_EQ(model.nodes.size(), 4u);
  EXPECT_EQ(model.nodes[3].id, 2);
  EXPECT_EQ(model.nodeSets.at("R"), (std::vector<int>{1, 4, 7}));
  EXPECT_EQ(model.nodeSets.at("B"), (std::vector<int>{1, 5}));
}

// Pre-processors write a *NODE block per component: a deck of a thousand
// of them reads every node, and a number repeated in a later block is
// still caught.
TEST_F(InpDeckTest, ThousandNodeBlocksAreAllRead) {
  std::string nodes;
  for (int block = 0; block < 1000; ++block) {
    nodes += "*Node\n";
    for (int k = 0; k < 2; ++k) {
      const int id = 100 + 2 * block + k;
      nodes += std::to_string(id) + ", " + std::to_string(id) + "., 2., 3.\n";
    }
  }
  ASSERT_TRUE(read(kCube + nodes + "*Solid Section, elset=CUBE, material=STEEL\n" + kSteel + kStep)) << messages;
  ASSERT_EQ(fem->nodeManager->node_array_cpu.size(), 8u + 2000u);
  InpModel model;
  EXPECT_FALSE(readModel(kCube + nodes + "*Node\n1500, 0., 0., 0.\n", model));
  EXPECT_TRUE(said("node 1500 is defined twice")) << messages;
}

TEST_F(InpDeckTest, BoundaryForms) {
  InpModel model;
  ASSERT_TRUE(readModel(kCube + "*Nset, nset=N\n11\n*Amplitude, name=A1\n0., 0., 0.001, 1.\n"
                                "*Boundary, type=VELOCITY, amplitude=A1\nN, 1, 3, 0.5\n"
                                "*Boundary, AMPLITUDE=A1, TYPE=ACCELERATION\n12, 2, , 1.E3\n"
                                "*Boundary\n13, XSYMM\n14, 3\n",
                        model))
      << messages;
  ASSERT_EQ(model.boundaries.size(), 4u);
  EXPECT_EQ(model.boundaries[0].kind, 2);
  EXPECT_EQ(model.boundaries[0].flags, (std::array<int, 6>{1, 1, 1, 0, 0, 0}));
  // Only field 1 decides between a node and a set: 1.E3 is a value.
  EXPECT_FALSE(model.boundaries[1].isSet);
  EXPECT_EQ(model.boundaries[1].kind, 3);
  EXPECT_EQ(model.boundaries[1].amplitude, "A1");
  EXPECT_DOUBLE_EQ(model.boundaries[1].value, 1000.0);
  EXPECT_EQ(model.boundaries[2].flags, (std::array<int, 6>{1, 0, 0, 0, 1, 1}));
  EXPECT_EQ(model.boundaries[3].flags, (std::array<int, 6>{0, 0, 1, 0, 0, 0}));
  ASSERT_EQ(model.amplitudes.size(), 1u);
  EXPECT_EQ(model.amplitudes[0].points[1], (std::pair<double, double>{0.001, 1.0}));
}

TEST_F(InpDeckTest, BadDecksAreRefusedWithTheirReason) {
  const std::string good = kCube + "*Solid Section, elset=CUBE, material=STEEL\n" + kSteel + kStep;
  struct Case {
    std::string deck;
    std::string message;
  };
  std::string longTable = "*Amplitude, name=LONG, definition=SMOOTH STEP\n";
  for (int k = 0; k < 129; ++k) longTable += std::to_string(k) + "., 1.\n";
  const Case cases[] = {
      {good + "*Include, input=mesh.inp\n", "mesh.inp"},
      {good + "*Assembly, name=A\n*Instance, name=CUBE-1, part=CUBE\n10., 0., 0.\n*End Instance\n", "CUBE-1"},
      {good + "*Boundary\n11, 7\n", "1 to 6"},
      {good + "*Boundary\nNOSET, 1\n", "NOSET"},
      {good + "*Initial Conditions, type=VELOCITY\n99, 1, 1.\n", "node 99"},
      {good + "*Initial Conditions, type=VELOCITY\nNOSET, 1, 1.\n", "*INITIAL CONDITIONS (line 23) names the node set"},
      {good + "*Nset, nset=X\n11, 99\n", "*NSET (line 22) X: node 99 is not defined"},
      {good + "*Element, type=C3D8R, elset=CUBE\n 1, 11, 12, 13, 14, 15, 16, 17, 18\n",
       "*ELEMENT (line 23): element 1 is defined twice"},
      {kCube + "*Solid Section, elset=CUBE, material=NOSUCH\n" + kSteel + kStep,
       "the section (line 12) of part CUBE: material NOSUCH is not defined"},
      {good + "*Initial Conditions, type=VELOCITY\n11, 0, 1.\n", "1 to 6"},
      {good + longTable, "LONG: 129 points; a smooth step holds at most 128"},
      {good + "*Nset, nset=X, generate\n5, 1\n", "range"},
      {good + "*Surface, name=S\nCUBE, S1\n*Contact Pair, interaction=I\nS, NOSURF\n", "NOSURF"},
      {good + "*Surface, name=S\nCUBE, SPOS\n*Contact Pair, interaction=I\nS, S\n", "no face SPOS"},
      {good + "*Surface, name=S\nCUBE, S1\n*Contact\n*Contact Property Assignment\nS, I\n", "interaction name"},
      {good + "*Surface, name=S\nCUBE, S1\n*Contact\n*Contact Inclusions\nS\n*Contact Property Assignment\n, , NOI\n",
       "NOI"},
      {good + "*Surface, name=S\nCUBE, S1\n*Contact\n*Contact Inclusions, ALL EXTERIOR\n"
              "*Contact Property Assignment\nS, S, I\n*Surface Interaction, name=I\n",
       "whole model"},
      {good + "*Surface, name=S, type=NODE\n11\n*Tie, name=T\nS, S\n", "made of nodes"},
      {good + "*Surface, name=S, type=NODE\n99\n", "node 99"},
      {good + "*Surface Interaction, name=I\n*Friction\n0.1, 20.\n", "one friction coefficient"},
      {good + "*Amplitude, name=D, definition=DECAY\n0., 1., 0., 0.\n", "td must be > 0"},
      {good + "*Amplitude, name=P, definition=PERIODIC\n129, 1., 0., 0.\n", "more than 128 terms"},
      {good + "*Amplitude, name=P, definition=PERIODIC\n2, 1., 0., 0.\n1., 0.\n", "N pairs"},
      {good + "*Amplitude, name=U, definition=USER\n", "USER"},
      {good + "*MPC\nPIN, 11, 12\n", "PIN"},
      {good + "*Surface, name=S\nCUBE, S1\n*Dsload\nS, TRVEC, 1.\n", "TRVEC"},
      {kCube + "*Solid Section, elset=NONE, material=STEEL\n" + kSteel + kStep, "NONE"},
      {kCube + kSteel + kStep, "no section"},
      {kCube + "*Solid Section, elset=CUBE, material=STEEL\n*Material, name=STEEL\n*Elastic\n1., 0.3\n" + kStep,
       "*DENSITY"},
      {kCube + "*Solid Section, elset=CUBE, material=STEEL\n" + kSteel + "*Plastic, hardening=KINEMATIC\n1., 0.\n" +
           kStep,
       "HARDENING"},
      {good + "*Nset, nset=PAIR\n11, 12\n*Rigid Body, ref node=PAIR, elset=CUBE\n", "not one"},
      {good + "*Rigid Body, ref node=NOSUCH, elset=CUBE\n", "neither a node number nor a node set"},
      {good + "*Node\n100, 0., 0., 2.\n*Rigid Body, ref node=100, elset=CUBE\n*Boundary\n100, 6, 6, 0.1\n",
       "rotation about the reference node"},
      {good + "*Node\n100, 0., 0., 2.\n*Nset, nset=TWO\n11, 100\n*Rigid Body, ref node=100, elset=CUBE\n"
              "*Boundary\nTWO, 1\n",
       "among other nodes"},
      {kCube + "*Element, type=C3D8R, elset=CUBE\n 1, 11, 12, 13, 14, 15, 16, 17, 18\n", "twice"},
      // An element on a node the deck lacks, with the whole-model contact
      // (which walked the faces of such elements after the refusal).
      {good + "*Element, type=C3D8R, elset=CUBE\n 2, 15, 16, 17, 18, 19, 20, 21, 99\n"
              "*Contact\n*Contact Inclusions, ALL EXTERIOR\n",
       "node 99"},
      // A block cut short: no data line where the block needs one.
      {good + "*Surface, name=S\nCUBE, S1\n*Contact\n*Contact Inclusions\n",
       "*CONTACTINCLUSIONS (line 25) has no data line"},
      {good + "*Contact\n*Contact Property Assignment\n , , I\n",
       "*CONTACT (line 22) has no *CONTACT INCLUSIONS block"},
      {good + "*Nset, nset=FIXED\n*Boundary\nFIXED, 1\n", "*NSET (line 22) has no data line"},
      {good + "*Boundary\n", "*BOUNDARY (line 22) has no data line"},
      {good + "*Surface Interaction, name=I\n*Friction\n", "*FRICTION (line 23) has no data line"},
      // Every line read or refused: a line past what its block takes, text
      // before the first keyword, a control character in a field, a number
      // written as decks never write them, an element on a node no line
      // defines (a ten-node tetrahedron's mid-side node).
      {kCube +
           "*Solid Section, elset=CUBE, material=STEEL\n*Material, name=STEEL\n7.\n*Density\n7.85e-9,\n"
           "*Elastic\n210000., 0.3\n" +
           kStep,
       "*MATERIAL (line 14): the line \"7.\" is past the data lines the block takes"},
      {"cube model\n" + good, "line 1 \"cube model\" comes before the first keyword"},
      {good + "*Node\n100, 0., 0., 2" + std::string(1, '\0') + ".5\n",
       "line 23, character 15 is the control character 0x00"},
      {good + "*Node\n100, 0x0F, 0., 0.\n", "node 100: \"0x0F\" is not a coordinate"},
      {good + "*Node\n21, 0., 0., 2.\n22, 1., 0., 2.\n23, 0., 1., 2.\n24, 0., 0., 3.\n25, .5, 0., 2.\n26, .5, .5, 2.\n"
              "27, 0., .5, 2.\n28, 0., 0., 2.5\n29, .5, 0., 2.5\n*Element, type=C3D10M, elset=TET\n"
              "2, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30\n*Solid Section, elset=TET, material=STEEL\n",
       "*ELEMENT (line 33): element 2 names node 30, which no *NODE line defines"},
      // Fields past those a line takes: a largest time increment, a normal
      // at a node, stray values; hardening at several temperatures.
      {kCube + "*Solid Section, elset=CUBE, material=STEEL\n" + kSteel + "*Step\n*Dynamic, Explicit\n, 1e-5, , 1e-9\n",
       "*DYNAMIC (line 20): field 4 holds \"1e-9\", past the fields this version reads from the line"},
      {good + "*Node\n100, 0., 0., 2., 0., 0., 1.\n", "*NODE (line 23): field 5 holds \"0.\""},
      {good + "*Boundary\n11, 1, 3, 0., 7\n", "*BOUNDARY (line 23): field 5 holds \"7\""},
      {good + "*System\n0., 0., 0., 1., 0., 0., 5.\n0., 1., 0.\n", "*SYSTEM (line 23): field 7 holds \"5.\""},
      {good + "*Initial Conditions, type=VELOCITY\n11, 1, 1., 5.\n", "field 4 holds \"5.\""},
      {kCube + "*Solid Section, elset=CUBE, material=STEEL\n*Material, name=STEEL\n*Density\n7.85e-9, xyz\n" +
           "*Elastic\n210000., 0.3\n" + kStep,
       "*DENSITY (line 15): field 2 holds \"xyz\", which is not a number"},
      {good + "*Part, name=P\n*End Part\n11, 12\n", "*ENDPART (line 24): the line \"11, 12\" is past"},
      {good + "*Nset, nset=A\n11\n*Output, history\n*Node Output, nset=A\nNOSUCHVAR\n",
       "*NODEOUTPUT (line 25): NOSUCHVAR is no output variable"},
      {kCube + "*Solid Section, elset=CUBE, material=STEEL\n" + kSteel + "*Plastic\n250., 0., 20.\n300., 0.1, 400.\n" +
           kStep,
       "line 20 gives the hardening at temperature 400. beside 20."},
      // Options that would change what is computed: each acts or refuses.
      {good + "*Surface, name=S\nCUBE, S1\n*Surface, name=T\nCUBE, S2\n*Tie, name=G, constraint ratio=0.5\nS, T\n",
       "line 26: *TIE (the option CONSTRAINTRATIO=0.5 is not acted on"},
      {good + "*Amplitude, name=A, smooth=0.25\n0., 0., 1., 1.\n", "SMOOTH=0.25 asks for a table smoothed"},
      {good + "*Amplitude, name=A, value=ABSOLUTE\n0., 0., 1., 1.\n", "VALUE=ABSOLUTE asks for amplitudes"},
      {good + "*Boundary\n11, 1\n*Boundary, op=NEW\n12, 2\n", "OP=NEW would take away the boundaries"},
      {good + "*Node, system=C\n100, 1., 0., 0.\n", "SYSTEM=C asks for coordinates of another system"},
      {kCube + "*Solid Section, elset=CUBE, material=STEEL\n" + kSteel +
           "*Step, nlgeom=NO\n*Dynamic, Explicit\n, 1e-5\n",
       "NLGEOM=NO asks for a geometrically linear step"},
      {good + "*Surface, name=S\nCUBE, S1\n*Contact Pair, interaction=I, mechanical constraint=PENALTY\nS, S\n",
       "MECHANICAL CONSTRAINT=PENALTY asks for a penalty contact"},
      {good + "*Surface Interaction, name=I\n*Surface Behavior, pressure-overclosure=EXPONENTIAL\n0.1, 1.\n",
       "PRESSURE-OVERCLOSURE=EXPONENTIAL asks for a softened contact"},
      {kCube + "*Solid Section, elset=CUBE, material=STEEL\n" + kSteel + "*Step\n*Dynamic\n, 1e-5\n*End Step\n",
       "*DYNAMIC (an implicit dynamic step"},
      {kCube +
           "*Solid Section, elset=CUBE, material=STEEL\n*Element, type=S4R, elset=SKIN\n2, 11, 12, 13, 14\n"
           "*Shell Section, elset=SKIN, material=STEEL\n0.1\n" +
           kSteel + "*Plastic\n250., 0.\n" + kStep,
       "integrates through the thickness by Simpson's rule"},
      // Blocks of mechanics this version does not compute, listed together.
      {kCube + "*Solid Section, elset=CUBE, material=STEEL\n" + kSteel + "*Damping, alpha=0.1\n0.1\n" + kStep +
           "*Cload\n11, 1, 5.\n*Equation\n2\n11, 1, 1., 12, 1, -1.\n",
       "results:\n  line 18: *DAMPING\n  line 24: *CLOAD\n  line 26: *EQUATION"},
  };
  for (const Case& c : cases) {
    FEMDynamic* other = new FEMDynamic[1];
    other->newManagers();
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(readInpText(other, c.deck, "bad.inp"), 0) << c.message;
    const std::string text = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(text.find(c.message), std::string::npos) << text;
    delete[] other;
  }
}

TEST_F(InpDeckTest, ExportedFormsThatWouldBeLostAreRefusedOrRead) {
  // Elements of a type this version does not read and a later step would
  // be left out of the run: both are named with their lines and the deck
  // is refused. Output requests and thermal data are named and read on.
  EXPECT_FALSE(read(kCube +
                    "*Element, type=C3D20R, elset=X\n2, 1, 2\n3, 1, 2\n"
                    "*Solid Section, elset=CUBE, material=STEEL\n" +
                    kSteel + kStep + "*Step\n*Dynamic, Explicit\n, 5.\n*Boundary\n11, 1\n*End Step\n"));
  EXPECT_TRUE(
      said("line 12: *ELEMENT (element type C3D20R is not read by this version; its 2 element line(s) "
           "would be left out)"))
      << messages;
  EXPECT_TRUE(said("line 25: *STEP (only the first step is run")) << messages;
  FEMDynamic* thermal = new FEMDynamic[1];
  thermal->newManagers();
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(readInpText(thermal,
                        kCube + "*Solid Section, elset=CUBE, material=STEEL\n" + kSteel +
                            "*Conductivity\n50.\n*Restart, write\n" + kStep + "*Incrementation Output\n",
                        "thermal.inp"),
            1);
  const std::string named = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(named.find("*CONDUCTIVITY (line 18) is not acted on by this version"), std::string::npos) << named;
  EXPECT_NE(named.find("*RESTART (line 20) is not acted on by this version"), std::string::npos) << named;
  EXPECT_NE(named.find("*INCREMENTATIONOUTPUT"), std::string::npos) << named;
  delete[] thermal;
  // A rigid body over an element set: its part is rigid and keeps its mass data.
  FEMDynamic* rigid = new FEMDynamic[1];
  rigid->newManagers();
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(readInpText(rigid,
                        kCube +
                            "*Node\n100, 0.5, 0.5, 0.5\n*Nset, nset=REF\n100\n*Elset, elset=E\n1\n"
                            "*Rigid Body, ref node=REF, elset=E\n" +
                            kSteel + kStep,
                        "rigid.inp"),
            1);
  const std::string text = ::testing::internal::GetCapturedStderr();
  const Part& part = rigid->part_array.at(0);
  const Material& material = rigid->materialManager->material_array.at(static_cast<size_t>(part.material_id - 1));
  EXPECT_EQ(material.type, 1) << text;
  EXPECT_DOUBLE_EQ(material.density, 7.85e-9);
  delete[] rigid;
}
