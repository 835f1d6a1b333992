// Owner of the material records, the host and device model objects, their
// id lookups and the per-GPU state arrays.
#pragma once
#include <map>
#include <string>
#include <vector>

#include "materials/material.h"
#include "materials/materialnew.h"
#include "platform/gpuRuntime.h"

class MaterialManager {
 public:
  std::vector<Material> material_array;    // records, sorted by id after buildMaterialIdMap
  std::map<int, Material*> materialMap;    // id -> record
  Material* material_array_gpu = nullptr;  // byte copy of material_array
  // Host model objects, one per record in record order; null for a record
  // whose type code has no model (3, 5, 10, 11, 12 and unknown codes).
  std::vector<MaterialNew*> materialNewArray;
  std::map<int, MaterialNew*> materialNewMap;  // id -> host object
  // Device array of material_num pointers to device objects; a slot whose
  // record has no model is null.
  MaterialNew** materialNewArrayGpu_ = nullptr;
  int material_num = 0;
  // The card of each record by its id, with its deck line ("*MAT_ELASTIC
  // (line 12)"), for messages: kept here, off the records copied to the device.
  std::map<int, std::string> cards;

  MaterialManager() = default;
  MaterialManager(const MaterialManager&) = delete;
  MaterialManager& operator=(const MaterialManager&) = delete;
  virtual ~MaterialManager();

  // Sorts the records by id and maps id -> record.
  void buildMaterialIdMap();
  // Host factory: one object per record by its type code.
  void createMaterialNewArray();
  // Maps id -> object (objects stay in record order, which is id order).
  void buildMaterialNewIdMap();
  // Host state arrays of every object that serves integration points.
  void createStatusArraysCpu();
  // Device copy of the records.
  void allocateAndCopyMaterialGpu();
  // Uploads every object's state array to entry gpu_id.
  void copyStatusArraysToGpu(int gpu_id);
  // Device objects, built by GpuCreateMaterialNewArrayData.
  void allocateAndCopyMaterialNewGpu();
  // Device objects' state pointer := entry gpu_id of the host object's arrays.
  void setMaterStatuPtrGpu(MaterialNew** deviceArray, int gpu_id);

  // The record / host object of an id, or null.
  Material* findMaterialIndexById(int id);
  MaterialNew* findMaterialNewIndexById(int id);
  // The card kept for an id, or "material <id>" when none is.
  std::string cardOf(int id) const;

  // Host object of a record type code, constructed from the record; null
  // (after the message) for a code without a model.
  static MaterialNew* createMaterialNew(const Material* record);

 private:
  int materialGpuNum_ = 0;     // records in material_array_gpu
  int materialNewGpuNum_ = 0;  // slots of materialNewArrayGpu_
  // Frees the device objects and their pointer array.
  void releaseMaterialNewGpu();
};

// One thread per material: builds the device object of record i into out[i]
// (out must be zeroed beforehand; refused codes leave their slot null).
__global__ void GpuCreateMaterialNewArrayData(int n, Material* records, MaterialNew** out);
// array[i]->matStatusArrayGpu_[0] := states (one thread).
__global__ void GpuSetMaterStatuPtr(MaterialNew** array, MaterialStatus* states, int i);
// One thread per material: frees the device objects built by
// GpuCreateMaterialNewArrayData and clears their slots.
__global__ void GpuDestroyMaterialNewArrayData(int n, MaterialNew** objects);
