// The integration-point record: weight, natural coordinates, material state
// and, for total-Lagrangian owners, the reference shape-function
// derivatives. The material models read and write it; the element families
// own the points (elements/common/gausspoint.h).
#pragma once
#include <type_traits>

#include "platform/gpuRuntime.h"

struct Element;
class MaterialStatus;
enum ElementNewType : int;  // elements/common/elementType.h

// The same bytes live in the host vector and in the device array, so the
// record is trivially copyable: it has no virtual functions and no destructor.
// The derivative arrays are released by their owner, IntegratPointManager.
struct GaussPoint {
  int nodeNumber_ = 0;                 // nodes of the owner: length of each derivative array
  int matStatusIndex_ = 0;             // index of the state record within its material's array
  double weight_ = 0.0;                // integration weight of the rule
  double coord_[3] = {0.0, 0.0, 0.0};  // natural coordinates r, s, t
  MaterialStatus* matStatus_ = nullptr;
  Element* element_ = nullptr;                     // owning element or smoothed-FEM domain
  ElementNewType elementType_ = ElementNewType{};  // type code of the owner (0 for smoothed-FEM points)
  double* shapePartialDx_ = nullptr;
  double* shapePartialDy_ = nullptr;
  double* shapePartialDz_ = nullptr;
  // The owner's deck id and 0-based reading position, copied when the owner
  // links the point, by which the material models' reports name it.
  int ownerId_ = 0;
  int ownerStoreId_ = -1;
  // Volume the point stands for (|det J| x weight), written by formulations
  // that integrate over the current shape.  Kept apart from the weight so the
  // rule's weight is never compounded from one cycle to the next.
  double volume_ = 0.0;

  __host__ __device__ GaussPoint() {}

  __host__ __device__ void setMatStatusPtr(MaterialStatus* status) { matStatus_ = status; }
  // True when an element record owns the point (a smoothed-FEM domain's
  // point has the type code 0).
  __host__ __device__ bool ownedByElement() const { return element_ != nullptr && elementType_ != ElementNewType{}; }
};

static_assert(std::is_trivially_copyable_v<GaussPoint>);
static_assert(sizeof(GaussPoint) == 104);
