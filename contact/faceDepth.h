// How far a node lies from a contact surface, measured as one would measure
// it on the mesh: from the real faces (a quadrilateral is the bilinear
// surface through its four corners, a triangle its plane), at the point of
// the face nearest the node, and from the nearest of the faces round the
// one the node is paired with.  The pair's own gap reads the face's corner
// planes for its forces; where a face tilts or bends under the node that
// reads deeper than the node lies.
#pragma once
#include "contact/contactGeom.h"

namespace face_depth {

using namespace contact_geom;

// A foot parameter counts as on the face within this share of its range
// (round-off where faces meet).
constexpr double kOnFaceTolerance = 1e-9;
// Distances from x that differ by less than this share count as one.
constexpr double kSameDistance = 1e-9;

// The point of a face nearest a node: the signed distance of the node from
// it along the face's normal there (positive on the side the face's node
// order turns to), whether it lies within the face (else it is the nearest
// point of the face's border), and how far within the face's border it
// lies (0 on or beyond it).
struct Foot {
  double distance = 0.0;
  bool on = false;
  double margin = 0.0;
};

// Corner k of face s and the point at (u, v) of the bilinear surface, with
// its two tangents.
__host__ __device__ inline void bilinearPoint(const SegmentCuda* s, double u, double v, double* x, double* xu,
                                              double* xv) {
  const double *p = nodeCoord(s, 0), *q = nodeCoord(s, 1), *r = nodeCoord(s, 2), *t = nodeCoord(s, 3);
  for (int c = 0; c < 3; ++c) {
    x[c] = (1 - u) * (1 - v) * p[c] + u * (1 - v) * q[c] + u * v * r[c] + (1 - u) * v * t[c];
    xu[c] = (1 - v) * (q[c] - p[c]) + v * (r[c] - t[c]);
    xv[c] = (1 - u) * (t[c] - p[c]) + u * (r[c] - q[c]);
  }
}

__host__ __device__ inline double clamp01(double a) { return a < 0.0 ? 0.0 : (a > 1.0 ? 1.0 : a); }

// The foot of x on the bilinear quadrilateral s (Gauss-Newton from its
// centre; off the face, the parameter beyond it is held on the border and
// the other sought along that border).
__host__ __device__ inline Foot quadFoot(const SegmentCuda* s, const double* x) {
  double u = 0.5, v = 0.5, y[3], xu[3], xv[3], w[3];
  bool heldU = false, heldV = false;
  for (int it = 0; it < 12; ++it) {
    bilinearPoint(s, u, v, y, xu, xv);
    sub3(x, y, w);
    const double uu = dot3(xu, xu), uv = dot3(xu, xv), vv = dot3(xv, xv), det = uu * vv - uv * uv;
    if (!(det > 0.0)) break;
    const double du = heldU ? 0.0 : (heldV ? dot3(w, xu) / uu : (vv * dot3(w, xu) - uv * dot3(w, xv)) / det);
    const double dv = heldV ? 0.0 : (heldU ? dot3(w, xv) / vv : (uu * dot3(w, xv) - uv * dot3(w, xu)) / det);
    u += du;
    v += dv;
    // Settled: a parameter beyond the face is held on its border from now.
    if (fabs(du) + fabs(dv) < 1e-14 || it == 7) {
      const bool outU = u < -kOnFaceTolerance || u > 1 + kOnFaceTolerance;
      const bool outV = v < -kOnFaceTolerance || v > 1 + kOnFaceTolerance;
      if (!(outU && !heldU) && !(outV && !heldV)) break;
      heldU = heldU || outU;
      heldV = heldV || outV;
      u = heldU ? clamp01(u) : u;
      v = heldV ? clamp01(v) : v;
    }
  }
  u = heldU ? clamp01(u) : u;
  v = heldV ? clamp01(v) : v;
  bilinearPoint(s, u, v, y, xu, xv);
  sub3(x, y, w);
  double n[3];
  cross3(xu, xv, n);
  const double ln = norm3(n), lw = norm3(w);
  Foot f;
  f.on = !heldU && !heldV && u >= -kOnFaceTolerance && u <= 1 + kOnFaceTolerance && v >= -kOnFaceTolerance &&
         v <= 1 + kOnFaceTolerance;
  const double along = ln > 0.0 ? dot3(w, n) / ln : 0.0;
  f.distance = f.on ? along : (along < 0.0 ? -lw : lw);
  const double lu = norm3(xu), lv = norm3(xv);
  f.margin = f.on ? fmax(0.0, fmin(fmin(u, 1 - u) * lu, fmin(v, 1 - v) * lv)) : 0.0;
  return f;
}

// The foot of x on the triangle s (its first three nodes).
__host__ __device__ inline Foot triangleFoot(const SegmentCuda* s, const double* x) {
  const double* p[3] = {nodeCoord(s, 0), nodeCoord(s, 1), nodeCoord(s, 2)};
  double a[3], b[3], n[3], w[3];
  sub3(p[1], p[0], a);
  sub3(p[2], p[0], b);
  cross3(a, b, n);
  const double area2 = norm3(n);
  Foot f;
  if (!(area2 > 0.0)) return f;
  sub3(x, p[0], w);
  const double along = dot3(w, n) / area2;
  // Barycentric coordinates of the projection from the areas over each edge.
  double lambda[3], height[3];
  bool on = true;
  for (int k = 0; k < 3; ++k) {
    double e[3], d[3], c[3];
    sub3(p[(k + 2) % 3], p[(k + 1) % 3], e);
    sub3(x, p[(k + 1) % 3], d);
    cross3(e, d, c);
    lambda[k] = dot3(c, n) / (area2 * area2);
    height[k] = area2 / fmax(norm3(e), 1e-300);
    on = on && lambda[k] >= -kOnFaceTolerance;
  }
  f.on = on;
  if (on) {
    f.distance = along;
    f.margin = fmax(0.0, fmin(lambda[0] * height[0], fmin(lambda[1] * height[1], lambda[2] * height[2])));
    return f;
  }
  // Off the triangle: the nearest point of its edges.
  double best = HUGE_VAL;
  for (int k = 0; k < 3; ++k) {
    double e[3], d[3];
    sub3(p[(k + 1) % 3], p[k], e);
    sub3(x, p[k], d);
    const double ee = dot3(e, e);
    const double t = ee > 0.0 ? clamp01(dot3(e, d) / ee) : 0.0;
    for (int c = 0; c < 3; ++c) d[c] -= t * e[c];
    best = fmin(best, norm3(d));
  }
  f.distance = along < 0.0 ? -best : best;
  return f;
}

__host__ __device__ inline Foot footOn(const SegmentCuda* s, const double* x) {
  return s->node_num == 4 ? quadFoot(s, x) : triangleFoot(s, x);
}

// Faces whose normals meet at less than this angle (cosine of 60 degrees)
// face the same way.
constexpr double kSameFacing = 0.5;

// Depth a node started at inside a body (startDepth, behind startFace) that
// counts against face s: against the faces that face the same way as the
// one it started behind.  A node that starts just inside a block's bottom
// face at its corner lies on the planes of the block's side faces, not
// behind them: its gaps to those count from their planes.
__host__ __device__ inline double startDepthAgainst(const SegmentCuda* startFace, double startDepth,
                                                    const SegmentCuda* s) {
  if (startFace == nullptr || startFace == s) return startDepth;
  return dot3(s->normal, startFace->normal) > kSameFacing ? startDepth : 0.0;
}

// Faces looked at round a pair's face: itself, its neighbours across its
// edges and theirs (which hold the faces round its corners).
constexpr int kRingFaces = 21;

// Signed distance of x from the surface round face s, positive on the side
// `side` times s's normal points to: from the nearest point of the nearest
// face (s first; the faces round it only where x lies nearer s's border
// than s's own distance).  The face it is measured from goes to `face`, and
// the side of that face the distance is positive on to `faceSide`.
__host__ __device__ inline double surfaceDistance(SegmentCuda* s, int side, const double* x, SegmentCuda** face,
                                                  int* faceSide) {
  Foot own = footOn(s, x);
  *face = s;
  *faceSide = side;
  if (own.on && fabs(own.distance) <= own.margin) return side * own.distance;
  SegmentCuda* ring[kRingFaces];
  int turn[kRingFaces];
  int count = 0;
  auto add = [&](SegmentCuda* f, int t) {
    for (int i = 0; i < count; ++i)
      if (ring[i] == f) return;
    if (count < kRingFaces) ring[count] = f, turn[count++] = t;
  };
  add(s, 1);
  for (int level = 0, from = 0; level < 2; ++level) {
    const int upTo = count;
    for (int i = from; i < upTo; ++i) {
      for (int k = 0; k < ring[i]->node_num; ++k) {
        if (!isBoundaryEdge(ring[i], k)) add(ring[i]->neighbour[k], turn[i] * ring[i]->edge_orientation[k]);
      }
    }
    from = upTo;
  }
  // The nearest point; x lies behind the surface when it lies behind every
  // face that point is nearest on (where faces meet at an edge or corner,
  // in front of one of them is outside).
  double d[kRingFaces];
  double nearest = HUGE_VAL;
  for (int i = 0; i < count; ++i) {
    d[i] = side * turn[i] * (i == 0 ? own : footOn(ring[i], x)).distance;
    if (fabs(d[i]) < nearest) nearest = fabs(d[i]), *face = ring[i], *faceSide = side * turn[i];
  }
  const double within = nearest * (1.0 + kSameDistance) + kSameDistance * segmentSize(s);
  for (int i = 0; i < count; ++i) {
    if (fabs(d[i]) <= within && d[i] >= 0.0) {
      *face = ring[i];
      *faceSide = side * turn[i];
      return nearest;
    }
  }
  return -nearest;
}

}  // namespace face_depth
