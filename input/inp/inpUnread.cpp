// What an ".inp" block that this version does not act on does to a run:
// the one rule of the keyword decks (input/keyword/keywordUnread.cpp), in the one
// table of this reader. Only blocks that cannot change the mechanics are
// named and passed over; every other one refuses the deck.
#include <algorithm>

#include "input/inp/inpReader.h"
#include "input/keyword/keywordReader.h"

namespace {

// Keywords (names in capitals, without blanks) whose blocks cannot change
// the mechanics this program computes: headings and assembly brackets,
// requests for printed or file output of another program, restart and
// monitoring settings, and the thermal data of materials and interactions
// in a run that computes no temperatures. A block of one of them that this
// version does not act on is named once (quiet ones not at all) and the
// deck reads on. Every other block it does not act on - loads, constraints,
// material behaviour, element types, contact settings, later steps -
// refuses the deck.
constexpr OutputOnlyKeyword kOutputOnlyKeywords[] = {
    {"HEADING", "a title", true},
    {"PREPRINT", "printed echo settings", true},
    {"ASSEMBLY", "the start of the assembly", true},
    {"ENDASSEMBLY", "the end of the assembly", true},
    {"ENDPART", "the end of a part", true},
    {"INSTANCE", "an instance that leaves its part where it is", true},
    {"ENDINSTANCE", "the end of an instance", true},
    {"RESTART", "restart files", false},
    {"FILEFORMAT", "the format of result files", false},
    {"NODEPRINT", "printed output", false},
    {"ELPRINT", "printed output", false},
    {"ENERGYPRINT", "printed output", false},
    {"CONTACTPRINT", "printed output", false},
    {"NODEFILE", "output files of another program", false},
    {"ELFILE", "output files of another program", false},
    {"NODEOUTPUT", "output without an *OUTPUT request before it", false},
    {"ELEMENTOUTPUT", "output without an *OUTPUT request before it", false},
    {"TECPLOTOUTPUT", "output without an *OUTPUT request before it", false},
    {"CONTACTOUTPUT", "contact output", false},
    {"ENERGYOUTPUT", "energy output", false},
    {"INTEGRATEDOUTPUT", "integrated output", false},
    {"MONITOR", "a monitored degree of freedom", false},
    {"DIAGNOSTICS", "diagnostic messages", false},
    {"INCREMENTATIONOUTPUT", "output of the time increments", false},
    {"EXPANSION", "thermal expansion, in a run without temperatures", false},
    {"CONDUCTIVITY", "a thermal property, in a run without temperatures", false},
    {"SPECIFICHEAT", "a thermal property, in a run without temperatures", false},
    {"INELASTICHEATFRACTION", "heating by plastic work, in a run without temperatures", false},
    {"GAPCONDUCTANCE", "heat flow across a contact, in a run without temperatures", false},
    {"GAPRADIATION", "heat flow across a contact, in a run without temperatures", false},
    {"GAPHEATGENERATION", "heat from contact friction, in a run without temperatures", false},
};

}  // namespace

void InpReader::unreadBlock(const InpBlock& block) {
  // The end of a part, an instance or the assembly holds no data line:
  // one after it is left to refuse the deck.
  const std::string& name = block.keyword.name;
  if (name != "ENDPART" && name != "ENDINSTANCE" && name != "ENDASSEMBLY") block.lines.takeAll();
  for (const OutputOnlyKeyword& entry : kOutputOnlyKeywords) {
    if (block.keyword.name != entry.keyword) continue;
    if (!entry.quiet && reportedKeywords_.insert(block.keyword.name).second) {
      warn(block.where() + " is not acted on by this version; it asks only for " + entry.what +
           ", so the run goes on without it");
    }
    return;
  }
  unreadMechanics(block, "");
}

void InpReader::unreadMechanics(const InpBlock& block, const std::string& why) {
  block.lines.takeAll();
  unreadMechanics_.emplace_back(block.lineNumber, "*" + block.keyword.name + (why.empty() ? "" : " (" + why + ")"));
}

void InpReader::refuseUnreadMechanics() {
  if (unreadMechanics_.empty()) return;
  refuse(unreadMechanicsMessage(unreadMechanics_));
  unreadMechanics_.clear();
}

void InpReader::refuseUnreadOptions(const InpBlock& block, const std::vector<std::string>& read,
                                    const std::vector<std::string>& passed) {
  for (const auto& [key, value] : block.keyword.options) {
    if (std::find(read.begin(), read.end(), key) != read.end()) continue;
    const std::string option = value.empty() ? key : key + "=" + value;
    if (std::find(passed.begin(), passed.end(), key) == passed.end()) {
      unreadMechanics(block, "the option " + option + " is not acted on by this version");
    } else if (reportedKeywords_.insert(block.keyword.name + "," + key).second) {
      warn(block.where() + ": the option " + option +
           " is not acted on by this version; it cannot change the mechanics, so the run goes on without it");
    }
  }
}
