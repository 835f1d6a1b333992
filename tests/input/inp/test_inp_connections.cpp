// What the .inp reader makes of interactions, general contacts, ties and
// analytic amplitudes, read into the managers.
#include <gtest/gtest.h>

#include <cmath>

#include "contact/contactManager.h"
#include "contact/surfaceInteract.h"
#include "contact/surfacemanager.h"
#include "core/curvemanager.h"
#include "core/nodeManager.h"
#include "input/inp/inpReader.h"
#include "input/link/preprocessModel.h"
#include "tests/input/inp/inpTestDeck.h"
#include "solver/femdynamic.h"

namespace {

// Two unit cubes, one above the other, and the material and step.
const std::string kCubes =
    "*Node\n1, 0., 0., 0.\n2, 1., 0., 0.\n3, 1., 1., 0.\n4, 0., 1., 0.\n5, 0., 0., 1.\n6, 1., 0., 1.\n7, 1., 1., 1.\n"
    "8, 0., 1., 1.\n9, 0., 0., 2.\n10, 1., 0., 2.\n11, 1., 1., 2.\n12, 0., 1., 2.\n"
    "*Element, type=C3D8R, elset=CUBES\n1, 1, 2, 3, 4, 5, 6, 7, 8\n2, 5, 6, 7, 8, 9, 10, 11, 12\n"
    "*Solid Section, elset=CUBES, material=STEEL\n*Material, name=STEEL\n*Density\n7.85e-9\n*Elastic\n210000., 0.3\n"
    "*Step\n*Dynamic, Explicit\n, 1e-5\n*End Step\n";

using InpConnections = InpTestDeck;

}  // namespace

// Each interaction is registered with its own sub-keywords, also one
// without friction; a contact takes the friction of its interaction (a
// pair's INTERACTION, or the property assignment of its two surfaces, each
// line read on its own); one surface on an inclusion line is its
// self-contact.
TEST_F(InpConnections, InteractionsReachTheirContacts) {
  ASSERT_TRUE(read(kCubes + "*Surface, name=A\n1, S2\n*Surface, name=B\n2, S1\n*Surface, name=C\n1, S1\n"
                            "*Surface Interaction, name=SMOOTH\n*Surface Behavior, pressure-overclosure=HARD\n"
                            "*Surface Interaction, name=I1\n*Friction\n0.3\n"
                            "*Surface Interaction, name=I3\n*Friction, exponential decay\n0.5, 0.2, 5.\n"
                            "*Surface Interaction, name=STUCK\n*Friction, rough\n"
                            "*Contact Pair, interaction=SMOOTH\nC, B\n"
                            "*Contact\n*Contact Inclusions\nA, B\nC,\n"
                            "*Contact Property Assignment\nA, B, I1\nC, , I3\n , , STUCK\n"))
      << messages;
  const std::vector<Contact>& contacts = fem->contactManager->contact_array;
  ASSERT_EQ(contacts.size(), 3u);
  for (const Contact& c : contacts) EXPECT_EQ(c.contact_type, SURFACE_TO_SURFACE);
  EXPECT_EQ(contacts[2].slave_id, contacts[2].master_id);  // C with itself
  const std::vector<SurfaceInteract*>& interacts = fem->surfaceManager->surfaceInteractArrayCpu;
  ASSERT_EQ(interacts.size(), 2u);  // the frictionless pair has none
  const auto* i1 = dynamic_cast<const FrictionSurfaceInteract*>(interacts[0]);
  const auto* i3 = dynamic_cast<const FrictionSurfaceInteract*>(interacts[1]);
  ASSERT_TRUE(i1 != nullptr && i3 != nullptr);
  EXPECT_DOUBLE_EQ(i1->static_coefficient, 0.3);
  EXPECT_DOUBLE_EQ(i1->dynamic_coefficient, 0.0);
  EXPECT_DOUBLE_EQ(i3->static_coefficient, 0.5);
  EXPECT_DOUBLE_EQ(i3->dynamic_coefficient, 0.2);
  EXPECT_DOUBLE_EQ(i3->decay_coefficient, 5.0);
  const std::map<std::vector<int>, int>& assigned = fem->contactManager->interact_assign_map;
  ASSERT_EQ(assigned.size(), 2u);
  EXPECT_EQ(assigned.at({contacts[1].master_id, contacts[1].slave_id}), 1);
  EXPECT_EQ(assigned.at({contacts[2].master_id, contacts[2].slave_id}), 2);
  // Rough surfaces never slip: the friction law's coefficient for them.
  InpModel model;
  EXPECT_TRUE(readModel("*Surface Interaction, name=R\n*Friction, ROUGH\n", model)) << messages;
  ASSERT_EQ(model.interactions.size(), 1u);
  EXPECT_DOUBLE_EQ(model.interactions[0].friction[0], 100.0);
}

