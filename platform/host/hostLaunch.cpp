// Grid execution of the host emulation.
//
// Blocks run in parallel on the worker team of hostWorkerTeam.h, as many
// threads as OpenMP would use (small launches stay on the calling thread).
// The threads of a block that synchronises run on one OS thread, one after
// the other; those of a block that does not may be shared out in slices
// (see GridJob).
//
// How a block synchronises is found out at run time: thread 0 of each block
// runs on a fiber.
// - When it finishes without reaching a barrier, threads 1..n-1 run as plain
//   calls, on this OS thread or, when the block is sliced, on several.
// - When it reaches blockPhases, it runs the phases of the whole block there,
//   each phase as a loop over the threads, and the other threads are not run
//   again.  The later blocks of the launch on this OS thread then run thread
//   0 as a plain call, without the fiber.
// - When it stops at a __syncthreads, every thread of the block gets its own
//   fiber and the block runs round-robin from barrier to barrier.  Every
//   thread must reach every barrier: a barrier that only some threads of a
//   block reach is reported and the run aborts.
#include "platform/host/hostLaunch.h"

#include <boost/context/detail/fcontext.hpp>
#include <omp.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "platform/host/hostControl.h"
#include "platform/host/hostLaunchPlan.h"
#include "platform/host/hostRuntime.h"
#include "platform/host/hostSanitizers.h"
#include "platform/host/hostSeatRanges.h"
#include "platform/host/hostStackPool.h"
#include "platform/host/hostWorkerTeam.h"

namespace gpu_host_detail {
namespace {

namespace ctx = boost::context::detail;

enum class FiberState { Running, AtBarrier, Done };

struct EmulatedThread {
  ctx::fcontext_t context = nullptr;  // where the fiber resumes
  FiberStack stack;
  uint3 index{0, 0, 0};
  FiberState state = FiberState::Running;
};

// What the OS thread is doing for the launch in progress: nothing, a plain
// call of an emulated thread, thread 0 on its fiber before any barrier, the
// fibers of a cooperative block, the phases of a block.
enum class Mode { Outside, PlainThread, Probe, Fiber, Phases };

// What is known of a block whose threads are shared out in slices over OS
// threads: nothing yet, its thread 0 runs, it runs plain, or one OS thread
// runs it whole (it synchronises).
enum class BlockKind : unsigned char { Unknown, Probing, Plain, Whole };

struct BlockRunner {
  void (*runThread)(void*) = nullptr;
  void* context = nullptr;
  std::vector<EmulatedThread> threads;  // reused from block to block
  bool phasedLaunch = false;            // a block of this launch ran in phases
  bool blockPhased = false;             // the present block ran in phases
  // Where the other slices of the present block learn how it runs, as soon
  // as thread 0 shows it (null when the block is not sliced).
  std::atomic<BlockKind>* sharedKind = nullptr;
};

// Tells the other slices of the present block how it runs, once.
void publishKind(BlockRunner& runner, BlockKind kind) {
  if (runner.sharedKind == nullptr) return;
  runner.sharedKind->store(kind, std::memory_order_release);
  runner.sharedKind = nullptr;
}

std::atomic<unsigned long long> g_cooperativeBlocks{0};
std::atomic<unsigned long long> g_sharedLaunches{0};

thread_local Mode t_mode = Mode::Outside;
thread_local Mode t_modeOutsidePhase = Mode::Outside;
thread_local EmulatedThread* t_current = nullptr;    // the fiber now running
thread_local ctx::fcontext_t t_scheduler = nullptr;  // where a fiber returns to
thread_local BlockRunner* t_runner = nullptr;
// The OS thread's own stack, as AddressSanitizer must be told on every switch.
thread_local const void* t_mainStackBottom = nullptr;
thread_local std::size_t t_mainStackSize = 0;

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "kernel launch: %s\n", what);
  std::fflush(stderr);
  std::abort();
}

// Leaves the running fiber for the block scheduler.  `finished` when the
// fiber will never be resumed.
void switchToScheduler(bool finished) {
  void* fakeStack = nullptr;
  asanStartSwitch(finished ? nullptr : &fakeStack, t_mainStackBottom, t_mainStackSize);
  ctx::transfer_t back = ctx::jump_fcontext(t_scheduler, nullptr);
  asanFinishSwitch(fakeStack, &t_mainStackBottom, &t_mainStackSize);
  t_scheduler = back.fctx;
}

