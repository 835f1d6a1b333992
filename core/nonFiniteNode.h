// Nodes whose state is not a finite number.  The per-node steps report a
// force or moment, a velocity or a coordinate that is NaN or infinite as
// they compute it; at output points (and at the end) every node's state is
// checked as well.  The time loops then stop the run naming the node of the
// smallest id, the time and the cycle, before any file is written with it.
#pragma once
#include "core/node.h"
#include "platform/reportCell.h"

// id * 4 + kind of the report of the smallest node id (of its first kind);
// all bits set when there is none.
FEM_DECLARE_REPORT_CELL(unsigned long long, nonFiniteNodeCell)

// Reports the node when its coordinates, velocities, forces or moments are
// not all finite.
__host__ __device__ void checkNodeFinite(const NodeCuda& n);
__global__ void CheckNodesFinite(int n, const NodeCuda* nodes);

// The report of kernels and host code together (the device is idle).
unsigned long long nonFiniteNodeReport();
// True when a node was reported: the message goes to the error stream and
// the run record, and the time loop stops the run (exit status 1).
bool runStopsOnNonFiniteNode(double time, int cycle);
// Forgets the report (set-up of a new run, tests).
void clearNonFiniteNodeReport();
