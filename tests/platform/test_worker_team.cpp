// The worker team under many back-to-back jobs: every item of every job is
// done exactly once, workers only ever touch the job they took a seat in,
// and workers that fell asleep between jobs are woken by the next one.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/host/host_worker_team.h"

namespace {

struct Job {
  int id = 0;
  int items = 0;
  std::atomic<int> next{0};
  std::atomic<int> done{0};
  std::atomic<int> participants{0};
  std::atomic<int> foreign{0};  // items seen done for another job's id
  static std::atomic<int> current;

  static void work(void* p) {
    Job& job = *static_cast<Job*>(p);
    job.participants.fetch_add(1);
    for (int i = job.next.fetch_add(1); i < job.items; i = job.next.fetch_add(1)) {
      if (current.load() != job.id) job.foreign.fetch_add(1);
      volatile double x = 1.0;
      for (int k = 0; k < 200; ++k) x = x * 1.000001;  // about a microsecond
      job.done.fetch_add(1);
    }
  }
};
std::atomic<int> Job::current{0};

TEST(WorkerTeam, BackToBackJobsRunEveryItemOnceAndSleepersWake) {
  int withHelpersAfterSleep = 0;
  for (int round = 0; round < 10; ++round) {
    // A gap much longer than the workers' spin: they go to sleep.
    std::this_thread::sleep_for(std::chrono::milliseconds(3));
    for (int j = 0; j < 100; ++j) {
      Job job;
      job.id = round * 100 + j + 1;
      job.items = j % 10 == 0 ? 1000 : 40;
      Job::current = job.id;
      gpu_host_detail::runOnTeam(4, &Job::work, &job);
      ASSERT_EQ(job.done.load(), job.items) << "job " << job.id;
      ASSERT_EQ(job.foreign.load(), 0) << "job " << job.id;
      ASSERT_GE(job.participants.load(), 1);
      ASSERT_LE(job.participants.load(), 4);
      // Round 0 finds its workers freshly started, the others asleep.
      if (round > 0 && j < 20 && job.participants.load() > 1) ++withHelpersAfterSleep;
    }
  }
  // After each sleep the first jobs found helpers again (some jobs may run
  // alone on a busy machine, not all of them).
  EXPECT_GT(withHelpersAfterSleep, 0);
  EXPECT_GE(gpu_host_detail::teamWorkerCount(), 3);
}

}  // namespace