// The position tolerance is read whatever the order of the options; a slave
// side may be a surface of nodes (node numbers and node sets).
TEST_F(InpConnections, TiesWithTolerancesAndNodeSurfaces) {
  ASSERT_TRUE(read(kCubes +
                   "*Nset, nset=MID\n6, 7\n*Surface, name=TOP1\n1, S2\n*Surface, name=LOW2\n2, S1\n"
                   "*Surface, type=NODE, name=MIDNODES\nMID\n5\n"
                   "*Tie, type=SURFACE TO SURFACE, position tolerance=0.05, adjust=NO, name=T1\nLOW2, TOP1\n"
                   "*Tie, name=T2, adjust=no\nMIDNODES, TOP1\n"
                   // ADJUST=YES (the default) moves a slave node within reach onto its master face.
                   "*Node\n20, 0.5, 0.5, 2.01\n*Surface, type=NODE, name=NEAR\n20\n*Surface, name=TOP2\n2, S2\n"
                   "*Tie, name=T3\nNEAR, TOP2\n*Node\n21, 0.25, 0.25, 2.02\n*Surface, type=NODE, name=NEAR2\n21\n"
                   "*Tie, name=T4, adjust=YES\nNEAR2, TOP2\n"))
      << messages;
  EXPECT_NEAR(fem->nodeManager->node_array_cpu.at(12).coord[2], 2.0, 1e-12);
  EXPECT_NEAR(fem->nodeManager->node_array_cpu.at(13).coord[2], 2.0, 1e-12);
  const std::vector<Contact>& contacts = fem->contactManager->contact_array;
  ASSERT_EQ(contacts.size(), 4u);
  EXPECT_EQ(contacts[0].contact_type, TIED_SHELL_EDGE_TO_SURFACE);
  EXPECT_DOUBLE_EQ(contacts[0].tie_tolerance, 0.05);
  EXPECT_EQ(contacts[0].slave_type, ENTITY_SURFACE);
  EXPECT_EQ(contacts[1].slave_type, ENTITY_NODE_SET);
  EXPECT_DOUBLE_EQ(contacts[1].tie_tolerance, 0.0);
}

// Amplitudes sampled at known times; the definition decides in every order
// of the options. A table or smooth step holds its first value before its
// first point and its last value after its last point.
TEST_F(InpConnections, AmplitudesSampledAtKnownTimes) {
  ASSERT_TRUE(read(kCubes +
                   "*Amplitude, name=D, definition=DECAY\n0.5, 2., 1e-6, 1e-6\n"
                   "*Amplitude, name=M, definition=MODULATED\n1., 3., 0., 1e6, 2e6\n"
                   "*Amplitude, name=P, time=TOTAL TIME, definition=PERIODIC\n2, 1e6, 0., 1.\n0.5, 0.25, 0., 2.\n"
                   "*Amplitude, name=S, definition=SMOOTH STEP\n0., 0., 1e-6, 4., 3e-6, 1.\n"
                   "*Amplitude, name=LATE\n2e-6, 2., 3e-6, 3.\n"))
      << messages;
  const std::vector<Curve>& curves = fem->curveManager->curve_array;
  ASSERT_GE(curves.size(), 4u);
  for (size_t k = 0; k < 4; ++k) ASSERT_NE(curves[k].amplitude, nullptr) << k;
  const double t = 2.5e-6;
  EXPECT_NEAR(curves[0].returnValue(t), 0.5 + 2.0 * std::exp(-1.5), 1e-14);
  EXPECT_DOUBLE_EQ(curves[0].returnValue(0.5e-6), 0.5);  // before t0
  EXPECT_NEAR(curves[1].returnValue(t), 1.0 + 3.0 * std::sin(2.5) * std::sin(5.0), 1e-14);
  EXPECT_NEAR(curves[2].returnValue(t),
              1.0 + 0.5 * std::cos(2.5) + 0.25 * std::sin(2.5) + 0.0 * std::cos(5.0) + 2.0 * std::sin(5.0), 1e-14);
  EXPECT_DOUBLE_EQ(curves[3].returnValue(1e-6), 4.0);
  EXPECT_NEAR(curves[3].returnValue(0.5e-6), 2.0, 1e-14);  // half way up, half the step
  EXPECT_NEAR(curves[3].returnValue(2e-6), 2.5, 1e-14);
  EXPECT_DOUBLE_EQ(curves[3].returnValue(8e-6), 1.0);  // after the step's end too
  EXPECT_DOUBLE_EQ(curves[4].returnValue(1e-6), 2.0);
  EXPECT_DOUBLE_EQ(curves[4].returnValue(2.5e-6), 2.5);
  EXPECT_DOUBLE_EQ(curves[4].returnValue(6e-6), 3.0);
}

