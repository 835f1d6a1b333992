// Energy through contact of elastic bodies, measured through the GPU time
// loop as kinetic energy plus the work the element forces (hourglass forces
// included) have done: without contact it stays as it starts, and contact,
// which only stops bodies passing into each other, never adds to it, however
// often the bodies meet and part.
#include "tests/deviceTest.h"

#include <cstdio>
#include <string>
#include <vector>

#include "tests/contact/contactDecks.h"
#include "tests/solver/energyMeter.h"

using energymeter::EnergySample;

namespace {

// Total energy at the end over its start.
double endShare(const std::vector<EnergySample>& s) { return s.back().total() / s.front().total(); }

void expectNoGain(const std::string& name, const std::vector<EnergySample>& s) {
  ASSERT_GT(s.size(), 40u) << name;
  ASSERT_GT(s.front().total(), 0.0) << name;
  const double rise = energymeter::largestRise(s);
  EXPECT_LT(rise, 0.01) << name;
  // The impacts did take place: contact between the elastic bodies spends
  // some of the energy.
  EXPECT_LT(endShare(s), 0.99) << name;
  std::printf("%s: largest rise %.3g %% of the start, %.3g of it left at the end\n", name.c_str(), 100 * rise,
              endShare(s));
}

}  // namespace

// Two halves of an elastic bar pulled apart: the tension wave runs to the
// free ends and back while kinetic and internal energy trade places.
DEVICE_TEST(ContactEnergy, ElasticBarWaveKeepsItsEnergy) {
  const std::vector<EnergySample> s = energymeter::measureCase("wave_hexa");
  ASSERT_GT(s.size(), 30u);
  EXPECT_GT(s.back().internal, 0.3 * s.front().total());  // the wave has strained the bar
  EXPECT_LT(energymeter::largestDrift(s), 1e-9);
}

// A cube rattling between two held blocks (several impacts on each), and a
// block dropped on a held block, with contacts of the whole model and of
// the cube's faces against each block.
DEVICE_TEST(ContactEnergy, ImpactsOfElasticBodiesNeverAddEnergy) {
  for (bool wholeModel : {true, false}) {
    const std::string name = std::string("rattling_cube_") + (wholeModel ? "whole_model" : "surface_to_surface");
    expectNoGain(name, energymeter::measureDeck(name, rattlingcube::deck(wholeModel, 2e-4)));
  }
  for (const char* name : {"blocks_whole_model", "blocks_surface_to_surface"})
    expectNoGain(name, energymeter::measureCase(name));
}
