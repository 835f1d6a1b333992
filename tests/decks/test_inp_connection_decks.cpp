// .inp decks whose parts are connected (ties, contacts, welds, rigid
// bodies) or loaded (pressures, motions with amplitudes), run through the
// time loop: keyword twins within 1e-12 and answers from mechanics.
#include "tests/deviceTest.h"

#include <algorithm>
#include <cmath>
#include <fstream>

#include "tests/decks/deckCase.h"

using namespace deckcase;

namespace {

std::vector<Sample> runText(const std::string& name, const std::string& deck) {
  const fs::path scratch = scratchFolder(name);
  std::ofstream(scratch / "deck.inp") << deck;
  return runInProcessAt(scratch);
}

// Sum of m v (component k) over nodes first..last (1-based numbers).
double momentum(const Sample& sample, int first, int last, int k) {
  double sum = 0.0;
  for (int n = first; n <= last; ++n) {
    const NodeCuda& node = sample.nodes.at(static_cast<size_t>(n - 1));
    sum += node.mass * node.vel[k];
  }
  return sum;
}

// A 1 mm cube of eight nodes from node `first`, its lower face at z0 and
// its left face at x0; element `id`.
std::string cubeNodes(int first, double x0, double z0) {
  std::string text;
  for (int k = 0; k < 8; ++k) {
    const double x = x0 + ((k == 1 || k == 2 || k == 5 || k == 6) ? 1.0 : 0.0);
    const double y = (k == 2 || k == 3 || k == 6 || k == 7) ? 1.0 : 0.0;
    const double z = z0 + (k >= 4 ? 1.0 : 0.0);
    text += std::to_string(first + k) + ", " + std::to_string(x) + ", " + std::to_string(y) + ", " + std::to_string(z) +
            "\n";
  }
  return text;
}
std::string cubeElement(int id, int first) {
  std::string text = std::to_string(id);
  for (int k = 0; k < 8; ++k) text += ", " + std::to_string(first + k);
  return text + "\n";
}

const std::string kSteel = "*Material, name=STEEL\n*Density\n7.85e-9\n*Elastic\n210000., 0.\n";

}  // namespace

// The tie_bar_wave keyword case written as an .inp deck with a *TIE.
DEVICE_TEST(InpConnectionDecks, TiedBarRunsAsItsKeywordTwin) {
  expectTwins(runCaseDeck("inp_tie_bar", "deck.inp"), runCaseDeck("tie_bar_wave", "deck.k"));
}

// A 1 kg block at 1 m/s pressed onto a clamped plate by 1000 Pa on 0.01
// m^2 (10 N), mu = 0.5 from the model-wide property assignment of a general
// contact: it decelerates at mu p A / m = 5 m/s^2, as its keyword twin.
DEVICE_TEST(InpConnectionDecks, PressedBlockSlidesWithFrictionAsItsKeywordTwin) {
  const std::vector<Sample> inp = runCaseDeck("inp_friction", "deck.inp");
  expectTwins(inp, runCaseDeck("inp_friction", "deck.k"));
  ASSERT_GT(inp.size(), 100u);
  const Sample& last = inp.back();
  double mass = 0.0;
  for (int n = 26; n <= 33; ++n) mass += last.nodes.at(static_cast<size_t>(n - 1)).mass;
  EXPECT_NEAR(mass, 1.0, 1e-12);
  EXPECT_NEAR(momentum(last, 26, 33, 0) / mass, 1.0 - 5.0 * last.time, 0.03 * 5.0 * last.time);
}

// A rigid body of an element set meets the clamped block as its keyword
// twin's rigid part does: as the master of the pair.
DEVICE_TEST(InpConnectionDecks, RigidBodyInAContactPairRunsAsItsKeywordTwin) {
  expectTwins(runCaseDeck("inp_rigid_block", "deck.inp"), runCaseDeck("inp_rigid_block", "deck.k"));
}

