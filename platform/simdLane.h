// Lanes: one value per element of a group of elements computed together.
// Element mathematics that pays for it is written once, as templates over a
// value type T; plain double gives the one-element form, `LaneDouble` the
// group form of `kLaneWidth` elements.  In the host build `LaneDouble` is a
// pack of doubles that the processor computes with vector instructions; in
// the CUDA build it is a plain double (each GPU thread is its own lane).
//
// Generic code uses the ordinary operators and these functions, each
// defined for double and for `LaneDouble`:
//   kLanesOf<T>                       lanes of a value (1 for double)
//   laneSqrt, laneAbs, laneMax        element-wise
//   laneSelect(mask, a, b)            a where the mask holds, b elsewhere
//   laneAll(mask), laneAny(mask)      reductions of a comparison
//   mask & mask, mask | mask, !mask   (bool for double)
//   laneGet(v, l), laneSet(v, l, x)   lane l of a value
//   laneOut<n>(a, l, out), laneIn<n>(in, l, a)
//                                     lane l of an array of n values
//   laneGather<n>(rows, a)            a[i] in lane l := rows[l][i], each
//                                     value built whole from its lanes
//   laneLoad(p)                       lane l := p[l]
//   laneLowestBit(m)                  lowest set bit of a nonzero mask
//   laneNoneLess6(a, b)               no a[k] < b[k] for k = 0 .. 5 (a
//                                     comparison with a value that is not a
//                                     number does not hold); two values an
//                                     instruction in the host build
// and lanePrefetch(p), lanePrefetchBytes(p, bytes), lanePrefetchSpan<bytes>(p)
// (a size known when compiling), hints that the memory
// at p is read soon (nothing where the hardware hides its latency by
// itself, as on the GPU), and lanePrefetchAhead<distance>(records, i, n,
// runs...), the read-ahead of a loop over an array of records.
//
// FEM_LANE_UNROLL before a short loop of fixed count asks for it to be
// unrolled whole, so that its indices become constants (lane kernels keep
// their values in registers that way).
//
// FEM_LANE_KERNEL marks a function that computes a group: the host build
// compiles it once per vector instruction set (baseline x86-64, AVX2,
// AVX-512) and runs the best one the processor has, chosen at start-up, with
// every lane function inlined into it.  It is empty in the CUDA build.
#pragma once
#include <cmath>
#include <cstddef>
#if !defined(FEM_USE_CUDA) && defined(__x86_64__)
#include <emmintrin.h>
#endif

#include "platform/gpuRuntime.h"

__host__ __device__ inline double laneSqrt(double a) { return sqrt(a); }
__host__ __device__ inline double laneAbs(double a) { return fabs(a); }
__host__ __device__ inline double laneMax(double a, double b) { return a < b ? b : a; }
__host__ __device__ inline double laneSelect(bool m, double a, double b) { return m ? a : b; }
__host__ __device__ inline bool laneAll(bool m) { return m; }
__host__ __device__ inline bool laneAny(bool m) { return m; }
__host__ __device__ inline double laneGet(double v, int /*lane*/) { return v; }
__host__ __device__ inline void laneSet(double& v, int /*lane*/, double x) { v = x; }
template <int n>
__host__ __device__ inline void laneGather(const double* const rows[], double* a) {
  for (int i = 0; i < n; ++i) a[i] = rows[0][i];
}

// Index of the lowest set bit of a mask that is not zero (the slots of a
// group's bit mask visited in order).
__host__ __device__ inline int laneLowestBit(unsigned m) {
#ifdef __CUDA_ARCH__
  return __ffs(static_cast<int>(m)) - 1;
#else
  return __builtin_ctz(m);
#endif
}

#if defined(__CUDACC__) || defined(__clang__)
#define FEM_LANE_UNROLL _Pragma("unroll")
#elif defined(__GNUC__)
#define FEM_LANE_UNROLL _Pragma("GCC unroll 32")
#else
#define FEM_LANE_UNROLL
#endif