// One element of each solid type, in element sets: a unit wedge, a ten-node
// tetrahedron, two stacked hexahedra and a four-node tetrahedron (these
// overlap, which reading does not mind).
const std::string kSolids =
    "*Node\n1, 0., 0., 0.\n2, 1., 0., 0.\n3, 0., 1., 0.\n4, 0., 0., 1.\n5, 1., 0., 1.\n6, 0., 1., 1.\n"
    "11, 0., 0., 0.\n12, 2., 0., 0.\n13, 0., 2., 0.\n14, 0., 0., 2.\n15, 1., 0., 0.\n16, 1., 1., 0.\n"
    "17, 0., 1., 0.\n18, 0., 0., 1.\n19, 1., 0., 1.\n20, 0., 1., 1.\n"
    "31, 0., 0., 0.\n32, 1., 0., 0.\n33, 1., 1., 0.\n34, 0., 1., 0.\n35, 0., 0., 1.\n36, 1., 0., 1.\n"
    "37, 1., 1., 1.\n38, 0., 1., 1.\n39, 0., 0., 2.\n40, 1., 0., 2.\n41, 1., 1., 2.\n42, 0., 1., 2.\n"
    "61, 0., 0., 0.\n62, 1., 0., 0.\n63, 0., 1., 0.\n64, 0., 0., 1.\n"
    "*Element, type=C3D6, elset=WEDGE\n1, 1, 2, 3, 4, 5, 6\n"
    "*Element, type=C3D10M, elset=TET\n2, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20\n"
    "*Element, type=C3D8R, elset=HEX\n3, 31, 32, 33, 34, 35, 36, 37, 38\n"
    "*Element, type=C3D8R, elset=HEX2\n4, 35, 36, 37, 38, 39, 40, 41, 42\n"
    "*Element, type=C3D4, elset=TET4\n6, 61, 62, 63, 64\n"
    "*Elset, elset=TOWER\nHEX, HEX2\n"
    "*Surface, name=W\nWEDGE\n*Surface, name=T\nTET\n*Surface, name=H\nHEX\n*Surface, name=TWO\nTOWER\n"
    "*Surface, name=T4\nTET4\n*Surface, name=T4S\n6, S1\n6, S2\n6, S3\n6, S4\n";

// The faces of every solid element a surface can name point out of the
// element, and together they cover its boundary: a unit wedge, a ten-node
// tetrahedron (each face four triangles through its mid-side nodes), a
// four-node tetrahedron (by its exterior and by its faces S1-S4) and a
// hexahedron, each alone, give their exterior faces; two hexahedra sharing
// a face give ten; a pyramid's faces are refused by name.
TEST_F(InpConnections, SurfaceFacesPointOutAndCoverTheElement) {
  InpModel model;
  ASSERT_TRUE(readModel(kSolids +
                            "*Node\n51, 0., 0., 0.\n52, 1., 0., 0.\n53, 1., 1., 0.\n54, 0., 1., 0.\n55, 0.5, 0.5, 1.\n"
                            "*Element, type=C3P5, elset=PYRAMID\n5, 51, 52, 53, 54, 55\n"
                            "*Surface, name=TWICE\n2, S2\n2, S2\n*Surface, name=P\n5, S1\n",
                        model))
      << messages;
  std::map<int, std::array<double, 3>> at;
  for (const InpModel::Node& node : model.nodes) at[node.id] = {node.x[0], node.x[1], node.x[2]};
  struct Case {
    const char* surface;
    size_t segments;
    double area;
    std::array<double, 3> centre;
  };
  const Case cases[] = {
      {"W", 5, 3.0 + std::sqrt(2.0), {1.0 / 3, 1.0 / 3, 0.5}},
      {"T", 16, 6.0 + 2.0 * std::sqrt(3.0), {0.5, 0.5, 0.5}},
      {"H", 6, 6.0, {0.5, 0.5, 0.5}},
      {"TWO", 10, 10.0, {0.5, 0.5, 1.0}},
      {"TWICE", 4, 2.0, {0.5, 0.5, 0.5}},
      {"T4", 4, 1.5 + 0.5 * std::sqrt(3.0), {0.25, 0.25, 0.25}},
      {"T4S", 4, 1.5 + 0.5 * std::sqrt(3.0), {0.25, 0.25, 0.25}},
  };
  for (const Case& c : cases) {
    std::vector<std::array<int, 4>> segments;
    std::string why;
    ASSERT_TRUE(inpSurfaceSegments(model, c.surface, segments, why)) << why;
    ASSERT_EQ(segments.size(), c.segments) << c.surface;
    double area = 0.0;
    for (const std::array<int, 4>& s : segments) {
      // Area vector of the polygon (a triangle repeats its last node).
      std::array<double, 3> n{}, mid{};
      for (size_t k = 0; k < 4; ++k) {
        const std::array<double, 3>& p = at[s[k]];
        const std::array<double, 3>& q = at[s[(k + 1) % 4]];
        n[0] += 0.5 * (p[1] * q[2] - p[2] * q[1]);
        n[1] += 0.5 * (p[2] * q[0] - p[0] * q[2]);
        n[2] += 0.5 * (p[0] * q[1] - p[1] * q[0]);
        for (size_t i = 0; i < 3; ++i) mid[i] += 0.25 * p[i];
      }
      area += std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
      double outward = 0.0;
      for (size_t i = 0; i < 3; ++i) outward += n[i] * (mid[i] - c.centre[i]);
      EXPECT_GT(outward, 0.0) << c.surface << " segment " << s[0] << " " << s[1] << " " << s[2] << " " << s[3];
    }
    EXPECT_NEAR(area, c.area, 1e-12) << c.surface;
  }
  std::vector<std::array<int, 4>> segments;
  std::string why;
  EXPECT_FALSE(inpSurfaceSegments(model, "P", segments, why));
  EXPECT_NE(why.find("pyramids"), std::string::npos) << why;
}

