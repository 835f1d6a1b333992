// Kernel launch of the host emulation: every emulated thread of the grid runs
// the kernel body on the CPU.  Blocks run in parallel over the worker team
// (as many threads as OpenMP would use); the threads of a block that
// synchronises always run on one OS thread.
#pragma once
#include <cstddef>
#include <new>
#include <tuple>
#include <type_traits>
#include <utility>
#include "platform/host/hostTypes.h"

void __syncthreads();

namespace gpu_host_detail {
// Called by the thread that reaches blockPhases: true when it is to run the
// phases of every thread of its block itself (thread (0,0,0), before any
// barrier), false when the block already runs as fibers (a __syncthreads came
// first) and each thread runs its own phases with barriers between them.
bool enterPhasedBlock();
// Ends the phases of the whole block: thread (0,0,0)'s indices back, the
// other threads of the block are not run again.
void leavePhasedBlock();
// A phase is running: __syncthreads may not be called from it.
void setPhaseRunning(bool running);
// Scratch memory of the calling OS thread for the per-thread states of one
// block (at least `bytes`, aligned for any fundamental type).
void* phaseStateBuffer(std::size_t bytes);

// Runs `runThread(ctx)` once per emulated thread of the grid, with the
// built-in indices set; `kernel` names the kernel (its launches are planned
// from its earlier ones).
void runGrid(dim3 grid, dim3 block, void (*runThread)(void* ctx), void* ctx, const void* kernel);

template <typename... KArgs>
struct LaunchContext {
  void (*kernel)(KArgs...);
  std::tuple<std::decay_t<KArgs>...> args;
  static void run(void* ctx) {
    auto* self = static_cast<LaunchContext*>(ctx);
    std::apply(self->kernel, self->args);
  }
};
}  // namespace gpu_host_detail

// The body of a kernel whose blocks synchronise: phase(k, state) for k = 0 ..
// phases-1, with a barrier between consecutive phases; `state` is the
// calling thread's own value-initialised State, which carries values from
// one phase to the next.  The block's threads run each phase as a loop over
// the threads, with no fibers.  Thread (0,0,0) runs the phases of the whole
// block and the other threads are not run: code of the kernel before the call
// must not depend on the thread index (it may leave the whole block), no code
// may follow the call, and a phase must not call __syncthreads.
template <typename State, typename Phase>
inline void blockPhases(int phases, Phase phase) {
  using namespace gpu_host_detail;
  if (!enterPhasedBlock()) {
    State state{};
    for (int k = 0; k < phases; ++k) {
      if (k > 0) __syncthreads();
      phase(k, state);
    }
    return;
  }
  const dim3 block = blockDim;
  const std::size_t count = std::size_t(block.x) * block.y * block.z;
  State* states = static_cast<State*>(phaseStateBuffer(count * sizeof(State)));
  for (std::size_t t = 0; t < count; ++t) new (states + t) State{};
  setPhaseRunning(true);
  for (int k = 0; k < phases; ++k) {
    State* s = states;
    for (unsigned z = 0; z < block.z; ++z)
      for (unsigned y = 0; y < block.y; ++y)
        for (unsigned x = 0; x < block.x; ++x) {
          threadIdx = uint3{x, y, z};
          phase(k, *s++);
        }
  }
  setPhaseRunning(false);
  for (std::size_t t = 0; t < count; ++t) states[t].~State();
  leavePhasedBlock();
}

template <typename... KArgs, typename... Args>
inline void launch(void (*kernel)(KArgs...), dim3 grid, dim3 block, Args&&... args) {
  static_assert(sizeof...(KArgs) == sizeof...(Args), "kernels take no default arguments: pass every argument");
  if (grid.x == 0 || grid.y == 0 || grid.z == 0 || block.x == 0 || block.y == 0 || block.z == 0) return;
  gpu_host_detail::LaunchContext<KArgs...> ctx{kernel, {static_cast<std::decay_t<KArgs>>(std::forward<Args>(args))...}};
  gpu_host_detail::runGrid(grid, block, &gpu_host_detail::LaunchContext<KArgs...>::run, &ctx,
                           reinterpret_cast<const void*>(kernel));
}