// A run of bytes of a record that a pass reads: its offset in the record and
// its length.  Read-ahead of a run that crosses fields starts from the
// record's address, since it may not be reached from its first field's.
struct LaneRun {
  std::size_t at;
  int bytes;
};

#ifdef FEM_USE_CUDA

__host__ __device__ inline void lanePrefetch(const void* /*p*/) {}
__host__ __device__ inline void lanePrefetchBytes(const void* /*p*/, int /*bytes*/) {}
template <int bytes>
__host__ __device__ inline void lanePrefetchSpan(const void* /*p*/) {}
template <int distance, typename Record, typename... Runs>
__host__ __device__ inline void lanePrefetchAhead(const Record* /*records*/, int /*i*/, int /*n*/, Runs... /*runs*/) {}
template <int distance, typename Record, typename... Runs>
__host__ __device__ inline void lanePrefetchAheadOf(const Record* const* /*records*/, int /*i*/, int /*n*/,
                                                    Runs... /*runs*/) {}

constexpr int kLaneWidth = 1;
using LaneDouble = double;
__host__ __device__ inline double laneLoad(const double* p) { return p[0]; }
#define FEM_LANE_KERNEL

__host__ __device__ inline bool laneNoneLess6(const double* a, const double* b) {
  bool less = false;
  for (int k = 0; k < 6; ++k) less |= a[k] < b[k];
  return !less;
}

#else

#define FEM_LANE_INLINE inline __attribute__((always_inline))

FEM_LANE_INLINE void lanePrefetch(const void* p) { __builtin_prefetch(p); }
// Every 64-byte line of [p, p + bytes).
FEM_LANE_INLINE void lanePrefetchBytes(const void* p, int bytes) {
  if (p == nullptr || bytes <= 0) return;  // a record a group lacks: nothing to ask for
  const char* c = static_cast<const char*>(p);
  // A count rather than a whole unroll: the size is not always known at
  // compile time.
#pragma GCC unroll 8
  for (int b = 0; b < bytes; b += 64) __builtin_prefetch(c + b);
  __builtin_prefetch(c + bytes - 1);
}
// The same for a size known when compiling: one prefetch per line, with no
// loop left to count.
template <int bytes>
FEM_LANE_INLINE void lanePrefetchSpan(const void* p) {
  static_assert(bytes > 0);
  if (p == nullptr) return;
  const char* c = static_cast<const char*>(p);
  FEM_LANE_UNROLL
  for (int b = 0; b < bytes; b += 64) __builtin_prefetch(c + b);
  __builtin_prefetch(c + bytes - 1);
}
// The read-ahead of a loop over records[0 .. n-1] at record i: the runs of
// the record `distance` places on (the whole record when no run is given),
// nothing past the end.  Where the threads of a block run one after the
// other (the host build), its lines arrive while the records before it are
// computed.  Always inlined, so that the prefetches stay in the loop: the
// call of a function that only asks for lines has no effect the compiler
// must keep, and may be dropped.
template <int distance, typename Record, typename... Runs>
FEM_LANE_INLINE void lanePrefetchAhead(const Record* records, int i, int n, Runs... runs) {
  if (i + distance >= n) return;
  const char* record = reinterpret_cast<const char*>(records + i + distance);
  if constexpr (sizeof...(Runs) == 0)
    lanePrefetchSpan<sizeof(Record)>(record);
  else
    (lanePrefetchBytes(record + runs.at, runs.bytes), ...);
}
// The same over a list of pointers to records (a null one asks for nothing).
template <int distance, typename Record, typename... Runs>
FEM_LANE_INLINE void lanePrefetchAheadOf(const Record* const* records, int i, int n, Runs... runs) {
  if (i + distance >= n || records[i + distance] == nullptr) return;
  const char* record = reinterpret_cast<const char*>(records[i + distance]);
  if constexpr (sizeof...(Runs) == 0)
    lanePrefetchSpan<sizeof(Record)>(record);
  else
    (lanePrefetchBytes(record + runs.at, runs.bytes), ...);
}
#if defined(__x86_64__) && !defined(__clang__)
#define FEM_LANE_KERNEL __attribute__((target_clones("default", "avx2", "avx512f"), flatten))
#else
#define FEM_LANE_KERNEL __attribute__((flatten))
#endif

