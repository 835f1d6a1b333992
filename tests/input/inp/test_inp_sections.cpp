// .inp sections, section controls, foam and rubber blocks and output
// requests as the reader hands them to the solver, and the deck forms it
// refuses with their reason.
#include <gtest/gtest.h>

#include "core/curvemanager.h"
#include "core/part.h"
#include "core/section.h"
#include "elements/common/hourglassControlManager.h"
#include "input/inp/inpReader.h"
#include "materials/material.h"
#include "materials/materialmanager.h"
#include "output/nodeOutput.h"
#include "output/outputManager.h"
#include "output/tecplotOutput.h"
#include "solver/femdynamic.h"

namespace {

// Two unit cubes, one part each; the materials and the step follow.
const std::string kCubes =
    "*Node\n1, 0., 0., 0.\n2, 1., 0., 0.\n3, 1., 1., 0.\n4, 0., 1., 0.\n5, 0., 0., 1.\n6, 1., 0., 1.\n7, 1., 1., 1.\n"
    "8, 0., 1., 1.\n9, 2., 0., 0.\n10, 2., 1., 0.\n11, 2., 1., 1.\n12, 2., 0., 1.\n"
    "*Element, type=C3D8R, elset=LEFT\n1, 1, 2, 3, 4, 5, 6, 7, 8\n"
    "*Element, type=C3D8R, elset=RIGHT\n2, 2, 9, 10, 3, 6, 12, 11, 7\n"
    "*Nset, nset=TIP\n9, 10, 11, 12\n";
const std::string kStep = "*Step\n*Dynamic, Explicit\n, 1e-5\n*End Step\n";
const std::string kSteel = "*Material, name=STEEL\n*Density\n7.85e-9\n*Elastic\n210000., 0.3\n";

struct Read {
  FEMDynamic* fem = new FEMDynamic[1];
  int result = 0;
  std::string messages;
  explicit Read(const std::string& deck) {
    fem->newManagers();
    ::testing::internal::CaptureStderr();
    result = readInpText(fem, deck, "test.inp");
    messages = ::testing::internal::GetCapturedStderr();
  }
  ~Read() { delete[] fem; }
  bool said(const std::string& text) const { return messages.find(text) != std::string::npos; }
};

const Curve* curveWithId(const FEMDynamic& fem, int id) {
  for (const Curve& curve : fem.curveManager->curve_array) {
    if (curve.id == id) return &curve;
  }
  return nullptr;
}

}  // namespace

TEST(InpSections, ControlsFoamAndOutputsReachTheSolver) {
  std::string cubes = kCubes;
  cubes.replace(cubes.find("C3D8R, elset=RIGHT"), 5, "SC8R");
  const Read read(cubes +
                  "*Section Controls, name=EC-1, hourglass=ENHANCED\n*Section Controls, name=EC-2\n"
                  "*Solid Section, elset=LEFT, controls=EC-2, material=STEEL\n,\n"
                  "*Shell Section, material=FOAM, elset=RIGHT\n1., 5\n" +
                  kSteel +
                  "*Material, name=FOAM\n*Density\n5e-11\n*Low Density Foam\n*Uniaxial Compression Test Data\n"
                  "0., 0.\n0.1, 0.2\n0.3, 0.6\n*Uniaxial Tension Test Data\n0., 0.\n0.05, 0.5\n" +
                  kStep +
                  "*Output, history, time interval=2e-6\n*Node Output, nset=TIP\nRF,S, PE\n"
                  "*Output, field\n*Tecplot Output\nU\nLE, S\n*Node Output\nU, V\n*Element Output, elset=RIGHT\nS\n");
  ASSERT_EQ(read.result, 1) << read.messages;
  EXPECT_TRUE(read.said("without NSET= (the whole model)")) << read.messages;
  // The model's control (the stiffness form, for parts without controls)
  // and one per block, numbered in deck order, of its HOURGLASS= form
  // (ENHANCED: the assumed-strain form, QM 1); LEFT names the second.
  const std::vector<HourglassControl>& controls = read.fem->hourglassControlManager->hourglass_array_cpu;
  ASSERT_EQ(controls.size(), 3u);
  EXPECT_EQ(controls[0].type, 4);
  EXPECT_EQ(controls[1].type, 6);
  EXPECT_EQ(controls[1].coefficient, 1.0);
  EXPECT_EQ(controls[2].type, 4);
  EXPECT_EQ(read.fem->part_array.at(0).hourglass_id, 2);
  EXPECT_EQ(read.fem->part_array.at(1).hourglass_id, 0);
  // A continuum shell part takes the material of its shell section.
  EXPECT_TRUE(read.said("the thickness of its shell section")) << read.messages;
  EXPECT_EQ(read.fem->part_array.at(1).section->element_formulation, 23);
  EXPECT_EQ(read.fem->part_array.at(1).material_id, 2);

  // The foam block without data takes the default parameters; the next two
  // blocks are its loading and unloading curves, (strain, stress).
  const Material& foam = read.fem->materialManager->material_array.at(1);
  EXPECT_EQ(foam.type, 9);
  EXPECT_DOUBLE_EQ(foam.density, 5e-11);
  EXPECT_DOUBLE_EQ(foam.foam_constants[0], 0.0001);
  EXPECT_DOUBLE_EQ(foam.foam_constants[1], 0.005);
  EXPECT_DOUBLE_EQ(foam.foam_constants[2], 2.0);
  const Curve* loading = curveWithId(*read.fem, foam.loading_curve_id);
  const Curve* unloading = curveWithId(*read.fem, foam.unloading_curve_id);
  ASSERT_NE(loading, nullptr);
  ASSERT_NE(unloading, nullptr);
  ASSERT_EQ(loading->count, 3);
  EXPECT_DOUBLE_EQ(loading->x[2], 0.6);
  EXPECT_DOUBLE_EQ(loading->y[2], 0.3);
  ASSERT_EQ(unloading->count, 2);
  EXPECT_DOUBLE_EQ(unloading->x[1], 0.5);

  // Outputs in deck order, variables split at commas; the field request
  // without an interval takes the run's.
  const auto& outputs = read.fem->outputManager->outputList_;
  ASSERT_EQ(outputs.size(), 3u);
  const auto* node = dynamic_cast<const NodeOutput*>(outputs[0].get());
  ASSERT_NE(node, nullptr);
  EXPECT_EQ(node->variableNames_, (std::vector<std::string>{"RF", "S", "PE"}));
  EXPECT_DOUBLE_EQ(node->interval_, 2e-6);
  EXPECT_EQ(node->setName_, "TIP");
  EXPECT_EQ(node->setId_, 1);
  const auto* tecplot = dynamic_cast<const TecplotOutput*>(outputs[1].get());
  ASSERT_NE(tecplot, nullptr);
  EXPECT_TRUE(tecplot->dispFlag_ && tecplot->stressFlag_ && tecplot->strainFlag_);
  EXPECT_TRUE(tecplot->variableNames_.empty());
  EXPECT_DOUBLE_EQ(tecplot->interval_, 0.0);
  EXPECT_TRUE(read.fem->outputManager->hasTecplot_);
  EXPECT_EQ(outputs[2]->setName_, "RIGHT");
  EXPECT_GT(outputs[2]->setId_, 0);
}

