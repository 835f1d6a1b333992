#include "contact/surfaceInteract.h"
#include <cmath>
#include <cstdio>
#include <new>
#include "contact/contactGeom.h"
#include "contact/contactnode.h"
#include "contact/contactpair.h"
#include "core/deviceFree.h"
#include "core/gridIndex.h"
#include "core/logErrorPrint.h"

using namespace contact_geom;

__host__ __device__ FrictionSurfaceInteract::FrictionSurfaceInteract(const FrictionSurfaceInteract* image)
    : SurfaceInteract(),
      flag(image->flag),
      static_coefficient(image->static_coefficient),
      dynamic_coefficient(image->dynamic_coefficient),
      decay_coefficient(image->decay_coefficient),
      rough_flag(image->rough_flag) {
  for (int i = 0; i < 3; ++i) further_values[i] = image->further_values[i];
}

__host__ __device__ ThermalSurfaceInteract::ThermalSurfaceInteract(const ThermalSurfaceInteract* image)
    : SurfaceInteract() {
  for (int i = 0; i < 6; ++i) values[i] = image->values[i];
}

__host__ __device__ DampSurfaceInteract::DampSurfaceInteract(const DampSurfaceInteract* image) : SurfaceInteract() {
  for (int i = 0; i < 3; ++i) values[i] = image->values[i];
}

std::size_t surfaceInteractSize(int32_t type) {
  switch (type) {
    case FRICTION_INTERACT:
      return sizeof(FrictionSurfaceInteract);
    case THERMAL_INTERACT:
      return sizeof(ThermalSurfaceInteract);
    case DAMP_INTERACT:
      return sizeof(DampSurfaceInteract);
    default:
      return 0;
  }
}

__host__ __device__ double FrictionSurfaceInteract::coefficientAt(float s) const {
  if (rough_flag != 0) return 100.0;
  if (dynamic_coefficient > 1e-10) {
    const float x = static_cast<float>(decay_coefficient) * s;
    // exp(-x) in single precision, clamped where it leaves the float range.
    const float decay = x > 105.0f ? 0.0f : (x < -105.0f ? INFINITY : expf(-x));
    return dynamic_coefficient + (static_coefficient - dynamic_coefficient) * decay;
  }
  return static_coefficient;
}

namespace {

// Velocity of the contact point on the master entity of a pair.
__host__ __device__ void masterPointVelocity(const ContactPairCuda* p, double* v) {
  const SegmentCuda* seg = p->segment;
  const int N = seg->node_num;
  for (int j = 0; j < 3; ++j) v[j] = 0.0;
  if (p->kind == NODE_TO_SEGMENT) {
    for (int k = 0; k < N; ++k) {
      for (int j = 0; j < 3; ++j) v[j] += p->weight[k] * seg->node[k]->vel[j];
    }
  } else if (p->kind == NODE_TO_EDGE) {
    const NodeCuda* a = seg->node[p->local_index % N];
    const NodeCuda* b = seg->node[nextEdge(p->local_index % N, N)];
    for (int j = 0; j < 3; ++j) v[j] = p->weight[0] * a->vel[j] + p->weight[1] * b->vel[j];
  } else {
    const NodeCuda* a = seg->node[p->local_index % N];
    for (int j = 0; j < 3; ++j) v[j] = a->vel[j];
  }
}

}  // namespace

// Coulomb's law: the pair holds its slave node and contact point together
// along the surface with the force that ends their slip within the step,
// as long as that force stays within mu times the normal force the pair
// carries; beyond it they slide and the force is mu times the normal force,
// against the slip.  The force is found anew each cycle from the nodes'
// masses and the forces on them, so that it is the same whatever the pair's
// penalty stiffness (which depends on the element and on how its sides were
// given), and a stuck pair stores no spring energy to give back.
__host__ __device__ void FrictionSurfaceInteract::slide(ContactPairCuda* pair, double dt,
                                                        const NodeMotionTable* motion) {
  ContactPairCuda* p = pair;
  if (p->segment == nullptr || p->carried_force < 1e-10 || p->kind == CONTACT_PAIR_EMPTY) return;
  if (p->owner == nullptr || p->owner->node == nullptr) return;
  const SegmentCuda* seg = p->segment;
  NodeCuda* slave = p->owner->node;

  // Frame of the master segment: its normal, the direction of its first
  // edge, and their cross product.
  double t1[3], t2[3];
  sub3(seg->node[1]->coord, seg->node[0]->coord, t1);
  const double len = norm3(t1);
  if (!(len > 0.0)) return;
  for (int j = 0; j < 3; ++j) t1[j] /= len;
  cross3(seg->normal, t1, t2);

  double vm[3], dv[3];
  masterPointVelocity(p, vm);
  sub3(vm, slave->vel, dv);
  const double dv1 = dot3(dv, t1);
  const double dv2 = dot3(dv, t2);
  const float s = sqrtf(static_cast<float>(dv1 * dv1 + dv2 * dv2));
  const double mu = coefficientAt(s);

  double f[2];
  p->stickForce(dt, t1, t2, motion, f);
  double f1 = f[0], f2 = f[1];
  const double limit = mu * p->carried_force;
  const double size = sqrt(f1 * f1 + f2 * f2);
  if (size > limit) {
    f1 *= limit / size;
    f2 *= limit / size;
  }
  p->friction_force[0] = f1;
  p->friction_force[1] = f2;
  // The pair's work counts its friction too (see ContactPairCuda::work).
  p->work += dt * (f1 * dv1 + f2 * dv2);

  // The friction force ft acts on the master side at the contact point,
  // -ft on the slave node.
  double slaveForce[3];
  for (int j = 0; j < 3; ++j) slaveForce[j] = -(f1 * t1[j] + f2 * t2[j]);
  p->shareOut(slaveForce, SHARE_FORCE, true);
}

