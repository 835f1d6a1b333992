// The state-record slots of a model whose points each hold one record of
// type Status: a record for one point, the link of a point to its record
// in an array, the host array and its upload. Kind derives from
// MaterialWithState<Kind, Status>; a kind whose fresh records need a value
// of the model declares its own initialStatus().
#pragma once
#include "materials/materialnew.h"

template <typename Kind, typename Status>
class MaterialWithState : public MaterialNew {
 public:
  __host__ __device__ explicit MaterialWithState(const Material* record) : MaterialNew(record) {}

  // A record as the first cycle finds it.
  __host__ __device__ Status initialStatus() const { return Status(); }

  __host__ __device__ void createMaterialStatusInstance(GaussPoint* gp) override {
    gp->setMatStatusPtr(new Status(kind().initialStatus()));
  }
  __host__ __device__ void linkMatStatuToGaussPoint(GaussPoint* gp, MaterialStatus* array) override {
    linkStatusOf<Status>(gp, array);
  }
  void createStatusArrayCpu() override {
    const Status initial = kind().initialStatus();
    createStatusArrayOf<Status>([&initial](int) { return initial; });
  }
  void copyStatusArrayToGpu(int gpu_id) override { copyStatusArrayOf(gpu_id, sizeof(Status)); }

 private:
  __host__ __device__ const Kind& kind() const { return static_cast<const Kind&>(*this); }
};
