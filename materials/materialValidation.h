// Checks of the elastic constants and density that the element
// formulations, the time step and the nodal masses divide by.
#pragma once
#include <string>

struct Material;

// What makes the material unusable for elements: its density, Young's
// modulus or Poisson ratio not finite or out of range (density <= 0,
// E <= 0, nu outside (-1, 0.5)), for the models that use them.  Empty when
// the material is sound.  The null material needs only a finite density
// that is not negative; discrete-element materials are not checked.
std::string materialDataProblem(const Material& material);