TEST(InpSections, DecksThatWouldRunWrongAreRefused) {
  const std::string sections =
      "*Solid Section, elset=LEFT, material=STEEL\n*Solid Section, elset=RIGHT, material=STEEL\n";
  std::string longCurve = "*Uniaxial Tension Test Data\n";
  for (int k = 0; k < 129; ++k) longCurve += std::to_string(k) + "., " + std::to_string(k) + ".\n";
  struct Case {
    std::string deck;
    const char* message;
  };
  const Case cases[] = {
      {kCubes +
           "*Solid Section, elset=LEFT, material=STEEL, controls=NONE\n*Solid Section, elset=RIGHT, "
           "material=STEEL\n" +
           kSteel + kStep,
       "section controls NONE"},
      {kCubes + "*Section Controls, name=A\n*Section Controls, name=A\n" + sections + kSteel + kStep, "twice"},
      {kCubes + "*Section Controls, name=A, hourglass=relax stiffness\n" + sections + kSteel + kStep,
       "*SECTIONCONTROLS (line 20) A: HOURGLASS=RELAX STIFFNESS is not computed"},
      {"*Node\n1, 0, 0, 0\n2, 1, 0, 0\n3, 1, 1, 0\n4, 0, 1, 0\n*Element, type=S4R, elset=P\n1, 1, 2, 3, 4\n"
       "*Section Controls, name=E, hourglass=enhanced\n*Shell Section, elset=P, material=STEEL, controls=E\n0.01\n" +
           kSteel + kStep,
       "HOURGLASS=ENHANCED is not computed for the shells and membranes of P"},
      {kCubes + sections + "*Material, name=STEEL\n*Density\n1e-9\n*Hyperelastic, neo hooke\n1., 0.01\n" + kStep,
       "Mooney-Rivlin form"},
      {kCubes + sections + "*Material, name=STEEL\n*Density\n1e-9\n*Hyperelastic, mooney-rivlin\n1., 0.1, 0.\n" + kStep,
       "D1 must be > 0"},
      {kCubes + sections +
           "*Material, name=STEEL\n*Density\n1e-9\n*Elastic\n1., 0.3\n*Hyperelastic, mooney-rivlin\n"
           "1., 0.1, 0.01\n" +
           kStep,
       "more than one"},
      {kCubes + sections + "*Material, name=STEEL\n*Density\n1e-9\n*Low Density Foam\n*A\n0., 0.\n" + longCurve + kStep,
       "128"},
      {kCubes + sections + kSteel + kStep + "*Output, history\n*Node Output, nset=LEFT\nRF\n", "node set LEFT"},
      {kCubes + sections + kSteel + kStep + "*Output, history\n*Element Output, elset=TIP\nS\n", "element set TIP"},
      // Numbers beyond an int or a double are no ids and no coordinates.
      {kCubes + sections + kSteel + kStep + "*Nset, nset=BIG\n1e30\n", "\"1E30\" is neither a number"},
      {kCubes + "*Node\n20, inf, 0., 0.\n" + sections + kSteel + kStep, "\"inf\" is not a coordinate"},
  };
  for (const Case& c : cases) {
    const Read read(c.deck);
    EXPECT_EQ(read.result, 0) << c.message;
    EXPECT_TRUE(read.said(c.message)) << c.message << "\n" << read.messages;
  }
}
