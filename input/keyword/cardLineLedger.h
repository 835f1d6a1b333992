// Which lines of the keyword block being read some card took. The reader
// opens a ledger for every block; the field cutting marks each line it cuts
// a card from, and the reader refuses a block that keeps a line no card took
// (a line past the block's cards) or that gave none of its cards. A line is
// known by its place in a line list made of the block (splitDeckLines
// registers its lists), so that a family that hands a line on by reference
// marks it without saying so. Lines may be cut on several threads while the
// one ledger is open: each line has its own mark.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

class CardLineLedger {
 public:
  // Opens the ledger of a block of lineCount lines (line 0, the keyword
  // line, counts as taken); it is the open ledger until destroyed.
  explicit CardLineLedger(size_t lineCount);
  ~CardLineLedger();
  CardLineLedger(const CardLineLedger&) = delete;
  CardLineLedger& operator=(const CardLineLedger&) = delete;

  bool taken(size_t k) const { return k < taken_.size() && taken_[k] != 0; }
  // Every line of the block taken at once: a block named as harmless.
  void takeAll();
  // Marks line k (ignored beyond the block).
  void take(size_t k) {
    if (k < taken_.size()) taken_[k] = 1;
  }
  // Line k was cut into fields that reach to character `end`; the widest
  // cut of a line counts (a line may be cut by several readers).
  void cover(size_t k, size_t end) {
    if (k < covered_.size() && end > covered_[k]) covered_[k] = end;
  }
  // Where the fields of line k end (0: no cut recorded).
  size_t coveredEnd(size_t k) const { return k < covered_.size() ? covered_[k] : 0; }
  // Data lines (line 1 on) that some card took.
  size_t dataLinesTaken() const;

  // The open ledger, or null outside a block.
  static CardLineLedger* open() { return open_; }
  // Registers a line list made of the open ledger's block.
  void registerLines(const std::vector<std::string>& lines);
  // Place of a line in a registered list of the block; false when the
  // line belongs to none.
  bool placeOf(const std::string& line, size_t& k) const;

 private:
  std::vector<unsigned char> taken_;
  std::vector<size_t> covered_;
  struct LineList {
    const std::string* first;
    size_t count;
  };
  std::vector<LineList> lists_;
  CardLineLedger* previous_;
  static CardLineLedger* open_;
};

// The marks the field cutting makes: line k of a line list of the block, or
// a line of such a list by reference. Nothing happens when no ledger is open
// or the list was not made of the block being read.
void takeCardLine(const std::vector<std::string>& lines, size_t k);
void takeCardLine(const std::string& line);
// The same, also recording that its fields reach to character `end`; false
// when the line belongs to no list of the block being read.
bool takeCardLine(const std::string& line, size_t end);
