// CUDA runtime of the host emulation: a registry of device allocations, a
// replaceable device table and injectable failures.
#include "platform/host/hostRuntime.h"

#include <sys/mman.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <vector>

#include "platform/host/hostControl.h"
#include "platform/hostParallel.h"
#include "platform/host/hostSanitizers.h"

namespace {

enum class AllocKind { Device, Managed, MappedHost };

struct Allocation {
  size_t size;
  AllocKind kind;
};

struct RuntimeState {
  std::mutex mutex;
  std::map<std::uintptr_t, Allocation> allocations;
  std::vector<cudaDeviceProp> devices = gpu_host::defaultDeviceTable();
  std::map<gpu_host::CallKind, cudaError_t> injected;
  int currentDevice = 0;
  std::atomic<cudaError_t> lastError{cudaSuccess};
  // A failed kernel leaves the device unusable: every later call returns the
  // failure until the device is reset.
  std::atomic<cudaError_t> sticky{cudaSuccess};
  // The runtime's defaults: 1 KiB of stack per thread, 1 MiB printf buffer,
  // 8 MiB device heap.
  std::map<cudaLimit, size_t> limits{{cudaLimitStackSize, 1024},
                                     {cudaLimitPrintfFifoSize, 1 << 20},
                                     {cudaLimitMallocHeapSize, 8 << 20}};
};

RuntimeState& state() {
  static RuntimeState s;
  return s;
}

// The pending failure of an earlier kernel, else an injected failure for this
// call kind (taken), else success.
cudaError_t takeInjected(gpu_host::CallKind kind) {
  auto& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.sticky != cudaSuccess) return s.sticky;
  auto it = s.injected.find(kind);
  if (it == s.injected.end()) return cudaSuccess;
  cudaError_t code = it->second;
  s.injected.erase(it);
  return code;
}

cudaError_t record(cudaError_t code) {
  if (code != cudaSuccess) state().lastError = code;
  return code;
}

// The allocation that holds [p, p+count), or null.  Caller holds the lock.
const Allocation* findRange(const void* p, size_t count) {
  auto& allocs = state().allocations;
  const auto addr = reinterpret_cast<std::uintptr_t>(p);
  auto it = allocs.upper_bound(addr);
  if (it == allocs.begin()) return nullptr;
  --it;
  const std::uintptr_t end = it->first + it->second.size;
  if (addr < it->first || addr > end || count > end - addr) return nullptr;
  if (count == 0 && addr == end && it->second.size != 0) return nullptr;
  return &it->second;
}

bool isDeviceRange(const void* p, size_t count) {
  std::lock_guard<std::mutex> lock(state().mutex);
  return findRange(p, count) != nullptr;
}

// Larger requests fail as on a device, instead of asking the host allocator.
constexpr size_t kMaxAllocation = size_t(1) << 40;

// Blocks of at least this size are mapped on their own, in huge pages where
// the system gives them: the model's large arrays (nodes, elements, points)
// then cost a fraction of the page faults at first touch and of the address
// translations when kernels walk them.
constexpr size_t kHugePage = size_t(2) << 20;

size_t mappedSize(size_t size) { return (size + kHugePage - 1) / kHugePage * kHugePage; }

// Under AddressSanitizer every block comes from the heap, which it guards
// against overruns.
bool ownMapping(size_t size) { return size >= kHugePage && !gpu_host_detail::kAddressSanitizer; }

// Zeroed memory for a block; null when the system has none.
void* obtain(size_t size) {
  if (!ownMapping(size)) return std::calloc(size == 0 ? 1 : size, 1);
  // Map one huge page more than needed, so that the block can start on a
  // huge-page boundary; the rest is given back.
  const size_t length = mappedSize(size) + kHugePage;
  void* raw = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (raw == MAP_FAILED) return nullptr;
  const auto start = reinterpret_cast<std::uintptr_t>(raw);
  const std::uintptr_t aligned = (start + kHugePage - 1) / kHugePage * kHugePage;
  if (aligned > start) munmap(raw, aligned - start);
  const std::uintptr_t end = start + length, used = aligned + mappedSize(size);
  if (end > used) munmap(reinterpret_cast<void*>(used), end - used);
  madvise(reinterpret_cast<void*>(aligned), mappedSize(size), MADV_HUGEPAGE);
  return reinterpret_cast<void*>(aligned);
}

void giveBack(void* p, size_t size) {
  if (!ownMapping(size))
    std::free(p);
  else
    munmap(p, mappedSize(size));
}

// Copies and sets of large blocks are shared out over the threads: their
// cost is mostly the first touch of fresh pages, which the threads take in
// parallel.
constexpr size_t kParallelBytes = size_t(8) << 20;
constexpr size_t kCopyGrain = size_t(1) << 20;

