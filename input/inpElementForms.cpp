// ".inp" element forms the keyword card families have no card for, and
// *SECTION CONTROLS. After the card families completed the model, every part
// takes the element type code of its deck type, ten-node tetrahedra (written
// as their corners) get their mid-side nodes, and parts whose section names
// controls get their hourglass control.
#include "core/part.h"
#include "core/section.h"
#include "elements/elmmanager.h"
#include "elements/hourglasscontrol.h"
#include "elements/hourglasscontrolmanager.h"
#include "input/inpReader.h"
#include "solver/femdynamic.h"

// Each block makes one hourglass control, numbered in deck order; the
// controls' own settings are not read: the stiffness form with coefficient
// 0.1 applies, as for parts without controls.
void InpReader::readSectionControls(const InpBlock& block) {
    refuseUnreadOptions(block, {"NAME", "HOURGLASS"});
    const std::string where = block.where();
    InpModel::SectionControls controls;
    controls.name = block.keyword.option("NAME");
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
    const std::string form = block.keyword.option("HOURGLASS");
    if (!form.empty()) {
        warn(where + " " + controls.name + ": HOURGLASS=" + form +
             " is not read by this version; the stiffness hourglass control with coefficient 0.1 applies");
    }
    model_.sectionControls.push_back(controls);
}

namespace {

// The hourglass form of every .inp control: the stiffness form (IHQ 4).
constexpr int kInpHourglassForm = 4;

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

}  // namespace

void completeInpElements(const InpModel& model, FEMDynamic* fem) {
    // The model's control (id 0) and one per *SECTION CONTROLS block: the
    // stiffness form with coefficient 0.1.
    std::vector<HourglassControl>& hourglass = fem->hourglassControlManager->hourglass_array_cpu;
    for (size_t k = 0; k <= model.sectionControls.size(); ++k) {
        HourglassControl control;
        control.id = static_cast<int>(k);
        control.type = kInpHourglassForm;
        hourglass.push_back(control);
    }
    for (Part& part : fem->part_array) {
        const InpModel::Part* source = partNamed(model, part.name);
        if (source == nullptr || part.section == nullptr || part.elmManager == nullptr) continue;
        part.section->element_formulation = source->type->formulation;
        if (source->type->secondOrder) makeTenNodeSolids(*source, *fem, *part.elmManager);
        if (!source->controls.empty()) part.hourglass_id = controlsId(model, source->controls);
    }
}
