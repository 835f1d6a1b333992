// Type codes of the element formulations and the smoothed-FEM kinds.
#pragma once
#include "platform/gpuRuntime.h"

// Formulation of one element record.  The numeric values are those written
// into the records and switched on by every formulation.
enum ElementNewType : int {
  ET_NONE = 0,
  ET_BEAM_NO_FORCE = 1,       // beam record without internal force on the GPU
  ET_BS_BEAM = 2,             // Belytschko-Schwer resultant beam
  ET_SPRING = 3,              // spring on the beam record
  ET_TRUSS = 5,               // truss on the beam record
  ET_DISCRETE = 6,            // discrete element
  ET_MEMBRANE3 = 7,           // 3-node membrane
  ET_MEMBRANE4 = 8,           // 4-node membrane
  ET_BT_SHELL = 9,            // Belytschko-Tsay shell
  ET_HL_SHELL = 10,           // Hughes-Liu shell
  ET_SHELL4_11 = 11,          // 4-node shell without an integration rule
  ET_SHELL4_12 = 12,          // 4-node shell without an integration rule
  ET_CB_TRI_SHELL = 13,       // cell-based triangular shell
  ET_BT_TRI_SHELL = 14,       // triangular (degenerate) form of 9
  ET_TETRA_TL = 15,           // 4-node tetrahedron, total Lagrangian
  ET_PYRAMID_TL = 16,         // 5-node pyramid, total Lagrangian
  ET_HEXA_FULL = 17,          // 8-node hexahedron, full integration
  ET_HEXA_REDUCED = 18,       // 8-node hexahedron, one point + hourglass control
  ET_HEXA_INCOMPATIBLE = 19,  // 8-node hexahedron, incompatible modes
  ET_PENTA = 20,              // 6-node pentahedron
  ET_PENTA_REDUCED = 21,      // 6-node pentahedron, one point + hourglass control
  ET_SOLID_SHELL6 = 22,       // 6-node solid shell
  ET_SOLID_SHELL8 = 23,       // 8-node solid shell
  ET_TETRA10 = 24,            // 10-node tetrahedron
  ET_PENTA15 = 25,            // 15-node pentahedron
  ET_HEXA20 = 26,             // 20-node hexahedron
  ET_TETRA10_M = 27,          // 10-node tetrahedron, modified form
};

// Nodes of a solid formulation of either order; 0 for a type that is no
// solid.  The one-point pentahedron acts on the 8 slots of a hexahedron.
__host__ __device__ constexpr int solidTypeNodeNum(int type) {
  switch (type) {
    case ET_TETRA_TL:
      return 4;
    case ET_PYRAMID_TL:
      return 5;
    case ET_HEXA_FULL:
    case ET_HEXA_REDUCED:
    case ET_HEXA_INCOMPATIBLE:
    case ET_SOLID_SHELL8:
    case ET_PENTA_REDUCED:
      return 8;
    case ET_PENTA:
    case ET_SOLID_SHELL6:
      return 6;
    case ET_TETRA10:
    case ET_TETRA10_M:
      return 10;
    case ET_PENTA15:
      return 15;
    case ET_HEXA20:
      return 20;
    default:
      return 0;
  }
}

// Smoothed finite-element kind of a section (and of its solids).
enum SmoothFEMType : int {
  SFEM_NONE = 0,
  SFEM_EDGE = 1,
  SFEM_CELL = 2,
  SFEM_NODE = 3,
  SFEM_NODE_SIX_POINT = 4,
};

// Family codes written into every element record.
enum ElementFamily : int {
  FAMILY_DISCRETE = 1,
  FAMILY_BEAM = 2,
  FAMILY_SHELL = 3,
  FAMILY_SOLID = 4,
  FAMILY_BEAM_2ND = 5,
  FAMILY_SHELL_2ND = 6,
  FAMILY_SOLID_2ND = 7,
};

// Integration-domain shapes: the rule that places an element's points.
enum IntegralDomainShape : int {
  DOMAIN_NONE = 0,
  DOMAIN_LINE = 2,
  DOMAIN_TRIANGLE = 3,
  DOMAIN_QUAD = 4,
  DOMAIN_HEXA = 5,
  DOMAIN_TETRA = 6,
  DOMAIN_WEDGE = 7,
};
