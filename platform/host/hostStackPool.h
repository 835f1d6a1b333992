// Stacks for the fibers on which emulated GPU threads run.  Each OS thread
// keeps its own pool, so taking and returning a stack needs no lock; a stack
// lives until its OS thread ends.
#pragma once
#include <cstddef>

namespace gpu_host_detail {

struct FiberStack {
  void* mapping = nullptr;  // start of the mapping: the guard page
  std::size_t mappedSize = 0;
  void* bottom = nullptr;  // lowest usable address, just above the guard page
  std::size_t size = 0;    // usable bytes above `bottom`
  unsigned valgrindId = 0;
  // Lowest address of the frames still live when the fiber last left the
  // stack (set by the fiber as it finishes; `bottom` when unknown).  Frames
  // below it returned normally and cleared their own red zones.
  void* liveLow = nullptr;
  void* top() const { return static_cast<char*>(bottom) + size; }
};

// Usable bytes of each fiber stack.
std::size_t fiberStackSize();

// A stack from the calling OS thread's pool (a fresh one when the pool is
// empty); aborts with a message when the system has no memory for it.
FiberStack takeFiberStack();
// Returns a stack to the calling OS thread's pool.
void returnFiberStack(const FiberStack& stack);

}  // namespace gpu_host_detail
