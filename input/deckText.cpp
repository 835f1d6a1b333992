// Reading a deck file whole, checked.
#include "input/deckText.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <new>

#include "platform/hostMemory.h"

namespace {

// 1-based number of the first line longer than kMaxDeckLineLength, or 0.
size_t firstOverlongLine(const std::string& text) {
  size_t line = 1;
  for (size_t start = 0; start <= text.size(); ++line) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    if (end - start > kMaxDeckLineLength) return line;
    start = end + 1;
  }
  return 0;
}

}  // namespace

bool readDeckFileText(const std::string& deckPath, std::string& text, const std::string& refusal) {
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(deckPath, error);
  if (error || !std::filesystem::exists(status)) {
    std::cerr << refusal << ": cannot open the deck \"" << deckPath << "\"" << std::endl;
    return false;
  }
  if (std::filesystem::is_directory(status)) {
    std::cerr << refusal << ": \"" << deckPath << "\" is a folder, not a deck" << std::endl;
    return false;
  }
  if (!std::filesystem::is_regular_file(status)) {
    std::cerr << refusal << ": \"" << deckPath
              << "\" is not a regular file (a device, a FIFO or a socket); a deck must be a file" << std::endl;
    return false;
  }
  std::ifstream deck(deckPath, std::ios::binary);
  if (!deck.is_open()) {
    std::cerr << refusal << ": cannot open the deck \"" << deckPath << "\"" << std::endl;
    return false;
  }
  try {
    // The size the file has now in one read, then whatever it grew by.
    const auto size = std::filesystem::file_size(deckPath, error);
    text.reserve(error ? 0 : static_cast<size_t>(size));
    fem_host_memory::populatePages(text.data(), text.capacity());
    text.resize(error ? 0 : static_cast<size_t>(size));
    deck.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<size_t>(deck.gcount()));
    text.append(std::istreambuf_iterator<char>(deck), std::istreambuf_iterator<char>());
  } catch (const std::bad_alloc&) {
    std::cerr << refusal << ": the deck \"" << deckPath << "\" is too large to be held in memory" << std::endl;
    return false;
  } catch (const std::length_error&) {
    std::cerr << refusal << ": the deck \"" << deckPath << "\" is too large to be held in memory" << std::endl;
    return false;
  }
  if (deck.bad()) {
    std::cerr << refusal << ": error while reading the deck \"" << deckPath << "\"" << std::endl;
    return false;
  }
  // The byte-order mark some editors write before the text is no text of the deck.
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
  if (const size_t line = firstOverlongLine(text)) {
    std::cerr << refusal << ": line " << line << " of the deck \"" << deckPath << "\" is longer than "
              << kMaxDeckLineLength << " characters, the longest line this reader holds" << std::endl;
    return false;
  }
  return true;
}