// Four doubles: one AVX2 register (half an AVX-512 one) or two SSE2
// registers.  Eight were slower on AVX2: the group's values no longer fit
// the registers.  Even, for the two-lane square roots below.
constexpr int kLaneWidth = 4;
static_assert(kLaneWidth % 2 == 0);

// Comparison result: all bits set in the lanes where it holds.
struct LaneMask {
  typedef long long Bits __attribute__((vector_size(8 * kLaneWidth)));
  Bits m;
  friend FEM_LANE_INLINE LaneMask operator&(const LaneMask& a, const LaneMask& b) { return {a.m & b.m}; }
  friend FEM_LANE_INLINE LaneMask operator|(const LaneMask& a, const LaneMask& b) { return {a.m | b.m}; }
  friend FEM_LANE_INLINE LaneMask operator!(const LaneMask& a) { return {~a.m}; }
};

struct LaneDouble {
  typedef double Pack __attribute__((vector_size(8 * kLaneWidth)));
  Pack v;

  LaneDouble() = default;
  FEM_LANE_INLINE LaneDouble(double s) : v(Pack{} + s) {}  // every lane s
  FEM_LANE_INLINE static LaneDouble of(const Pack& p) {
    LaneDouble r;
    r.v = p;
    return r;
  }

  FEM_LANE_INLINE LaneDouble& operator+=(const LaneDouble& b) {
    v += b.v;
    return *this;
  }
  FEM_LANE_INLINE LaneDouble& operator-=(const LaneDouble& b) {
    v -= b.v;
    return *this;
  }
  FEM_LANE_INLINE LaneDouble& operator*=(const LaneDouble& b) {
    v *= b.v;
    return *this;
  }
  FEM_LANE_INLINE LaneDouble& operator/=(const LaneDouble& b) {
    v /= b.v;
    return *this;
  }

  friend FEM_LANE_INLINE LaneDouble operator-(const LaneDouble& a) { return of(-a.v); }
  friend FEM_LANE_INLINE LaneDouble operator+(const LaneDouble& a, const LaneDouble& b) { return of(a.v + b.v); }
  friend FEM_LANE_INLINE LaneDouble operator-(const LaneDouble& a, const LaneDouble& b) { return of(a.v - b.v); }
  friend FEM_LANE_INLINE LaneDouble operator*(const LaneDouble& a, const LaneDouble& b) { return of(a.v * b.v); }
  friend FEM_LANE_INLINE LaneDouble operator/(const LaneDouble& a, const LaneDouble& b) { return of(a.v / b.v); }
  friend FEM_LANE_INLINE LaneMask operator<(const LaneDouble& a, const LaneDouble& b) { return {a.v < b.v}; }
  friend FEM_LANE_INLINE LaneMask operator<=(const LaneDouble& a, const LaneDouble& b) { return {a.v <= b.v}; }
  friend FEM_LANE_INLINE LaneMask operator>(const LaneDouble& a, const LaneDouble& b) { return {a.v > b.v}; }
  friend FEM_LANE_INLINE LaneMask operator>=(const LaneDouble& a, const LaneDouble& b) { return {a.v >= b.v}; }
  friend FEM_LANE_INLINE LaneMask operator!=(const LaneDouble& a, const LaneDouble& b) { return {a.v != b.v}; }
};

