#include "elements/common/solidStepSetup.h"

#include "core/part.h"
#include "elements/common/elmmanager.h"
#include "elements/common/hourglassControlManager.h"
#include "materials/materialnew.h"

void setSolidStepModels(std::vector<Part>& parts, HourglassControlManager& hourglass) {
  for (Part& part : parts) {
    ElmManager* elements = part.elmManager;
    const MaterialNew* material = part.materialNew;
    if (elements == nullptr || material == nullptr) continue;
    const auto modelOf = [&](int partId) {
      const HourglassControl* control = hourglass.partControlCpu(partId);
      SolidStepModel model;
      model.poisson = material->poissonRatio;
      model.density = material->density;
      model.hourglassForm = control->type;
      model.hourglassQm = control->coefficient;
      return model;
    };
    elements->forEachFamily([&modelOf](auto tag, auto& records) {
      if constexpr (decltype(tag)::row.shape == FamilyShape::Volume)
        for (auto& e : records) e.stepModel = modelOf(e.part_id);
    });
  }
}
