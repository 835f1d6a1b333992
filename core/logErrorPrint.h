// The run record and the run position the CUDA error check
// (platform/deviceCheck.h) writes into it on a failure.
#pragma once
#include "core/checkedFile.h"
#include "platform/deviceCheck.h"

// Run position published by the GPU time loop at the start of every cycle;
// the error check reads it into its report.
extern double g_runTime;
extern double g_runDt;
extern int g_runCycle;

// The run record "history_record.txt", opened for appending by the program
// entry; the banner, the summary and the error check write into it. Every
// line is flushed whole; a write that fails asks the run to stop.
extern CheckedFile g_runRecord;
