// Hourglass controls chosen per part: a part's HGID names its *HOURGLASS
// card, a part without one takes *CONTROL_HOURGLASS. Four parts share their
// material in pairs (two blocks of one-point hexahedra, two strips of
// Belytschko-Tsay shells), so that the elements of two parts with different
// controls meet in one group of the element kernels; every node starts in
// an hourglass mode. Each part must move exactly as in a deck where every
// part has the coefficient its control gives it, in both loops.
#include "tests/deviceTest.h"

#include <cmath>
#include <cstdio>
#include <string>
#include <tuple>
#include <vector>

#include "core/nodeManager.h"
#include "solver/femdynamic.h"
#include "tests/solver/motionDeck.h"

using namespace motiondeck;

namespace {

constexpr int kBlockNodes = 12;     // 2 x 1 x 1 cubes
constexpr int kStripNodes = 6;      // 2 x 1 shells
constexpr double kSamePath = 1e-5;  // relative velocity difference of one motion

// A strip of two shells of 0.1 in the plane z = 0 at height y0; parts 3
// and 4 share section and material 3.
std::string shellStrip(int part, int hgid, int nodeOffset, int elementOffset, double y0) {
  std::string deck = "*NODE\n";
  for (int j = 0; j <= 1; ++j)
    for (int i = 0; i <= 2; ++i)
      deck += std::to_string(nodeOffset + 1 + i + 3 * j) + " " + num(0.1 * i) + " " + num(y0 + 0.1 * j) + " 0\n";
  deck += "*ELEMENT_SHELL\n";
  for (int i = 0; i < 2; ++i) {
    const int a = nodeOffset + 1 + i;
    deck += card({std::to_string(elementOffset + 1 + i), std::to_string(part), std::to_string(a), std::to_string(a + 1),
                  std::to_string(a + 4), std::to_string(a + 3)},
                 8);
  }
  deck += "*PART\nstrip" + std::to_string(part) + "\n" +
          card({std::to_string(part), "3", "3", "", hgid != 0 ? std::to_string(hgid) : ""});
  if (part == 3) {
    deck += "*SECTION_SHELL\n" + card({"3", "2", "0.8333", "3"}) + card({"0.01", "0.01", "0.01", "0.01"}) +
            "*MAT_ELASTIC\n" + card({"3", "1.0", "1.0e4", "0.3"});
  }
  return deck;
}

// Initial velocity cards putting every node of a block of 2 x 1 x 1 cubes
// in an hourglass pattern: alternate signs from node to node.
std::string hourglassVelocities(const Block& b) {
  std::string cards;
  for (int k = 0; k <= 1; ++k)
    for (int j = 0; j <= 1; ++j)
      for (int i = 0; i <= 2; ++i) {
        const std::string v = num(((i + j + k) % 2 == 0 ? 0.01 : -0.01));
        cards += card({std::to_string(b.node(i, j, k)), v, "0.0", v});
      }
  return cards;
}

// The model with its hourglass cards of one form: the model's coefficient
// and the one of *HOURGLASS 7, which parts 1 and 3 name.
std::string model(const std::string& form, double modelCoefficient, double partCoefficient) {
  Block first;
  first.nx = 2;
  first.h = 0.1;
  first.hourglassId = 7;
  Block second = first;
  second.part = 2;
  second.material = 1;
  second.hourglassId = 0;
  second.nodeOffset = kBlockNodes;
  second.elementOffset = 2;
  second.origin[1] = 1.0;
  std::string deck = first.cards() + second.cards() + shellStrip(3, 7, 2 * kBlockNodes, 4, 2.0) +
                     shellStrip(4, 0, 2 * kBlockNodes + kStripNodes, 6, 3.0) + termination(0.01) +
                     "*CONTROL_HOURGLASS\n" + card({form, num(modelCoefficient)}) + "*HOURGLASS\n" +
                     card({"7", form, num(partCoefficient)});
  // Every node in an hourglass pattern: alternate signs from node to node.
  deck += "*INITIAL_VELOCITY_NODE\n" + hourglassVelocities(first) + hourglassVelocities(second);
  for (int n = 2 * kBlockNodes + 1; n <= 2 * kBlockNodes + 2 * kStripNodes; ++n) {
    const int local = (n - 2 * kBlockNodes - 1) % kStripNodes;
    deck += card({std::to_string(n), "0.0", "0.0", num((local % 3 + local / 3) % 2 == 0 ? 0.01 : -0.01)});
  }
  return deck;
}

using Trace = std::vector<std::vector<NodeCuda>>;

Trace record(const std::string& name, const std::string& deck, bool host) {
  Trace trace;
  auto keep = [&](FEMDynamic& fem, double) { trace.push_back(fem.nodeManager->node_array_cpu); };
  if (host) {
    runHostWatching(name + "_host", deck, keep);
  } else {
    runWatching(name, deck, keep);
  }
  return trace;
}

// Largest difference of the velocities of nodes first..last between two
// runs, relative to the largest velocity of the first.
double velocityDifference(const Trace& a, const Trace& b, int first, int last) {
  EXPECT_EQ(a.size(), b.size());
  double scale = 0.0, worst = 0.0;
  for (std::size_t s = 0; s < a.size() && s < b.size(); ++s)
    for (int n = first; n <= last; ++n)
      for (int k = 0; k < 6; ++k) {
        const double va = a[s][static_cast<std::size_t>(n - 1)].vel[k];
        scale = std::max(scale, std::fabs(va));
        worst = std::max(worst, std::fabs(va - b[s][static_cast<std::size_t>(n - 1)].vel[k]));
      }
  return scale > 0.0 ? worst / scale : worst;
}

}  // namespace

