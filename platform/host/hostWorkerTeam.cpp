#include "platform/host/hostWorkerTeam.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <mutex>
#include <thread>
#include <vector>

namespace gpu_host_detail {
namespace {

// How long a waiting thread yields before it sleeps: long enough to catch
// the next launch of a cycle that follows at once, short against a time
// slice of the scheduler.
constexpr std::chrono::microseconds kSpinTime{50};

// Yields until ready() holds or the spin time is over; true when ready.
template <typename Ready>
bool spinBriefly(Ready ready) {
  const auto end = std::chrono::steady_clock::now() + kSpinTime;
  while (!ready()) {
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::yield();
  }
  return true;
}

// A thread that shares its core with another program loses the core for a
// time slice of the scheduler (milliseconds) now and then.  When that
// happens during its share of a job, the whole job waits for it at the end:
// it holds the chunk it was running.  A share that took kPreemptedTime more
// wall time than processor time shows that (the brief interruptions of an
// idle machine stay far below it); the next kSitOutJobs jobs then
// run with one thread fewer, so that the team and the other program each
// find cores of their own, and the scheduler moves the thread that shared
// one.  After them the whole team runs again (the other program may have
// ended).
constexpr std::chrono::microseconds kPreemptedTime{500};
constexpr int kSitOutJobs = 512;

std::chrono::nanoseconds threadCpuTime() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return std::chrono::seconds(t.tv_sec) + std::chrono::nanoseconds(t.tv_nsec);
}

// Jobs left to run with one thread fewer (set by a share that was
// preempted, counted down by the jobs).
std::atomic<int> g_sitOutJobs{0};

// Set while the calling thread runs a share of a job: a job started from
// inside another (a large copy inside a parallel loop) runs on that thread
// alone.
thread_local bool t_inJob = false;

// Runs work(ctx, seat) with t_inJob set; an outermost share notes when the
// thread lost its core during it.  The processor time is a system call
// (half a microsecond, on the path of every launch): it is read again at
// the end only when the share took kPreemptedTime of wall time, the least
// that can show a lost core.
void runShare(void (*work)(void*, int), void* ctx, int seat) {
  const bool outer = t_inJob;
  t_inJob = true;
  if (outer) {
    work(ctx, seat);
    return;
  }
  const auto wallStart = std::chrono::steady_clock::now();
  const auto cpuStart = threadCpuTime();
  work(ctx, seat);
  const auto wall = std::chrono::steady_clock::now() - wallStart;
  if (wall > kPreemptedTime && wall - (threadCpuTime() - cpuStart) > kPreemptedTime)
    g_sitOutJobs.store(kSitOutJobs, std::memory_order_relaxed);
  t_inJob = false;
}

// Helpers a job of `threads` threads takes: one fewer while threads sit out,
// as long as at least two helpers remain.
int helpersFor(int threads) {
  if (threads < 4 || g_sitOutJobs.load(std::memory_order_relaxed) <= 0) return threads - 1;
  g_sitOutJobs.fetch_sub(1, std::memory_order_relaxed);
  return threads - 2;
}

// A sleeping thread's bell: it sleeps until the count changes.
struct alignas(64) Bell {
  std::atomic<std::uint32_t> rings{0};
  std::atomic<int> asleep{0};

  // Sleeps unless woken() holds once the thread is marked asleep (the waker
  // marks its event before it looks for sleepers, the sleeper marks itself
  // before it looks for the event: one of them sees the other).
  template <typename Woken>
  void sleepUnless(Woken woken) {
    const std::uint32_t seen = rings.load();
    asleep.store(1);
    if (!woken()) rings.wait(seen);
    asleep.store(0);
  }
  // Wakes the thread if it sleeps (after the event it waits for is marked).
  void ring() {
    if (asleep.load() == 0) return;
    rings.fetch_add(1);
    rings.notify_one();
  }
};

// A job is announced in one word: its number (high bits) and the seats
// still open to workers (low byte); the work and its context are written
// before the word.  A worker that sees a new number with an open seat for it
// counts itself busy and then reads the word again: the launching thread
// closes the seats and then waits until no worker is busy, so a worker is
// either seen busy or sees the seats closed and leaves the job alone.  No
// lock is taken: a worker waits for a job with a seat for it, yielding for
// a while after its last job and then asleep on a bell of its own, rung only
// for the seats of a job, so a launch on few threads wakes no others.
//
// Ringing a bell is a system call that takes the ringing thread several
// microseconds (more on a virtual machine), time the launching thread would
// otherwise spend on its own share.  So the bells of a job are rung by every
// thread of it: the launching thread and each worker that joins take the
// seats one at a time from toRing_ (the job's number and the next seat to
// ring) until none is left; a worker that was awake and joined at once takes
// over the ringing from the launching thread, and a job none of whose
// workers sleeps costs one load (sleepers_).
class WorkerTeam {
 public:
  void run(int threads, void (*work)(void*, int), void* ctx) {
    if (threads < 2 || t_inJob) {
      runShare(work, ctx, 0);
      return;
    }
    const int helpers = std::min(helpersFor(threads), kMaxSeats);
    if (helpers < 1) {
      runShare(work, ctx, 0);
      return;
    }
    startWorkers(helpers);
    work_.store(work, std::memory_order_relaxed);
    ctx_.store(ctx, std::memory_order_relaxed);
    const std::uint64_t job = (word_.load(std::memory_order_relaxed) >> kSeatBits) + 1;
    toRing_.store(job << kRingBits, std::memory_order_relaxed);
    word_.store(job << kSeatBits | static_cast<std::uint64_t>(helpers));
    ringSleepers(job, helpers);
    runShare(work, ctx, 0);
    word_.store(job << kSeatBits);  // no worker joins from here on
    const auto done = [this] { return busy_.load() == 0; };
    if (spinBriefly(done)) return;
    while (!done()) launcherBell_.sleepUnless(done);
  }

