#include "elements/common/formulationCheck.h"

#include <cstdio>

#include "core/part.h"
#include "core/section.h"
#include "elements/beam/beamTube.h"
#include "elements/common/elmmanager.h"
#include "materials/material.h"
#include "materials/materialnew.h"

namespace {

const char* modelWithoutStress(int type) {
  switch (type) {
    case MT_LOW_DENSITY_FOAM:
      return "a low-density foam";
    case MT_GENERAL_NONLINEAR:
      return "a general nonlinear discrete-beam material";
    default:
      return nullptr;
  }
}

int countOfType(const ElmManager& m, int type) {
  int n = 0;
  m.forEachFamily([&](auto, const auto& records) {
    for (const auto& e : records) n += e.type == type ? 1 : 0;
  });
  return n;
}

// Beams and trusses of an elastic-plastic material yield only as tubes
// integrated over their wall points; null when the part's line elements
// are not such (springs take their own stiffness).
const char* lineElementsWithoutPlasticity(const Part& part) {
  const std::vector<BeamElementCuda>& beams = part.elmManager->beam_element_array_cpu;
  if (beams.empty() || part.section == nullptr || part.material->type != MT_ELASTIC_PLASTIC) return nullptr;
  const int type = beams.front().type;
  if (type == ET_SPRING) return nullptr;
  if (type == ET_TRUSS) return "trusses";
  return beamIntegratesTube(part.material->type, *part.section) ? nullptr : "beams";
}

// Beams of an elastic-plastic material integrated over their tube points.
bool integratesTubes(const Part& part) {
  const std::vector<BeamElementCuda>& beams = part.elmManager->beam_element_array_cpu;
  if (beams.empty() || part.section == nullptr || part.material->type != MT_ELASTIC_PLASTIC) return false;
  const int type = beams.front().type;
  return type != ET_SPRING && type != ET_TRUSS && beamIntegratesTube(part.material->type, *part.section);
}

// Whether an elastic-plastic material's flow stress rises with plastic
// strain: a tangent modulus, or a hardening table whose stress changes.
bool materialHardens(const Material& m) {
  if (m.plastic_model == 0) return m.tangent_modulus != 0.0;
  if (m.plastic_model != 4) return true;
  for (int i = 1; i < m.table_count && i < kMaterialTablePointMax; ++i)
    if (m.table_stress[i] != m.table_stress[0]) return true;
  return false;
}

}  // namespace

bool checkPartComputable(const Part& part) {
  if (part.material == nullptr || part.elmManager == nullptr || part.elmManager->hostElementNum() == 0) return true;
  const Material& mat = *part.material;
  bool computable = true;
  if (const char* kind = modelWithoutStress(mat.type)) {
    std::fprintf(stderr,
                 "part %d (%s): material %d is %s, whose stress this version does not compute; "
                 "its elements would carry no force\n",
                 part.shownId(), part.name.c_str(), mat.id, kind);
    computable = false;
  }
  if (mat.type == MT_MOONEY_RIVLIN && !mat.mooneyRivlinModuliValid()) {
    const double* c = mat.mooney_rivlin_constants;
    std::fprintf(stderr,
                 "part %d (%s): Mooney-Rivlin material %d (c1 = %g, c2 = %g, c3 = %g) has no positive "
                 "small-strain moduli: shear 2 (c1 + c2) and bulk 4 (c2 + c3) + 4 (c1 + c2) / 3 must be > 0\n",
                 part.shownId(), part.name.c_str(), mat.id, c[0], c[1], c[2]);
    computable = false;
  }
  if (const char* kind = lineElementsWithoutPlasticity(part)) {
    std::fprintf(stderr,
                 "part %d (%s): its %s of the elastic-plastic material %d would stay elastic: this version "
                 "yields beams only as tubes (section formulation 1, CST 1) of 3, 6 or 9 wall points (QR)\n",
                 part.shownId(), part.name.c_str(), kind, mat.id);
    computable = false;
  }
  if (integratesTubes(part) && materialHardens(mat)) {
    std::fprintf(stderr,
                 "part %d (%s): its beams of the elastic-plastic material %d would not harden: this version "
                 "integrates tubes elastic-perfectly plastic at the yield stress (ETAN 0, no rising hardening "
                 "curve)\n",
                 part.shownId(), part.name.c_str(), mat.id);
    computable = false;
  }
  const struct {
    int type;
    const char* name;
  } kNoForce[2] = {{ET_PENTA15, "fifteen-node pentahedra (type 25)"}, {ET_HEXA20, "twenty-node hexahedra (type 26)"}};
  for (const auto& k : kNoForce) {
    const int n = countOfType(*part.elmManager, k.type);
    if (n == 0) continue;
    std::fprintf(stderr, "part %d (%s): %d %s have no internal force in this version\n", part.shownId(),
                 part.name.c_str(), n, k.name);
    computable = false;
  }
  return computable;
}