DEVICE_TEST(HourglassPartDeck, EachPartTakesItsOwnControl) {
  const int firstShell = 2 * kBlockNodes + 1, secondShell = firstShell + kStripNodes;
  // The stiffness form (IHQ 4) and the viscous form (IHQ 1, with
  // coefficients its step holds).
  for (auto [form, low, high] : {std::tuple{"4", 0.05, 0.3}, {"1", 0.02, 0.12}})
    for (bool host : {false, true}) {
      SCOPED_TRACE(std::string(host ? "host loop" : "GPU loop") + ", IHQ " + form);
      const Trace mixed = record("hourglass_mixed", model(form, low, high), host);
      const Trace stiff = record("hourglass_all_stiff", model(form, high, high), host);
      const Trace soft = record("hourglass_all_soft", model(form, low, low), host);
      ASSERT_GT(mixed.size(), 10u);
      // Parts 1 and 3 (HGID 7) move as with their coefficient everywhere,
      // parts 2 and 4 as with the model's everywhere. (Where the controls differ the GPU
      // kernels compute the elements one by one, else four at a time; the two
      // agree to rounding, which the stiff hourglass motion grows over the
      // run to about 1e-6.)
      EXPECT_LT(velocityDifference(stiff, mixed, 1, kBlockNodes), kSamePath);
      EXPECT_LT(velocityDifference(stiff, mixed, firstShell, secondShell - 1), kSamePath);
      EXPECT_LT(velocityDifference(soft, mixed, kBlockNodes + 1, 2 * kBlockNodes), kSamePath);
      EXPECT_LT(velocityDifference(soft, mixed, secondShell, secondShell + kStripNodes - 1), kSamePath);
      // And the two coefficients do move the parts differently.
      EXPECT_GT(velocityDifference(stiff, soft, 1, kBlockNodes), 1e-3);
      EXPECT_GT(velocityDifference(stiff, soft, firstShell, secondShell - 1), 1e-3);
    }
}

