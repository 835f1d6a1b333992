// Element stresses and strains averaged into the node records on the device
// and the node records brought to the host, for the outputs that write
// nodal results.
#pragma once

class FEMDynamic;

// Sums the element and smoothed-FEM domain stresses and strains into the
// device nodes, each node in a fixed order, and averages them (GPU run only).
void averageNodalStressGpu(FEMDynamic* fem);

// The nodal results of one output point, each made once however many
// outputs ask for them (GPU run): the element stresses and strains averaged
// into the device nodes, and the node fields the outputs write copied to the
// host records. An output point is one state of the run, known by its cycle
// and time (cycle 0 is output twice: before the first step and after it).
class NodalResults {
public:
    // Averages the stresses and strains into the device nodes.
    void average(FEMDynamic* fem, double time);
    // Copies the chosen node fields (NodeField bits) of every node to the
    // host records, those not copied yet at this point (the stresses again
    // after an averaging).
    void copyToHost(FEMDynamic* fem, double time, unsigned fields);
    // The host node records hold this point's averaged stresses and strains.
    bool hostHasAverages(const FEMDynamic* fem, double time) const;

private:
    int cycle_ = -1;
    double time_ = 0.0;
    bool averaged_ = false;
    unsigned copied_ = 0;  // node fields on the host for this point

    bool samePoint(const FEMDynamic* fem, double time) const;
    // Forgets what was made for an earlier point.
    void moveTo(const FEMDynamic* fem, double time);
};
