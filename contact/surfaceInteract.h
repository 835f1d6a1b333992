// Surface interaction properties (friction, thermal, damping): records made
// by the readers, owned by the surface manager and assigned to contacts or
// to the whole model by the contact manager.  The objects are built again on
// the device from their uploaded image, so that the per-pair virtual call
// works inside kernels.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>
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
  // loop).
  __host__ __device__ virtual void handleContactPairCpu(ContactPairCuda* pair, double dt) = 0;
  // Once per cycle for every active pair, after the normal contact forces.
  __host__ __device__ virtual void handleContactPairGpu(ContactPairCuda* pair, double dt) = 0;
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

  // Coulomb friction with an elastic stick phase: the stored tangential
  // force grows with the relative sliding and is capped at mu times the
  // carried normal force.
  __host__ __device__ void handleContactPairCpu(ContactPairCuda* pair, double dt) override { slide(pair, dt); }
  __host__ __device__ void handleContactPairGpu(ContactPairCuda* pair, double dt) override { slide(pair, dt); }
  // The coefficient at sliding speed s.
  __host__ __device__ double coefficientAt(float s) const;

 private:
  __host__ __device__ void slide(ContactPairCuda* pair, double dt);
};

class ThermalSurfaceInteract : public SurfaceInteract {
 public:
  double values[6] = {0.0, 0.0, 0.0, 0.0, 0.0, 0.0};  // carried, not used
  __host__ __device__ ThermalSurfaceInteract() : SurfaceInteract(THERMAL_INTERACT) {}
  __host__ __device__ explicit ThermalSurfaceInteract(const ThermalSurfaceInteract* image);
  __host__ __device__ void handleContactPairCpu(ContactPairCuda*, double) override {}
  __host__ __device__ void handleContactPairGpu(ContactPairCuda*, double) override {}
};

class DampSurfaceInteract : public SurfaceInteract {
 public:
  double values[3] = {0.0, 0.0, 0.0};  // carried, not used
  __host__ __device__ DampSurfaceInteract() : SurfaceInteract(DAMP_INTERACT) {}
  __host__ __device__ explicit DampSurfaceInteract(const DampSurfaceInteract* image);
  __host__ __device__ void handleContactPairCpu(ContactPairCuda*, double) override {}
  __host__ __device__ void handleContactPairGpu(ContactPairCuda*, double) override {}
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
// one active pair (what the pair kernels do per pair).
void imposeInteractCpu(SurfaceInteract* interact, ContactPairCuda* pair, double dt);

// Builds the device object from the uploaded image into *slot (one thread).
__global__ void GpuCreateSurfaceInteract(const SurfaceInteract* image, SurfaceInteract** slot);
// Destroys the device objects of n slots.
__global__ void GpuDestroySurfaceInteract(int n, SurfaceInteract** slots);
// Model-wide interaction over the pair pointers: for each active pair whose
// slave node is not handled by its contact's own interaction against this
// master surface (ownMaster[contact node number - 1]), the stiffness in
// mode 0, then the first interaction's law.
__global__ void GpuImposeSurfaceInteract(int n, double dt, SurfaceInteract** interacts, ContactPairCuda** pairs,
                                         const int* ownMaster, int pass);
// A contact's own interaction over the slave contact nodes of its search
// grid, for pairs whose master segment lies on the given master surface.
__global__ void GpuImposeSpecificSurfaceInteract(int n, double dt, int masterSurfaceId, SurfaceInteract** interacts,
                                                 ContactNodeCuda** nodes, int pass);

// Builds the device objects of the host interactions; *slots gets a device
// array of their pointers (null when there are none).
void uploadSurfaceInteracts(const std::vector<SurfaceInteract*>& host, SurfaceInteract*** slots);
// Destroys the device objects of n slots and frees the array.
void releaseSurfaceInteracts(int n, SurfaceInteract*** slots);
// Launches of the two pair kernels (blocks of 64 threads).  The pairs'
// friction forces reach the nodes at once (pass 0) or through the pair
// manager's gather of share pass `pass`.
void launchImposeSurfaceInteract(int n, double dt, SurfaceInteract** interacts, ContactPairCuda** pairs,
                                 const int* ownMaster, int pass = 0);
void launchImposeSpecificSurfaceInteract(int n, double dt, int masterSurfaceId, SurfaceInteract** interacts,
                                         ContactNodeCuda** nodes, int pass = 0);
