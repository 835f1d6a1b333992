#include "core/runStop.h"

#include <atomic>
#include <csignal>
#include <mutex>

#include <unistd.h>

namespace {
volatile std::sig_atomic_t g_stopSignal = 0;
std::atomic<bool> g_failed{false};
std::mutex g_messageLock;
std::string g_message;

// Only async-signal-safe calls here: the flag and one write to standard error.
extern "C" void onStopSignal(int signal) {
  g_stopSignal = signal;
  static const char note[] =
      "\nInterrupt received: the run stops once the file being written is closed (interrupt again to end it at "
      "once).\n";
  const ssize_t ignored = write(STDERR_FILENO, note, sizeof note - 1);
  (void)ignored;
}
}  // namespace

void installRunStopSignals() {
  struct sigaction action {};
  action.sa_handler = onStopSignal;
  sigemptyset(&action.sa_mask);
  // SA_RESETHAND: the next signal takes the default action and ends the
  // program; SA_RESTART: an interrupted write goes on instead of failing.
  action.sa_flags = SA_RESETHAND | SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  // A closed terminal or session ends the run the same way.
  sigaction(SIGHUP, &action, nullptr);
}

void requestRunStop(const std::string& message) {
  std::lock_guard<std::mutex> lock(g_messageLock);
  if (g_failed.load()) return;
  g_message = message;
  g_failed.store(true);
}

bool runStopRequested() { return g_stopSignal != 0 || g_failed.load(std::memory_order_relaxed); }

int runStopSignal() { return g_stopSignal; }

std::string runStopMessage() {
  std::lock_guard<std::mutex> lock(g_messageLock);
  return g_message;
}

void resetRunStop() {
  std::lock_guard<std::mutex> lock(g_messageLock);
  g_stopSignal = 0;
  g_failed.store(false);
  g_message.clear();
}
