// Friction through the GPU time loop, decks as written: a 1 kg block of one
// hexahedron on a plate under g = 10 m/s^2 (tests/decks/make_friction_tie_decks.py).
// Sliding it decelerates at mu g and stops after v0 / (mu g); pushed beyond
// mu m g it accelerates at (P - mu m g) / m, below it stays put.
#include "tests/deviceTest.h"
#include <array>
#include <cmath>
#include <fstream>
#include <memory>
#include <string>
#include <vector>
#include "contact/contactManager.h"
#include "contact/surfaceInteract.h"
#include "contact/surfacemanager.h"
#include "core/nodeManager.h"
#include "input/keyword/keywordReader.h"
#include "input/link/preprocessModel.h"
#include "solver/femdynamic.h"
#include "solver/modelViews.h"
#include "tests/contact/contactDecks.h"
#include "tests/decks/deckCase.h"

namespace {

constexpr double kG = 10.0;
constexpr int kPlateNodes = 25;  // the block's nodes follow the plate's

struct BlockState {
  double time, x, vx, z;
};

// Records the block's mean x, x velocity and z every cycle.
class BlockRecorder : public BasicOutput {
 public:
  std::vector<BlockState>* out = nullptr;
  void collect(OutputModel* fem, double time, double) override {
    NodeManager* nodes = fem->nodeManager;
    nodes->copyNodesToCpu();
    BlockState s{time, 0.0, 0.0, 0.0};
    for (int i = kPlateNodes; i < kPlateNodes + 8; ++i) {
      const NodeCuda& n = nodes->node_array_cpu[static_cast<std::size_t>(i)];
      s.x += n.coord[0] / 8.0;
      s.vx += n.vel[0] / 8.0;
      s.z += n.coord[2] / 8.0;
    }
    out->push_back(s);
  }
  void init(OutputModel*) override {}
  void write(OutputModel*, double, double) override {}
  void writeBinaryDump(OutputModel*, double, double) override {}
  void readBinaryDump(OutputModel*, double, double) override {}
};

std::vector<BlockState> runBlock(const std::string& name) {
  const deckcase::fs::path scratch = deckcase::scratchFolder(name);
  deckcase::fs::copy_file(deckcase::caseFolder(name) / "deck.k", scratch / "deck.k");
  std::vector<BlockState> states;
  auto recorder = std::make_unique<BlockRecorder>();
  recorder->out = &states;
  deckcase::runModelAt(scratch, std::move(recorder));
  return states;
}

// The state at the first record at or after time t.
const BlockState& at(const std::vector<BlockState>& s, double t) {
  for (const BlockState& b : s) {
    if (b.time >= t) return b;
  }
  return s.back();
}

// Mean acceleration between t0 and t1.
double meanAccel(const std::vector<BlockState>& s, double t0, double t1) {
  const BlockState& a = at(s, t0);
  const BlockState& b = at(s, t1);
  return (b.vx - a.vx) / (b.time - a.time);
}

}  // namespace

TEST(FrictionRun, SurfaceToSurfaceCardKeepsAllThreeCoefficientsOnItsContact) {
  FEMDynamic fem;
  fem.newManagers();
  // The reader's working copy goes into the work folder, not the source tree.
  fem.work_path = (deckcase::scratchFolder("static_dynamic_card") / "work").string();
  ASSERT_EQ(readKeywordDeck(&fem, (deckcase::caseFolder("static_dynamic") / "deck.k").string()), 1);
  ASSERT_EQ(preprocessModel(&fem), 1);
  const std::vector<SurfaceInteract*>& made = fem.surfaceManager->surfaceInteractArrayCpu;
  ASSERT_EQ(made.size(), 1u);
  ASSERT_EQ(made[0]->type, FRICTION_INTERACT);
  const auto* f = static_cast<const FrictionSurfaceInteract*>(made[0]);
  EXPECT_DOUBLE_EQ(f->static_coefficient, 0.5);
  EXPECT_DOUBLE_EQ(f->dynamic_coefficient, 0.2);
  EXPECT_DOUBLE_EQ(f->decay_coefficient, 5.0);
  ContactModel view = contactModelOf(fem);
  fem.contactManager->assignSurfaceInteracts(&view);
  ASSERT_EQ(fem.contactManager->contact_array.size(), 1u);
  EXPECT_EQ(fem.contactManager->contact_array[0].surface_interact_num, 1);
  EXPECT_EQ(fem.contactManager->global_interact_num, 0);
}

