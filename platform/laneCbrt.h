// Cube roots in lanes (laneCbrt(a), for double and for LaneDouble).  The
// host build computes every root by the same steps as the GNU C library's
// cbrt: the mantissa m in [1/2, 1) of x = m 2^e, a polynomial first guess u
// of its cube root, one rational step u (u^3 + 2m) / (2u^3 + m), times the
// cube root of 2^(e mod 3), times 2^(e/3).  So the lanes give the library's
// bits without a call per lane, and the one-element form gives the same bits
// as the lanes whatever library the program is linked with.  The CUDA build
// takes the device's cbrt.
#pragma once
#include <cmath>

#include "platform/simdLane.h"

namespace lane_cbrt {

// Cube roots of 2^r for r = -2 .. 2, at r + 2.
constexpr double kCbrt2 = 1.2599210498948731648;
constexpr double kSquareCbrt2 = 1.5874010519681994748;

// A product kept apart from the sum it feeds: the kernels built for
// processors with fused multiply-add may fuse them otherwise, which rounds
// once where the library rounds twice.
#if defined(__GNUC__) && !defined(__clang__) && !defined(__CUDACC__) && __GNUC__ >= 12
inline double unfused(double product) { return __builtin_assoc_barrier(product); }
#ifndef FEM_USE_CUDA
FEM_LANE_INLINE LaneDouble unfused(const LaneDouble& product) {
  return LaneDouble::of(__builtin_assoc_barrier(product.v));
}
#endif
#else
template <typename T>
__host__ __device__ inline T unfused(T product) {
  return product;
}
#endif

// The root of m 2^e before its scale 2^(e/3), for a mantissa m in
// [1/2, 1) and the factor of e mod 3; written once for both value types.
template <typename T>
__host__ __device__ inline T mantissaRoot(T m, T factor) {
  constexpr double c[7] = {0.354895765043919860, 1.50819193781584896,  -2.11499494167371287, 2.44693122563534430,
                           -1.83469277483613086, 0.784932344976639262, -0.145263899385486377};
  T u = c[5] + unfused(c[6] * m);
  for (int k = 4; k >= 0; --k) u = c[k] + unfused(u * m);
  const T u3 = u * u * u;
  return u * (u3 + unfused(2.0 * m)) / (unfused(2.0 * u3) + m) * factor;
}

__host__ __device__ inline double factorOf(int r) {
  return r == -2 ? 1.0 / kSquareCbrt2 : r == -1 ? 1.0 / kCbrt2 : r == 0 ? 1.0 : r == 1 ? kCbrt2 : kSquareCbrt2;
}

}  // namespace lane_cbrt

__host__ __device__ inline double laneCbrt(double x) {
#ifdef FEM_USE_CUDA
  return cbrt(x);
#else
  int e = 0;
  const double m = std::frexp(std::fabs(x), &e);
  if (e == 0 && (x == 0.0 || !std::isfinite(x))) return x + x;  // zero, infinite, not a number
  const double r = lane_cbrt::mantissaRoot(m, lane_cbrt::factorOf(e % 3));
  return std::ldexp(x > 0.0 ? r : -r, e / 3);
#endif
}

#ifndef FEM_USE_CUDA
// Lanes whose value is normal (neither zero, subnormal, infinite nor a
// number) take their mantissa and exponent from the bits, as frexp does,
// and the scale 2^(e/3) as a product, exact since the root is normal; a
// group with another value computes lane by lane.
FEM_LANE_INLINE LaneDouble laneCbrt(const LaneDouble& x) {
  typedef LaneMask::Bits Bits;
  typedef LaneDouble::Pack Pack;
  const Bits bits = (Bits)x.v;
  const Bits biased = (bits >> 52) & 0x7ff;
  if (!laneAll(LaneMask{(biased != 0) & (biased != 0x7ff)})) {
    LaneDouble r;
    for (int l = 0; l < kLaneWidth; ++l) r.v[l] = laneCbrt(x.v[l]);
    return r;
  }
  const Bits e = biased - 1022;
  // e / 3 and e mod 3 rounded toward zero as in C: the quotient's
  // conversion truncates, and e / 3.0 lies on the integer e / 3 only when
  // 3 divides e.
  const Bits q = __builtin_convertvector(__builtin_convertvector(e, Pack) / 3.0, Bits);
  const Bits r = e - 3 * q;
  LaneDouble factor;
  for (int l = 0; l < kLaneWidth; ++l) factor.v[l] = lane_cbrt::factorOf(static_cast<int>(r[l]));
  const Bits sign = bits & (1ll << 63);
  const Bits mantissa = (bits & 0x000fffffffffffffll) | (1022ll << 52);  // |m| in [1/2, 1)
  const LaneDouble root = lane_cbrt::mantissaRoot(LaneDouble::of((Pack)mantissa), factor);
  // The root of |x| scaled by 2^(e/3), with the sign of x.
  const Bits scaled = (Bits)(root * LaneDouble::of((Pack)((q + 1023) << 52))).v;
  return LaneDouble::of((Pack)(scaled | sign));
}
#endif
