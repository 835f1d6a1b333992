// AddressSanitizer hooks for fiber switches of the host emulation; all of
// them compile to nothing in a build without the sanitizer.
#pragma once
#include <cstddef>

#if defined(__SANITIZE_ADDRESS__)
#define GPU_HOST_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define GPU_HOST_ASAN 1
#endif
#endif

#ifdef GPU_HOST_ASAN
#include <sanitizer/asan_interface.h>
#include <sanitizer/common_interface_defs.h>
#endif

namespace gpu_host_detail {

#ifdef GPU_HOST_ASAN
inline constexpr bool kAddressSanitizer = true;
#else
inline constexpr bool kAddressSanitizer = false;
#endif

// Before switching to the stack [bottom, bottom+size); `fakeStack` null when
// the stack being left will never be resumed.
inline void asanStartSwitch([[maybe_unused]] void** fakeStack, [[maybe_unused]] const void* bottom,
                            [[maybe_unused]] std::size_t size) {
#ifdef GPU_HOST_ASAN
  __sanitizer_start_switch_fiber(fakeStack, bottom, size);
#endif
}

// Right after arriving on a stack; reports the stack that was left.
inline void asanFinishSwitch([[maybe_unused]] void* fakeStack, [[maybe_unused]] const void** oldBottom,
                             [[maybe_unused]] std::size_t* oldSize) {
#ifdef GPU_HOST_ASAN
  __sanitizer_finish_switch_fiber(fakeStack, oldBottom, oldSize);
#endif
}

inline void asanUnpoison([[maybe_unused]] void* p, [[maybe_unused]] std::size_t size) {
#ifdef GPU_HOST_ASAN
  ASAN_UNPOISON_MEMORY_REGION(p, size);
#endif
}

}  // namespace gpu_host_detail
