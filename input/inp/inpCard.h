// One comma-separated keyword-deck card, written by the .inp translation:
// numbers with 17 significant digits, so that nothing is lost on the way.
#pragma once
#include <cstdio>
#include <string>

class InpCard {
 public:
  InpCard& operator<<(double value) {
    char text[32];
    std::snprintf(text, sizeof(text), "%.17g", value);
    return add(text);
  }
  InpCard& operator<<(int value) { return add(std::to_string(value)); }
  // A single value is followed by a comma, so that the card is read by
  // commas and not by columns.
  std::string text() const { return fields_ == 1 ? line_ + ",\n" : line_ + "\n"; }

 private:
  InpCard& add(const std::string& field) {
    line_ += (fields_++ == 0 ? "" : ",") + field;
    return *this;
  }
  std::string line_;
  int fields_ = 0;
};
