// Nodes whose state is not a finite number.  The per-node steps report a
// force or moment, a velocity or a coordinate that is NaN or infinite as
// they compute it; at output points (and at the end) every node's state is
// checked as well.  The time loops then stop the run naming the node of the
// smallest id, the time and the cycle, before any file is written with it.
#pragma once
#include "core/node.h"
#include "platform/gpu_runtime.h"

// id * 4 + kind of the report of the smallest node id (of its first kind);
// all bits set when there is none.  Managed memory: written by kernels,
// read by the host between passes.
extern __device__ __managed__ unsigned long long g_nonFiniteNode;

// Reports the node when its coordinates, velocities, forces or moments are
// not all finite.
__host__ __device__ void checkNodeFinite(const NodeCuda& n);
__global__ void CheckNodesFinite(int n, const NodeCuda* nodes);

// True when a node was reported: the message goes to the error stream and
// the run record, and the time loop stops the run (exit status 1).
bool runStopsOnNonFiniteNode(double time, int cycle);
// Forgets the report (set-up of a new run, tests).
void clearNonFiniteNodeReport();
