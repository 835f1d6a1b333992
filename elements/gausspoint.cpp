#include "elements/gausspoint.h"

#include "elements/element.h"

void GaussPoint::setNodeNumAndAllocateShapePartial() {
  if (element_ == nullptr) return;
  nodeNumber_ = element_->gaussNodeNum;
  if (element_->tlFlag != 1 || nodeNumber_ <= 0) return;
  freeShapePartial();
  shapePartialDx_ = new double[nodeNumber_]();
  shapePartialDy_ = new double[nodeNumber_]();
  shapePartialDz_ = new double[nodeNumber_]();
}

void GaussPoint::freeShapePartial() {
  delete[] shapePartialDx_;
  delete[] shapePartialDy_;
  delete[] shapePartialDz_;
  shapePartialDx_ = nullptr;
  shapePartialDy_ = nullptr;
  shapePartialDz_ = nullptr;
}
