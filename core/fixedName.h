// A fixed-capacity text field for records that are copied byte for byte to
// the device (titles and names of sections and materials).  It is trivially
// copyable; assigning longer text keeps the first N-1 characters.
#pragma once
#include <cstring>
#include <string>
#include <string_view>

template <int N>
struct FixedName {
  static_assert(N > 1);
  char text[N] = {};

  FixedName() = default;
  FixedName(std::string_view s) { assign(s); }  // NOLINT: implicit on purpose
  FixedName& operator=(std::string_view s) {
    assign(s);
    return *this;
  }
  FixedName& operator=(const std::string& s) { return *this = std::string_view(s); }
  FixedName& operator=(const char* s) { return *this = std::string_view(s != nullptr ? s : ""); }

  void assign(std::string_view s) {
    const size_t n = s.size() < size_t(N - 1) ? s.size() : size_t(N - 1);
    std::memset(text, 0, sizeof(text));
    if (n > 0) std::memcpy(text, s.data(), n);
  }
  void clear() { std::memset(text, 0, sizeof(text)); }
  const char* c_str() const { return text; }
  std::string str() const { return std::string(text, strnlen(text, N)); }
  operator std::string() const { return str(); }  // NOLINT: implicit on purpose
  bool empty() const { return text[0] == '\0'; }
  size_t size() const { return strnlen(text, N); }
  bool operator==(std::string_view s) const { return std::string_view(text, strnlen(text, N)) == s; }
};
