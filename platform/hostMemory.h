// Large arrays of host records that are about to be written whole (the
// nodes and elements of a model as the reader makes them). Writing a fresh
// array of hundreds of megabytes on one thread costs more in page faults
// (the system clears each page as it is first touched) than in the writing:
// the pages are made present on all threads first.
#pragma once
#include <algorithm>
#include <cstddef>
#include <vector>

namespace fem_host_memory {

// Makes the pages of [begin, begin + bytes) present and writable, shared out
// over the threads of the parallel loops, without changing what they hold
// (fresh pages read as zeros). A hint only: nothing happens where the
// system cannot do it.
void populatePages(void* begin, std::size_t bytes);

// Makes room for `more` records after the last (at least twice the present
// room, as the list grows) and makes the pages of the new room present.
template <class T>
void reserveAndPopulate(std::vector<T>& records, std::size_t more) {
  const std::size_t needed = records.size() + more;
  if (needed > records.capacity()) records.reserve(std::max(needed, 2 * records.capacity()));
  populatePages(records.data() + records.size(), more * sizeof(T));
}

// Gives the system back the free pages the allocator keeps after the
// temporaries of reading and set-up are gone (the deck's text, the lists
// and maps of the passes), so that a long run holds what its model needs.
// A hint only, as populatePages.
void returnFreePages();

}  // namespace fem_host_memory
