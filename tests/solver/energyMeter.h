// Energy of a run, measured cycle by cycle through the GPU time loop: the
// kinetic energy of the nodal masses and the internal energy as the work
// the element forces (hourglass forces included) have done on the nodes.
// Both are taken in the central-difference form the nodal update uses, so
// that with no other force acting their sum stays what it was to round-off;
// what changes it is the work of contact, loads and supports.
#pragma once
#include <string>
#include <vector>

#include "tests/decks/deckCase.h"

class FEMDynamic;

namespace energymeter {

struct EnergySample {
  double time = 0.0;
  double kinetic = 0.0;
  double internal = 0.0;
  double total() const { return kinetic + internal; }
};

// Measures the energy after every cycle (and at time 0) when handed the
// solver by a watch (motionDeck.h).  It gathers the element forces of the
// state the cycle reached into the nodes' forces, reads them, and puts the
// nodes back as they were, so the run goes on unchanged.
class EnergyMeter {
 public:
  std::vector<EnergySample> samples;
  void measure(FEMDynamic& fem, double time);

 private:
  std::vector<double> velocity_;  // nodal velocities of the sample before
};

// Runs the deck.k of a scratch folder with an energy meter; the samples.
std::vector<EnergySample> measureAt(const deckcase::fs::path& scratch);
// The same for the deck of a case under tests/decks, and for a deck text.
std::vector<EnergySample> measureCase(const std::string& name);
std::vector<EnergySample> measureDeck(const std::string& name, const std::string& deck);

// Largest rise of the total energy above its start, over the start.
double largestRise(const std::vector<EnergySample>& samples);
// Largest departure of the total energy from its start, either way, over
// the start.
double largestDrift(const std::vector<EnergySample>& samples);

}  // namespace energymeter
