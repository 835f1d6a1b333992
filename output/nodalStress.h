// Element stresses and strains averaged into the node records on the device
// and the node records brought to the host, for the outputs that write
// nodal results.
#pragma once

class FEMDynamic;

// Clears the device nodal stresses and strains, accumulates those of the
// elements and averages them (GPU run only).
void averageNodalStressGpu(FEMDynamic* fem);
