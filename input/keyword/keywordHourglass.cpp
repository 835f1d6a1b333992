// Keyword family *HOURGLASS: the hourglass controls that parts name by their
// hourglass id (HGID), one control per card line: HGID, IHQ, QM, then IBQ,
// Q1, Q2, QB/VDC, QW. A blank or 0 form (IHQ) is form 1 (viscous) and a
// blank or 0 coefficient (QM) is 0.1; a form this version does not compute
// refuses the parts that take it. IBQ is not used by the format. Q1 and Q2
// (bulk viscosity) are taken at their defaults 1.5 and 0.06 (this version
// adds no bulk viscosity) and QB and QW at QM (the shells' bending and
// warping modes take QM): a card that gives other values is refused.
#include <sstream>
#include <string>
#include <vector>

#include "elements/common/hourglasscontrol.h"
#include "elements/common/hourglassControlManager.h"
#include "input/keyword/keywordReader.h"
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
    double ibq = 0.0, q1 = 0.0, q2 = 0.0, qb = 0.0, qw = 0.0;
    readCard(lines, k, control.id, control.type, control.coefficient, ibq, q1, q2, qb, qw);
    if (control.id <= 0) {
      refuse(lineWhereAt(header, static_cast<size_t>(k)) + ": the hourglass id (HGID) " + std::to_string(control.id) +
             " must be a positive number");
      return;
    }
    for (const HourglassControl& other : controls) {
      if (other.id == control.id) {
        refuse(lineWhereAt(header, static_cast<size_t>(k)) + ": two *HOURGLASS cards give the hourglass id " +
               std::to_string(control.id));
        return;
      }
    }
    if (control.type == 0) control.type = 1;
    if (control.coefficient == 0.0) control.coefficient = kDefaultHourglassCoefficient;
    if (!(control.coefficient > 0.0)) {
      refuse(lineWhere(header, lines[static_cast<size_t>(k)]) + ": the hourglass coefficient QM " +
             std::to_string(control.coefficient) + " is below 0");
      return;
    }
    // Q1, Q2 (fields 5, 6) at the bulk viscosity's defaults; QB, QW
    // (fields 7, 8) at QM.
    const struct {
      int field;
      const char* name;
      double value;
      bool stands;
    } fields[] = {{5, "Q1", q1, q1 == 0.0 || q1 == 1.5},
                  {6, "Q2", q2, q2 == 0.0 || q2 == 0.06},
                  {7, "QB", qb, qb == 0.0 || qb == control.coefficient},
                  {8, "QW", qw, qw == 0.0 || qw == control.coefficient}};
    for (const auto& f : fields) {
      if (f.stands) continue;
      std::ostringstream value;
      value << f.value;
      refuse(lineWhere(header, lines[static_cast<size_t>(k)]) + ", field " + std::to_string(f.field) + ": " + f.name +
             " " + value.str() + " asks for " +
             (f.field < 7 ? "bulk viscosity coefficients other than 1.5 and 0.06"
                          : "a coefficient of the shells' bending or warping modes apart from QM") +
             ", which this version does not compute: leave it blank");
      return;
    }
    controls.push_back(control);
  }
}
