// The element families as one table: a row per family with what set-up,
// the element driver and the outputs read of a family, so that those passes
// walk the families (ElmManager::forEachFamily, ElementControl::forEachFamily)
// instead of naming them one by one.
#pragma once
#include "elements/common/elementType.h"

// What a family's elements span. A part's first step takes the wave speed of
// the lowest shape it holds (bar, plate, then solid).
enum class FamilyShape : int { Point = 0, Line = 1, Surface = 2, Volume = 3 };

struct ElementFamilyRow {
  ElementFamily code;
  FamilyShape shape;
  bool continuum;            // mass and step from the material's density and elastic constants
  bool keepsStep;            // an entry per element in the element pass's step array
  bool registersNodes;       // takes a registration slot at each node it registers with
  int partNodeIds;           // leading node ids that make up the part's node list (0: none)
  bool sectionPointWeights;  // its points take places and weights from the section at set-up
  int tecplotCorners;        // corners of the Tecplot zone it is written to (0: not written)
  int pointRank;             // place of its elements in a part's integration-point numbering
};

// Rows in family-code order, which is also the order the families are walked in.
inline constexpr ElementFamilyRow kElementFamilies[] = {
    // code, shape, continuum, keepsStep, registersNodes, partNodeIds, sectionPointWeights, tecplotCorners,
    // pointRank
    {FAMILY_DISCRETE, FamilyShape::Point, false, false, true, 0, false, 0, 3},
    {FAMILY_BEAM, FamilyShape::Line, true, true, true, 2, false, 2, 2},
    {FAMILY_SHELL, FamilyShape::Surface, true, true, true, 4, true, 4, 0},
    {FAMILY_SOLID, FamilyShape::Volume, true, true, true, 8, true, 8, 1},
    {FAMILY_BEAM_2ND, FamilyShape::Line, true, true, false, 3, true, 0, 6},
    {FAMILY_SHELL_2ND, FamilyShape::Surface, true, true, false, 8, true, 0, 5},
    {FAMILY_SOLID_2ND, FamilyShape::Volume, true, true, true, 20, true, 8, 4},
};

constexpr int kElementFamilyNum = static_cast<int>(sizeof(kElementFamilies) / sizeof(kElementFamilies[0]));

constexpr const ElementFamilyRow& familyRow(ElementFamily code) { return kElementFamilies[code - 1]; }

// A family known at compile time: the walks hand it to their visitor, which
// reads decltype(tag)::row in `if constexpr` where a family lacks a member.
template <ElementFamily Code>
struct FamilyTag {
  static constexpr ElementFamilyRow row = familyRow(Code);
  static_assert(row.code == Code, "kElementFamilies rows are in family-code order");
};
