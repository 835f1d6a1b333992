// The run's millisecond clock: one steady wall clock, so that the timings
// printed and written in the run summary are real seconds after dividing by
// 1000.
#pragma once
#include <chrono>

inline double wallClockMs() {
  using namespace std::chrono;
  return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}