void copyBytes(void* dst, const void* src, size_t count) {
  const auto d = reinterpret_cast<std::uintptr_t>(dst), s = reinterpret_cast<std::uintptr_t>(src);
  const bool overlap = d < s + count && s < d + count;
  if (count < kParallelBytes || overlap) {
    std::memmove(dst, src, count);
    return;
  }
  fem_parallel::parallelRanges(count, kCopyGrain, [&](size_t begin, size_t end) {
    std::memcpy(static_cast<char*>(dst) + begin, static_cast<const char*>(src) + begin, end - begin);
  });
}

void setBytes(void* ptr, int value, size_t count) {
  if (count < kParallelBytes) {
    std::memset(ptr, value, count);
    return;
  }
  fem_parallel::parallelRanges(count, kCopyGrain, [&](size_t begin, size_t end) {
    std::memset(static_cast<char*>(ptr) + begin, value, end - begin);
  });
}

cudaError_t allocate(void** ptr, size_t size, AllocKind kind) {
  if (ptr == nullptr) return cudaErrorInvalidValue;
  if (size > kMaxAllocation) return cudaErrorMemoryAllocation;
  // A zero-byte request still yields a unique address, as the runtime gives.
  void* p = obtain(size);
  if (p == nullptr) return cudaErrorMemoryAllocation;
  {
    std::lock_guard<std::mutex> lock(state().mutex);
    state().allocations[reinterpret_cast<std::uintptr_t>(p)] = Allocation{size, kind};
  }
  *ptr = p;
  return cudaSuccess;
}

cudaError_t release(void* ptr, bool host) {
  if (ptr == nullptr) return cudaSuccess;
  auto& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  auto it = s.allocations.find(reinterpret_cast<std::uintptr_t>(ptr));
  if (it == s.allocations.end()) return host ? cudaErrorInvalidHostPointer : cudaErrorInvalidValue;
  if ((it->second.kind == AllocKind::MappedHost) != host) return cudaErrorInvalidValue;
  const size_t size = it->second.size;
  s.allocations.erase(it);
  giveBack(ptr, size);
  return cudaSuccess;
}

}  // namespace

namespace gpu_host {

cudaDeviceProp defaultDeviceProperties() {
  cudaDeviceProp p{};
  std::strncpy(p.name, "Host emulated device", sizeof(p.name) - 1);
  p.totalGlobalMem = size_t(16) << 30;
  p.sharedMemPerBlock = 48 * 1024;
  p.regsPerBlock = 65536;
  p.warpSize = 32;
  p.maxThreadsPerBlock = 1024;
  p.maxThreadsDim[0] = 1024;
  p.maxThreadsDim[1] = 1024;
  p.maxThreadsDim[2] = 64;
  p.maxGridSize[0] = 2147483647;
  p.maxGridSize[1] = 65535;
  p.maxGridSize[2] = 65535;
  p.major = 7;
  p.minor = 5;
  p.multiProcessorCount = 1;
  p.canMapHostMemory = 1;
  p.unifiedAddressing = 1;
  p.managedMemory = 1;
  return p;
}

void setDeviceTable(const std::vector<cudaDeviceProp>& devices) {
  std::lock_guard<std::mutex> lock(state().mutex);
  state().devices = devices;
  state().currentDevice = 0;
}

std::vector<cudaDeviceProp> defaultDeviceTable() {
#ifdef FEM_HOST_NO_DEVICE
  return {};
#else
  return {defaultDeviceProperties()};
#endif
}

void resetDeviceTable() { setDeviceTable(defaultDeviceTable()); }

void injectFailure(CallKind kind, cudaError_t code) {
  std::lock_guard<std::mutex> lock(state().mutex);
  state().injected[kind] = code;
}

void clearInjectedFailures() {
  std::lock_guard<std::mutex> lock(state().mutex);
  state().injected.clear();
}

size_t liveAllocationCount() {
  std::lock_guard<std::mutex> lock(state().mutex);
  return state().allocations.size();
}

}  // namespace gpu_host

using gpu_host::CallKind;

cudaError_t cudaMalloc(void** ptr, size_t size) {
  if (cudaError_t e = takeInjected(CallKind::Malloc)) return record(e);
  return record(allocate(ptr, size, AllocKind::Device));
}

cudaError_t cudaMallocManaged(void** ptr, size_t size, unsigned int) {
  if (cudaError_t e = takeInjected(CallKind::MallocManaged)) return record(e);
  return record(allocate(ptr, size, AllocKind::Managed));
}

cudaError_t cudaFree(void* ptr) {
  if (cudaError_t e = takeInjected(CallKind::Free)) return record(e);
  return record(release(ptr, false));
}

