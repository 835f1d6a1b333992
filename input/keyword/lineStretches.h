// The data lines of a large block read on all threads. The block's text is
// cut into stretches of whole lines; each thread reads whole stretches into
// items of their own, in line order. A line that a reader cannot take on its
// own (one that gives a message, or that needs what came before it) stops
// its stretch: the caller then reads the block line by line as before, so
// that every message and refusal is the one that reading gives. What is
// read on the threads is only kept in the stretches; the caller books the
// items in line order afterwards.
#pragma once
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "input/keyword/cardLineLedger.h"
#include "input/keyword/keywordField.h"
#include "platform/hostParallel.h"

template <class Item>
struct LineStretch {
  size_t begin = 0;      // first byte of the stretch in the text
  size_t end = 0;        // one past its last byte
  size_t lines = 0;      // lines read (to the end, or to the line that stopped it)
  size_t firstLine = 0;  // block line of its first line
  bool stopped = false;
  std::vector<Item> items;
};

// Bytes of text a stretch holds (whole lines: a little more).
constexpr size_t kLineStretchBytes = size_t{1} << 16;

// Reads text, the lines of a block from block line firstLine on (each ending
// in a newline, or at the end of the text), in stretches:
// readLine(line, stretchLine, cut, items) takes one line (without its
// newline; stretchLine counts from 0 in its stretch) and returns false when
// it cannot take it. Returns true when every line was taken; the stretches'
// first lines are then set.
template <class Item, class ReadLine>
bool readLineStretches(std::string_view text, size_t firstLine, ReadLine&& readLine,
                       std::vector<LineStretch<Item>>& stretches) {
  stretches.clear();
  for (size_t at = 0; at < text.size();) {
    size_t end = std::min(text.size(), at + kLineStretchBytes);
    if (end < text.size()) {
      const size_t newline = text.find('\n', end - 1);
      end = newline == std::string_view::npos ? text.size() : newline + 1;
    }
    LineStretch<Item>& stretch = stretches.emplace_back();
    stretch.begin = at;
    stretch.end = end;
    at = end;
  }
  fem_parallel::parallelFor(stretches.size(), 1, [&](size_t s) {
    LineStretch<Item>& stretch = stretches[s];
    FieldCut cut;
    size_t line = 0;
    for (size_t start = stretch.begin; start < stretch.end; ++line) {
      size_t stop = text.find('\n', start);
      if (stop == std::string_view::npos || stop > stretch.end) stop = stretch.end;
      if (!readLine(text.substr(start, stop - start), static_cast<uint32_t>(line), cut, stretch.items)) {
        stretch.stopped = true;
        break;
      }
      start = stop + 1;
    }
    stretch.lines = line;
  });
  size_t line = firstLine;
  for (LineStretch<Item>& stretch : stretches) {
    if (stretch.stopped) return false;
    stretch.firstLine = line;
    line += stretch.lines;
  }
  return true;
}

// Books the items of stretches read in full in line order: each item's line
// is marked as taken by a card, then book(item, k) is called with its block
// line k; a false return (the deck refused) ends the booking there. Returns
// the number of items booked.
template <class Item, class Book>
size_t bookInLineOrder(const std::vector<LineStretch<Item>>& stretches, Book&& book) {
  size_t booked = 0;
  for (const LineStretch<Item>& stretch : stretches) {
    for (const Item& item : stretch.items) {
      const size_t k = stretch.firstLine + item.line;
      if (CardLineLedger* ledger = CardLineLedger::open()) ledger->take(k);
      if (!book(item, k)) return booked;
      ++booked;
    }
  }
  return booked;
}

// Calls write(item, i) on all threads for the first `booked` items, i
// counting the items in line order.
template <class Item, class Write>
void writeBookedItems(const std::vector<LineStretch<Item>>& stretches, size_t booked, Write&& write) {
  std::vector<size_t> offsets(stretches.size(), 0);
  for (size_t s = 1; s < stretches.size(); ++s) offsets[s] = offsets[s - 1] + stretches[s - 1].items.size();
  fem_parallel::parallelFor(stretches.size(), 1, [&](size_t s) {
    const std::vector<Item>& items = stretches[s].items;
    for (size_t j = 0; j < items.size() && offsets[s] + j < booked; ++j) write(items[j], offsets[s] + j);
  });
}
