// The threads that run the blocks of large launches in the host emulation.
//
// The calling thread and up to n-1 persistent worker threads run one job
// together.  A thread that waits (a worker between jobs, the caller for the
// last workers of a job) yields for a few microseconds and then sleeps on a
// condition variable: on a machine where another program keeps a core busy,
// the waiting threads free their cores at once, the thread that shares the
// busy core moves to one of them, and the launch loses that core's share of
// the work and no more.  Spinning waiters would hold every other core while
// the straggler waits for its time slice.
#pragma once

namespace gpu_host_detail {

// Runs work(ctx, seat) on the calling thread (seat 0) and on up to
// threads-1 workers (worker w in seat w + 1, the same seat in every job) at
// the same time; returns when every thread that took part has returned.
// work shares out its items itself: a worker may join late or not at all,
// so the caller's own call must be able to do all of it.
void runOnTeam(int threads, void (*work)(void* ctx, int seat), void* ctx);

// Worker threads started so far (they are kept for the process).
int teamWorkerCount();

}  // namespace gpu_host_detail
