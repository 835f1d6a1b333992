// The explicit central-difference time loops: the GPU loop and the
// host-only loop.
#pragma once

class FEMDynamic;

// Runs the model on the current GPU. contactTime grows by the milliseconds
// spent in contact; outputTime receives those spent in output.  False when
// the set-up refuses the model or the step stops being a positive number
// (the message is printed); true when the run reached its end.
bool femDynaAnalyParalle(FEMDynamic* domain, double* contactTime, double* outputTime);
// Runs the model on the host alone; both times are set on return.  The
// result is that of the GPU loop.
bool femDynaAnalyCpu(FEMDynamic* domain, double* contactTime, double* outputTime);