DEVICE_TEST(FrictionRun, SlidingBlockStopsAfterVOverMuGAndVSquaredOverTwoMuG) {
  const std::vector<BlockState> s = runBlock("slide_friction");
  ASSERT_GT(s.size(), 100u);
  const double mu = 0.5, v0 = 1.0;
  // Decelerates at mu g while it slides.
  EXPECT_NEAR(meanAccel(s, 0.02, 0.15), -mu * kG, 0.03 * mu * kG);
  // Stops at v0 / (mu g): the first record with the velocity at or below 0.
  double tStop = -1.0;
  for (const BlockState& b : s) {
    if (b.time > 0.01 && b.vx <= 0.0) {
      tStop = b.time;
      break;
    }
  }
  const double expectedStop = v0 / (mu * kG);
  EXPECT_NEAR(tStop, expectedStop, 0.03 * expectedStop);
  const double travel = s.back().x - s.front().x;
  const double expectedTravel = v0 * v0 / (2.0 * mu * kG);
  EXPECT_NEAR(travel, expectedTravel, 0.03 * expectedTravel);
  // And stays at rest on the plate.
  EXPECT_NEAR(s.back().vx, 0.0, 0.01 * v0);
  EXPECT_NEAR(s.back().z, s.front().z, 1e-3);
}

DEVICE_TEST(FrictionRun, WithoutFrictionTheBlockSlidesOnAtItsSpeed) {
  const std::vector<BlockState> s = runBlock("slide_frictionless");
  ASSERT_GT(s.size(), 10u);
  EXPECT_NEAR(s.back().vx, 1.0, 1e-3);
  EXPECT_NEAR(s.back().x - s.front().x, 1.0 * s.back().time, 1e-3);
}

DEVICE_TEST(FrictionRun, PushAboveMuNAcceleratesAtTheExcessAndBelowItDoesNotMove) {
  // 1 kg, N = 10 N, mu = 0.3: a push of 4 N leaves 1 N, 1 m/s^2.
  // The same with the plate written as the slave side (the search takes the
  // block's nodes as slaves), and on a rigid tool with nodes-to-surface.
  for (const char* name : {"coulomb_push_4", "coulomb_swapped_4", "coulomb_rigid_4"}) {
    const std::vector<BlockState> s = runBlock(name);
    ASSERT_GT(s.size(), 100u) << name;
    EXPECT_NEAR(meanAccel(s, 0.05, 0.2), 1.0, 0.05) << name;
  }
  // Below mu N (2 N, and 4 N against mu_s = 0.5 with mu_d = 0.2) the
  // block holds: it creeps no more than the elastic stick of the contact.
  for (const char* name : {"coulomb_push_2", "static_dynamic"}) {
    const std::vector<BlockState> s = runBlock(name);
    ASSERT_GT(s.size(), 100u) << name;
    EXPECT_LT(std::fabs(s.back().x - s.front().x), 1e-4) << name;
    EXPECT_LT(std::fabs(s.back().vx), 0.02) << name;  // sliding would give 0.4 m/s and more
  }
}

// The block of inp_friction pressed on by 1000 m/s^2 and sliding: the .inp
// deck (its surfaces become segment sets) with its *FRICTION forms and the
// keyword twin with segment sets or parts as sides stop it after v / (mu
// 1000 m/s^2); rough surfaces stop it at once.
namespace {
struct SideCase {
  const char *name, *file, *from, *to;
  double mu;  // 0: rough
};
void PrintTo(const SideCase& c, std::ostream* os) { *os << c.name; }
class FrictionSides : public testing::TestWithParam<SideCase> {};

DEVICE_TEST_P(FrictionSides, EverySideTypeSlowsTheBlockAtMuTimesItsLoad) {
  const SideCase& c = GetParam();
  const deckcase::fs::path scratch = deckcase::scratchFolder(std::string("friction_sides_") + c.name);
  std::string text = deckcase::readText(deckcase::caseFolder("inp_friction") / c.file);
  text.replace(text.find(c.from), std::string(c.from).size(), c.to);
  const bool inp = std::string(c.file) == "deck.inp";  // pressed on by 1000 m/s^2
  text.replace(text.find(inp ? "P, 1000." : "0      1000"), inp ? 8 : 11, inp ? "P, 1e5" : "0    1.0e+5");
  std::ofstream(scratch / c.file) << text;
  std::vector<BlockState> s;
  auto recorder = std::make_unique<BlockRecorder>();
  recorder->out = &s;
  deckcase::runModelAt(scratch, std::move(recorder));
  ASSERT_GT(s.size(), 100u);
  if (c.mu > 0.0) {  // it stops after v / (mu a)
    double stop = 0.0;
    for (auto b = s.begin(); b != s.end() && stop == 0.0; ++b) stop = b->vx <= 0.0 ? b->time : 0.0;
    EXPECT_NEAR(stop, 1.0 / (c.mu * 1000.0), 0.02 / (c.mu * 1000.0));
  } else {
    // Stopped at its base, it rocks on its front edge but does not slide.
    for (const BlockState& b : s) ASSERT_LT(std::fabs(b.x - s.front().x), 0.001) << "slides at " << b.time;
  }
}

INSTANTIATE_TEST_SUITE_P(Decks, FrictionSides,
                         testing::Values(SideCase{"inp", "deck.inp", "*Friction\n0.5", "*Friction\n0.1", 0.1},
                                         SideCase{"inp_rough", "deck.inp", "*Friction\n0.5", "*Friction, rough", 0.0},
                                         SideCase{"segment_sets", "deck.k", "\n       0.5", "\n       0.1", 0.1},
                                         SideCase{"parts", "deck.k", "1         2         0         0\n       0.5",
                                                  "2         1         3         3\n       0.1", 0.1}),
                         [](const auto& info) { return std::string(info.param.name); });
}  // namespace

