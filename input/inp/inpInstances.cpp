// Instances of ".inp" assemblies. A part placed once by an instance that does
// not move it is the model's part itself, so a name the assembly qualifies
// by that instance ("Part-1-1.Set-1", "Part-1-1.5") names the part's own set,
// surface or node.
#include <boost/algorithm/string.hpp>

#include "input/inp/inpReader.h"

namespace {

// The name without the prefix "<instance>." of one of the instances.
void unqualify(std::string& name, const std::set<std::string>& instances) {
  const size_t dot = name.find('.');
  if (dot == std::string::npos || dot == 0) return;
  if (instances.count(boost::to_upper_copy(name.substr(0, dot))) != 0) name.erase(0, dot + 1);
}

}  // namespace

void InpReader::readInstances(std::vector<InpBlock>& blocks) {
  std::set<std::string> instances;
  std::map<std::string, std::string> instanceOfPart;
  for (const InpBlock& block : blocks) {
    if (block.keyword.name != "INSTANCE" || !block.lines.empty()) continue;  // a moved one is refused
    const std::string name = block.keyword.option("NAME");
    const std::string part = block.keyword.option("PART");
    const auto [first, isNew] = instanceOfPart.emplace(part, name);
    if (!isNew) {
      refuse(block.where() + ": the instance " + name + " places the part " + part + " a second time (after " +
             first->second + "); a part placed twice is not read by this version");
    }
    instances.insert(name);
  }
  if (instances.empty()) return;
  for (InpBlock& block : blocks) {
    for (auto& [key, value] : block.keyword.options) {
      if (key != "INPUT") unqualify(value, instances);
    }
    for (std::vector<std::string>& line : block.lines.editLines()) {
      for (std::string& field : line) unqualify(field, instances);
    }
  }
}