// A contact pair's sides on solids are touched from outside only, as the
// faces of a part are: a node behind such a face is inside the solid and
// must be pushed out through it, never to its back.
TEST_F(InpConnections, ContactPairSidesOnSolidsAreOneSided) {
  ASSERT_TRUE(read(kSolids + "*Solid Section, elset=WEDGE, material=STEEL\n*Solid Section, elset=TET, material=STEEL\n"
                             "*Solid Section, elset=TOWER, material=STEEL\n*Solid Section, elset=TET4, material=STEEL\n"
                             "*Material, name=STEEL\n*Density\n7.85e-9\n*Elastic\n210000., 0.3\n"
                             "*Contact Pair\nT4, W\nT, TWO\nT4S, TWO\n*Step\n*Dynamic, Explicit\n, 1e-5\n*End Step\n"))
      << messages;
  ASSERT_EQ(preprocessModel(fem), 1);
  ASSERT_EQ(fem->contactManager->contact_array.size(), 3u);
  for (const Contact& c : fem->contactManager->contact_array) {
    for (const Surface* side : {c.slaveSurface, c.masterSurface}) {
      for (const SegmentCuda& seg : side->segment_array) EXPECT_EQ(seg.one_sided, 1) << "surface " << side->id;
    }
  }
}

// ALL EXTERIOR is the whole-model contact: each part against itself and
// the others, both ways, less the pair of parts a tie glues together.
TEST_F(InpConnections, AllExteriorLeavesOutTiedParts) {
  const std::string parts =
      "*Node\n1, 0., 0., 0.\n2, 1., 0., 0.\n3, 1., 1., 0.\n4, 0., 1., 0.\n5, 0., 0., 1.\n6, 1., 0., 1.\n"
      "7, 1., 1., 1.\n8, 0., 1., 1.\n9, 0., 0., 1.\n10, 1., 0., 1.\n11, 1., 1., 1.\n12, 0., 1., 1.\n"
      "13, 0., 0., 2.\n14, 1., 0., 2.\n15, 1., 1., 2.\n16, 0., 1., 2.\n"
      "*Element, type=C3D8R, elset=LOWER\n1, 1, 2, 3, 4, 5, 6, 7, 8\n"
      "*Element, type=C3D8R, elset=UPPER\n2, 9, 10, 11, 12, 13, 14, 15, 16\n"
      "*Solid Section, elset=LOWER, material=STEEL\n*Solid Section, elset=UPPER, material=STEEL\n"
      "*Material, name=STEEL\n*Density\n7.85e-9\n*Elastic\n210000., 0.3\n"
      "*Surface, name=TOP\nLOWER, S2\n*Surface, name=BOTTOM\nUPPER, S1\n";
  const std::string step = "*Step\n*Dynamic, Explicit\n, 1e-5\n*Contact\n*Contact Inclusions, ALL EXTERIOR\n";
  for (bool tied : {false, true}) {
    SCOPED_TRACE(tied ? "tied" : "free");
    TearDown();
    SetUp();
    ASSERT_TRUE(read(parts + (tied ? "*Tie, name=GLUE\nBOTTOM, TOP\n" : "") + step + "*End Step\n")) << messages;
    EXPECT_EQ(fem->contactManager->all_exterior_flag, 1);
    ASSERT_EQ(preprocessModel(fem), 1);
    int between = 0, self = 0;
    for (const Contact& c : fem->contactManager->contact_array) {
      EXPECT_EQ(c.two_way, 1);
      (c.masterSurface == c.slaveSurface ? self : between) += 1;
    }
    EXPECT_EQ(self, 2);
    EXPECT_EQ(between, tied ? 0 : 1);
  }
}