__host__ __device__ void ContactPairCuda::computeInterForceStiff(double dt, int mode) {
  if (kind == CONTACT_PAIR_EMPTY || segment == nullptr || owner == nullptr || owner->node == nullptr) return;
  const NodeCuda* slave = owner->node;
  const double ks = slave->penalty_stiffness;
  const double kseg = segment->penalty_stiffness;
  // A slave node on no surface has no stiffness of its own.
  const double knode = ks > 0.0 ? ks : kseg;
  const double Ms = slave->equivalent_mass;
  const double mseg = segment->mass;
  switch (mode) {
    case 0:
      stiffness = segment->node[0]->rigid_flag != 0 ? knode : fmin(kseg, knode);
      break;
    case 2:
      stiffness = (Ms + mseg > 0.0 && dt > 0.0) ? 0.05 * Ms * mseg / (dt * dt * (Ms + mseg)) : 0.0;
      break;
    case 3:
      stiffness = dt > 0.0 ? 0.04 * Ms / (dt * dt) : 0.0;
      break;
    case 4:
      // The contact nodes carry no user stiffness: it is taken as 0.
      stiffness = 0.0;
      break;
    default:
      stiffness = fmin(kseg, knode);
      break;
  }
}

__global__ void GpuCreateSurfaceInteract(const SurfaceInteract* image, SurfaceInteract** slot) {
  SurfaceInteract* object = nullptr;
  void* memory = nullptr;
  switch (image->type) {
    case FRICTION_INTERACT:
      memory = malloc(sizeof(FrictionSurfaceInteract));
      if (memory != nullptr)
        object = new (memory) FrictionSurfaceInteract(static_cast<const FrictionSurfaceInteract*>(image));
      break;
    case THERMAL_INTERACT:
      memory = malloc(sizeof(ThermalSurfaceInteract));
      if (memory != nullptr)
        object = new (memory) ThermalSurfaceInteract(static_cast<const ThermalSurfaceInteract*>(image));
      break;
    case DAMP_INTERACT:
      memory = malloc(sizeof(DampSurfaceInteract));
      if (memory != nullptr) object = new (memory) DampSurfaceInteract(static_cast<const DampSurfaceInteract*>(image));
      break;
    default:
      break;
  }
  *slot = object;
}

__global__ void GpuDestroySurfaceInteract(int n, SurfaceInteract** slots) {
  for (int i = gridStrideIndex(); i < n; i += gridStrideStep()) {
    if (slots[i] == nullptr) continue;
    slots[i]->~SurfaceInteract();
    free(slots[i]);
    slots[i] = nullptr;
  }
}

namespace {
__host__ __device__ void applyFirstInteract(SurfaceInteract** interacts, ContactPairCuda* p, double dt, int pass,
                                            const NodeMotionTable* motion) {
  p->openShares(pass);
  p->computeInterForceStiff(dt, 0);
  interacts[0]->handleContactPairGpu(p, dt, motion);
}
}  // namespace

__host__ __device__ bool globalInteractActsOn(const ContactPairCuda* p, const int* ownMaster, int ownCount) {
  if (p == nullptr || p->kind == CONTACT_PAIR_EMPTY || p->segment == nullptr || p->owner == nullptr) return false;
  const int number = p->owner->number;
  return ownMaster == nullptr || number < 1 || number > ownCount || ownMaster[number - 1] != p->segment->surface_id;
}

