// Numbers as text without streams, in the forms the field files use: a double
// as the stream's default formatting writes it (six significant digits, the
// "%g" form: 0.25, -1.5e-07, 1e+06, nan, -inf) and a plain integer.
#pragma once
#include <bit>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

// Room that one number of either form needs at most.
constexpr std::size_t kNumberTextRoom = 24;

namespace number_text_detail {

// 10^k for k = 0 .. 22, each exact in a double.
constexpr double kExactPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                   1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr int kExactPowerMax = 22;

// a * 10^k with one rounding (|k| <= 22).
inline double scaled(double a, int k) { return k >= 0 ? a * kExactPowers[k] : a / kExactPowers[-k]; }

// Writes digits[0 .. count) and returns the end.
inline char* putDigits(char* out, const char* digits, int count) {
  for (int i = 0; i < count; ++i) *out++ = digits[i];
  return out;
}

// "%g" of |value| = 0.d1d2...d6 x 10^(exponent + 1), the six digits given,
// after the sign.
inline char* putSixDigits(char* out, const char* digits, int exponent) {
  int kept = 6;
  while (kept > 1 && digits[kept - 1] == '0') --kept;
  if (exponent < -4 || exponent >= 6) {
    *out++ = digits[0];
    if (kept > 1) {
      *out++ = '.';
      out = putDigits(out, digits + 1, kept - 1);
    }
    *out++ = 'e';
    *out++ = exponent < 0 ? '-' : '+';
    const int e = exponent < 0 ? -exponent : exponent;
    if (e >= 100) *out++ = static_cast<char>('0' + e / 100);
    *out++ = static_cast<char>('0' + e / 10 % 10);
    *out++ = static_cast<char>('0' + e % 10);
    return out;
  }
  if (exponent < 0) {
    *out++ = '0';
    *out++ = '.';
    for (int z = -1; z > exponent; --z) *out++ = '0';
    return putDigits(out, digits, kept);
  }
  out = putDigits(out, digits, exponent + 1);
  if (kept > exponent + 1) {
    *out++ = '.';
    out = putDigits(out, digits + exponent + 1, kept - exponent - 1);
  }
  return out;
}

// 10^k for k = -22 .. 22, each the double nearest to it: a first guess of
// the decimal exponent.
constexpr double kNearPowers[] = {1e-22, 1e-21, 1e-20, 1e-19, 1e-18, 1e-17, 1e-16, 1e-15, 1e-14, 1e-13, 1e-12, 1e-11,
                                  1e-10, 1e-9,  1e-8,  1e-7,  1e-6,  1e-5,  1e-4,  1e-3,  1e-2,  1e-1,  1e0,   1e1,
                                  1e2,   1e3,   1e4,   1e5,   1e6,   1e7,   1e8,   1e9,   1e10,  1e11,  1e12,  1e13,
                                  1e14,  1e15,  1e16,  1e17,  1e18,  1e19,  1e20,  1e21,  1e22};

// The two digits of 0 .. 99.
constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

inline void putPair(char* out, int pair) {
  out[0] = kDigitPairs[2 * pair];
  out[1] = kDigitPairs[2 * pair + 1];
}

// The six significant digits of a finite, normal |value| and its decimal
// exponent, rounded as the exact binary value rounds to nearest: scaled by
// an exact power of ten, with one rounding, the product lies within 2.4e-10
// of the exact one, so it rounds alike unless its fraction is that close to
// one half (false then, and for exponents whose power of ten is not exact).
inline bool sixDigits(double a, char* digits, int& exponent) {
  // floor(log2(a) log10(2)), the decimal exponent or one below it; the
  // nearest power of ten above it settles most.
  const int binaryExponent = static_cast<int>((std::bit_cast<std::uint64_t>(a) >> 52) & 0x7ff) - 1023;
  int e = (binaryExponent * 78913) >> 18;
  if (e + 1 >= -kExactPowerMax && e + 1 <= kExactPowerMax && a >= kNearPowers[e + 1 + kExactPowerMax]) ++e;
  for (int attempt = 0; attempt < 3; ++attempt) {
    const int k = 5 - e;
    if (k > kExactPowerMax || k < -kExactPowerMax) return false;
    const double m = scaled(a, k);
    if (!(m < 1e7)) return false;
    int d = static_cast<int>(m);  // m > 0: its whole part
    const double fraction = m - static_cast<double>(d);
    if (std::fabs(fraction - 0.5) < 1e-9) return false;
    d += fraction > 0.5 ? 1 : 0;
    if (d < 100000) {
      --e;
      continue;
    }
    if (d > 1000000) {
      ++e;
      continue;
    }
    if (d == 1000000) {
      d = 100000;
      ++e;
    }
    putPair(digits, d / 10000);
    putPair(digits + 2, d / 100 % 100);
    putPair(digits + 4, d % 100);
    exponent = e;
    return true;
  }
  return false;
}

}  // namespace number_text_detail

// Each writes the number at out, which has at least kNumberTextRoom chars
// free, and returns the end of the text.
inline char* putGeneral(char* out, double value) {
  using namespace number_text_detail;
  if (value == 0.0) {
    if (std::signbit(value)) *out++ = '-';
    *out++ = '0';
    return out;
  }
  char digits[6];
  int exponent = 0;
  const double a = std::fabs(value);
  if (std::isnormal(value) && sixDigits(a, digits, exponent)) {
    if (value < 0.0) *out++ = '-';
    return putSixDigits(out, digits, exponent);
  }
  return std::to_chars(out, out + kNumberTextRoom, value, std::chars_format::general, 6).ptr;
}

inline char* putInteger(char* out, long long value) { return std::to_chars(out, out + kNumberTextRoom, value).ptr; }

inline void appendGeneral(std::string& text, double value) {
  char digits[kNumberTextRoom];
  text.append(digits, putGeneral(digits, value));
}

inline void appendInteger(std::string& text, long long value) {
  char digits[kNumberTextRoom];
  text.append(digits, putInteger(digits, value));
}
