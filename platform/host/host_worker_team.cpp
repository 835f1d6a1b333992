#include "platform/host/host_worker_team.h"

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
constexpr std::chrono::microseconds kSpinTime{20};

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

// Runs work(ctx) with t_inJob set; an outermost share notes when the thread
// lost its core during it.
void runShare(void (*work)(void*), void* ctx) {
  const bool outer = t_inJob;
  t_inJob = true;
  if (outer) {
    work(ctx);
    return;
  }
  const auto wallStart = std::chrono::steady_clock::now();
  const auto cpuStart = threadCpuTime();
  work(ctx);
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

class WorkerTeam {
 public:
  void run(int threads, void (*work)(void*), void* ctx) {
    if (threads < 2 || t_inJob) {
      runShare(work, ctx);
      return;
    }
    const int helpers = helpersFor(threads);
    if (helpers < 1) {
      runShare(work, ctx);
      return;
    }
    startWorkers(helpers);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      work_ = work;
      ctx_ = ctx;
      openSeats_ = helpers;
      generation_.fetch_add(1, std::memory_order_release);
    }
    wake_.notify_all();
    runShare(work, ctx);
    {
      // No worker joins from here on; those inside are waited for.
      std::lock_guard<std::mutex> lock(mutex_);
      openSeats_ = 0;
    }
    if (spinBriefly([this] { return busy_.load(std::memory_order_acquire) == 0; })) return;
    std::unique_lock<std::mutex> lock(mutex_);
    done_.wait(lock, [this] { return busy_.load(std::memory_order_acquire) == 0; });
  }

  int workerCount() {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<int>(workers_);
  }

 private:
  // Threads are started on demand and never stopped: they sleep between
  // launches and end with the process.
  void startWorkers(int wanted) {
    std::lock_guard<std::mutex> lock(mutex_);
    // A new worker starts from the present generation, so that it takes
    // part in the job about to be announced.
    const std::uint64_t now = generation_.load(std::memory_order_acquire);
    for (; workers_ < wanted; ++workers_) std::thread([this, now] { workerLoop(now); }).detach();
  }

  void workerLoop(std::uint64_t seen) {
    for (;;) {
      spinBriefly([&] { return generation_.load(std::memory_order_acquire) != seen; });
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [&] { return generation_.load(std::memory_order_acquire) != seen; });
      seen = generation_.load(std::memory_order_acquire);
      if (openSeats_ == 0) continue;  // the job is over or has its threads
      --openSeats_;
      busy_.fetch_add(1, std::memory_order_acq_rel);
      void (*work)(void*) = work_;
      void* ctx = ctx_;
      lock.unlock();
      runShare(work, ctx);
      lock.lock();
      if (busy_.fetch_sub(1, std::memory_order_acq_rel) == 1) done_.notify_all();
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_, done_;
  std::atomic<std::uint64_t> generation_{0};
  std::atomic<int> busy_{0};  // workers inside the current job (changed under the lock)
  int openSeats_ = 0;         // workers that may still join the current job
  void (*work_)(void*) = nullptr;
  void* ctx_ = nullptr;
  int workers_ = 0;
};

// Never destroyed: workers may still wait on it while the process exits.
WorkerTeam& team() {
  static WorkerTeam* t = new WorkerTeam;
  return *t;
}

}  // namespace

void runOnTeam(int threads, void (*work)(void*), void* ctx) { team().run(threads, work, ctx); }

int teamWorkerCount() { return team().workerCount(); }

}  // namespace gpu_host_detail
