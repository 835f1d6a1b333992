#include "elements/common/gausspoint.h"

#include "elements/common/element.h"

void setNodeNumAndAllocateShapePartial(GaussPoint& point) {
  if (point.element_ == nullptr) return;
  point.nodeNumber_ = point.element_->gaussNodeNum;
  if (point.element_->tlFlag != 1 || point.nodeNumber_ <= 0) return;
  freeShapePartial(point);
  point.shapePartialDx_ = new double[point.nodeNumber_]();
  point.shapePartialDy_ = new double[point.nodeNumber_]();
  point.shapePartialDz_ = new double[point.nodeNumber_]();
}

void freeShapePartial(GaussPoint& point) {
  delete[] point.shapePartialDx_;
  delete[] point.shapePartialDy_;
  delete[] point.shapePartialDz_;
  point.shapePartialDx_ = nullptr;
  point.shapePartialDy_ = nullptr;
  point.shapePartialDz_ = nullptr;
}
