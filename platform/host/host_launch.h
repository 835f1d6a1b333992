// Kernel launch of the host emulation: every emulated thread of the grid runs
// the kernel body on the CPU.  Blocks run in parallel over OpenMP threads; the
// threads of one block always run on one OS thread.
#pragma once
#include <tuple>
#include <type_traits>
#include <utility>
#include "platform/host/host_types.h"

void __syncthreads();

namespace gpu_host_detail {
// Runs `runThread(ctx)` once per emulated thread of the grid, with the
// built-in indices set.
void runGrid(dim3 grid, dim3 block, void (*runThread)(void* ctx), void* ctx);

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

template <typename... KArgs, typename... Args>
inline void launch(void (*kernel)(KArgs...), dim3 grid, dim3 block, Args&&... args) {
  static_assert(sizeof...(KArgs) == sizeof...(Args),
                "kernels take no default arguments: pass every argument");
  if (grid.x == 0 || grid.y == 0 || grid.z == 0 || block.x == 0 || block.y == 0 || block.z == 0) return;
  gpu_host_detail::LaunchContext<KArgs...> ctx{kernel, {static_cast<std::decay_t<KArgs>>(std::forward<Args>(args))...}};
  gpu_host_detail::runGrid(grid, block, &gpu_host_detail::LaunchContext<KArgs...>::run, &ctx);
}
