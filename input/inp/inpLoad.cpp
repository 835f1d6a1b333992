// ".inp" two-node constraints (*MPC) and pressures on surfaces (*DSLOAD).
#include "input/inp/inpReader.h"

// Each line: a type and two node numbers. BEAM and TIE join the second node
// to the first as a rigid weld (first node the master); other types
// constrain only some components, which a weld would overstate.
void InpReader::readMpc(const InpBlock& block) {
  refuseUnreadOptions(block, {});
  for (const std::vector<std::string>& line : block.lines) {
    const std::string type = inpUpper(line[0]);
    InpModel::Weld weld;
    weld.lineNumber = block.lineNumber;
    if (type != "BEAM" && type != "TIE") {
      refuse(block.where() + ": the constraint type " + type + " is not read by this version (BEAM or TIE)");
      return;
    }
    if (line.size() != 3 || !inpInteger(line[1], weld.first) || !inpInteger(line[2], weld.second) ||
        weld.first == weld.second) {
      refuse(block.where() + ": the line \"" + line[0] + ", ...\" must give the type and two different node numbers");
      return;
    }
    model_.welds.push_back(weld);
  }
}

// Each line: a surface, the load type P and the pressure, which pushes into
// the surface; with AMPLITUDE the pressure follows it, else it is constant.
void InpReader::readDsload(const InpBlock& block) {
  refuseUnreadOptions(block, {"AMPLITUDE", "OP"});
  const std::string op = block.keyword.choice("OP");
  if (!op.empty() && op != "MOD") {
    refuse(block.where() + ": OP=" + op + " is not read by this version (loads of earlier steps are not kept)");
    return;
  }
  for (const std::vector<std::string>& line : block.lines) {
    InpModel::Pressure pressure;
    pressure.surface = inpUpper(line[0]);
    pressure.amplitude = block.keyword.option("AMPLITUDE");
    pressure.lineNumber = block.lineNumber;
    if (line.size() != 3 || pressure.surface.empty() || !inpNumber(line[2], pressure.magnitude)) {
      refuse(block.where() + ": the line \"" + line[0] + ", ...\" must give a surface, P and the pressure");
      return;
    }
    if (inpUpper(line[1]) != "P") {
      refuse(block.where() + ": the load type " + inpUpper(line[1]) + " is not read by this version (P only)");
      return;
    }
    model_.pressures.push_back(pressure);
  }
}