// Two free steel cubes, the upper one falling onto the lower at 10 m/s:
// the contact must pass momentum to the lower cube and conserve the total.
// Self-contact of a surface of both cubes (the exterior faces of their one
// element set), and ALL EXTERIOR over two parts, both do; the self-contact
// of the upper cube's surface alone does not touch the lower cube.
DEVICE_TEST(InpConnectionDecks, SelfContactAndAllExteriorBounce) {
  const std::string nodes = "*Node\n" + cubeNodes(1, 0.0, 0.0) + cubeNodes(9, 0.0, 1.001);
  const std::string rest = "*Solid Section, elset=BOTH, material=STEEL\n" + kSteel +
                           "*Nset, nset=TOP, generate\n9, 16\n*Initial Conditions, type=VELOCITY\nTOP, 3, -1.E4\n"
                           "*Step\n*Dynamic, Explicit\n, 2e-6\n";
  const std::string onePart = nodes + "*Element, type=C3D8, elset=BOTH\n" + cubeElement(1, 1) + cubeElement(2, 9);
  const std::string twoParts = nodes + "*Element, type=C3D8, elset=LOWER\n" + cubeElement(1, 1) +
                               "*Element, type=C3D8, elset=UPPER\n" + cubeElement(2, 9) +
                               "*Elset, elset=BOTH\nLOWER, UPPER\n";
  struct Case {
    const char* name;
    std::string deck;
    bool bounces;
  };
  const Case cases[] = {
      {"inp_self_contact", onePart + rest + "*Surface, name=OUTSIDE\nBOTH\n*Contact\n*Contact Inclusions\nOUTSIDE\n",
       true},
      {"inp_all_exterior", twoParts + rest + "*Contact\n*Contact Inclusions, ALL EXTERIOR\n", true},
      {"inp_upper_self", onePart + rest + "*Surface, name=UP\n2\n*Contact\n*Contact Inclusions\nUP,\n", false},
  };
  for (const Case& c : cases) {
    const std::vector<Sample> samples = runText(c.name, c.deck + "*End Step\n");
    ASSERT_GT(samples.size(), 5u) << c.name;
    const double total = momentum(samples.front(), 1, 16, 2);
    const double lower = momentum(samples.back(), 1, 8, 2);
    EXPECT_NEAR(momentum(samples.back(), 1, 16, 2), total, 1e-9 * std::fabs(total)) << c.name;
    if (c.bounces) {
      EXPECT_LT(lower, 0.3 * total) << c.name;  // both negative: the lower cube took over 30 %
    } else {
      EXPECT_NEAR(lower, 0.0, 1e-12 * std::fabs(total)) << c.name;
    }
  }
}

// Free cubes side by side: a constant pressure p on the top of cube 1 gives
// it the momentum -p A t; a pressure following a ramp to t1 gives cube 2
// -p A t^2 / (2 t1). Cubes 3 and 4 are moved along x by velocity boundaries
// with PERIODIC (sin w t) and DECAY (exp(-t / td)) amplitudes.
DEVICE_TEST(InpConnectionDecks, PressuresAndMotionsFollowTheirAmplitudes) {
  const double p = 100.0, t1 = 2e-6, v0 = 1000.0, w = 2.0 * M_PI / 2e-6, td = 5e-7;
  std::string deck =
      "*Node\n" + cubeNodes(1, 0.0, 0.0) + cubeNodes(9, 2.0, 0.0) + cubeNodes(17, 4.0, 0.0) + cubeNodes(25, 6.0, 0.0) +
      "*Element, type=C3D8, elset=ALL\n" + cubeElement(1, 1) + cubeElement(2, 9) + cubeElement(3, 17) +
      cubeElement(4, 25) + "*Solid Section, elset=ALL, material=STEEL\n" + kSteel +
      "*Surface, name=TOP1\n1, S2\n*Surface, name=TOP2\n2, S2\n"
      "*Nset, nset=C3, generate\n17, 24\n*Nset, nset=C4, generate\n25, 32\n"
      "*Amplitude, name=RAMP\n0., 0., 2e-6, 1.\n"
      "*Amplitude, name=WAVE, definition=PERIODIC\n1, " +
      std::to_string(w) +
      ", 0., 0.\n0., 1.\n"
      "*Amplitude, definition=DECAY, name=FADE\n0., 1., 0., 5e-7\n"
      "*Step\n*Dynamic, Explicit\n, 2e-6\n*Dsload\nTOP1, P, 100.\n*Dsload, amplitude=RAMP\nTOP2, P, 100.\n"
      "*Boundary, type=VELOCITY, amplitude=WAVE\nC3, 1, 1, 1000.\n"
      "*Boundary, amplitude=FADE, type=VELOCITY\nC4, 1, 1, 1000.\n*End Step\n";
  const std::vector<Sample> samples = runText("inp_amplitudes", deck);
  ASSERT_GT(samples.size(), 5u);
  const Sample& last = samples.back();
  const double t = last.time;
  // A full step (the last one is shortened to end on the end time).
  const double dt = samples[samples.size() - 2].time - samples[samples.size() - 3].time;
  EXPECT_EQ(t, 2e-6);
  EXPECT_NEAR(momentum(last, 1, 8, 2), -p * t, p * dt);
  EXPECT_NEAR(momentum(last, 9, 16, 2), -p * t * t / (2.0 * t1), p * t / t1 * dt);
  for (const NodeCuda& node : last.nodes) {
    if (node.id >= 17 && node.id <= 24) {
      EXPECT_NEAR(node.total_disp[0], v0 * (1.0 - std::cos(w * t)) / w, 1.01 * v0 * dt) << node.id;
    } else if (node.id >= 25) {
      EXPECT_NEAR(node.total_disp[0], v0 * td * (1.0 - std::exp(-t / td)), 1.01 * v0 * dt) << node.id;
    }
  }
}

