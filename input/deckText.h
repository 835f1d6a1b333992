// The text of a deck file, read whole and checked before any reader cuts it:
// the path names a regular file (not a folder, a device such as /dev/zero
// or a FIFO, which would never end or never hold a deck), the file fits in
// memory, and no line is longer than a deck line can be. A byte-order mark
// at its start is dropped.
#pragma once
#include <cstddef>
#include <string>

// Longest line a deck may hold, in characters.
constexpr size_t kMaxDeckLineLength = 100000;

// Reads the deck into text. False after a message on the error stream that
// begins with refusal ("Keyword deck refused") when the deck cannot be
// opened or read, is no regular file, is too large to hold, or has a line
// longer than kMaxDeckLineLength.
bool readDeckFileText(const std::string& deckPath, std::string& text, const std::string& refusal);
