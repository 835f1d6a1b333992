// Keyword family *HOURGLASS: the hourglass controls that parts name by their
// hourglass id (HGID), one control per card line: HGID, IHQ, QM, then IBQ,
// Q1, Q2, QB/VDC, QW. A blank or 0 form (IHQ) is form 1 and a blank or 0
// coefficient (QM) is 0.1. The fields after QM shape bulk viscosity and the
// shells' own bending and warping resistance, which this version does not
// take from the card: a card that sets them is told so.
#include <string>
#include <vector>

#include "elements/hourglasscontrol.h"
#include "elements/hourglasscontrolmanager.h"
#include "input/keywordReader.h"
#include "solver/femdynamic.h"

namespace {
constexpr double kDefaultHourglassCoefficient = 0.1;
}  // namespace

void KeywordReader::readHourglass(const std::string& block) {
    const std::string header = blockHeader(block);
    if (withoutTitle(header) != "*HOURGLASS") {
        unreadBlock(header);
        return;
    }
    const std::vector<std::string> lines = splitDeckLines(block);
    std::string title;
    const int first = firstCardLine(header, lines, &title);
    std::vector<HourglassControl>& controls = fem_->hourglassControlManager->hourglass_array_cpu;
    for (int k = first; k < static_cast<int>(cardLineEnd(lines)); ++k) {
        HourglassControl control;
        control.id = 0;
        control.type = 0;
        control.coefficient = 0.0;
        double unused[5] = {0.0, 0.0, 0.0, 0.0, 0.0};
        readCard(lines, k, control.id, control.type, control.coefficient, unused);
        const std::string where = header + " " + std::to_string(control.id);
        if (control.id <= 0) {
            refuse(where + ": the hourglass id (HGID) must be a positive number");
            return;
        }
        for (const HourglassControl& other : controls) {
            if (other.id == control.id) {
                refuse("two *HOURGLASS cards give the hourglass id " + std::to_string(control.id));
                return;
            }
        }
        if (control.type == 0) control.type = 1;
        if (control.coefficient == 0.0) control.coefficient = kDefaultHourglassCoefficient;
        for (double value : unused) {
            if (value != 0.0) {
                warn(where + ": the values after QM (bulk viscosity, shell bending and warping coefficients) are "
                             "not used by this version");
                break;
            }
        }
        controls.push_back(control);
    }
}
