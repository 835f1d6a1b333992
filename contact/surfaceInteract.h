// Surface interaction properties (friction, thermal, damping): records made
// by the readers, owned by the surface manager and assigned to contacts or
// to the whole model by the contact manager.  The objects are built again on
// the device from their uploaded image, so that the per-pair virtual call
// works inside kernels.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>
#include "contact/nodeMotion.h"
#include "platform/gpuRuntime.h"

struct ContactPairCuda;
struct ContactNodeCuda;

// Interaction type codes.
enum SurfaceInteractType { FRICTION_INTERACT = 0, THERMAL_INTERACT = 1, DAMP_INTERACT = 2 };

class SurfaceInteract {
 public:
  int32_t id = 0;    // 1-based count of interactions at creation
  int32_t type = 0;  // SurfaceInteractType

  __host__ __device__ explicit SurfaceInteract(int32_t typeCode) : type(typeCode) {}
  // Device construction from an uploaded image: id and type stay 0.
  __host__ __device__ SurfaceInteract() {}
  __host__ __device__ virtual ~SurfaceInteract() {}

  // Host-side pair operation: the same law on the host objects (host-only
  // loop).  The motion table tells which nodes are held or move with a rigid
  // body (null: every node moves by its own mass).
  __host__ __device__ virtual void handleContactPairCpu(ContactPairCuda* pair, double dt,
                                                        const NodeMotionTable* motion) = 0;
  // Once per cycle for every active pair, after the normal contact forces.
  __host__ __device__ virtual void handleContactPairGpu(ContactPairCuda* pair, double dt,
                                                        const NodeMotionTable* motion) = 0;
};

class FrictionSurfaceInteract : public SurfaceInteract {
 public:
  unsigned char flag = 0;                      // copied, not used by the law
  double static_coefficient = 0.0;             // mu_s
  double dynamic_coefficient = 0.0;            // mu_d
  double decay_coefficient = 0.0;              // dc
  double further_values[3] = {0.0, 0.0, 0.0};  // carried, not used by the law
  unsigned char rough_flag = 0;

  __host__ __device__ FrictionSurfaceInteract() : SurfaceInteract(FRICTION_INTERACT) {}
  // Device copy of an uploaded image: the derived fields.
  __host__ __device__ explicit FrictionSurfaceInteract(const FrictionSurfaceInteract* image);

  // Coulomb friction: the pair sticks with the force that ends its slip in
  // the step while that force is within mu times the normal force it
  // carries, else slides with mu times that normal force.
  __host__ __device__ void handleContactPairCpu(ContactPairCuda* pair, double dt,
                                                const NodeMotionTable* motion) override {
    slide(pair, dt, motion);
  }
  __host__ __device__ void handleContactPairGpu(ContactPairCuda* pair, double dt,
                                                const NodeMotionTable* motion) override {
    slide(pair, dt, motion);
  }
  // The coefficient at sliding speed s.
  __host__ __device__ double coefficientAt(float s) const;

 private:
  __host__ __device__ void slide(ContactPairCuda* pair, double dt, const NodeMotionTable* motion);
};

class ThermalSurfaceInteract : public SurfaceInteract {
 public:
  double values[6] = {0.0, 0.0, 0.0, 0.0, 0.0, 0.0};  // carried, not used
  __host__ __device__ ThermalSurfaceInteract() : SurfaceInteract(THERMAL_INTERACT) {}
  __host__ __device__ explicit ThermalSurfaceInteract(const ThermalSurfaceInteract* image);
  __host__ __device__ void handleContactPairCpu(ContactPairCuda*, double, const NodeMotionTable*) override {}
  __host__ __device__ void handleContactPairGpu(ContactPairCuda*, double, const NodeMotionTable*) override {}
};

class DampSurfaceInteract : public SurfaceInteract {
 public:
  double values[3] = {0.0, 0.0, 0.0};  // carried, not used
  __host__ __device__ DampSurfaceInteract() : SurfaceInteract(DAMP_INTERACT) {}
  __host__ __device__ explicit DampSurfaceInteract(const DampSurfaceInteract* image);
  __host__ __device__ void handleContactPairCpu(ContactPairCuda*, double, const NodeMotionTable*) override {}
  __host__ __device__ void handleContactPairGpu(ContactPairCuda*, double, const NodeMotionTable*) override {}
};

// Size of the object of a type code (0 for an unknown code).
std::size_t surfaceInteractSize(int32_t type);

// Which pairs the laws act on, in both loops.  The model-wide law: an
// active pair whose slave node its contact's own interaction does not handle
// against this master surface (ownMaster[contact node number - 1], ownCount
// entries; null: none).  A contact's own law: an active pair on the given
// master surface.
__host__ __device__ bool globalInteractActsOn(const ContactPairCuda* pair, const int* ownMaster, int ownCount);
__host__ __device__ bool ownInteractActsOn(const ContactPairCuda* pair, int masterSurfaceId);

// Host-only loop: the stiffness in mode 0, then the interaction's law, for
// one active pair (what the pair kernels do per pair).  The pair's forces
// wait until handOnInteractCpu hands them to its nodes, so that every pair
// of the pass sees the forces the step began with, as in the kernels, whose
// shares are gathered after the pass.
void imposeInteractCpu(SurfaceInteract* interact, ContactPairCuda* pair, double dt, const NodeMotionTable& motion);
void handOnInteractCpu(ContactPairCuda* pair);

// Builds the device object from the uploaded image into *slot (one thread).
__global__ void GpuCreateSurfaceInteract(const SurfaceInteract* image, SurfaceInteract** slot);
// Destroys the device objects of n slots.
__global__ void GpuDestroySurfaceInteract(int n, SurfaceInteract** slots);
// Model-wide interaction over the pair pointers: for each active pair whose
// slave node is not handled by its contact's own interaction against this
// master surface (ownMaster[contact node number - 1]), the stiffness in
// mode 0, then the first interaction's law.
__global__ void GpuImposeSurfaceInteract(int n, double dt, SurfaceInteract** interacts, ContactPairCuda** pairs,
                                         const int* ownMaster, int pass, NodeMotionTable motion);
// A contact's own interaction over the slave contact nodes of its search
// grid, for pairs whose master segment lies on the given master surface.
__global__ void GpuImposeSpecificSurfaceInteract(int n, double dt, int masterSurfaceId, SurfaceInteract** interacts,
                                                 ContactNodeCuda** nodes, int pass, NodeMotionTable motion);

// Builds the device objects of the host interactions; *slots gets a device
// array of their pointers (null when there are none).
void uploadSurfaceInteracts(const std::vector<SurfaceInteract*>& host, SurfaceInteract*** slots);
// Destroys the device objects of n slots and frees the array.
void releaseSurfaceInteracts(int n, SurfaceInteract*** slots);
// Launches of the two pair kernels (blocks of 64 threads).  The pairs'
// friction forces reach the nodes at once (pass 0) or through the pair
// manager's gather of share pass `pass`; the motion table as for the normal
// contact force (none: every node moves by its own mass).
void launchImposeSurfaceInteract(int n, double dt, SurfaceInteract** interacts, ContactPairCuda** pairs,
                                 const int* ownMaster, int pass = 0, NodeMotionTable motion = {});
void launchImposeSpecificSurfaceInteract(int n, double dt, int masterSurfaceId, SurfaceInteract** interacts,
                                         ContactNodeCuda** nodes, int pass = 0, NodeMotionTable motion = {});