__host__ __device__ bool ownInteractActsOn(const ContactPairCuda* p, int masterSurfaceId) {
  return p->kind != CONTACT_PAIR_EMPTY && p->segment != nullptr && p->segment->surface_id == masterSurfaceId;
}

namespace {
// Share pass of the host loop's interactions (the kernels' passes count up
// from 1).
constexpr int kHostInteractPass = -1;
}  // namespace

void imposeInteractCpu(SurfaceInteract* interact, ContactPairCuda* p, double dt, const NodeMotionTable& motion) {
  p->openShares(kHostInteractPass);
  p->computeInterForceStiff(dt, 0);
  interact->handleContactPairCpu(p, dt, &motion);
  p->openShares(0);
}

void handOnInteractCpu(ContactPairCuda* p) {
  if (p == nullptr || p->share_pass != kHostInteractPass) return;
  for (int slot = 0; slot < p->share_count; ++slot) p->addShare(slot, kHostInteractPass, false);
  p->share_pass = 0;
}

__global__ void GpuImposeSurfaceInteract(int n, double dt, SurfaceInteract** interacts, ContactPairCuda** pairs,
                                         const int* ownMaster, int pass, NodeMotionTable motion) {
  const int i = blockDim.x * blockIdx.x + threadIdx.x;
  if (i >= n || interacts[0] == nullptr) return;
  // ownMaster holds one entry per contact node, as many as the pairs.
  if (globalInteractActsOn(pairs[i], ownMaster, n)) applyFirstInteract(interacts, pairs[i], dt, pass, &motion);
}

__global__ void GpuImposeSpecificSurfaceInteract(int n, double dt, int masterSurfaceId, SurfaceInteract** interacts,
                                                 ContactNodeCuda** nodes, int pass, NodeMotionTable motion) {
  const int i = blockDim.x * blockIdx.x + threadIdx.x;
  if (i >= n || interacts[0] == nullptr || nodes[i] == nullptr) return;
  ContactPairCuda* p = &nodes[i]->contact_pair;
  if (ownInteractActsOn(p, masterSurfaceId)) applyFirstInteract(interacts, p, dt, pass, &motion);
}

void uploadSurfaceInteracts(const std::vector<SurfaceInteract*>& host, SurfaceInteract*** slots) {
  const int n = static_cast<int>(host.size());
  if (n == 0 || *slots != nullptr) return;
  CUDA_CHECK(cudaMalloc(slots, sizeof(SurfaceInteract*) * n));
  CUDA_CHECK(cudaMemset(*slots, 0, sizeof(SurfaceInteract*) * n));
  for (int i = 0; i < n; ++i) {
    const std::size_t size = host[i] != nullptr ? surfaceInteractSize(host[i]->type) : 0;
    if (size == 0) {
      fprintf(stderr, "Surface interaction %d has no known type; it acts on nothing\n", i + 1);
      continue;
    }
    const DeviceBuffer<char> image(size);
    CUDA_CHECK(cudaMemcpy(image.get(), static_cast<const void*>(host[i]), size, cudaMemcpyHostToDevice));
    launch(GpuCreateSurfaceInteract, dim3(1), dim3(1), reinterpret_cast<const SurfaceInteract*>(image.get()),
           *slots + i);
    CUDA_CHECK(cudaDeviceSynchronize());
  }
}

void releaseSurfaceInteracts(int n, SurfaceInteract*** slots) {
  if (*slots == nullptr) return;
  launch(GpuDestroySurfaceInteract, dim3(static_cast<unsigned>((n - 1) / 64 + 1)), dim3(64), n, *slots);
  CUDA_CHECK(cudaDeviceSynchronize());
  CUDA_CHECK(cudaFree(*slots));
  *slots = nullptr;
}

void launchImposeSurfaceInteract(int n, double dt, SurfaceInteract** interacts, ContactPairCuda** pairs,
                                 const int* ownMaster, int pass, NodeMotionTable motion) {
  if (n <= 0 || interacts == nullptr || pairs == nullptr) return;
  launch(GpuImposeSurfaceInteract, dim3(static_cast<unsigned>((n - 1) / 64 + 1)), dim3(64), n, dt, interacts, pairs,
         ownMaster, pass, motion);
}

void launchImposeSpecificSurfaceInteract(int n, double dt, int masterSurfaceId, SurfaceInteract** interacts,
                                         ContactNodeCuda** nodes, int pass, NodeMotionTable motion) {
  if (n <= 0 || interacts == nullptr || nodes == nullptr) return;
  launch(GpuImposeSpecificSurfaceInteract, dim3(static_cast<unsigned>((n - 1) / 64 + 1)), dim3(64), n, dt,
         masterSurfaceId, interacts, nodes, pass, motion);
}
