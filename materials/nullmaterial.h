// Models that carry the base data only: null, rigid and the linear 6x6
// discrete-beam stiffness.  They provide no stress update; every model
// operation reached on them reports "here not executed".
#pragma once
#include "materials/material.h"
#include "materials/materialnew.h"

class NullMaterial : public MaterialNew {
 public:
  __host__ __device__ explicit NullMaterial(const Material* record) : MaterialNew(record) {}
};

class RigidMaterial : public MaterialNew {
 public:
  __host__ __device__ explicit RigidMaterial(const Material* record) : MaterialNew(record) {}
};

class LinearStiffnessMaterial66 : public MaterialNew {
 public:
  double stiffness[6];  // the first six discrete-beam values of the record
  double spare[6];      // zeroed

  __host__ __device__ explicit LinearStiffnessMaterial66(const Material* record) : MaterialNew(record) {
    for (int i = 0; i < 6; ++i) {
      stiffness[i] = record->discrete_stiffness[i];
      spare[i] = 0.0;
    }
  }
};
