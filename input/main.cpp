// impactfem: explicit-dynamics contact-impact solver.
#include "input/runSequence.h"

int main(int argc, char** argv) { return runImpactfem(argc, argv); }
