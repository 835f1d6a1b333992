// Pooled fiber stacks: anonymous mappings with an inaccessible guard page
// below the stack, so that an overflow faults instead of overwriting memory.
#include "platform/host/hostStackPool.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/host/hostSanitizers.h"

#if __has_include(<valgrind/valgrind.h>)
#include <valgrind/valgrind.h>
#define GPU_HOST_HAVE_VALGRIND 1
#endif

namespace gpu_host_detail {
namespace {

std::size_t pageSize() {
  static const std::size_t size = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  return size;
}

FiberStack mapStack() {
  FiberStack s;
  s.size = fiberStackSize();
  s.mappedSize = s.size + pageSize();
  s.mapping = mmap(nullptr, s.mappedSize, PROT_READ | PROT_WRITE,
                   MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE | MAP_STACK, -1, 0);
  if (s.mapping == MAP_FAILED || mprotect(s.mapping, pageSize(), PROT_NONE) != 0) {
    std::fprintf(stderr, "kernel launch: no memory for a %zu-byte thread stack\n", s.size);
    std::abort();
  }
  s.bottom = static_cast<char*>(s.mapping) + pageSize();
  s.liveLow = s.bottom;
#ifdef GPU_HOST_HAVE_VALGRIND
  s.valgrindId = VALGRIND_STACK_REGISTER(s.bottom, s.top());
#endif
  return s;
}

void unmapStack(const FiberStack& s) {
#ifdef GPU_HOST_HAVE_VALGRIND
  VALGRIND_STACK_DEREGISTER(s.valgrindId);
#endif
  munmap(s.mapping, s.mappedSize);
}

struct Pool {
  std::vector<FiberStack> free;
  ~Pool() {
    for (const FiberStack& s : free) unmapStack(s);
  }
};

Pool& pool() {
  static thread_local Pool p;
  return p;
}

}  // namespace

std::size_t fiberStackSize() {
  // AddressSanitizer surrounds every local array with red zones, so frames
  // grow severalfold under it.
  return kAddressSanitizer ? std::size_t(1) << 20 : std::size_t(256) << 10;
}

FiberStack takeFiberStack() {
  auto& free = pool().free;
  if (free.empty()) return mapStack();
  FiberStack s = free.back();
  free.pop_back();
  s.liveLow = s.bottom;
  return s;
}

void returnFiberStack(const FiberStack& stack) {
  // The frames that were still live when the fiber left its stack for the
  // last time may be marked as red zones; the next fiber starts on clean
  // memory.  Only that part is cleared: clearing the whole stack took most
  // of the time of every launch under AddressSanitizer.
  char* low = static_cast<char*>(stack.liveLow);
  char* const bottom = static_cast<char*>(stack.bottom);
  if (low == nullptr || low < bottom || low > static_cast<char*>(stack.top())) low = bottom;
  asanUnpoison(low, static_cast<std::size_t>(static_cast<char*>(stack.top()) - low));
  pool().free.push_back(stack);
}

}  // namespace gpu_host_detail