void fiberMain(ctx::transfer_t from) {
  t_scheduler = from.fctx;
  asanFinishSwitch(nullptr, &t_mainStackBottom, &t_mainStackSize);
  try {
    t_runner->runThread(t_runner->context);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "kernel launch: exception in thread (%u,%u,%u): %s\n", threadIdx.x, threadIdx.y, threadIdx.z,
                 e.what());
    fail("a kernel must not throw");
  } catch (...) {
    fail("a kernel must not throw");
  }
  // The thread record is found through t_current: the scheduler's vector of
  // records may have moved since this fiber started.
  t_current->state = FiberState::Done;
  // The frames left live on this stack: this one and the switch below it
  // (a generous margin covers the switch's frame and saved registers).
  constexpr std::size_t kSwitchFrames = 16 << 10;
  char* const here = static_cast<char*>(__builtin_frame_address(0));
  char* const bottom = static_cast<char*>(t_current->stack.bottom);
  t_current->stack.liveLow = here - bottom > static_cast<std::ptrdiff_t>(kSwitchFrames) ? here - kSwitchFrames : bottom;
  switchToScheduler(true);
  fail("a finished fiber was resumed");
}

void startFiber(EmulatedThread& t) {
  t.stack = takeFiberStack();
  t.state = FiberState::Running;
  t.context = ctx::make_fcontext(t.stack.top(), t.stack.size, fiberMain);
}

// Runs fiber `t` until it reaches a barrier or ends.
void resume(EmulatedThread& t) {
  threadIdx = t.index;
  t.state = FiberState::Running;
  t_current = &t;
  void* fakeStack = nullptr;
  asanStartSwitch(&fakeStack, t.stack.bottom, t.stack.size);
  ctx::transfer_t back = ctx::jump_fcontext(t.context, &t);
  asanFinishSwitch(fakeStack, nullptr, nullptr);
  t.context = back.fctx;
  t_current = nullptr;
}

uint3 threadIndex(dim3 block, unsigned k) {
  return uint3{k % block.x, (k / block.x) % block.y, k / (block.x * block.y)};
}

const char* describe(FiberState s) { return s == FiberState::Done ? "finished" : "waits at a __syncthreads"; }

[[noreturn]] void divergentBarrier(const EmulatedThread& t, FiberState expected, int barrier) {
  std::fprintf(stderr,
               "kernel launch: divergent __syncthreads in block (%u,%u,%u): at barrier %d thread (%u,%u,%u) %s "
               "while thread (0,0,0) %s; every thread of a block must reach every __syncthreads\n",
               blockIdx.x, blockIdx.y, blockIdx.z, barrier, t.index.x, t.index.y, t.index.z, describe(t.state),
               describe(expected));
  std::fflush(stderr);
  std::abort();
}

// Runs every thread of a block whose thread 0 stopped at a barrier, round-robin
// from barrier to barrier.
void runCooperatively(dim3 block, unsigned count, BlockRunner& runner) {
  g_cooperativeBlocks.fetch_add(1, std::memory_order_relaxed);
  t_mode = Mode::Fiber;
  auto& threads = runner.threads;
  // Thread 0's record may move here; its fiber finds it through t_current,
  // which every resume sets.
  if (threads.size() < count) threads.resize(count);
  for (unsigned k = 1; k < count; ++k) {
    threads[k].index = threadIndex(block, k);
    startFiber(threads[k]);
  }
  for (int barrier = 1;; ++barrier) {
    const FiberState expected = threads[0].state;
    for (unsigned k = 1; k < count; ++k) {
      resume(threads[k]);
      if (threads[k].state != expected) divergentBarrier(threads[k], expected, barrier);
    }
    if (expected == FiberState::Done) break;
    resume(threads[0]);
  }
  for (unsigned k = 0; k < count; ++k) returnFiberStack(threads[k].stack);
}

// Threads with linear indices [first, last) of the block as plain calls.
void runPlainThreads(dim3 block, BlockRunner& runner, unsigned first, unsigned last) {
  t_mode = Mode::PlainThread;
  // The index is stepped rather than divided out of a linear one: this loop
  // is the launch overhead of every kernel without barriers.
  uint3 t = threadIndex(block, first);
  for (unsigned k = first; k < last; ++k) {
    threadIdx = t;
    runner.runThread(runner.context);
    if (++t.x == block.x) {
      t.x = 0;
      if (++t.y == block.y) {
        t.y = 0;
        ++t.z;
      }
    }
  }
}