// A steel block on a held steel plate in both loops: on a slope (gravity
// tilted by theta) it sticks below tan(theta) = mu and slides at g (sin -
// mu cos) above; pressed on by 1000 m/s^2 and sliding, flat or tall, it
// slows at mu 1000 m/s^2; thrown at 45 degrees onto the plate it takes a
// tangential impulse of mu times the normal one.
namespace {
struct BlockCase {
  const char* name;
  frictionblock::Setup setup;
};
void PrintTo(const BlockCase& c, std::ostream* os) { *os << c.name; }
class FrictionBlock : public testing::TestWithParam<BlockCase> {};

DEVICE_TEST_P(FrictionBlock, SticksBelowMuNAndSlidesAtMuN) {
  const frictionblock::Setup& s = GetParam().setup;
  for (bool host : {false, true}) {
    std::vector<std::array<double, 4>> c;  // time, x, vx, vz of the block's centre of mass
    auto watch = [&](FEMDynamic& fem, double time) {
      std::array<double, 5> sum{};
      for (auto n = fem.nodeManager->node_array_cpu.begin() + restingblock::kPlateNodes;
           n != fem.nodeManager->node_array_cpu.end(); ++n)
        sum = {sum[0] + n->mass, sum[1] + n->mass * n->coord[0], sum[2] + n->mass * n->vel[0],
               sum[3] + n->mass * n->vel[2]};
      c.push_back({time, sum[1] / sum[0], sum[2] / sum[0], sum[3] / sum[0]});
    };
    const std::string name = std::string("friction_") + GetParam().name + (host ? "_host" : "");
    host ? motiondeck::runHostWatching(name, frictionblock::deck(s), watch)
         : motiondeck::runWatching(name, frictionblock::deck(s), watch);
    ASSERT_GT(c.size(), 100u);
    const auto &start = c.front(), &half = c[c.size() / 2], &end = c.back();
    const double coulomb = s.g[0] - s.mu * s.g[1];
    if (s.v[1] > 0.0) {  // the impulses' ratio
      EXPECT_NEAR((end[2] - start[2]) / (end[3] - start[3]), -s.mu, 0.02 * s.mu) << host;
    } else if (coulomb > 0.0 || s.v[0] > 0.0) {
      EXPECT_NEAR((end[2] - half[2]) / (end[0] - half[0]), coulomb, 0.02 * std::fabs(coulomb)) << host;
    } else {
      EXPECT_LT(std::fabs(end[1] - start[1]), 1e-4 * restingblock::kBlockCell) << host;
    }
  }
}

frictionblock::Setup slope(double degrees) {
  const double theta = degrees * M_PI / 180.0;
  return {0.3, {9.81 * std::sin(theta), 9.81 * std::cos(theta)}, {0.0, 0.0}, 2, 0.03};
}

INSTANTIATE_TEST_SUITE_P(
    Decks, FrictionBlock,
    testing::Values(BlockCase{"slope_10", slope(10)}, BlockCase{"slope_15", slope(15)},
                    BlockCase{"slope_20", slope(20)}, BlockCase{"slope_30", slope(30)},
                    BlockCase{"slope_45", slope(45)}, BlockCase{"pressed_flat", {0.3, {0.0, 1000.0}, {1.0, 0.0}, 1}},
                    BlockCase{"pressed_tall", {0.3, {0.0, 1000.0}, {1.0, 0.0}, 4}},
                    BlockCase{"thrown_at_45_degrees", {0.2, {0.0, 0.0}, {1.0, 1.0}, 1, 1e-3, 1e-5}}),
    [](const auto& info) { return std::string(info.param.name); });
}  // namespace
