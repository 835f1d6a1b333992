// Element history: the stress or strain of every integration point of every
// element of one element set, one block per output point, in the folder
// "elementoutput" of the work directory.
#pragma once
#include <vector>

#include "output/basicoutput.h"
#include "core/deviceNodeList.h"

class Set;
struct Element;

class ElementOutput : public BasicOutput {
 public:
  Set* elementSet_ = nullptr;          // the element set, found by setId_
  std::vector<double> needMemoryCpu_;  // host buffer, needMemSize_ doubles
  DeviceDoubleBuffer needMemoryGpu_;   // device buffer (GPU run)
  int needMemSize_ = 0;
  int pointNum = 0;  // points per element in the layout: those of the first element

  ElementOutput() = default;

  void collect(OutputModel* fem, double time, double dt) override;
  void init(OutputModel* fem) override;
  void write(OutputModel* fem, double time, double dt) override;

  // Host element per id of the set (null for an id no element has).
  const std::vector<Element*>& elements() const { return elements_; }

 private:
  bool active_ = false;
  std::vector<Element*> elements_;     // host records, one per id of the set
  std::vector<int> ids_;               // the set's element ids
  DeviceArray<Element*> elementsGpu_;  // device records, same order

  void collectGpu(int code, double* B, double* D);
  void writeBlock(const char* prefix, const double* B);
};

// Copies the stress (or strain) of the status records of the points of each
// element into out: element i, point j, component k at (i * pointNum + j) * 6
// + k. An element with fewer points than pointNum, or a missing element,
// leaves zeros in its remaining places.
__host__ __device__ void copyElementPointValues(const Element* element, double* out, int pointNum, bool strain);
__global__ void GpuGetElementPointStress(int n, Element** elements, double* out, int pointNum);
__global__ void GpuGetElementPointStrain(int n, Element** elements, double* out, int pointNum);