// Runs thread 0 of a block and so finds out how the block synchronises.
// True when that did the whole block (thread 0 reached a barrier and every
// thread ran as fibers, or it ran the block's phases); false when the block
// runs plain and threads 1..count-1 are still to run.
bool runFirstThread(dim3 block, unsigned count, BlockRunner& runner) {
  runner.blockPhased = false;
  if (runner.phasedLaunch) {
    // The kernel runs its blocks in phases: thread 0 needs no fiber.
    t_mode = Mode::PlainThread;
    threadIdx = uint3{0, 0, 0};
    runner.runThread(runner.context);
    return runner.blockPhased;
  }
  if (runner.threads.empty()) runner.threads.resize(1);
  EmulatedThread& first = runner.threads[0];
  first.index = uint3{0, 0, 0};
  startFiber(first);
  t_mode = Mode::Probe;
  resume(first);
  if (first.state == FiberState::AtBarrier) {
    publishKind(runner, BlockKind::Whole);
    runCooperatively(block, count, runner);
    return true;
  }
  returnFiberStack(first.stack);
  if (runner.blockPhased) runner.phasedLaunch = true;
  return runner.blockPhased;
}

void runBlock(dim3 block, unsigned count, BlockRunner& runner) {
  if (!runFirstThread(block, count, runner)) runPlainThreads(block, runner, 1, count);
  t_mode = Mode::Outside;
}

// Sets up the calling OS thread to run blocks of one launch.
class LaunchScope {
 public:
  LaunchScope(dim3 grid, dim3 block, void (*runThread)(void*), void* context) : grid_(grid), block_(block) {
    runner_.runThread = runThread;
    runner_.context = context;
    outer_ = t_runner;
    t_runner = &runner_;
    gridDim = grid;
    blockDim = block;
  }
  ~LaunchScope() { t_runner = outer_; }
  LaunchScope(const LaunchScope&) = delete;
  LaunchScope& operator=(const LaunchScope&) = delete;

  // Runs the blocks with linear indices [begin, end).
  void run(long long begin, long long end) {
    for (long long b = begin; b < end; ++b) {
      enterBlock(b);
      runBlock(block_, count(), runner_);
    }
  }

  // Runs slice `slice` of `slices` of block b: the threads with linear
  // indices [slice * count / slices, (slice + 1) * count / slices).  The
  // first thread to reach the block runs its thread 0 and so learns how it
  // synchronises (`kind`, shared by the slices of the block); a block that
  // synchronises is run whole by that thread, and the other slices have
  // nothing left to do.
  void runSlice(long long b, unsigned slice, unsigned slices, std::atomic<BlockKind>& kind) {
    enterBlock(b);
    if (!blockRunsPlain(kind)) return;
    const unsigned n = count();
    const unsigned first = static_cast<unsigned>(1ULL * slice * n / slices);
    const unsigned last = static_cast<unsigned>(1ULL * (slice + 1) * n / slices);
    runPlainThreads(block_, runner_, std::max(first, 1u), last);
    t_mode = Mode::Outside;
  }

 private:
  unsigned count() const { return block_.x * block_.y * block_.z; }

  void enterBlock(long long b) {
    blockIdx = uint3{static_cast<unsigned>(b % grid_.x), static_cast<unsigned>((b / grid_.x) % grid_.y),
                     static_cast<unsigned>(b / (1LL * grid_.x * grid_.y))};
  }

  // True when the present block's threads other than thread 0 are to run as
  // plain calls; runs thread 0 (and the whole block if it synchronises)
  // when no thread has reached the block before.
  bool blockRunsPlain(std::atomic<BlockKind>& kind) {
    // Read before the exchange: once a block's kind is known its slices only
    // read it, and the line of kinds (64 blocks) stays shared between the
    // threads instead of moving to each one that would try the exchange.
    BlockKind k = kind.load(std::memory_order_acquire);
    if (k == BlockKind::Unknown && kind.compare_exchange_strong(k, BlockKind::Probing, std::memory_order_acq_rel)) {
      runner_.sharedKind = &kind;
      const bool whole = runFirstThread(block_, count(), runner_);
      t_mode = Mode::Outside;
      publishKind(runner_, whole ? BlockKind::Whole : BlockKind::Plain);
      return !whole;
    }
    // Another thread runs thread 0 now, up to its first barrier or its
    // phases at the most.
    while (k == BlockKind::Probing) {
      std::this_thread::yield();
      k = kind.load(std::memory_order_acquire);
    }
    return k == BlockKind::Plain;
  }

  dim3 grid_, block_;
  BlockRunner runner_;
  BlockRunner* outer_ = nullptr;
};

