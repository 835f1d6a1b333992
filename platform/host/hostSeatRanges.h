// The items of one job of the worker team, shared out by seats: seat k (the
// launching thread is seat 0, worker w seat w + 1) owns the k-th of equal
// consecutive ranges and takes its items from the front, a chunk at a time.
// A seat whose range is empty steals the back half of the largest range
// left and goes on with it.
//
// So the thread of a seat runs the same items in launch after launch over
// the same arrays (the node passes, the element and contact kernels of every
// cycle), and the records those items write stay in its core's cache
// instead of moving from core to core; a seat whose thread joins late, or
// loses its core, has its items taken by the others, a chunk at most held
// up.
#pragma once
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <memory>

namespace gpu_host_detail {

class SeatRanges {
 public:
  // `items` (fewer than 2^32) over `seats` seats, taken `chunk` at a time.
  SeatRanges(std::uint32_t items, int seats, std::uint32_t chunk)
      : seats_(seats), chunk_(std::max<std::uint32_t>(chunk, 1)), ranges_(std::make_unique<Range[]>(seats)) {
    for (int k = 0; k < seats; ++k)
      ranges_[k].word.store(pack(boundary(items, k), boundary(items, k + 1)), std::memory_order_relaxed);
  }

  // The next items [begin, end) for the thread of `seat`; false when no
  // seat has any left.
  bool take(int seat, std::uint32_t& begin, std::uint32_t& end) {
    for (;;) {
      if (takeFront(ranges_[seat].word, begin, end)) return true;
      if (!steal(seat)) return false;
    }
  }

 private:
  struct alignas(64) Range {
    std::atomic<std::uint64_t> word{0};  // begin in the high half, end in the low
  };

  // First item of seat k's range.
  std::uint32_t boundary(std::uint32_t items, int k) const {
    return static_cast<std::uint32_t>(std::uint64_t{items} * static_cast<std::uint64_t>(k) /
                                      static_cast<std::uint64_t>(seats_));
  }
  static std::uint64_t pack(std::uint32_t begin, std::uint32_t end) { return std::uint64_t{begin} << 32 | end; }
  static std::uint32_t beginOf(std::uint64_t w) { return static_cast<std::uint32_t>(w >> 32); }
  static std::uint32_t endOf(std::uint64_t w) { return static_cast<std::uint32_t>(w); }

  bool takeFront(std::atomic<std::uint64_t>& word, std::uint32_t& begin, std::uint32_t& end) const {
    std::uint64_t w = word.load(std::memory_order_relaxed);
    for (;;) {
      const std::uint32_t b = beginOf(w), e = endOf(w);
      if (b >= e) return false;
      const std::uint32_t n = std::min(chunk_, e - b);
      if (word.compare_exchange_weak(w, pack(b + n, e), std::memory_order_relaxed)) {
        begin = b;
        end = b + n;
        return true;
      }
    }
  }

  // Moves the back half of the largest range left into `seat`'s own (which
  // is empty); false when every range is empty.  A range's items are only
  // ever taken, never given back, so a range once seen is never seen again
  // with other items in it.
  bool steal(int seat) {
    for (;;) {
      int victim = -1;
      std::uint64_t seen = 0;
      std::uint32_t most = 0;
      for (int k = 0; k < seats_; ++k) {
        const std::uint64_t w = ranges_[k].word.load(std::memory_order_relaxed);
        const std::uint32_t b = beginOf(w), e = endOf(w);
        if (k != seat && b < e && e - b > most) {
          most = e - b;
          victim = k;
          seen = w;
        }
      }
      if (victim < 0) return false;
      const std::uint32_t e = endOf(seen), middle = e - (most + 1) / 2;
      if (ranges_[victim].word.compare_exchange_strong(seen, pack(beginOf(seen), middle), std::memory_order_relaxed)) {
        ranges_[seat].word.store(pack(middle, e), std::memory_order_relaxed);
        return true;
      }
    }
  }

  int seats_;
  std::uint32_t chunk_;
  std::unique_ptr<Range[]> ranges_;
};

}  // namespace gpu_host_detail
