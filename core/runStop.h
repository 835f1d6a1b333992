// Why a run ends before its end time although the model itself is sound: an
// interrupt (SIGINT, SIGTERM, SIGHUP) or a result file that could not be written.
// Both only raise a flag; the time loops look at it once per cycle, after the
// outputs, so that the file being written is always finished and closed.
#pragma once
#include <string>

// Installs the handlers of SIGINT, SIGTERM and SIGHUP. The first such signal asks the
// run to stop (and says so on standard error at once); a second one ends the
// program at once with the signal's default action.
void installRunStopSignals();

// Asks the run to stop because of the failure the message describes (it names
// the file and the reason). The first request is kept; later ones are dropped.
void requestRunStop(const std::string& message);

// True once a stop signal arrived or a failure asked for a stop.
bool runStopRequested();
// The signal that asked for the stop (SIGINT, SIGTERM, SIGHUP), 0 when none
// did.
int runStopSignal();
// The message of the first failure; empty when only a signal asked.
std::string runStopMessage();

// Forgets every request: a new run in the same process starts clean.
void resetRunStop();
