// All integration points of the model in one flat array: numbering across
// parts, links to elements and material states, upload and device links.
#pragma once
#include <vector>

#include "elements/common/gausspoint.h"

class Part;
class MaterialManager;
class MaterialNew;
class ElementControl;
struct Element;
struct Section;

class IntegratPointManager {
 public:
  std::vector<GaussPoint> gaussPointArrayCpu_;
  GaussPoint* gaussPointArrayGpu_ = nullptr;
  int gaussPointNum = 0;

  IntegratPointManager() = default;
  IntegratPointManager(const IntegratPointManager&) = delete;
  IntegratPointManager& operator=(const IntegratPointManager&) = delete;
  virtual ~IntegratPointManager();

  // Host pass.  The smoothed-FEM domains are passed as their common element
  // part; each takes one point after all element points and names its
  // material in its material_id.
  void numberGaussPoints(std::vector<Part>& parts, const std::vector<Element*>& smoothDomains,
                         MaterialManager* materials);
  void createGaussPoints(std::vector<Part>& parts, const std::vector<Element*>& smoothDomains,
                         MaterialManager* materials);
  void setNodeNumAndAllocateShapePartial();

  // GPU pass.
  void allocateGaussPointGpu();
  // Device pass.
  void copyGaussPointToGpu();
  void gpuLinkGaussPointToElement(ElementControl* elements, MaterialNew** materials, Section* sections);
  // Links smoothed-FEM domain i (device records of the given byte stride,
  // beginning with their element part) to its point.
  void gpuLinkGaussPointToSFEM(Element* smoothRecords, int smoothNum, int recordBytes, MaterialNew** materials);
  void copyShapePartialToGpu();
  void gpuVerTLBMatrix();

 private:
  // Points whose derivative arrays were copied to the device; their device
  // arrays are released with the manager.
  std::vector<int> devicePartialPoints_;
  void releaseDevicePartials();
  void releaseHostPartials();
};

// Checks that every point of a total-Lagrangian type carries its derivative
// arrays (one thread per point).
__global__ void GpuVerTLBMatrix(int n, GaussPoint* points);
