// Set-up of the solids' stable step: every first- and second-order solid
// takes from its part what its stable length needs besides its shape
// (solidStableLength.h): its material's Poisson ratio and density and its
// part's hourglass control.
#pragma once
#include <vector>

class Part;
class HourglassControlManager;

void setSolidStepModels(std::vector<Part>& parts, HourglassControlManager& hourglass);
