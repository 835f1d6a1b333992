// One mesh node: the same plain record in the host vector and in the device
// array, with the per-node steps of the explicit central-difference scheme.
#pragma once
#include <cstddef>
#include <cstdio>
#include <type_traits>
#include "platform/gpuRuntime.h"
#include "platform/simdLane.h"

struct Element;
struct ContactNodeCuda;
struct SegmentCuda;

// Number of element back-references a node record can hold.
constexpr int kNodeElementSlots = 71;
// Masses and inertias below this count as zero.
constexpr double kNodeMassTolerance = 1e-15;

// True for a finite double (false for NaN and for either infinity); written
// without library calls so that host and device share it.
__host__ __device__ inline bool nodeValueIsFinite(double x) { return (x - x) == 0.0; }

// What of a node's state was found not finite (core/nonFiniteNode.h keeps the
// report; the time loops stop the run on it).
enum NonFiniteKind { NONFINITE_COORDINATE = 0, NONFINITE_VELOCITY = 1, NONFINITE_FORCE = 2 };
__host__ __device__ void reportNonFiniteNode(int id, int kind);

struct NodeCuda {
  int id;        // node id from the deck (1-based, need not be dense)
  int store_id;  // position in the sorted node array (0-based)
  double coord[3];
  double rotation[3];  // accumulated rotations about x, y, z
  double ini_coord[3];
  double thickness;       // contact thickness, from the sections of the node's elements
  NodeCuda* master_node;  // spot weld / joint master (device address on the device copy)
  int master_node_id;     // 0 = none
  // Number of element registrations seen (atomic counter). It may exceed the
  // slot count when too many elements register; readers stop at the slots.
  int element_num;
  int local_node_num[kNodeElementSlots];  // node's 0-based position in element k
  Element* element[kNodeElementSlots];    // device pointers to the registered elements
  double stress_weight;
  ContactNodeCuda* contact_node;  // this node's contact-node record, if it is a slave node
  double mass;
  double rot_inertia[3];
  double stored_mass;  // mass before mass scaling
  double stored_rot_inertia[3];
  double equivalent_mass;  // mass copy used by rigid walls and contact
  double penalty_stiffness;
  double stress[6];
  double strain[6];
  double force[3];
  double moment[3];
  double accel[6];  // three translational, three rotational
  double vel[6];
  double contact_force[3];  // contact-force accumulator of the current cycle
  double total_disp[6];     // displacement and rotation since time 0
  double step_disp[6];      // increment of the last cycle
  int constrained_flag;     // 1 on master and slave nodes of a spot weld (weld flag)
  int two_node_weld_flag;   // set on the master of a weld of two nodes
  int rigid_flag;           // 1 when the node belongs to a rigid body
  int mass_flag;            // 1 for a massless node at set-up and for shell nodes
  // Contact handling.
  int boundary_edge_flag;      // 1 when the node ends a segment edge owned by one segment only
  SegmentCuda* owner_segment;  // a segment that has the node at the start of one of its edges
  int no_thickness_flag;       // 1 = no contact thickness in the edge judge
  // Contact pairs that take part in this node's motion in the current cycle:
  // 1 for each pair of which it is the slave node, its weight in each pair of
  // which it is a master node; cleared with the contact force.
  double contact_pair_count;
  // The same, each pair's share along the axes: times the size of its
  // normal's x, y and z component (pairs pushing the node at right angles
  // do not share its mass).
  double contact_pair_axes[3];

  // Central-difference update of accelerations and velocities with the mean
  // of the new and previous steps.
  __host__ __device__ void accelVelUpdate(double dt, double prevDt) {
    const double h = (dt + prevDt) * 0.5;
    if (rigid_flag != 0) {
      // A rigid-body node (member or extra node) has given its force to the
      // body and taken the body's velocity, whatever its own mass.
      for (int j = 0; j < 6; ++j) accel[j] = 0.0;
      for (int j = 0; j < 3; ++j) {
        force[j] = 0.0;
        moment[j] = 0.0;
      }
      clearContactAccumulators();
      return;
    }
    if (mass < kNodeMassTolerance) {
      for (int j = 0; j < 6; ++j) {
        accel[j] = 0.0;
        vel[j] = 0.0;
      }
      // The contact-force accumulator is per cycle for every node, also for
      // massless and tied nodes, so that nothing carries into the next cycle.
      clearContactAccumulators();
      return;
    }
    const bool rotational = rot_inertia[0] > kNodeMassTolerance;
    // The common node has finite loads: one test of their sum (finite only
    // when every term is) stands for the six tests of dropNonFiniteLoads.
    if (!nodeValueIsFinite(force[0] + force[1] + force[2] + moment[0] + moment[1] + moment[2]))
      dropNonFiniteLoads(rotational);
    const double invMass = 1.0 / mass;
    double a[6];
    FEM_LANE_UNROLL
    for (int j = 0; j < 3; ++j) {
      a[j] = force[j] * invMass;
      vel[j] += a[j] * h;
    }
    FEM_LANE_UNROLL
    for (int j = 0; j < 3; ++j) {
      a[3 + j] = rotational ? moment[j] / rot_inertia[j] : 0.0;
      if (rotational) vel[3 + j] += a[3 + j] * h;
    }
    if (!nodeValueIsFinite(vel[0] + vel[1] + vel[2] + vel[3] + vel[4] + vel[5]))
      reportNonFiniteNode(id, NONFINITE_VELOCITY);
    FEM_LANE_UNROLL
    for (int j = 0; j < 6; ++j) accel[j] = a[j];
    FEM_LANE_UNROLL
    for (int j = 0; j < 3; ++j) {
      force[j] = 0.0;
      moment[j] = 0.0;
    }
    clearContactAccumulators();
  }