cudaError_t cudaHostAlloc(void** ptr, size_t size, unsigned int) {
  if (cudaError_t e = takeInjected(CallKind::HostAlloc)) return record(e);
  return record(allocate(ptr, size, AllocKind::MappedHost));
}

cudaError_t cudaHostGetDevicePointer(void** devPtr, void* hostPtr, unsigned int flags) {
  if (cudaError_t e = takeInjected(CallKind::HostGetDevicePointer)) return record(e);
  if (devPtr == nullptr || flags != 0) return record(cudaErrorInvalidValue);
  std::lock_guard<std::mutex> lock(state().mutex);
  const Allocation* a = findRange(hostPtr, 0);
  if (a == nullptr || a->kind != AllocKind::MappedHost) return record(cudaErrorInvalidValue);
  *devPtr = hostPtr;  // mapped memory: the device alias is the host address
  return cudaSuccess;
}

cudaError_t cudaFreeHost(void* ptr) {
  if (cudaError_t e = takeInjected(CallKind::FreeHost)) return record(e);
  return record(release(ptr, true));
}

cudaError_t cudaMemcpy(void* dst, const void* src, size_t count, cudaMemcpyKind kind) {
  if (cudaError_t e = takeInjected(CallKind::Memcpy)) return record(e);
  if (count == 0) return cudaSuccess;
  if (dst == nullptr || src == nullptr) return record(cudaErrorInvalidValue);
  bool ok = true;
  switch (kind) {
    case cudaMemcpyHostToHost:
      break;
    case cudaMemcpyHostToDevice:
      ok = isDeviceRange(dst, count);
      break;
    case cudaMemcpyDeviceToHost:
      ok = isDeviceRange(src, count);
      break;
    case cudaMemcpyDeviceToDevice:
      ok = isDeviceRange(dst, count) && isDeviceRange(src, count);
      break;
    case cudaMemcpyDefault:
      break;
    default:
      return record(cudaErrorInvalidMemcpyDirection);
  }
  if (!ok) return record(cudaErrorInvalidValue);
  copyBytes(dst, src, count);
  return cudaSuccess;
}

cudaError_t cudaMemset(void* ptr, int value, size_t count) {
  if (cudaError_t e = takeInjected(CallKind::Memset)) return record(e);
  if (count == 0) return cudaSuccess;
  if (!isDeviceRange(ptr, count)) return record(cudaErrorInvalidValue);
  setBytes(ptr, value, count);
  return cudaSuccess;
}

cudaError_t cudaDeviceSynchronize() {
  if (cudaError_t e = takeInjected(CallKind::DeviceSynchronize)) return record(e);
  return cudaSuccess;
}

// A reset destroys the device's context with every allocation in it, so a
// pointer kept across the reset is dangling here as on a device.
cudaError_t cudaDeviceReset() {
  auto& s = state();
  {
    std::lock_guard<std::mutex> lock(s.mutex);
    for (const auto& entry : s.allocations) giveBack(reinterpret_cast<void*>(entry.first), entry.second.size);
    s.allocations.clear();
  }
  s.sticky = cudaSuccess;
  s.lastError = cudaSuccess;
  return cudaSuccess;
}

cudaError_t cudaDeviceSetLimit(cudaLimit limit, size_t value) {
  std::lock_guard<std::mutex> lock(state().mutex);
  auto it = state().limits.find(limit);
  if (it == state().limits.end()) return record(cudaErrorUnsupportedLimit);
  it->second = value;
  return cudaSuccess;
}

cudaError_t cudaDeviceGetLimit(size_t* value, cudaLimit limit) {
  std::lock_guard<std::mutex> lock(state().mutex);
  auto it = state().limits.find(limit);
  if (value == nullptr) return record(cudaErrorInvalidValue);
  if (it == state().limits.end()) return record(cudaErrorUnsupportedLimit);
  *value = it->second;
  return cudaSuccess;
}

cudaError_t cudaGetLastError() { return state().lastError.exchange(state().sticky); }

cudaError_t cudaPeekAtLastError() { return state().lastError; }

namespace {
// One copy between bytes [offset, offset+count) of a __device__ variable and
// other memory, in the direction `toSymbol`.
cudaError_t copySymbol(char* symbol, size_t symbolSize, size_t offset, void* other, size_t count, bool toSymbol,
                       cudaMemcpyKind kind) {
  if (cudaError_t e = takeInjected(CallKind::Memcpy)) return record(e);
  const cudaMemcpyKind hostSide = toSymbol ? cudaMemcpyHostToDevice : cudaMemcpyDeviceToHost;
  if (kind != hostSide && kind != cudaMemcpyDeviceToDevice && kind != cudaMemcpyDefault)
    return record(cudaErrorInvalidMemcpyDirection);
  if (offset > symbolSize || count > symbolSize - offset || (count > 0 && other == nullptr))
    return record(cudaErrorInvalidValue);
  if (count == 0) return cudaSuccess;
  if (toSymbol)
    std::memmove(symbol + offset, other, count);
  else
    std::memmove(other, symbol + offset, count);
  return cudaSuccess;
}
}  // namespace

