// Offsets of per-node device lists from per-node entry counts.
#pragma once

// Device offsets of n lists whose entry counts the device array counts
// holds: n + 1 entries, list i at offset[i] .. offset[i+1]-1.  *offset is
// allocated here (the caller frees it); returns the entry total.
int uploadListOffsets(const int* counts, int n, int** offset);