// Rigid bodies moved through their reference nodes: body 1 (one cube) by a
// velocity boundary along x with its other components held; body 2 (two
// element blocks in one element set, so two parts of one body) by an initial
// velocity at a reference node given as a one-node set. Every node of a
// body, the reference node too, moves with it.
DEVICE_TEST(InpConnectionDecks, RigidBodiesMoveThroughTheirReferenceNodes) {
  const std::string deck = "*Node\n" + cubeNodes(1, 0.0, 0.0) + cubeNodes(9, 3.0, 0.0) + cubeNodes(17, 3.0, 1.0) +
                           cubeNodes(25, 9.0, 0.0) +
                           "100, 0.5, 0.5, 5.\n200, 3.5, 0.5, 5.\n"
                           "*Element, type=C3D8R, elset=BODY1\n" +
                           cubeElement(1, 1) + "*Element, type=C3D8R, elset=LOW\n" + cubeElement(2, 9) +
                           "*Element, type=C3D8R, elset=HIGH\n" + cubeElement(3, 17) +
                           "*Element, type=C3D8, elset=FREE\n" + cubeElement(4, 25) +
                           "*Solid Section, elset=FREE, material=STEEL\n"
                           "*Elset, elset=BODY2\nLOW, HIGH\n*Nset, nset=REF2\n200\n" +
                           kSteel +
                           "*Rigid Body, ref node=100, elset=BODY1\n*Rigid Body, elset=BODY2, ref node=REF2\n"
                           "*Initial Conditions, type=VELOCITY\nREF2, 3, -500.\n"
                           "*Step\n*Dynamic, Explicit\n, 1e-5\n"
                           "*Boundary, type=VELOCITY\n100, 1, 1, 2000.\n100, 2, 6\n*End Step\n";
  const std::vector<Sample> samples = runText("inp_rigid_reference", deck);
  ASSERT_GT(samples.size(), 5u);
  const Sample& last = samples.back();
  // In reading order: body 1 (nodes 1-8 and 100), body 2 (9-24 and 200),
  // the free cube (25-32), which keeps still.
  for (size_t n = 0; n < last.nodes.size(); ++n) {
    if (n >= 24 && n < 32) continue;
    const bool first = n < 8 || n == 32;
    const NodeCuda& node = last.nodes[n];
    EXPECT_NEAR(node.vel[0], first ? 2000.0 : 0.0, 1e-9) << n;
    EXPECT_NEAR(node.vel[1], 0.0, 1e-9) << n;
    EXPECT_NEAR(node.vel[2], first ? 0.0 : -500.0, 1e-9) << n;
  }
  EXPECT_NEAR(last.nodes[32].total_disp[0], 2000.0 * last.time, 2000.0 * 1e-7);
}

// A BEAM constraint welds a corner of a moving cube to a corner of a cube
// at rest: the second cube is dragged, and the welded corner of the second
// moves as the corner of the first.
DEVICE_TEST(InpConnectionDecks, MpcWeldsTwoNodes) {
  const std::string deck = "*Node\n" + cubeNodes(1, 0.0, 0.0) + cubeNodes(9, 1.5, 0.0) +
                           "*Element, type=C3D8, elset=A\n" + cubeElement(1, 1) + "*Element, type=C3D8, elset=B\n" +
                           cubeElement(2, 9) +
                           "*Elset, elset=BOTH\nA, B\n*Solid Section, elset=BOTH, material=STEEL\n" + kSteel +
                           "*Nset, nset=MOVING, generate\n1, 8\n*MPC\nBEAM, 2, 9\n"
                           "*Initial Conditions, type=VELOCITY\nMOVING, 1, 1000.\n"
                           "*Step\n*Dynamic, Explicit\n, 2e-6\n*End Step\n";
  const std::vector<Sample> samples = runText("inp_mpc", deck);
  ASSERT_GT(samples.size(), 5u);
  const Sample& last = samples.back();
  const double moved = last.nodes[1].total_disp[0];
  EXPECT_GT(moved, 1e-3);
  EXPECT_NEAR(last.nodes[8].total_disp[0], moved, 1e-3 * moved);
  // The cubes swing against each other through the weld: the other
  // corners of the second take up momentum (its largest over the run).
  double dragged = 0.0;
  for (const Sample& sample : samples) dragged = std::max(dragged, momentum(sample, 10, 16, 0));
  EXPECT_GT(dragged, 0.1 * momentum(samples.front(), 1, 8, 0));
}