// One large launch shared out over the threads of the team in units, by
// seats (hostSeatRanges.h): each thread runs its own consecutive range of
// units, the same from launch to launch, and then takes over the back half
// of the largest range left; no thread holds more than a chunk of units
// that another could run.
// - A launch of many blocks: the units are its blocks, taken in chunks of
//   about 1/16 of a seat's range.
// - A launch of few blocks for its threads (the element kernels: blocks of
//   128 threads, each over four elements): each block is cut into slices of
//   threads, one unit each.  The threads of a block without barriers are
//   independent of each other and its slices run on any OS thread; a block
//   that synchronises runs whole on the OS thread that ran its thread 0,
//   and its other slices are left empty.  A block's slices are consecutive
//   units, so that the thread that runs its first slice mostly runs the
//   others too.
class GridJob {
 public:
  GridJob(dim3 grid, dim3 block, void (*runThread)(void*), void* ctx, int threads)
      : grid_(grid), block_(block), runThread_(runThread), ctx_(ctx) {
    blocks_ = 1LL * grid.x * grid.y * grid.z;
    const long long wanted = kUnitsPerThread * threads;
    const unsigned threadsPerBlock = block.x * block.y * block.z;
    if (blocks_ < kFewBlocksPerThread * threads && threadsPerBlock > 1) {
      slices_ = static_cast<unsigned>(std::min<long long>(threadsPerBlock, (wanted + blocks_ - 1) / blocks_));
      kinds_ = std::make_unique<std::atomic<BlockKind>[]>(static_cast<std::size_t>(blocks_));
    }
    // A unit is a slice, a block or, in grids of 2^32 blocks or more, a
    // group of consecutive blocks.
    blocksPerUnit_ = blocks_ / kMaxUnits + 1;
    const long long units = slices_ > 1 ? blocks_ * slices_ : (blocks_ - 1) / blocksPerUnit_ + 1;
    const long long chunk = slices_ > 1 ? 1 : units / (kChunksPerSeat * threads);
    ranges_.emplace(static_cast<std::uint32_t>(units), threads, static_cast<std::uint32_t>(chunk));
  }

  static void work(void* p, int seat) { static_cast<GridJob*>(p)->runShare(seat); }
  // Nanoseconds the threads spent in the launch, summed.
  double busyNs() const { return static_cast<double>(busyNs_.load(std::memory_order_relaxed)); }

 private:
  // Blocks are sliced when a launch has fewer than kFewBlocksPerThread per
  // thread of the team (a block, or a chunk of a few, then holds too large a
  // part of a thread's share for the threads to end together), into slices
  // that make about kUnitsPerThread units per thread.  Launches of more
  // blocks keep them whole: they share well in chunks of blocks, and a
  // thread's run over a block's threads stays in one stretch of memory.
  static constexpr long long kFewBlocksPerThread = 8;
  static constexpr long long kUnitsPerThread = 16;
  static constexpr long long kChunksPerSeat = 16;
  static constexpr long long kMaxUnits = 0xFFFFFFFFLL;

  void runShare(int seat) {
    const auto start = std::chrono::steady_clock::now();
    runUnits(seat);
    busyNs_.fetch_add(
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - start).count(),
        std::memory_order_relaxed);
  }

  void runUnits(int seat) {
    LaunchScope scope(grid_, block_, runThread_, ctx_);
    std::uint32_t begin = 0, end = 0;
    while (ranges_->take(seat, begin, end)) {
      if (slices_ == 1) {
        scope.run(begin * blocksPerUnit_, std::min(blocks_, end * blocksPerUnit_));
        continue;
      }
      for (long long u = begin; u < end; ++u)
        scope.runSlice(u / slices_, static_cast<unsigned>(u % slices_), slices_, kinds_[u / slices_]);
    }
  }

  dim3 grid_, block_;
  void (*runThread_)(void*);
  void* ctx_;
  long long blocks_ = 0, blocksPerUnit_ = 1;
  unsigned slices_ = 1;
  std::unique_ptr<std::atomic<BlockKind>[]> kinds_;  // per block, when blocks are sliced
  std::optional<SeatRanges> ranges_;
  std::atomic<long long> busyNs_{0};
};

}  // namespace

namespace {
// The plans of the launching thread: a kernel is launched from one thread
// in a run.
thread_local LaunchPlan t_plan;
}  // namespace

