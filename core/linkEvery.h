// Linking passes over a manager's records: every record is tried, so that
// each missing target or curve is reported in one run, and the pass fails
// when any record failed.
#pragma once

template <typename Records, typename Link>
bool linkEvery(Records& records, Link link) {
  bool linked = true;
  for (auto& record : records) linked = link(record) && linked;
  return linked;
}
