// Runs of n contiguous doubles of kLaneWidth records moved into lanes and
// back whole: a[i] in lane l := rows[l][i] (laneLoadBlock, laneLoadThree)
// and rows[l][i] := lane l of a[i] (laneStoreBlock).  In the host build each run of four
// values is read or written as one vector per record and transposed in
// registers (eight shuffles for sixteen values) instead of value by value;
// the values are the same bits either way.  In the CUDA build a lane is one
// record and the values are copied.
#pragma once
#include "platform/simdLane.h"

// One record's values (plain doubles: the CUDA build's lanes, and code
// written over a value type used with double in the host build).
template <int n>
__host__ __device__ inline void laneLoadBlock(const double* const rows[], double* a) {
  const double* row = rows[0];
  FEM_LANE_UNROLL
  for (int i = 0; i < n; ++i) a[i] = row[i];
}
template <int n>
__host__ __device__ inline void laneStoreBlock(const double* a, double* const rows[]) {
  double* row = rows[0];
  FEM_LANE_UNROLL
  for (int i = 0; i < n; ++i) row[i] = a[i];
}
template <int lead>
__host__ __device__ inline void laneLoadThree(const double* const rows[], double a[3]) {
  laneLoadBlock<3>(rows, a);
}

#ifndef FEM_USE_CUDA

static_assert(kLaneWidth == 4, "the transposes below are written for four lanes");

namespace lane_block_detail {
using Pack = LaneDouble::Pack;

FEM_LANE_INLINE Pack loadPack(const double* p) {
  Pack v;
  __builtin_memcpy(&v, p, sizeof(v));
  return v;
}
FEM_LANE_INLINE void storePack(double* p, const Pack& v) { __builtin_memcpy(p, &v, sizeof(v)); }

// r[k] := column k of the 4 x 4 matrix whose rows are r[0..3].
FEM_LANE_INLINE void transpose(Pack r[4]) {
  const Pack t0 = __builtin_shufflevector(r[0], r[1], 0, 4, 2, 6);
  const Pack t1 = __builtin_shufflevector(r[0], r[1], 1, 5, 3, 7);
  const Pack t2 = __builtin_shufflevector(r[2], r[3], 0, 4, 2, 6);
  const Pack t3 = __builtin_shufflevector(r[2], r[3], 1, 5, 3, 7);
  r[0] = __builtin_shufflevector(t0, t2, 0, 1, 4, 5);
  r[1] = __builtin_shufflevector(t1, t3, 0, 1, 4, 5);
  r[2] = __builtin_shufflevector(t0, t2, 2, 3, 6, 7);
  r[3] = __builtin_shufflevector(t1, t3, 2, 3, 6, 7);
}
}  // namespace lane_block_detail

template <int n>
FEM_LANE_INLINE void laneLoadBlock(const double* const rows[], LaneDouble* a) {
  using namespace lane_block_detail;
  int i = 0;
#pragma GCC unroll 8
  for (; i + 4 <= n; i += 4) {
    Pack r[4];
#pragma GCC unroll 8
    for (int l = 0; l < 4; ++l) r[l] = loadPack(rows[l] + i);
    transpose(r);
#pragma GCC unroll 8
    for (int k = 0; k < 4; ++k) a[i + k] = LaneDouble::of(r[k]);
  }
#pragma GCC unroll 8
  for (; i < n; ++i) a[i] = LaneDouble::of(Pack{rows[0][i], rows[1][i], rows[2][i], rows[3][i]});
}

// A run of three values (a node's coordinates, say) read as one vector of
// four per record: with the double before it (lead 1) or the one after it
// (lead 0), which is dropped and must be readable, as a neighbouring field
// of the same record is.  Pick the side that stays within the memory lines
// the three values occupy.
template <int lead>
FEM_LANE_INLINE void laneLoadThree(const double* const rows[], LaneDouble a[3]) {
  using namespace lane_block_detail;
  static_assert(lead == 0 || lead == 1);
  constexpr long kAt = -lead * static_cast<long>(sizeof(double));
  Pack r[4];
#pragma GCC unroll 8
  for (int l = 0; l < 4; ++l) __builtin_memcpy(&r[l], reinterpret_cast<const char*>(rows[l]) + kAt, sizeof(Pack));
  transpose(r);
#pragma GCC unroll 8
  for (int k = 0; k < 3; ++k) a[k] = LaneDouble::of(r[k + lead]);
}

template <int n>
FEM_LANE_INLINE void laneStoreBlock(const LaneDouble* a, double* const rows[]) {
  using namespace lane_block_detail;
  int i = 0;
#pragma GCC unroll 8
  for (; i + 4 <= n; i += 4) {
    Pack r[4] = {a[i].v, a[i + 1].v, a[i + 2].v, a[i + 3].v};
    transpose(r);
#pragma GCC unroll 8
    for (int l = 0; l < 4; ++l) storePack(rows[l] + i, r[l]);
  }
#pragma GCC unroll 8
  for (; i < n; ++i)
#pragma GCC unroll 8
    for (int l = 0; l < 4; ++l) rows[l][i] = a[i].v[l];
}

#endif
