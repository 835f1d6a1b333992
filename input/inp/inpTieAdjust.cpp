// ".inp" ties with ADJUST=YES (the default): the slave nodes within reach
// of a master face are moved onto the face before any element is set up,
// so that the adjustment strains nothing. The reach is the one the tie
// itself takes: its position tolerance, else a twentieth of the face's
// mean edge, and the node's projection within the face's edges.
#include <cmath>
#include <map>
#include <set>

#include "core/simpleMath.h"
#include "input/inp/inpReader.h"

namespace {

// Share of a face's mean edge within which a node counts as on it.
constexpr double kOnFaceShare = 1e-9;
// Share of a face's mean edge by which a projection may lie past an edge.
constexpr double kEdgeShare = 1e-6;
// Share of a face's mean edge taken as the reach when no tolerance is given.
constexpr double kDefaultReachShare = 0.05;

// One master face: its corners, unit normal and mean edge.
struct Face {
  std::vector<std::array<double, 3>> corners;
  double normal[3] = {};
  double meanEdge = 0.0;
};

bool makeFace(const std::array<int, 4>& segment, const std::map<int, const double*>& at, Face& face) {
  const int count = segment[3] == segment[2] ? 3 : 4;
  for (int k = 0; k < count; ++k) {
    const auto node = at.find(segment[static_cast<size_t>(k)]);
    if (node == at.end()) return false;
    face.corners.push_back({node->second[0], node->second[1], node->second[2]});
  }
  double a[3], b[3];
  const auto& p = face.corners;
  for (int j = 0; j < 3; ++j) {
    a[j] = p[2][j] - p[0][j];
    b[j] = count == 4 ? p[3][j] - p[1][j] : p[1][j] - p[0][j];
  }
  // The diagonals' cross product; for a triangle its two edges from corner 1.
  if (count == 4) {
    vector_outer_product(a, b, face.normal);
  } else {
    vector_outer_product(b, a, face.normal);
  }
  const double length = std::sqrt(vector_inner_product(3, face.normal, face.normal));
  if (!(length > 0.0)) return false;
  for (double& v : face.normal) v /= length;
  for (int k = 0; k < count; ++k) {
    const auto& q = p[static_cast<size_t>((k + 1) % count)];
    const double e[3] = {q[0] - p[static_cast<size_t>(k)][0], q[1] - p[static_cast<size_t>(k)][1],
                         q[2] - p[static_cast<size_t>(k)][2]};
    face.meanEdge += std::sqrt(vector_inner_product(3, e, e)) / count;
  }
  return true;
}

// Signed distance of x from the face's plane when x lies within reach of
// the face and its projection within the face's edges; false otherwise.
bool distanceWithin(const Face& face, const double* x, double tolerance, double& distance) {
  const auto& p = face.corners;
  const double d[3] = {x[0] - p[0][0], x[1] - p[0][1], x[2] - p[0][2]};
  distance = vector_inner_product(3, d, face.normal);
  const double reach = tolerance > 0.0 ? tolerance : kDefaultReachShare * face.meanEdge;
  if (std::fabs(distance) > reach) return false;
  const size_t count = p.size();
  for (size_t k = 0; k < count; ++k) {
    const auto& q = p[(k + 1) % count];
    double edge[3], inward[3];
    for (int j = 0; j < 3; ++j) edge[j] = q[j] - p[k][j];
    vector_outer_product(face.normal, edge, inward);
    const double r[3] = {x[0] - p[k][0], x[1] - p[k][1], x[2] - p[k][2]};
    const double edgeLength = std::sqrt(vector_inner_product(3, edge, edge));
    if (vector_inner_product(3, inward, r) < -kEdgeShare * face.meanEdge * edgeLength) return false;
  }
  return true;
}

bool shellFaces(const InpModel& model, const std::string& surface) {
  const auto found = model.surfaces.find(surface);
  if (found == model.surfaces.end()) return false;
  for (const InpModel::Face& face : found->second) {
    if (face.label == "SPOS" || face.label == "SNEG") return true;
  }
  return false;
}

}  // namespace

std::string adjustInpTies(InpModel& model) {
  std::map<int, double*> coordinates;
  for (InpModel::Node& node : model.nodes) coordinates[node.id] = node.x;
  const std::map<int, const double*> at(coordinates.begin(), coordinates.end());
  for (const InpModel::Tie& tie : model.ties) {
    const std::string what = "*TIE" + inpAtLine(tie.lineNumber);
    const bool shells = shellFaces(model, tie.master) || shellFaces(model, tie.slave);
    if (shells && shellFaces(model, tie.master) && shellFaces(model, tie.slave) && !tie.noRotation) {
      return what +
             ": a tie of two shell surfaces ties their rotations unless it says NO ROTATION, which this "
             "version does not do (it ties the translations): add NO ROTATION";
    }
    if (!tie.adjust) continue;
    const auto masters = model.surfaceSegments.find(tie.master);
    if (masters == model.surfaceSegments.end()) continue;  // refused with its surface
    std::set<int> masterNodes;
    std::vector<Face> faces;
    for (const std::array<int, 4>& segment : masters->second) {
      masterNodes.insert(segment.begin(), segment.end());
      Face face;
      if (makeFace(segment, at, face)) faces.push_back(face);
    }
    std::set<int> slaves;
    if (const auto nodes = model.nodeSurfaces.find(tie.slave); nodes != model.nodeSurfaces.end()) {
      slaves.insert(nodes->second.begin(), nodes->second.end());
    } else if (const auto segments = model.surfaceSegments.find(tie.slave); segments != model.surfaceSegments.end()) {
      for (const std::array<int, 4>& segment : segments->second) slaves.insert(segment.begin(), segment.end());
    }
    for (int id : slaves) {
      const auto node = coordinates.find(id);
      if (masterNodes.count(id) != 0 || node == coordinates.end()) continue;
      double* x = node->second;
      const Face* nearest = nullptr;
      double offset = 0.0;
      for (const Face& face : faces) {
        double distance = 0.0;
        if (!distanceWithin(face, x, tie.tolerance, distance)) continue;
        if (nearest == nullptr || std::fabs(distance) < std::fabs(offset)) nearest = &face, offset = distance;
      }
      if (nearest == nullptr || std::fabs(offset) <= kOnFaceShare * nearest->meanEdge) continue;
      if (shells) {
        return what + ": ADJUST=YES (the default) would move slave node " + std::to_string(id) +
               " onto a shell surface, which this version does not do with shells: write ADJUST=NO to tie "
               "the shells where they stand";
      }
      for (int j = 0; j < 3; ++j) x[j] -= offset * nearest->normal[j];
    }
  }
  return std::string();
}
