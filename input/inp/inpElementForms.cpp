// ".inp" element forms the keyword card families have no card for, and
// *SECTION CONTROLS. After the card families completed the model, every part
// takes the element type code of its deck type, ten-node tetrahedra (written
// as their corners) get their mid-side nodes, and parts whose section names
// controls get their hourglass control: HOURGLASS=STIFFNESS (and no
// HOURGLASS=) the stiffness form with coefficient 0.1, VISCOUS the viscous
// form with 0.1, ENHANCED the assumed-strain form with the elastic stiffness
// of the modes (solids only).
#include <iostream>

#include "core/part.h"
#include "core/section.h"
#include "elements/common/elmmanager.h"
#include "elements/common/hourglasscontrol.h"
#include "elements/common/hourglassControlManager.h"
#include "input/inp/inpReader.h"
#include "solver/femdynamic.h"

// Each block makes one hourglass control, numbered in deck order, of the
// form its HOURGLASS= names (the stiffness form with coefficient 0.1 without
// one, as for parts without controls); any other option refuses the deck.
void InpReader::readSectionControls(const InpBlock& block) {
  refuseUnreadOptions(block, {"NAME", "HOURGLASS"});
  const std::string where = block.where();
  InpModel::SectionControls controls;
  controls.name = block.keyword.option("NAME");
  controls.hourglass = block.keyword.choice("HOURGLASS");
  controls.lineNumber = block.lineNumber;
  if (controls.name.empty()) {
    refuse(where + ": the controls name (NAME=) is missing");
    return;
  }
  for (const InpModel::SectionControls& other : model_.sectionControls) {
    if (other.name == controls.name) {
      refuse(where + ": the section controls " + controls.name + " are defined twice");
      return;
    }
  }
  if (!controls.hourglass.empty() && !inpHourglassForm(controls.hourglass, nullptr)) {
    refuse(where + " " + controls.name + ": HOURGLASS=" + block.keyword.option("HOURGLASS") +
           " is not computed by this version; it computes HOURGLASS=STIFFNESS (and the controls without "
           "HOURGLASS=), VISCOUS and ENHANCED (solids only)");
    return;
  }
  model_.sectionControls.push_back(controls);
}

bool inpHourglassForm(const std::string& hourglass, HourglassControl* control) {
  // The stiffness and viscous forms with coefficient 0.1; the enhanced
  // form is the assumed-strain one with its modes' elastic stiffness.
  const struct {
    const char* name;
    int form;
    double coefficient;
  } forms[] = {{"", 4, 0.1}, {"STIFFNESS", 4, 0.1}, {"VISCOUS", 1, 0.1}, {"ENHANCED", 6, 1.0}};
  for (const auto& f : forms) {
    if (hourglass != f.name) continue;
    if (control != nullptr) {
      control->type = f.form;
      control->coefficient = f.coefficient;
    }
    return true;
  }
  return false;
}

namespace {

const InpModel::Part* partNamed(const InpModel& model, const std::string& name) {
  for (const InpModel::Part& part : model.parts) {
    if (part.name == name) return &part;
  }
  return nullptr;
}

int controlsId(const InpModel& model, const std::string& name) {
  for (size_t k = 0; k < model.sectionControls.size(); ++k) {
    if (model.sectionControls[k].name == name) return static_cast<int>(k) + 1;
  }
  return 0;
}

// The corner tetrahedra the card families made become ten-node records on
// the deck's nodes, in the same order as the deck's elements.
void makeTenNodeSolids(const InpModel::Part& source, const FEMDynamic& fem, ElmManager& store) {
  std::vector<SolidElement2nd>& records = store.solid2ndArrayCpu_;
  for (size_t i = 0; i < store.solid_element_array_cpu.size() && i < source.elements.size(); ++i) {
    const SolidElementCuda& corners = store.solid_element_array_cpu[i];
    const InpModel::Element& element = source.elements[i];
    SolidElement2nd record;
    static_cast<Element&>(record) = static_cast<const Element&>(corners);
    record.type = static_cast<ElementNewType>(source.type->formulation);
    for (size_t k = 0; k < element.nodes.size() && k < static_cast<size_t>(kSolid2ndNodeMax); ++k) {
      const auto number = fem.node_id_map.find(element.nodes[k]);
      record.node_id[k] = number == fem.node_id_map.end() ? 0 : number->second;
    }
    records.push_back(record);
  }
  store.solid_element_array_cpu.clear();
}

// The model's control (id 0: the stiffness form with coefficient 0.1) and
// one per *SECTION CONTROLS block, of its HOURGLASS= form.
void addInpHourglassControls(const InpModel& model, FEMDynamic* fem) {
  std::vector<HourglassControl>& hourglass = fem->hourglassControlManager->hourglass_array_cpu;
  for (size_t k = 0; k <= model.sectionControls.size(); ++k) {
    HourglassControl control;
    control.id = static_cast<int>(k);
    inpHourglassForm(k == 0 ? std::string() : model.sectionControls[k - 1].hourglass, &control);
    hourglass.push_back(control);
  }
}

}  // namespace

bool completeInpElements(const InpModel& model, FEMDynamic* fem) {
  addInpHourglassControls(model, fem);
  bool computed = true;
  for (Part& part : fem->part_array) {
    const InpModel::Part* source = partNamed(model, part.name);
    if (source == nullptr || part.section == nullptr || part.elmManager == nullptr) continue;
    part.section->element_formulation = source->type->formulation;
    if (source->type->secondOrder) makeTenNodeSolids(*source, *fem, *part.elmManager);
    if (source->controls.empty()) continue;
    part.hourglass_id = controlsId(model, source->controls);
    const InpModel::SectionControls& controls = model.sectionControls[static_cast<size_t>(part.hourglass_id - 1)];
    if (source->type->family == 3 && controls.hourglass == "ENHANCED") {
      std::cerr << "Inp deck refused: *SECTION CONTROLS" << inpAtLine(controls.lineNumber) << " " << controls.name
                << ": HOURGLASS=ENHANCED is not computed for the shells and membranes of " << part.name
                << "; they compute HOURGLASS=STIFFNESS and VISCOUS" << std::endl;
      computed = false;
    }
  }
  return computed;
}
