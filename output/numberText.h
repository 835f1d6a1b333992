// Numbers as text without streams, in the forms the field files use: a double
// as the stream's default formatting writes it (six significant digits, the
// "%g" form: 0.25, -1.5e-07, 1e+06, nan, -inf) and a plain integer.
#pragma once
#include <charconv>
#include <cstddef>
#include <string>

// Room that one number of either form needs at most.
constexpr std::size_t kNumberTextRoom = 24;

// Each writes the number at out, which has at least kNumberTextRoom chars
// free, and returns the end of the text.
inline char* putGeneral(char* out, double value)
{
    return std::to_chars(out, out + kNumberTextRoom, value, std::chars_format::general, 6).ptr;
}

inline char* putInteger(char* out, long long value)
{
    return std::to_chars(out, out + kNumberTextRoom, value).ptr;
}

inline void appendGeneral(std::string& text, double value)
{
    char digits[kNumberTextRoom];
    text.append(digits, putGeneral(digits, value));
}

inline void appendInteger(std::string& text, long long value)
{
    char digits[kNumberTextRoom];
    text.append(digits, putInteger(digits, value));
}