FEM_LANE_INLINE LaneDouble laneSelect(const LaneMask& m, const LaneDouble& a, const LaneDouble& b) {
  return LaneDouble::of(m.m ? a.v : b.v);
}
FEM_LANE_INLINE LaneDouble laneMax(const LaneDouble& a, const LaneDouble& b) { return laneSelect(a < b, b, a); }
FEM_LANE_INLINE LaneDouble laneAbs(const LaneDouble& a) { return laneSelect(a < 0.0, -a, a); }
FEM_LANE_INLINE double laneGet(const LaneDouble& v, int lane) { return v.v[lane]; }
FEM_LANE_INLINE void laneSet(LaneDouble& v, int lane, double x) { v.v[lane] = x; }

FEM_LANE_INLINE bool laneAll(const LaneMask& m) {
  bool all = true;
  for (int l = 0; l < kLaneWidth; ++l) all = all && m.m[l] != 0;
  return all;
}
FEM_LANE_INLINE bool laneAny(const LaneMask& m) {
  bool any = false;
  for (int l = 0; l < kLaneWidth; ++l) any = any || m.m[l] != 0;
  return any;
}

// Square roots two lanes at a time (x86-64 always has the two-lane form);
// each is the correctly rounded root, as the scalar one.
FEM_LANE_INLINE LaneDouble laneSqrt(const LaneDouble& a) {
  LaneDouble r;
#if defined(__x86_64__) && !defined(__clang__)
  typedef double Pair __attribute__((vector_size(16)));
  for (int l = 0; l < kLaneWidth; l += 2) {
    const Pair s = __builtin_ia32_sqrtpd(Pair{a.v[l], a.v[l + 1]});
    r.v[l] = s[0];
    r.v[l + 1] = s[1];
  }
#else
  for (int l = 0; l < kLaneWidth; ++l) r.v[l] = std::sqrt(a.v[l]);
#endif
  return r;
}

// n values of kLaneWidth records into lanes: a[i] in lane l := rows[l][i].
// Each value is put together in a register and stored whole, so that the
// computation reading it does not wait on lane-by-lane stores.
template <int n>
FEM_LANE_INLINE void laneGather(const double* const rows[], LaneDouble* a) {
  for (int i = 0; i < n; ++i) {
    LaneDouble::Pack p;
    for (int l = 0; l < kLaneWidth; ++l) p[l] = rows[l][i];
    a[i].v = p;
  }
}

// kLaneWidth consecutive doubles into the lanes: lane l := p[l].
FEM_LANE_INLINE LaneDouble laneLoad(const double* p) {
  LaneDouble a;
  __builtin_memcpy(&a.v, p, sizeof(a.v));
  return a;
}

FEM_LANE_INLINE bool laneNoneLess6(const double* a, const double* b) {
#if defined(__x86_64__)
  const __m128d less = _mm_or_pd(_mm_or_pd(_mm_cmplt_pd(_mm_loadu_pd(a), _mm_loadu_pd(b)),
                                           _mm_cmplt_pd(_mm_loadu_pd(a + 2), _mm_loadu_pd(b + 2))),
                                 _mm_cmplt_pd(_mm_loadu_pd(a + 4), _mm_loadu_pd(b + 4)));
  return _mm_movemask_pd(less) == 0;
#else
  bool less = false;
  for (int k = 0; k < 6; ++k) less |= a[k] < b[k];
  return !less;
#endif
}

#endif

// Lanes of a value type: kLaneWidth for LaneDouble, 1 for double (code over
// T instantiated for one point).
template <typename T>
inline constexpr int kLanesOf = 1;
#ifndef FEM_USE_CUDA
template <>
inline constexpr int kLanesOf<LaneDouble> = kLaneWidth;
#endif

// Lane l of an array of n values, to and from the lanes.
template <int n, typename T>
__host__ __device__ inline void laneOut(const T* a, int l, double* out) {
  for (int i = 0; i < n; ++i) out[i] = laneGet(a[i], l);
}
template <int n, typename T>
__host__ __device__ inline void laneIn(const double* in, int l, T* a) {
  for (int i = 0; i < n; ++i) laneSet(a[i], l, in[i]);
}
