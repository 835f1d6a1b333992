// A part's set-up against the stores above core: the links to its element
// store, material and section, the node list walked over its element
// families, integration points, device copies and the characteristic
// length. The part record itself is in core/part.h.
#pragma once
#include <vector>

#include "core/part.h"

class NodeManager;
class ElmManager;
class MaterialManager;
class SectionManager;

// Element store := entry id-1 of elmManagers; material and section by id
// (null links for unknown ids).
void linkMaterialSectionElement(Part& part, std::vector<ElmManager>& elmManagers, MaterialManager* materialManager,
                                SectionManager* sectionManager);
// Nodes of the part's elements get their thickness from the section.
void setNodeThickness(Part& part);
// Distinct nodes of the part's elements, first-seen order.
void buildNodeList(Part& part, NodeManager* nodeManager);
// The same walk, appending the distinct node ids (each once) to nodes.
void buildPartNodeElement(Part& part, std::vector<int>& nodes);
// Model object := the material manager's object of material_id; a part
// whose material has no model gets one message.
void linkMaterialNew(Part& part, MaterialManager* materialManager);
// Integration-point coordinates and weights of the part's elements.
void linkGaussPoints(Part& part, SectionManager* sectionManager);
// Device copies of the linked material record and section.
void copyMaterialSectionToGpu(Part& part);
// Smallest characteristic length of the part's elements into out.
void calMinCharactLength(Part& part, double* out);
