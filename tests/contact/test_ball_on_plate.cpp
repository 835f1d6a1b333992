// A rigid ball of shells dropped on a clamped elastic-plastic plate, as a
// deck gives it: each ball node its velocity on its own
// *INITIAL_VELOCITY_NODE line, one single-surface contact of the whole model
// (SSID 0, SSTYP 5). Both meshes are symmetric in x, y and x = y and the
// ball is centred and frictionless: the impact must stay symmetric.
#include "tests/deviceTest.h"
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>
#include "core/nodeManager.h"
#include "solver/femdynamic.h"
#include "tests/decks/deckCase.h"
#include "tests/solver/motionDeck.h"

namespace {

constexpr std::size_t kPlateNodes = 17 * 17;
constexpr double kRadius = 0.05;
constexpr double kSpeed = 10.0;
constexpr double kBallT = 0.001;
constexpr double kPlateT = 0.002;

// The ball's facets (node positions in the node array) from the deck's
// *ELEMENT_SHELL lines of part 2.
std::vector<std::array<std::size_t, 4>> ballFacets(const deckcase::fs::path& deck) {
  std::istringstream in(deckcase::readText(deck));
  std::vector<std::array<std::size_t, 4>> facets;
  bool shells = false;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line[0] == '*') shells = line == "*ELEMENT_SHELL";
    long id = 0, part = 0, n[4] = {0, 0, 0, 0};
    if (shells && std::sscanf(line.c_str(), "%ld %ld %ld %ld %ld %ld", &id, &part, &n[0], &n[1], &n[2], &n[3]) == 6 &&
        part == 2) {
      facets.push_back({static_cast<std::size_t>(n[0] - 1), static_cast<std::size_t>(n[1] - 1),
                        static_cast<std::size_t>(n[2] - 1), static_cast<std::size_t>(n[3] - 1)});
    }
  }
  return facets;
}

