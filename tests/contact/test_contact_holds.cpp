// Small contact decks, each a configuration where blocks used to pass into
// each other, run through both time loops: no node of either block gets
// deeper into the other than it started by more than a share of an element,
// the moving block rebounds with no more momentum than it came with, the
// total energy (GPU loop) never rises above its start, and the run record's
// figures of the contact are those the nodes show.
#include "tests/deviceTest.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "contact/contactManager.h"
#include "contact/contactRecord.h"
#include "core/nodeManager.h"
#include "solver/femdynamic.h"
#include "solver/modelViews.h"
#include "tests/contact/contactDecks.h"
#include "tests/solver/energyMeter.h"

namespace {

struct HoldCase {
  const char* name;
  twoblocks::Layout layout;
  double minRebound;        // upper block's final momentum over its incoming one
  double maxDepth = 0.005;  // deepest a node may get beyond its start, in elements
  // How much deeper than measured the record may be, in elements.
  double recordDepth = 1e-4;
};
void PrintTo(const HoldCase& c, std::ostream* os) { *os << c.name; }

// Depth of x inside a block: the least depth behind its six sides, each
// measured from the (bilinear) quadrilateral x lies over, at the foot of x
// on it; where x lies over none of a side (a far side tilted by the block's
// bulge, or x beyond the side's edge), from the nearest point of its
// quadrilaterals' borders.  Below 0 outside.
double depthInBlock(const std::vector<NodeCuda>& nodes, const motiondeck::Block& block, const double* x) {
  const int dims[3] = {block.nx, block.ny, block.nz};
  auto at = [&](int axis, int side, int a, int b) {
    std::array<int, 3> g;
    g[axis] = side;
    g[(axis + 1) % 3] = a;
    g[(axis + 2) % 3] = b;
    return nodes[static_cast<std::size_t>(block.node(g[0], g[1], g[2]) - 1)].coord;
  };
  auto dot = [](const double* e, const double* f) { return e[0] * f[0] + e[1] * f[1] + e[2] * f[2]; };
  double depth = 1e30;
  for (int axis = 0; axis < 3; ++axis)
    for (int side : {0, dims[axis]}) {
      double best = -1e30, nearest = 1e30, border = -1.0;
      for (int a = 0; a < dims[(axis + 1) % 3]; ++a)
        for (int b = 0; b < dims[(axis + 2) % 3]; ++b) {
          const double *p = at(axis, side, a, b), *q = at(axis, side, a + 1, b), *r = at(axis, side, a, b + 1),
                       *s = at(axis, side, a + 1, b + 1);
          // The foot (u, v) of x by Gauss-Newton from the centre.
          double u = 0.5, v = 0.5, w[3], pu[3], pv[3];
          for (int it = 0; it < 8; ++it) {
            for (int c = 0; c < 3; ++c) {
              w[c] = x[c] - ((1 - u) * (1 - v) * p[c] + u * (1 - v) * q[c] + (1 - u) * v * r[c] + u * v * s[c]);
              pu[c] = (1 - v) * (q[c] - p[c]) + v * (s[c] - r[c]);
              pv[c] = (1 - u) * (r[c] - p[c]) + u * (s[c] - q[c]);
            }
            const double uu = dot(pu, pu), uv = dot(pu, pv), vv = dot(pv, pv), det = uu * vv - uv * uv;
            u += (vv * dot(w, pu) - uv * dot(w, pv)) / det;
            v += (uu * dot(w, pv) - uv * dot(w, pu)) / det;
          }
          const bool on = u > -1e-9 && v > -1e-9 && u < 1 + 1e-9 && v < 1 + 1e-9;
          u = std::clamp(u, 0.0, 1.0), v = std::clamp(v, 0.0, 1.0);
          for (int c = 0; c < 3; ++c) {
            w[c] = x[c] - ((1 - u) * (1 - v) * p[c] + u * (1 - v) * q[c] + (1 - u) * v * r[c] + u * v * s[c]);
            pu[c] = (1 - v) * (q[c] - p[c]) + v * (s[c] - r[c]);
            pv[c] = (1 - u) * (r[c] - p[c]) + u * (s[c] - q[c]);
          }
          const double n[3] = {pu[1] * pv[2] - pu[2] * pv[1], pu[2] * pv[0] - pu[0] * pv[2],
                               pu[0] * pv[1] - pu[1] * pv[0]};
          // Inward: towards the far side of the block.
          const double sign = (side == 0 ? 1.0 : -1.0) * (n[axis] > 0 ? 1 : -1);
          if (on) best = std::max(best, sign * dot(w, n) / std::sqrt(dot(n, n)));
          const double away = std::sqrt(dot(w, w));
          if (!on && away < nearest) nearest = away, border = sign * dot(w, n) < 0 ? -away : away;
        }
      depth = std::min(depth, best > -1e29 ? best : border);
    }
  return depth;
}

// Of the contacts the deck's contact became (one per pair of parts over a
// part set), the one whose figure is the deepest.
const Contact& deepestOf(const std::vector<Contact>& made, ContactDepth Contact::*figure) {
  auto depth = [figure](const Contact& c) { return (c.*figure).count > 0 ? (c.*figure).depth : -1.0; };
  return *std::max_element(made.begin(), made.end(),
                           [&depth](const Contact& a, const Contact& b) { return depth(a) < depth(b); });
}

class ContactHolds : public testing::TestWithParam<HoldCase> {};

DEVICE_TEST_P(ContactHolds, NoNodeGetsDeeperNoEnergyIsGainedAndTheRecordTells) {
  const HoldCase& c = GetParam();
  const std::string deck = "*KEYWORD\n" + twoblocks::deck(c.layout) + "*END\n";
  const motiondeck::Block blocks[2] = {twoblocks::block(c.layout, false), twoblocks::block(c.layout, true)};
  const int lowerNodes = blocks[0].nodeCount(), allNodes = lowerNodes + blocks[1].nodeCount();
  const double cell = c.layout.cell[0];  // of the lower block
  for (bool host : {false, true}) {
    SCOPED_TRACE(host ? "host loop" : "GPU loop");
    std::vector<double> start;                                           // depth of every node at time 0 (0 outside)
    double deepest = 0.0, beyondStart = 0.0, rebound = 0.0, last = 0.0;  // last: deepest of the last state
    ContactDepth record, held, left;
    std::vector<ContactDepth> worst;  // the deepest nodes at the start
    energymeter::EnergyMeter meter;
    auto watch = [&](FEMDynamic& fem, double time) {
      const std::vector<NodeCuda>& nodes = fem.nodeManager->node_array_cpu;
      if (!host) meter.measure(fem, time);
      last = 0.0;
      for (int i = 0; i < allNodes; ++i) {
        const double d = std::max(0.0, depthInBlock(nodes, blocks[i < lowerNodes ? 1 : 0], nodes[i].coord));
        if (start.size() < static_cast<std::size_t>(allNodes)) start.push_back(d);
        deepest = std::max(deepest, d);
        last = std::max(last, d);
        beyondStart = std::max(beyondStart, d - start[static_cast<std::size_t>(i)]);
      }
      double p = 0.0, m = 0.0;
      for (int i = lowerNodes; i < allNodes; ++i) p += nodes[i].mass * nodes[i].vel[2], m += nodes[i].mass;
      rebound = p / m / c.layout.speed;
      if (time < c.layout.endTime * (1 - 1e-9)) return;
      ContactModel model = contactModelOf(fem);
      gatherContactDepths(model);
      const std::vector<Contact>& made = fem.contactManager->contact_array;
      record = deepestOf(made, &Contact::deepest).deepest;
      left = deepestOf(made, &Contact::end_overlap).end_overlap;
      held = deepestOf(made, &Contact::start_overlap).start_overlap;
      worst = deepestOf(made, &Contact::start_overlap).start_overlap_worst;
    };
    const std::string name = std::string("holds_") + c.name + (host ? "_host" : "");
    host ? motiondeck::runHostWatching(name, deck, watch) : motiondeck::runWatching(name, deck, watch);
    EXPECT_LT(beyondStart, c.maxDepth * cell) << "deeper than the nodes started";
    EXPECT_GT(rebound, c.minRebound);
    EXPECT_LE(rebound, 1.0 + 1e-9);
    if (!host) {
      EXPECT_LT(energymeter::largestRise(meter.samples), 0.01);
    }
    // The record: the depth held from the start, and the deepest node (of
    // the contact's slave side: a one-way contact does not see the master's
    // nodes in the slave's body).
    EXPECT_NEAR(held.depth, std::max(0.0, -c.layout.gap), 1e-12);
    // The set-up names the deepest few, each node once, deepest first.
    ASSERT_LE(worst.size(), std::min<std::size_t>(kReportedStartOverlaps, static_cast<std::size_t>(held.count)));
    EXPECT_EQ(worst.empty(), held.count == 0);
    for (std::size_t i = 0; i < worst.size(); ++i) {
      EXPECT_EQ(worst[i].depth, i == 0 ? held.depth : std::min(worst[i].depth, worst[i - 1].depth));
      for (std::size_t j = 0; j < i; ++j) EXPECT_NE(worst[i].node_id, worst[j].node_id);
    }
    EXPECT_GE(record.depth, 0.8 * deepest);
    EXPECT_LT(record.depth, deepest + c.recordDepth * cell);
    EXPECT_NEAR(left.depth, last, 0.5 * last + 1e-9 * cell);
    std::printf("%s%s: %.3g of an element deeper than at the start, rebound %.3f, record %.3g (measured %.3g)\n",
                c.name, host ? " (host loop)" : "", beyondStart / cell, rebound, record.depth, deepest);
  }
}

// Blocks of 4 x 4 x 4 cells at 100 m/s, 1 mm and 1 um apart (crossed
// within the first step, 1.5 % of an element deep, unless contact acts
// before the first move), held to 0.02 % of an element also where the
// blocks' rims meet: bulging, they slide past each other, and a corner node
// just under one block's bottom face lies behind the plane of its tilted
// side face (0.17 % of an element deep once it rose, paired with the side
// face); offset by half an element and a quarter, 1 mm apart (the lower
// block's top centre node is a corner of the four faces the upper block's
// nodes push on, which let go of it while its own pair still has to hold
// it); the upper block starts 20 um, and (offset) 0.3 mm, inside the lower
// one; a general contact over a part set
// whose one part holds both blocks; a single-surface contact over a part set
// of both blocks, offset by half an element both ways (its figures are those
// of the contacts it becomes, one per pair of parts); a steel bar of 1 mm cells at 500 m/s
// onto a held 0.3 mm plate of 0.1 mm cells (in mm, t, s), the step raised
// to 0.1 us by mass scaling: each step the bar moves farther than the
// boxes of the plate's faces reach, so its nodes cross a face between two
// cycles (and may lie up to one step's travel, half a plate cell, inside);
// the same with the plate's nodes as the slave side, and with a free plate
// 10^4 times heavier held by neither side (a step of 0.15 us: three
// quarters of a plate cell's travel).
const twoblocks::Layout barOnPlate{.gap = 0.01,
                                   .dx = 1.0,
                                   .dy = 1.0,
                                   .speed = 5e5,
                                   .contact = "*CONTACT_ONE_WAY_SURFACE_TO_SURFACE\n" + card({"2", "1", "3", "3"}),
                                   .endTime = 3e-6,
                                   .cells = {{40, 40, 3}, {2, 2, 6}},
                                   .cell = {0.1, 1.0},
                                   .holdLower = true,
                                   .density = 7.85e-9,
                                   .young = 2.1e5,
                                   .controls = "*CONTROL_TIMESTEP\n" + card({"0.0", "0.9", "0", "0.0", "1e-7"})};
twoblocks::Layout barOnPlateWith(const std::string& contact, bool heavy) {
  twoblocks::Layout l = barOnPlate;
  l.contact = contact;
  if (heavy) {
    l.holdLower = l.holdBase = false;
    l.lowerMass = 1e4;
  }
  return l;
}

INSTANTIATE_TEST_SUITE_P(
    Decks, ContactHolds,
    testing::Values(
        HoldCase{"overlap_20um", {.gap = -2e-5}, 0.5},
        HoldCase{"block_at_100_m_s", {.gap = 1e-3, .speed = 100.0, .cells = {{4, 4, 4}, {4, 4, 4}}}, 0.5, 0.0002},
        HoldCase{
            "block_1um_off_at_100_m_s", {.gap = 1e-6, .speed = 100.0, .cells = {{4, 4, 4}, {4, 4, 4}}}, 0.5, 0.0002},
        HoldCase{"overlap_0_3mm_offset", {.gap = -3e-4, .dx = 0.005, .dy = 0.0025, .speed = 2.0}, 0.3},
        HoldCase{"block_at_100_m_s_offset", {.gap = 1e-3, .dx = 0.005, .dy = 0.0025, .speed = 100.0}, 0.5, 0.001},
        HoldCase{"general_one_part",
                 {.dx = 0.005,
                  .dy = 0.0025,
                  .onePart = true,
                  .contact = "*CONTACT_AUTOMATIC_GENERAL\n" + card({"3", "0", "2"})},
                 0.3,
                 0.0003},
        HoldCase{"single_surface_over_a_part_set_offset",
                 {.dx = 0.005,
                  .dy = 0.005,
                  .contact = "*SET_PART_LIST\n" + card({"4"}) + card({"1", "2"}) +
                             "*CONTACT_AUTOMATIC_SINGLE_SURFACE\n" + card({"4", "0", "2"})},
                 0.3,
                 0.0005},
        HoldCase{"bar_at_500_m_s_on_a_fine_held_plate_mass_scaled", barOnPlate, 0.5, 0.6},
        HoldCase{"bar_at_500_m_s_on_a_held_plate_sides_swapped",
                 barOnPlateWith("*CONTACT_ONE_WAY_SURFACE_TO_SURFACE\n" + card({"1", "2", "3", "3"}), false), 0.5,
                 0.05},
        HoldCase{"bar_at_500_m_s_on_a_free_plate_1e4_times_heavier",
                 barOnPlateWith("*CONTACT_SURFACE_TO_SURFACE\n" + card({"2", "1", "3", "3"}), true), 0.5, 0.05}),
    [](const testing::TestParamInfo<HoldCase>& info) { return std::string(info.param.name); });

}  // namespace
