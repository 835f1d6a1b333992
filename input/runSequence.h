// The whole run of impactfem, from the command line or the prompts to the
// run summary.
#pragma once

// Returns the process exit code: 0 after a completed run, 1 when no model
// could be read or set up, 2 for an option whose number does not convert.
int runImpactfem(int argc, char** argv);
