#include "contact/surfaceSpan.h"
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <vector>
#include "contact/surface.h"
#include "core/nodeManager.h"

namespace {

using Point = std::array<double, 3>;

double distance(const Point& a, const Point& b) { return std::hypot(a[0] - b[0], a[1] - b[1], a[2] - b[2]); }

// Median of the values (reordered).
double median(std::vector<double>& v) {
  const auto mid = v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2);
  std::nth_element(v.begin(), mid, v.end());
  return *mid;
}

}  // namespace

bool contactSideSpanIsSound(const Surface& side, const NodeManager* nodes, const std::string& contact,
                            const char* which) {
  if (nodes == nullptr) return true;
  const std::vector<NodeCuda>& all = nodes->node_array_cpu;
  auto position = [&all](int number, Point& p) {
    if (number < 1 || number > static_cast<int>(all.size())) return false;
    const double* x = all[static_cast<std::size_t>(number - 1)].coord;
    p = {x[0], x[1], x[2]};
    return true;
  };
  std::vector<double> edges;
  std::vector<int> numbers;
  for (const SegmentCuda& seg : side.segment_array) {
    // Counted from the ids: a triangle repeats its third node.
    const int count = seg.node_id[3] == seg.node_id[2] ? 3 : 4;
    for (int k = 0; k < count; ++k) {
      Point a{}, b{};
      if (!position(seg.node_id[k], a) || !position(seg.node_id[(k + 1) % count], b)) continue;
      edges.push_back(distance(a, b));
      numbers.push_back(seg.node_id[k]);
    }
  }
  if (edges.empty()) return true;
  const double edge = median(edges);
  Point lo{}, hi{};
  position(numbers.front(), lo);
  hi = lo;
  for (int number : numbers) {
    Point p{};
    position(number, p);
    for (int a = 0; a < 3; ++a) {
      lo[a] = std::min(lo[a], p[a]);
      hi[a] = std::max(hi[a], p[a]);
    }
  }
  const double span = distance(lo, hi);
  if (span <= kSideSpanPerEdge * edge) return true;
  // The node farthest from the middle of the side (the median of each
  // coordinate, which a few far nodes do not move).
  Point middle{};
  for (int a = 0; a < 3; ++a) {
    std::vector<double> c;
    c.reserve(numbers.size());
    for (int number : numbers) {
      Point p{};
      position(number, p);
      c.push_back(p[a]);
    }
    middle[a] = median(c);
  }
  int farthest = numbers.front();
  double most = -1.0;
  for (int number : numbers) {
    Point p{};
    position(number, p);
    if (distance(p, middle) > most) {
      most = distance(p, middle);
      farthest = number;
    }
  }
  Point p{};
  position(farthest, p);
  std::fprintf(stderr,
               "%s: the %s side spans %.4g, more than %.0g times its typical segment edge of %.4g; node %d at "
               "(%.6g, %.6g, %.6g) lies %.4g from the middle of the side (a coordinate typed wrong?)\n",
               contact.c_str(), which, span, kSideSpanPerEdge, edge, all[static_cast<std::size_t>(farthest - 1)].id,
               p[0], p[1], p[2], most);
  return false;
}