// How far a point lies outside the ball's faceted mid-surface: the largest
// distance beyond the planes of the triangles that split each (outward)
// facet at its centre; negative inside.
double outside(const std::vector<NodeCuda>& nodes, const std::vector<std::array<std::size_t, 4>>& facets,
               const double* x) {
  double most = -1.0;
  for (const auto& f : facets) {
    double m[3] = {0.0, 0.0, 0.0};
    for (std::size_t k : f)
      for (int j = 0; j < 3; ++j) m[j] += 0.25 * nodes[k].coord[j];
    for (int t = 0; t < 4; ++t) {
      const double* a = nodes[f[static_cast<std::size_t>(t)]].coord;
      const double* b = nodes[f[static_cast<std::size_t>((t + 1) % 4)]].coord;
      const double u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
      const double v[3] = {m[0] - a[0], m[1] - a[1], m[2] - a[2]};
      const double n[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
      const double len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
      most = std::max(most, (n[0] * (x[0] - a[0]) + n[1] * (x[1] - a[1]) + n[2] * (x[2] - a[2])) / len);
    }
  }
  return most;
}

DEVICE_TEST(BallOnPlate, RigidBallGivenNodeByNodeReboundsFromAPlasticPlateSymmetrically) {
  const deckcase::fs::path scratch = deckcase::scratchFolder("ball_on_plate");
  deckcase::fs::copy_file(deckcase::caseFolder("ball_on_plate") / "deck.k", scratch / "deck.k");
  const std::vector<std::array<std::size_t, 4>> facets = ballFacets(scratch / "deck.k");
  ASSERT_EQ(facets.size(), 96u);
  std::vector<NodeCuda> start;
  double startVz = 0.0, endVz = 0.0, drift = 0.0, spin = 0.0, deflection = 0.0, closest = 1.0, mirror = 0.0;
  // Height of the ball's lowest node over the plate's middle node (8, 8)
  // when the plate node first moves: the pair has formed.
  double firstGap = -1.0;
  std::size_t lowest = kPlateNodes;
  motiondeck::watchModelAt(scratch, [&](FEMDynamic& fem, double) {
    const std::vector<NodeCuda>& nodes = fem.nodeManager->node_array_cpu;
    if (start.empty()) {
      start = nodes;
      for (std::size_t i = kPlateNodes; i < nodes.size(); ++i)
        if (nodes[i].coord[2] < nodes[lowest].coord[2]) lowest = i;
    }
    const NodeCuda& middle = nodes[8 + 17 * 8];
    if (firstGap < 0.0 && middle.vel[2] != 0.0) firstGap = nodes[lowest].coord[2] - middle.coord[2];
    // The ball: its centre's motion, and how far its nodes move apart from
    // the centre's motion (a turn through angle a moves them up to a R).
    double centre[3] = {0.0, 0.0, 0.0};
    double vz = 0.0;
    const double count = static_cast<double>(nodes.size() - kPlateNodes);
    for (std::size_t i = kPlateNodes; i < nodes.size(); ++i) {
      for (int k = 0; k < 3; ++k) centre[k] += (nodes[i].coord[k] - start[i].coord[k]) / count;
      vz += nodes[i].vel[2] / count;
    }
    if (startVz == 0.0) startVz = vz;
    endVz = vz;
    drift = std::max({drift, std::fabs(centre[0]), std::fabs(centre[1])});
    for (std::size_t i = kPlateNodes; i < nodes.size(); ++i)
      for (int k = 0; k < 3; ++k)
        spin = std::max(spin, std::fabs(nodes[i].coord[k] - start[i].coord[k] - centre[k]) / kRadius);
    // The plate: its deepest point, its nodes' clearance from the ball, and
    // node (i, j) against its mirrors (16 - i, j), (i, 16 - j), (j, i).
    for (int j = 0; j <= 16; ++j)
      for (int i = 0; i <= 16; ++i) {
        const NodeCuda& p = nodes[static_cast<std::size_t>(i + 17 * j)];
        deflection = std::max(deflection, -p.coord[2]);
        if (std::abs(i - 8) <= 4 && std::abs(j - 8) <= 4) closest = std::min(closest, outside(nodes, facets, p.coord));
        for (std::size_t m : {16 - i + 17 * j, i + 17 * (16 - j), j + 17 * i})
          mirror = std::max(mirror, std::fabs(p.coord[2] - nodes[m].coord[2]));
      }
  });
  std::printf(
      "ball on plate: rebound %.4f m/s (from %.4f), peak deflection %.4f mm, drift %.3g m, spin %.3g rad, "
      "closest approach of a plate node to the ball's mid-surface %.4f mm, gap at first contact %.4f mm\n",
      endVz, startVz, deflection * 1e3, drift, spin, closest * 1e3, firstGap * 1e3);
  // The ball's lowest node meets the plate's middle node at the two half
  // thicknesses (0.5 + 1 mm), within a step's travel (about 0.02 mm).
  EXPECT_NEAR(firstGap, 0.5 * (kBallT + kPlateT), 0.03e-3);
  // Each node line gives the ball its speed once: the ball falls at 10 m/s.
  EXPECT_NEAR(startVz, -kSpeed, 1e-9);
  // No plate node gets behind the ball: the plate's mid-surface stays out of
  // the ball's shell (the contact aims at the two half thicknesses, 1.5 mm).
  EXPECT_GT(closest, 0.5 * kBallT);
  // The plate yields and the ball rebounds, with less than its impact speed.
  EXPECT_GT(deflection, 0.004);
  EXPECT_GT(endVz, 0.2 * kSpeed);
  EXPECT_LT(endVz, kSpeed);
  // Symmetric to round-off: the ball neither drifts nor turns. The plate's
  // shells are all numbered alike, not mirrored, and its yielding lets its
  // own round-off grow to some parts in 100,000 of the deflection.
  EXPECT_LT(drift, 1e-12 * kRadius);
  EXPECT_LT(spin, 1e-12);
  EXPECT_LT(mirror, 2e-4 * deflection);
}

}  // namespace
