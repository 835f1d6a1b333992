// Owner of the smoothed finite-element domains of parts whose section asks
// for a smoothed-FEM kind.
#pragma once
#include <vector>

class Part;
class NodeManager;
struct Element;

class SmoothFemManager {
 public:
  int smooth_num = 0;  // number of smoothing domains

  // Domains of every part with a smoothed-FEM section (a copy of the parts
  // vector is passed).
  void createSmoothDomains(std::vector<Part> parts);
  void computeSmoothDomains(std::vector<Part> parts);
  void allocateGpu();
  void copySmoothFemToGpu(NodeManager* nodeManager);
  // The domains as their common element part, for numbering their points.
  std::vector<Element*> smoothDomains() const { return {}; }
};
