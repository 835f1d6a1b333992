// Candidate master segments of one contact node (at most 64), filled by the
// contact search and judged by pair production.
#pragma once
#include <type_traits>
#include "contact/contactNodeFlags.h"
#include "platform/gpuRuntime.h"

struct SegmentCuda;
struct ContactNodeCuda;
struct NodeCuda;

constexpr int kTestPairSlots = 64;
// Best distance of a judgement that makes no contact pair.
constexpr double kNoJudgeDistance = 100.0;

// Result of judging one candidate.
struct TestJudgeReturn {
  int kind;         // 1 node to segment, 2 node to edge, 3 node to node; 0 = none
  int local_index;  // edge or node number within the segment
  int side;
  SegmentCuda* segment;
  double distance;  // signed gap of the node to the segment
  double approach;  // speed at which the node moves into the segment (relative, along the contact normal)
  double facing;    // cosine between the node's own normal and the segment's normal turned to the node's side
};
static_assert(std::is_trivially_copyable_v<TestJudgeReturn>);

struct TestPairCuda {
  int next_check_cycle[kTestPairSlots];  // first cycle at which a candidate is judged again (host path)
  int side[kTestPairSlots];              // side the node started on: -1, 1, 0 = not known
  int side_now[kTestPairSlots];          // side found at the last judgement
  SegmentCuda* segment[kTestPairSlots];  // candidates; a null slot is empty
  int count;                             // number of candidates
  ContactNodeCuda* contactNode;          // owner
  int active_flag;                       // 1 when count is not 0

  // active_flag := (count != 0); returns it. Written only when it changes:
  // the clean-ups run over every contact node each cycle, and a line left
  // unwritten need not go back to memory.
  __host__ __device__ bool updateActiveFlag() {
    const int flag = count != 0 ? 1 : 0;
    if (active_flag != flag) active_flag = flag;
    return flag != 0;
  }
  // Reserves a free slot by an atomic add on the count and returns it; when
  // all 64 are taken the reservation is undone, the overflow counter (when
  // given) grows and -1 is returned.
  __host__ __device__ int reserveSlot(int* overflow);
  // Empties slot j (segment null, side 0, count - 1).
  __host__ __device__ void removeSlot(int j);
  // Appends a candidate found by the search unless it is listed already; a
  // full list gives its slot 0 to the new candidate (counted as overflow).
  // The list must be packed (as the clean-up before the search leaves it).
  __host__ __device__ void addCandidate(SegmentCuda* s, int* overflow);
  // Drops stale candidates and packs the rest to the front; `message` is the
  // report printed when the count does not match.
  __host__ __device__ void testExpand(const char* message);

  // The clean-up before the search and the one after pair production (the
  // same, with the message of its place).
  __host__ __device__ void cleanBeforeSearch();
  __host__ __device__ void cleanAfterProduction();

  // Pair production: judges the candidate in `slot` and writes a result
  // into r when the node touches it (cycle is not read; cycle2 is the cycle
  // written into next_check_cycle).
  __host__ __device__ void produceContactPairGpu(SegmentCuda* s, int cycle, int slot, TestJudgeReturn& r, int cycle2);
  // Judge of a node beyond edge k of the candidate in slot j: edge or
  // corner contact (the normal argument is not read).
  __host__ __device__ void nodeToEdgeJudgeGpu(SegmentCuda* s, int j, TestJudgeReturn& r, int edge, int cycle2,
                                              const double* normal);
  // After every slot is judged: the nearest of the 64 results (on equal
  // distances the smaller kind, on full ties the lowest slot) becomes the
  // owner's contact pair when it is near enough; the counter (when given)
  // grows by 1.
  __host__ __device__ void adoptBestResult(const TestJudgeReturn* results, int* counter);
  // After production: a candidate of a free node that gave no result takes
  // the side the node is on now when it changed sides.
  __host__ __device__ void followSide(int slot, double resultDistance);
  // The 64 slots judged in order, the best result adopted and the sides
  // followed, as one block of the production kernel does (host loop).
  __host__ __device__ void produceContactPairCpu(int cycle, int cycle2, int* counter);
  // Hook after a contact pair let go of its segment. Nothing is to be
  // updated: the released segment is already back among the candidates.
  __host__ __device__ void updatePositionAfterContactBreak(int /*cycle*/) {}

 private:
  // Whether segment s stands in slots 0 .. limit-1; its side (last match)
  // goes to *sideOut.
  __host__ __device__ bool listedSide(const SegmentCuda* s, int limit, int* sideOut) const;
  __host__ __device__ void cornerJudge(SegmentCuda* s, int j, TestJudgeReturn& r, const NodeCuda* corner,
                                       int cornerIndex, SegmentCuda* start, int stepLimit, int cycle2);
  __host__ __device__ void writeResult(TestJudgeReturn& r, int kind, int localIndex, int side, SegmentCuda* s,
                                       double distance) const;
};
static_assert(std::is_trivially_copyable_v<TestPairCuda>);

// Clean-ups before the search and after pair production (of the n nodes
// looked at, those whose flags, when kept, say they may have candidates or
// a pair; the flags then follow the records), and pair production (one
// block of 64 threads per test pair).
__global__ void GpuClearTestPair(int n, TestPairCuda** pairs, NodeVisit visit);
__global__ void GpuClearTestPair2(int n, TestPairCuda** pairs, NodeVisit visit);
__global__ void gpuProduceContactPair(int cycle, int cycle2, int n, TestPairCuda** pairs, int* counter);
