// Progress log "log.txt" in the work directory's history folder, started
// afresh by each run: a header, then one tab-separated record at each of
// 100000 evenly spaced simulated times, with the active contact pairs by
// kind, and a record of the last state.
#pragma once

class FEMDynamic;

// Number of evenly spaced record times over the run's end time.
constexpr int kRunLogRecords = 100000;

// Called once per cycle of the GPU loop (and once at its set-up).
void writeRunLog(FEMDynamic* domain, double dt);
// The record of the run's last state, when the last record was not of it (a
// run that ended at its end cycle between two record times).
void finishRunLog(FEMDynamic* domain);
// Closes the log and starts the record count again (a new run in the same
// process).
void resetRunLog();
// Records written since the log was opened.
int runLogRecordCount();
// The share of the run done, in percent: of the end time, or of the end
// cycle when no end time is given (the first column of a record).
double runProgressPercent(const FEMDynamic& domain);