  // A second update over the same start, of forces found after the first
  // (contact made before the first move): the velocity takes both, and the
  // acceleration kept is that of both forces together.
  __host__ __device__ void accelVelUpdateAdding(double dt, double prevDt) {
    double before[6];
    for (int j = 0; j < 6; ++j) before[j] = accel[j];
    accelVelUpdate(dt, prevDt);
    for (int j = 0; j < 6; ++j) accel[j] += before[j];
  }

  // A force that is not finite is reported (the run stops after this
  // cycle) and left out of the update; so is a moment of a node with rotary
  // inertia (a node without takes no moment).
  __host__ __device__ void dropNonFiniteLoads(bool rotational) {
    for (int j = 0; j < 3; ++j) {
      if (!nodeValueIsFinite(force[j])) {
        reportNonFiniteNode(id, NONFINITE_FORCE);
        force[j] = 0.0;
      }
      if (rotational && !nodeValueIsFinite(moment[j])) {
        reportNonFiniteNode(id, NONFINITE_FORCE);
        moment[j] = 0.0;
      }
    }
  }

  // Ends the cycle's contact accumulators.  The pair count is written only
  // where a pair counted the node: its line, which holds the node's flags and
  // is only read otherwise, then stays clean for every node no contact
  // reaches and costs no write back to memory.
  __host__ __device__ void clearContactAccumulators() {
    for (int j = 0; j < 3; ++j) contact_force[j] = 0.0;
    if (contact_pair_count == 0.0) return;
    contact_pair_count = 0.0;
    for (int j = 0; j < 3; ++j) contact_pair_axes[j] = 0.0;
  }

  // The step the node takes over dt at its velocity now, recorded as its
  // last step (0: none), so that a search before the first move sees each
  // node come as far as it will go.
  __host__ __device__ void presetStep(double dt) {
    for (int j = 0; j < 6; ++j) step_disp[j] = dt * vel[j];
  }

  // Displacement update; the degree-of-freedom count is accepted for the
  // kernel's signature and not used (all six components advance).
  __host__ __device__ void dispUpdate(double dt, int /*dofNum*/) { dispUpdate(dt); }
  __host__ __device__ void dispUpdate(double dt) {
    FEM_LANE_UNROLL
    for (int j = 0; j < 6; ++j) {
      const double du = dt * vel[j];
      step_disp[j] = du;
      total_disp[j] += du;
    }
    FEM_LANE_UNROLL
    for (int j = 0; j < 3; ++j) {
      coord[j] += step_disp[j];
      rotation[j] += step_disp[3 + j];
    }
    if (!nodeValueIsFinite(coord[0] + coord[1] + coord[2])) reportNonFiniteNode(id, NONFINITE_COORDINATE);
  }

  // Number of usable element entries.
  __host__ __device__ int registeredElementNum() const {
    return element_num < kNodeElementSlots ? (element_num < 0 ? 0 : element_num) : kNodeElementSlots;
  }

  __host__ __device__ void clearStressStrain() {
    for (int j = 0; j < 6; ++j) {
      stress[j] = 0.0;
      strain[j] = 0.0;
    }
    stress_weight = 0.0;
  }
  __host__ __device__ void calNodeStressStrain() {
    if (stress_weight < 1e-6) return;
    for (int j = 0; j < 6; ++j) {
      stress[j] /= stress_weight;
      strain[j] /= stress_weight;
    }
    stress_weight = 0.0;
  }
  __host__ __device__ void storeIniCoord() {
    for (int j = 0; j < 3; ++j) ini_coord[j] = coord[j];
  }
  __host__ __device__ void storeInitialMass() {
    stored_mass = mass;
    for (int j = 0; j < 3; ++j) stored_rot_inertia[j] = rot_inertia[j];
  }
  __host__ __device__ void massReduction() {
    mass = stored_mass;
    for (int j = 0; j < 3; ++j) rot_inertia[j] = stored_rot_inertia[j];
  }
  __host__ __device__ void storeEquivalentMass() { equivalent_mass = mass; }
  // Adds a share of mass: the mass, then (width 4) the rotary inertia
  // x, y, z.
  __host__ __device__ void addMassShare(const double* share, int width) {
    mass += share[0];
    if (width == 4)
      for (int j = 0; j < 3; ++j) rot_inertia[j] += share[1 + j];
  }

  // What the node's mass adds to its master node, into share (mass, rotary
  // inertia x, y, z; mode 0: mass only; mode 1: mass and the inertia of the
  // offset about the master, when either node carries rotary inertia); the
  // master adds the shares of its slaves in a fixed order.  The node keeps
  // the negated values.  All zero without a master or for another mode.
  __host__ __device__ void massShareForMainNode(int mode, double share[4]);
};
static_assert(std::is_trivially_copyable_v<NodeCuda>);
static_assert(std::is_standard_layout_v<NodeCuda>);

// The run of fields of a record from the start of the field at offset
// `first` to the end of the field of `lastSize` bytes at offset `last`
// (fields in record order), for read-ahead (platform/simdLane.h).
constexpr LaneRun nodeFieldRun(std::size_t first, std::size_t last, std::size_t lastSize) {
  return {first, static_cast<int>(last + lastSize - first)};
}
