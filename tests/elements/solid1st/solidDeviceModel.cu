#include "tests/elements/solid1st/solidDeviceModel.h"

#include "core/logErrorPrint.h"
#include "materials/materialmanager.h"

namespace solidtest {

namespace {
template <typename T>
T* upload(const T* host, size_t n) {
  T* d = nullptr;
  CUDA_CHECK(cudaMalloc(&d, sizeof(T) * (n > 0 ? n : 1)));
  if (n > 0) CUDA_CHECK(cudaMemcpy(d, host, sizeof(T) * n, cudaMemcpyHostToDevice));
  return d;
}
}  // namespace

DeviceModel::DeviceModel(SolidModel& m) {
  nodeNum = static_cast<int>(m.nodes.size());
  nodes = upload(m.nodes.data(), m.nodes.size());
  SolidElementCuda* elems = nullptr;
  CUDA_CHECK(cudaMalloc(&elems, sizeof(SolidElementCuda) * m.elems.size()));
  CUDA_CHECK(cudaMalloc(&points, sizeof(GaussPoint) * (m.points.size() + 1)));
  CUDA_CHECK(cudaMalloc(&states, sizeof(ElasticMaterialStatus) * (m.states.size() + 1)));
  derivatives = upload(m.derivatives.data(), m.derivatives.size());

  // Device copies of the records with their pointers moved to device addresses.
  std::vector<SolidElementCuda> e = m.elems;
  for (SolidElementCuda& r : e) {
    for (NodeCuda*& n : r.node) n = n != nullptr ? nodes + (n - m.nodes.data()) : nullptr;
    r.gaussPoint = points + r.gaussPointIndex;
  }
  std::vector<GaussPoint> p = m.points;
  for (size_t i = 0; i < p.size(); ++i) {
    p[i].matStatus_ = states + i;
    p[i].element_ =
        static_cast<Element*>(elems + (static_cast<SolidElementCuda*>(m.points[i].element_) - m.elems.data()));
    double* base = m.derivatives.data();
    if (p[i].shapePartialDx_ != nullptr) {
      p[i].shapePartialDx_ = derivatives + (m.points[i].shapePartialDx_ - base);
      p[i].shapePartialDy_ = derivatives + (m.points[i].shapePartialDy_ - base);
      p[i].shapePartialDz_ = derivatives + (m.points[i].shapePartialDz_ - base);
    }
  }
  std::vector<ElasticMaterialStatus> s = m.states;
  for (size_t i = 0; i < s.size(); ++i) s[i].gaussPoint = points + i;
  CUDA_CHECK(cudaMemcpy(elems, e.data(), sizeof(SolidElementCuda) * e.size(), cudaMemcpyHostToDevice));
  CUDA_CHECK(cudaMemcpy(points, p.data(), sizeof(GaussPoint) * p.size(), cudaMemcpyHostToDevice));
  CUDA_CHECK(cudaMemcpy(states, s.data(), sizeof(ElasticMaterialStatus) * s.size(), cudaMemcpyHostToDevice));

  // The model object is built on the device from the uploaded record.
  record = upload(m.record.get(), 1);
  CUDA_CHECK(cudaMalloc(&materials, sizeof(MaterialNew*)));
  launch(GpuCreateMaterialNewArrayData, dim3(1), dim3(64), 1, record, materials);
  CUDA_CHECK(cudaDeviceSynchronize());
  Section sec;
  sec.id = 1;
  sec.family_code = 4;
  sec.element_formulation = 18;
  sections = upload(&sec, 1);
  hourglass = upload(&m.hourglass, 1);

  store.solid_element_array_cpu = m.elems;
  store.solid_element_array_gpu = elems;
  store.elementAmount = static_cast<int>(m.elems.size());
  parts.resize(1);
  parts[0].id = 1;
  parts[0].elmManager = &store;
  parts[0].material = m.record.get();
  parts[0].materialNew = m.material.get();
}

DeviceModel::~DeviceModel() {
  launch(GpuDestroyMaterialNewArrayData, dim3(1), dim3(64), 1, materials);
  CUDA_CHECK(cudaDeviceSynchronize());
  for (void* ptr : {static_cast<void*>(nodes), static_cast<void*>(points), static_cast<void*>(states),
                    static_cast<void*>(derivatives), static_cast<void*>(record), static_cast<void*>(materials),
                    static_cast<void*>(sections), static_cast<void*>(hourglass)})
    CUDA_CHECK(cudaFree(ptr));
}

std::vector<NodeCuda> DeviceModel::readNodes() const {
  std::vector<NodeCuda> out(nodeNum);
  CUDA_CHECK(cudaMemcpy(out.data(), nodes, sizeof(NodeCuda) * nodeNum, cudaMemcpyDeviceToHost));
  return out;
}

std::vector<SolidElementCuda> DeviceModel::readElements() const {
  std::vector<SolidElementCuda> out(store.solid_element_array_cpu.size());
  CUDA_CHECK(cudaMemcpy(out.data(), store.solid_element_array_gpu, sizeof(SolidElementCuda) * out.size(),
                        cudaMemcpyDeviceToHost));
  return out;
}

}  // namespace solidtest
