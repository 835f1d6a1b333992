// Text of one line per node, formatted in blocks of nodes on all threads (the
// threads that run the kernels: a pool of its own would keep spinning beside
// them after every output point). The text does not depend on the thread
// count; the blocks' memory is kept from one use to the next.
#pragma once
#include <algorithm>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/hostParallel.h"

class NodeTextBlocks {
 public:
  static constexpr std::size_t kNodesPerBlock = 1024;

  // The lines of nodes 0 .. count-1: line(out, i) writes node i's line at
  // out, which has lineRoom chars free, and returns its end.
  template <typename Line>
  void format(std::size_t count, std::size_t lineRoom, const Line& line) {
    prepare(count, lineRoom);
    fem_parallel::parallelFor(used_, 1, [&](std::size_t b) { formatBlock(b, line); });
  }

  // The same in two steps, for callers that run the blocks in a loop of
  // their own: prepare, then formatBlock for each block (on any threads,
  // each block once).
  void prepare(std::size_t count, std::size_t lineRoom) {
    count_ = count;
    room_ = kNodesPerBlock * lineRoom;
    used_ = (count + kNodesPerBlock - 1) / kNodesPerBlock;
    if (blocks_.size() < used_) {
      blocks_.resize(used_);
    }
  }
  template <typename Line>
  void formatBlock(std::size_t b, const Line& line) {
    Block& block = blocks_[b];
    if (block.room < room_) {
      block.chars = std::make_unique_for_overwrite<char[]>(room_);
      block.room = room_;
    }
    char* at = block.chars.get();
    const std::size_t end = std::min(count_, (b + 1) * kNodesPerBlock);
    for (std::size_t i = b * kNodesPerBlock; i < end; ++i) {
      at = line(at, i);
    }
    block.size = static_cast<std::size_t>(at - block.chars.get());
  }

  // The blocks' text, in node order.
  std::size_t size() const { return used_; }
  std::string_view operator[](std::size_t b) const { return {blocks_[b].chars.get(), blocks_[b].size}; }

 private:
  struct Block {
    std::unique_ptr<char[]> chars;
    std::size_t size = 0;
    std::size_t room = 0;
  };
  std::vector<Block> blocks_;
  std::size_t used_ = 0;
  std::size_t count_ = 0;
  std::size_t room_ = 0;
};
