// The leading part shared by every element record, and its base operations:
// links to the integration points and their material states, the point
// coordinates and weights of the element's integration rule, and the buffer
// of additional variables.
#pragma once
#include <type_traits>

#include <cstdio>

#include "elements/common/elementType.h"
#include "elements/common/gausspoint.h"
#include "materials/materialnew.h"
#include "platform/gpuRuntime.h"

struct Section;

struct Element {
  int id = 0;                        // element number from the deck (1-based)
  int gaussPointIndex = 0;           // index of the first point in the global point array
  int gaussNodeNum = 0;              // nodes whose derivatives each point carries
  int section_id = 0;                // 1-based id of the part's section
  int material_id = 0;               // 1-based id of the part's material
  int internalParamNum = 0;          // enhanced / incompatible-mode parameters
  int additionalSeed = 0;            // size asked for the additional-variable buffer
  int node_num = 0;                  // corner nodes of the element
  int thickPointNum = 0;             // integration points through the thickness
  int planePointNum = 0;             // integration points of the in-plane rule
  int integratPointNum = 0;          // total integration points of the element
  int integralDomainShape = 0;       // IntegralDomainShape of the rule
  GaussPoint* gaussPoint = nullptr;  // first point; the others follow contiguously
  ElementNewType type = ET_NONE;     // formulation code
  int tlFlag = 0;                    // 1: points keep their reference derivatives
  SmoothFEMType sfemType = SFEM_NONE;
  int sectionType = 0;            // family code (ElementFamily)
  int additionalVariableNum = 0;  // doubles in the additional-variable buffer
  double* additionalVariablePtr = nullptr;
  int store_id = 0;  // 0-based reading position among all elements
  int part_id = 0;   // 1-based part position, stamped after reading

  // Point pointer := points + first index; each of the count points gets
  // this element as owner and the given type.  Count 0 does nothing.
  __host__ __device__ void linkGaussPoint(GaussPoint* points, ElementNewType elementType, int count);
  // The point's owner := this element, with the deck id and reading
  // position that the material reports name it by.
  __host__ __device__ void ownPoint(GaussPoint& point) {
    point.element_ = this;
    point.ownerId_ = id;
    point.ownerStoreId_ = store_id;
  }
  // Links each of the element's first count points to its state record in
  // the given state array through the material.
  __host__ __device__ void linkMatStatusToGauss(int count, MaterialStatus* status, MaterialNew* material);
  // Point i's state index := start + i (host).
  void setGaussPointIndex(int count, int start);
  // Natural coordinates and weights of the points by the domain shape (host).
  void setGaussPointCoordWeight(const Section* section);
  // Integration-point node count := node count (host).
  void setGaussNodeNum() { gaussNodeNum = node_num; }
  // additionalVariableNum := additional-variable seed.
  void computeAddMemSize(const Section* section);
  // Host buffer of additionalVariableNum doubles.
  void allocateAddMemory();
  // Initialises the buffer by type.
  __host__ __device__ void operatorOnAddMem(const Section* section);
  // Frees the host buffer.
  void freeAddMemory();
};

static_assert(std::is_trivially_copyable_v<Element>);

// Device-side base operations are defined here so that every kernel file
// sees their bodies.
__host__ __device__ inline void Element::linkGaussPoint(GaussPoint* points, ElementNewType elementType, int count) {
  if (count <= 0 || points == nullptr) return;
  gaussPoint = points + gaussPointIndex;
  for (int i = 0; i < count; ++i) {
    ownPoint(gaussPoint[i]);
    gaussPoint[i].elementType_ = elementType;
  }
}

__host__ __device__ inline void Element::linkMatStatusToGauss(int count, MaterialStatus* status,
                                                              MaterialNew* material) {
  if (material == nullptr || gaussPoint == nullptr) return;
  for (int i = 0; i < count; ++i) material->linkMatStatuToGaussPoint(gaussPoint + i, status);
}

__host__ __device__ inline void Element::operatorOnAddMem(const Section*) {
  switch (type) {
    case ET_SOLID_SHELL6:
    case ET_SOLID_SHELL8:
      if (additionalVariablePtr != nullptr)
        additionalVariablePtr[0] = static_cast<double>(internalParamNum);
      else
        printf("计算实体壳单元的所需内变量内存未分配");
      return;
    case ET_TETRA10_M:
      if (additionalVariablePtr != nullptr) additionalVariablePtr[0] = static_cast<double>(internalParamNum);
      return;
    default:
      if ((type >= 0 && type <= 21) || (type >= ET_TETRA10 && type <= ET_HEXA20)) return;
      printf("请补充这种单元所需的额外内存\n");
  }
}
