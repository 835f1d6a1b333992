#include "core/pendingFeature.h"
#include <cstdio>
#include <mutex>
#include <set>
#include <string>

void reportUnavailable(const char* feature, std::size_t recordCount) {
  static std::mutex guard;
  static std::set<std::string> reported;
  std::lock_guard<std::mutex> lock(guard);
  if (!reported.insert(feature).second) return;
  fprintf(stderr, "Warning: %s is not available in this build; %zu record(s) are not acted on.\n", feature,
          recordCount);
}
