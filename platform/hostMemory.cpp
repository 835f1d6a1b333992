// Pages of large host arrays made present on all threads.
#include "platform/hostMemory.h"

#include <malloc.h>
#include <sys/mman.h>

#include <atomic>
#include <cstdint>

#include "platform/hostParallel.h"

namespace fem_host_memory {
namespace {

constexpr std::uintptr_t kPage = 4096;
// A thread takes this much at a time; smaller arrays are left to the
// first touch.
constexpr std::uintptr_t kChunk = std::uintptr_t(4) << 20;

#ifndef MADV_POPULATE_WRITE
#define MADV_POPULATE_WRITE 23
#endif

// Cleared once the system has refused the request (a kernel before 5.14).
std::atomic<bool> g_supported{true};

}  // namespace

void populatePages(void* begin, std::size_t bytes) {
  const auto start = reinterpret_cast<std::uintptr_t>(begin);
  const std::uintptr_t first = (start + kPage - 1) / kPage * kPage;
  const std::uintptr_t last = (start + bytes) / kPage * kPage;
  if (last <= first || last - first < 2 * kChunk || !g_supported.load(std::memory_order_relaxed)) return;
  const std::size_t chunks = (last - first + kChunk - 1) / kChunk;
  fem_parallel::parallelFor(chunks, 1, [first, last](std::size_t c) {
    const std::uintptr_t from = first + c * kChunk, to = std::min(last, from + kChunk);
    if (madvise(reinterpret_cast<void*>(from), to - from, MADV_POPULATE_WRITE) != 0)
      g_supported.store(false, std::memory_order_relaxed);
  });
}

void returnFreePages() {
#ifdef __GLIBC__
  malloc_trim(0);
#endif
}

}  // namespace fem_host_memory
