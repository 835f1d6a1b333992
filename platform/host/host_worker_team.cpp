#include "platform/host/host_worker_team.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
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

// Set while the calling thread runs a share of a job: a job started from
// inside another (a large copy inside a parallel loop) runs on that thread
// alone.
thread_local bool t_inJob = false;

// Runs work(ctx) with t_inJob set.
void runShare(void (*work)(void*), void* ctx) {
  const bool outer = t_inJob;
  t_inJob = true;
  work(ctx);
  t_inJob = outer;
}

class WorkerTeam {
 public:
  void run(int threads, void (*work)(void*), void* ctx) {
    const int helpers = threads - 1;
    if (helpers < 1 || t_inJob) {
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
