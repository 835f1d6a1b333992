// Fields of keyword cards that this version reads past without computing
// what they ask for: a card may leave such a field blank or write the value
// that asks for nothing (its default, written out); any other value refuses
// the deck, naming the card, its line and the field.
#pragma once
#include <initializer_list>
#include <string>
#include <vector>

class KeywordReader;

// Values of a field that ask for nothing.
bool standsAtZero(double value);
bool standsAtZeroOrOne(double value);
// A death time: blank, 0 or 1e20 and beyond (never).
bool standsAtNever(double value);
// A scale factor: blank, 0 or 1.
bool standsAtOne(double value);
// IGNORE: blank, 0, or 1 and 2 (initial penetrations held at their starting
// depth, which every contact here does).
bool standsAtHeldPenetration(double value);

// "line n, " for a card line of the block being read (empty when its deck
// line is not known), to put before a field in a message.
std::string cardLineText(const KeywordReader& reader, const std::string& keyword, const std::string& line);

// "\"KEYWORD\" (line n)" for the keyword line of the block being read, as
// the reader names blocks.
std::string keywordAtLine(const KeywordReader& reader, const std::string& keyword, const std::string& keywordLine);

struct UncomputedField {
  int field;         // 1-based place on the card
  const char* name;  // the format's name of the field
  const char* asks;  // what another value asks for
  bool (*stands)(double) = standsAtZero;
};

// Checks the fields of card line k, cut into fields of `width` characters:
// each that holds anything but a blank or a value that stands is listed
// among the block's unread mechanics (the deck is refused once the block
// loop is done), naming line, field and what it asks for. Returns how many.
int refuseUncomputedFields(KeywordReader& reader, const std::string& keyword, const std::vector<std::string>& lines,
                           int k, std::initializer_list<UncomputedField> fields, int width = 10);
// The same fields of a card whose refusal waits for what uses it (a
// material refuses only the parts made of it): "line n, field f: NAME v
// asks for what, which this version does not compute", one such text per
// field that does not stand, joined by "; "; empty when every field stands.
std::string uncomputedFieldsText(const KeywordReader& reader, const std::string& keyword,
                                 const std::vector<std::string>& lines, int k,
                                 std::initializer_list<UncomputedField> fields, int width = 10);

// A data card of a block and the id card before it ("_ID" forms).
struct DataCard {
  int line = 0;         // the data card's line in the block's line list
  int id = 0;           // from the id card; 0 without one
  std::string heading;  // the rest of the id card
};
// The data cards of a block from line `first` on, `linesPerCard` lines
// each. In an "_ID" form every data card comes after an id card of its own
// (the id in columns 1-10 or as the first word, then a heading). An id card
// without its data card refuses the deck.
std::vector<DataCard> dataCards(KeywordReader& reader, const std::string& keyword,
                                const std::vector<std::string>& lines, int first, int linesPerCard = 1);
