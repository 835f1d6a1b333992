#include "platform/host/host_worker_team.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
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
// thread lost its core during it.
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
  const auto lost = (std::chrono::steady_clock::now() - wallStart) - (threadCpuTime() - cpuStart);
  if (lost > kPreemptedTime) g_sitOutJobs.store(kSitOutJobs, std::memory_order_relaxed);
  t_inJob = false;
}

// Helpers a job of `threads` threads takes: one fewer while threads sit out,
// as long as at least two helpers remain.
int helpersFor(int threads) {
  if (threads < 4 || g_sitOutJobs.load(std::memory_order_relaxed) <= 0) return threads - 1;
  g_sitOutJobs.fetch_sub(1, std::memory_order_relaxed);
  return threads - 2;
}

// A job is announced in one word: its number (high bits) and the seats
// still open to workers (low byte); the work and its context are written
// before the word.  A worker that sees a new number with an open seat for it
// counts itself busy and then reads the word again: the launching thread
// closes the seats and then waits until no worker is busy, so a worker is
// either seen busy or sees the seats closed and leaves the job alone.  Joining
// takes no lock: the mutex and the condition variables serve only threads
// that sleep.
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
    word_.store(job << kSeatBits | static_cast<std::uint64_t>(helpers));
    wakeSleepers(workersAsleep_, wake_);
    runShare(work, ctx, 0);
    word_.store(job << kSeatBits);  // no worker joins from here on
    if (spinBriefly([this] { return busy_.load() == 0; })) return;
    std::unique_lock<std::mutex> lock(mutex_);
    ++launcherAsleep_;
    done_.wait(lock, [this] { return busy_.load() == 0; });
    --launcherAsleep_;
  }

  int workerCount() {
    std::lock_guard<std::mutex> lock(mutex_);
    return workers_;
  }

 private:
  static constexpr int kSeatBits = 8;
  static constexpr int kMaxSeats = (1 << kSeatBits) - 1;

  // Threads are started on demand and never stopped: they sleep between
  // launches and end with the process.
  void startWorkers(int wanted) {
    std::lock_guard<std::mutex> lock(mutex_);
    // A new worker starts from the present job, so that it takes part in
    // the one about to be announced.
    const std::uint64_t now = word_.load() >> kSeatBits;
    for (; workers_ < wanted; ++workers_) std::thread([this, now, w = workers_] { workerLoop(w, now); }).detach();
  }

  // Wakes the threads asleep on `cv` (the count is read after the word that
  // ends their wait was written; a thread counts itself before it reads that
  // word).
  void wakeSleepers(const std::atomic<int>& asleep, std::condition_variable& cv) {
    if (asleep.load() == 0) return;
    { std::lock_guard<std::mutex> lock(mutex_); }
    cv.notify_all();
  }

  // Waits for a job after `seen`; returns the job's word.
  std::uint64_t awaitJob(std::uint64_t seen) {
    const auto announced = [&] { return (word_.load() >> kSeatBits) != seen; };
    if (!spinBriefly(announced)) {
      std::unique_lock<std::mutex> lock(mutex_);
      ++workersAsleep_;
      wake_.wait(lock, announced);
      --workersAsleep_;
    }
    return word_.load();
  }

  // Worker w takes seat w + 1 of the jobs that have one for it.
  void workerLoop(int w, std::uint64_t seen) {
    for (;;) {
      const std::uint64_t word = awaitJob(seen);
      seen = word >> kSeatBits;
      if (static_cast<int>(word & kMaxSeats) <= w) continue;  // the job is over or has no seat for it
      busy_.fetch_add(1);
      if (word_.load() == word) runShare(work_.load(std::memory_order_relaxed), ctx_.load(std::memory_order_relaxed), w + 1);
      if (busy_.fetch_sub(1) == 1) wakeSleepers(launcherAsleep_, done_);
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_, done_;
  std::atomic<std::uint64_t> word_{0};  // job number << kSeatBits | open seats
  std::atomic<void (*)(void*, int)> work_{nullptr};
  std::atomic<void*> ctx_{nullptr};
  std::atomic<int> busy_{0};            // workers inside the current job
  std::atomic<int> workersAsleep_{0}, launcherAsleep_{0};
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