  int workerCount() {
    std::lock_guard<std::mutex> lock(mutex_);
    return workers_;
  }

 private:
  static constexpr int kSeatBits = 8;
  static constexpr int kMaxSeats = (1 << kSeatBits) - 1;
  static constexpr int kRingBits = 16;

  // Rings the bells of the seats of job `job` not rung yet.  (A worker
  // counts itself in sleepers_ before it looks at the job word a last time
  // and sleeps: one that is not counted when the job is seen sees the job.)
  void ringSleepers(std::uint64_t job, int helpers) {
    if (sleepers_.load() == 0) return;
    const std::uint64_t tag = job & (~std::uint64_t{0} >> kRingBits);
    std::uint64_t word = toRing_.load(std::memory_order_relaxed);
    for (;;) {
      const int w = static_cast<int>(word & ((1u << kRingBits) - 1));
      if ((word >> kRingBits) != tag || w >= helpers) return;
      if (!toRing_.compare_exchange_weak(word, word + 1, std::memory_order_relaxed)) continue;
      bells_[w].ring();
      ++word;
    }
  }

  // Threads are started on demand and never stopped: they sleep between
  // launches and end with the process.
  void startWorkers(int wanted) {
    std::lock_guard<std::mutex> lock(mutex_);
    // A new worker starts from the present job, so that it takes part in
    // the one about to be announced.
    const std::uint64_t now = word_.load() >> kSeatBits;
    for (; workers_ < wanted; ++workers_) std::thread([this, now, w = workers_] { workerLoop(w, now); }).detach();
  }

  // Waits for a job after job `seen` with a seat for worker w; returns its
  // word (`seen` becomes its number).
  std::uint64_t awaitSeat(int w, std::uint64_t& seen) {
    for (;;) {
      std::uint64_t word = 0;
      const auto seated = [&] {
        word = word_.load();
        if ((word >> kSeatBits) == seen) return false;
        seen = word >> kSeatBits;
        return static_cast<int>(word & kMaxSeats) > w;
      };
      if (spinBriefly(seated)) return word;
      sleepers_.fetch_add(1);
      bells_[w].sleepUnless([&] { return (word_.load() >> kSeatBits) != seen; });
      sleepers_.fetch_sub(1);
    }
  }

  // Worker w takes seat w + 1 of the jobs that have one for it.
  void workerLoop(int w, std::uint64_t seen) {
    for (;;) {
      const std::uint64_t word = awaitSeat(w, seen);
      busy_.fetch_add(1);
      if (word_.load() == word) {
        ringSleepers(word >> kSeatBits, static_cast<int>(word & kMaxSeats));
        runShare(work_.load(std::memory_order_relaxed), ctx_.load(std::memory_order_relaxed), w + 1);
      }
      if (busy_.fetch_sub(1) == 1) launcherBell_.ring();
    }
  }

  std::mutex mutex_;                    // guards workers_
  std::atomic<std::uint64_t> word_{0};  // job number << kSeatBits | open seats
  std::atomic<void (*)(void*, int)> work_{nullptr};
  std::atomic<void*> ctx_{nullptr};
  std::atomic<int> busy_{0};                          // workers inside the current job
  alignas(64) std::atomic<std::uint64_t> toRing_{0};  // job number << kRingBits | next seat to ring
  alignas(64) std::atomic<int> sleepers_{0};          // workers asleep or about to sleep
  Bell bells_[kMaxSeats];                             // worker w's
  Bell launcherBell_;
  int workers_ = 0;
};

// Never destroyed: workers may still wait on it while the process exits.
WorkerTeam& team() {
  static WorkerTeam* t = new WorkerTeam;
  return *t;
}

}  // namespace

void runOnTeam(int threads, void (*work)(void*, int), void* ctx) { team().run(threads, work, ctx); }

int teamWorkerCount() { return team().workerCount(); }

}  // namespace gpu_host_detail
