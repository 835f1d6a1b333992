// The ledger of the card lines of the keyword block being read.
#include "input/keyword/cardLineLedger.h"

#include <algorithm>
#include <functional>

CardLineLedger* CardLineLedger::open_ = nullptr;

CardLineLedger::CardLineLedger(size_t lineCount) : taken_(lineCount, 0), covered_(lineCount, 0), previous_(open_) {
  if (!taken_.empty()) taken_[0] = 1;
  open_ = this;
}

CardLineLedger::~CardLineLedger() { open_ = previous_; }

void CardLineLedger::takeAll() { std::fill(taken_.begin(), taken_.end(), static_cast<unsigned char>(1)); }

size_t CardLineLedger::dataLinesTaken() const {
  return taken_.empty() ? 0 : static_cast<size_t>(std::count(taken_.begin() + 1, taken_.end(), 1));
}

void CardLineLedger::registerLines(const std::vector<std::string>& lines) {
  if (!lines.empty()) lists_.push_back({lines.data(), lines.size()});
}

bool CardLineLedger::placeOf(const std::string& line, size_t& k) const {
  const std::less<const std::string*> before;
  for (auto list = lists_.rbegin(); list != lists_.rend(); ++list) {
    if (!before(&line, list->first) && before(&line, list->first + list->count)) {
      k = static_cast<size_t>(&line - list->first);
      return true;
    }
  }
  return false;
}

void takeCardLine(const std::vector<std::string>& lines, size_t k) {
  CardLineLedger* ledger = CardLineLedger::open();
  size_t at = 0;
  if (ledger != nullptr && k < lines.size() && ledger->placeOf(lines[k], at)) ledger->take(at);
}

void takeCardLine(const std::string& line) {
  CardLineLedger* ledger = CardLineLedger::open();
  size_t at = 0;
  if (ledger != nullptr && ledger->placeOf(line, at)) ledger->take(at);
}

bool takeCardLine(const std::string& line, size_t end) {
  CardLineLedger* ledger = CardLineLedger::open();
  size_t at = 0;
  if (ledger == nullptr || !ledger->placeOf(line, at)) return false;
  ledger->take(at);
  ledger->cover(at, end);
  return true;
}