cudaError_t cudaMemcpyToSymbolBytes(void* symbol, size_t symbolSize, const void* src, size_t count, size_t offset,
                                    cudaMemcpyKind kind) {
  return copySymbol(static_cast<char*>(symbol), symbolSize, offset, const_cast<void*>(src), count, true, kind);
}

cudaError_t cudaMemcpyFromSymbolBytes(void* dst, const void* symbol, size_t symbolSize, size_t count, size_t offset,
                                      cudaMemcpyKind kind) {
  return copySymbol(static_cast<char*>(const_cast<void*>(symbol)), symbolSize, offset, dst, count, false, kind);
}

namespace gpu_host_detail {
bool isDeviceMemory(const void* p, size_t bytes) { return isDeviceRange(p, bytes); }

int beginLaunch(dim3 grid, dim3 block) {
  const gpu_host::CallKind kind = gpu_host::CallKind::Launch;
  if (cudaError_t e = takeInjected(kind)) {
    // An injected launch failure stands for a kernel that faulted on the
    // device: the failure stays until the device is reset.
    state().sticky = e;
    state().lastError = e;
    return e;
  }
  const unsigned long long threads = 1ULL * block.x * block.y * block.z;
  if (threads > 1024 || block.z > 64 || grid.y > 65535 || grid.z > 65535) {
    std::fprintf(stderr,
                 "kernel launch refused: grid (%u,%u,%u) of blocks (%u,%u,%u); a block holds at most "
                 "1024 threads (z at most 64), a grid at most 65535 blocks in y and z\n",
                 grid.x, grid.y, grid.z, block.x, block.y, block.z);
    state().lastError = cudaErrorInvalidConfiguration;
    return cudaErrorInvalidConfiguration;
  }
  return cudaSuccess;
}
}  // namespace gpu_host_detail

// The device's memory less the bytes of the live blocks the runtime handed
// out (device, managed and mapped host blocks alike).
cudaError_t cudaMemGetInfo(size_t* freeBytes, size_t* totalBytes) {
  if (freeBytes == nullptr || totalBytes == nullptr) return record(cudaErrorInvalidValue);
  std::lock_guard<std::mutex> lock(state().mutex);
  if (state().devices.empty()) return record(cudaErrorNoDevice);
  size_t used = 0;
  for (const auto& entry : state().allocations) used += entry.second.size;
  const size_t total = state().devices[static_cast<size_t>(state().currentDevice)].totalGlobalMem;
  *totalBytes = total;
  *freeBytes = used < total ? total - used : 0;
  return cudaSuccess;
}

cudaError_t cudaGetDeviceCount(int* count) {
  if (cudaError_t e = takeInjected(CallKind::GetDeviceCount)) return record(e);
  if (count == nullptr) return record(cudaErrorInvalidValue);
  std::lock_guard<std::mutex> lock(state().mutex);
  *count = static_cast<int>(state().devices.size());
  return *count == 0 ? record(cudaErrorNoDevice) : cudaSuccess;
}

cudaError_t cudaGetDeviceProperties(cudaDeviceProp* prop, int device) {
  if (cudaError_t e = takeInjected(CallKind::GetDeviceProperties)) return record(e);
  std::lock_guard<std::mutex> lock(state().mutex);
  if (prop == nullptr) return record(cudaErrorInvalidValue);
  if (device < 0 || device >= static_cast<int>(state().devices.size())) return record(cudaErrorInvalidDevice);
  *prop = state().devices[device];
  return cudaSuccess;
}

cudaError_t cudaSetDevice(int device) {
  if (cudaError_t e = takeInjected(CallKind::SetDevice)) return record(e);
  std::lock_guard<std::mutex> lock(state().mutex);
  if (device < 0 || device >= static_cast<int>(state().devices.size())) return record(cudaErrorInvalidDevice);
  state().currentDevice = device;
  return cudaSuccess;
}

cudaError_t cudaGetDevice(int* device) {
  if (device == nullptr) return record(cudaErrorInvalidValue);
  *device = state().currentDevice;
  return cudaSuccess;
}

// Sanitizer build: every program linked with the solver library stops at the
// first report of undefined behaviour, except for the reports listed in the
// suppression file (third-party headers).  Defined here because this object
// is in every such program.
#if defined(GPU_HOST_ASAN) && defined(FEM_UBSAN_SUPPRESSIONS)
extern "C" const char* __ubsan_default_options() {
  return "halt_on_error=1:print_stacktrace=1:suppressions=" FEM_UBSAN_SUPPRESSIONS;
}
#endif