// A part that names an hourglass id the deck does not define is refused,
// and so is a part of one-point hexahedra that would take a form this
// version does not compute, a control that asks for bulk viscosity, or a
// part of shells whose viscous form the step does not hold (the solids'
// step holds it); the messages name the part by the deck's id.
TEST(HourglassPartDeck, UnknownControlsAndFormsRefuseTheModel) {
  Block b;
  b.part = 5;
  b.hourglassId = 9;
  const struct {
    const char* name;
    std::string cards;
    const char* message;
    const char* absent = nullptr;  // a message the deck must not give
  } rows[] = {
      {"hourglass_unknown", "", "part 5 (block5): hourglass control 9 (HGID) is not in the model"},
      {"hourglass_form_8", "*HOURGLASS\n" + card({"9", "8"}),
       "part 5 (block5): hourglass form 8 (IHQ) is not computed by this version"},
      {"hourglass_bulk", "*HOURGLASS\n" + card({"9", "1", "0.1", "", "2.0"}),
       "field 5: Q1 2 asks for bulk viscosity coefficients other than 1.5 and 0.06"},
      {"hourglass_viscous_limit", "*HOURGLASS\n" + card({"9", "2", "0.15"}) + shellStrip(3, 9, 8, 1, 2.0),
       "(strip3): the viscous hourglass form 2 (IHQ) with QM 0.15 is beyond the step's stability limit "
       "QM x TSSFAC <= 0.125 at the time-step scale factor 0.9",
       "(block5): the viscous"},
      {"hourglass_shell_form_6", "*HOURGLASS\n" + card({"9", "6", "1.0"}) + shellStrip(3, 9, 8, 1, 2.0),
       "(strip3): hourglass form 6 (IHQ) is not computed by this version; quadrilateral shells"},
  };
  for (const auto& row : rows) {
    std::string console;
    EXPECT_EQ(runProgram(row.name, b.cards() + row.cards + termination(0.01), &console), 1);
    EXPECT_NE(console.find(row.message), std::string::npos) << console;
    if (row.absent != nullptr) {
      EXPECT_EQ(console.find(row.absent), std::string::npos) << console;
    }
  }
  // The solids' step holds their viscous form at any QM: a block in an
  // hourglass mode with QM 1 runs at TSSFAC 1 to its end (an unstable run
  // is stopped by the energy watch).
  b.nx = 2;
  std::string console;
  EXPECT_EQ(runProgram("hourglass_viscous_solid",
                       b.cards() + "*HOURGLASS\n" + card({"9", "1", "1.0"}) + "*CONTROL_TIMESTEP\n" +
                           card({"", "1.0"}) + "*INITIAL_VELOCITY_NODE\n" + hourglassVelocities(b) + termination(0.2),
                       &console),
            0)
      << console;
}

// The assumed-strain form (IHQ 6) with QM 1 gives the one-point hexahedra
// the elastic stiffness of their bending modes: a cantilever of ten cubes,
// one element thick, loaded at its tip bends as beam theory says, P L^3 /
// (3 E I) with the shear term P L / (k G A); the stiffness form with QM 0.1
// leaves the modes too soft (more than twice the deflection).
DEVICE_TEST(HourglassPartDeck, AssumedStrainFormBendsACoarseCantileverAsBeamTheory) {
  Block beam;
  beam.nx = 10;
  beam.h = 0.1;
  beam.density = 7850.0;
  beam.young = 2.0e11;
  beam.poisson = 0.3;
  beam.hourglassId = 1;
  std::string clamp = "*BOUNDARY_SPC_NODE\n", tip = "*LOAD_NODE_POINT\n";
  for (int k = 0; k <= 1; ++k)
    for (int j = 0; j <= 1; ++j) {
      clamp += card({std::to_string(beam.node(0, j, k)), "0", "1", "1", "1"});
      tip += card({std::to_string(beam.node(10, j, k)), "2", "1", "-250"});
    }
  const double I = 0.1 * 0.001 / 12.0, G = 2.0e11 / 2.6;
  const double theory = 1000.0 / (3.0 * 2.0e11 * I) + 1000.0 / (5.0 / 6.0 * G * 0.01);
  for (const char* form : {"6", "4"}) {
    SCOPED_TRACE(std::string("IHQ ") + form);
    double deflection = 0.0;
    int samples = 0;
    runWatching(std::string("cantilever_ihq") + form,
                beam.cards() + "*HOURGLASS\n" + card({"1", form, std::string(form) == "6" ? "1.0" : "0.1"}) + clamp +
                    tip + curve(1, {{0.0, 0.0}, {0.1, 1.0}, {1.0, 1.0}}) + termination(0.15),
                [&](FEMDynamic& fem, double time) {
                  if (time < 0.1) return;  // held after the ramp: the mean over the last third
                  deflection -=
                      fem.nodeManager->node_array_cpu[static_cast<size_t>(beam.node(10, 0, 0) - 1)].total_disp[1];
                  ++samples;
                });
    ASSERT_GT(samples, 0);
    const double ratio = deflection / samples / theory;
    std::printf("IHQ %s: tip deflection %.4g of beam theory\n", form, ratio);
    if (std::string(form) == "6") {
      EXPECT_NEAR(ratio, 1.0, 0.03);
    } else {
      EXPECT_GT(ratio, 2.0);
    }
  }
}