void runGrid(dim3 grid, dim3 block, void (*runThread)(void*), void* ctx, const void* kernel) {
  if (t_mode != Mode::Outside) fail("a kernel cannot launch another kernel");
  if (beginLaunch(grid, block) != cudaSuccess) return;
  LaunchPlan& plan = t_plan;
  const long long blocks = 1LL * grid.x * grid.y * grid.z;
  const long long emulated = blocks * block.x * block.y * block.z;
  // The team follows the OpenMP setting (OMP_NUM_THREADS,
  // omp_set_num_threads) of the launching thread.
  const int most = static_cast<int>(std::min<long long>(omp_get_max_threads(), emulated));
  const int threads = plan.threadsFor(kernel, emulated, most);
  const auto start = std::chrono::steady_clock::now();
  const auto sinceStart = [&start] {
    return std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count();
  };
  if (threads < 2) {
    LaunchScope(grid, block, runThread, ctx).run(0, blocks);
    const double wallNs = sinceStart();
    plan.record(kernel, emulated, 1, wallNs, wallNs);
    return;
  }
  g_sharedLaunches.fetch_add(1, std::memory_order_relaxed);
  GridJob job(grid, block, runThread, ctx, threads);
  runOnTeam(threads, &GridJob::work, &job);
  plan.record(kernel, emulated, threads, job.busyNs(), sinceStart());
}

}  // namespace gpu_host_detail

namespace gpu_host_detail {

bool enterPhasedBlock() {
  switch (t_mode) {
    case Mode::Outside:
      fail("blockPhases called outside a kernel");
    case Mode::Phases:
      fail("blockPhases called inside a phase");
    case Mode::Fiber:
      return false;
    case Mode::PlainThread:
    case Mode::Probe:
      break;
  }
  if (threadIdx.x != 0 || threadIdx.y != 0 || threadIdx.z != 0) {
    std::fprintf(stderr,
                 "kernel launch: divergent blockPhases in block (%u,%u,%u): thread (%u,%u,%u) reached the phases "
                 "that thread (0,0,0) finished without; every thread of a block must reach them\n",
                 blockIdx.x, blockIdx.y, blockIdx.z, threadIdx.x, threadIdx.y, threadIdx.z);
    std::fflush(stderr);
    std::abort();
  }
  t_runner->blockPhased = true;
  publishKind(*t_runner, BlockKind::Whole);
  return true;
}

void leavePhasedBlock() { threadIdx = uint3{0, 0, 0}; }

void setPhaseRunning(bool running) {
  if (running) {
    t_modeOutsidePhase = t_mode;
    t_mode = Mode::Phases;
  } else {
    t_mode = t_modeOutsidePhase;
  }
}

void* phaseStateBuffer(std::size_t bytes) {
  static thread_local std::vector<std::max_align_t> buffer;
  const std::size_t words = (bytes + sizeof(std::max_align_t) - 1) / sizeof(std::max_align_t);
  if (buffer.size() < words) buffer.resize(words);
  return buffer.data();
}

}  // namespace gpu_host_detail

namespace gpu_host {
unsigned long long cooperativeBlockCount() {
  return gpu_host_detail::g_cooperativeBlocks.load(std::memory_order_relaxed);
}
unsigned long long sharedLaunchCount() { return gpu_host_detail::g_sharedLaunches.load(std::memory_order_relaxed); }
void fixLaunchWork(const void* kernel, double nsPerThread) { gpu_host_detail::t_plan.fixWork(kernel, nsPerThread); }
LaunchTotals launchTotals(const void* kernel) {
  const gpu_host_detail::LaunchPlan::Totals t = gpu_host_detail::t_plan.totals(kernel);
  return LaunchTotals{t.wallNs, t.launches};
}
}  // namespace gpu_host

void __syncthreads() {
  using namespace gpu_host_detail;
  switch (t_mode) {
    case Mode::Outside:
      fail("__syncthreads called outside a kernel");
    case Mode::Phases:
      fail("__syncthreads called inside a phase of blockPhases (the phases end at the barriers)");
    case Mode::PlainThread:
      if (t_runner->phasedLaunch && threadIdx.x == 0 && threadIdx.y == 0 && threadIdx.z == 0)
        fail("a kernel that runs its blocks in phases reached a __syncthreads outside them");
      std::fprintf(stderr,
                   "kernel launch: divergent __syncthreads in block (%u,%u,%u): thread (%u,%u,%u) reached a "
                   "__syncthreads that thread (0,0,0) finished without; every thread of a block must reach "
                   "every __syncthreads\n",
                   blockIdx.x, blockIdx.y, blockIdx.z, threadIdx.x, threadIdx.y, threadIdx.z);
      std::fflush(stderr);
      std::abort();
    case Mode::Probe:
    case Mode::Fiber:
      t_current->state = FiberState::AtBarrier;
      switchToScheduler(false);
      return;
  }
}
