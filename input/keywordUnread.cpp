// What a keyword block that this version does not act on does to a run:
// the one rule, in one table. A run must never report success on a model
// from which a block that changes the mechanics was left out, so such a
// block refuses the deck; only blocks that cannot change the mechanics are
// named and passed over.
#include <iostream>

#include "input/keywordReader.h"

namespace {

// Keywords (with all their options) whose blocks cannot change the
// mechanics this program computes: requests for output and databases of
// other programs, titles and comments, settings of output, licensing,
// parallel runs or memory. A block of one of them that this version does not
// act on is named once (quiet ones not at all) and the deck reads on. Every
// other block that it does not act on - constraints, equations of state,
// materials, sections, element forms, loads, boundaries, contacts, control
// cards of the mechanics, masses, airbags - refuses the deck.
constexpr OutputOnlyKeyword kOutputOnlyKeywords[] = {
    {"*TITLE", "a title", true},
    {"*KEYWORD_ID", "a job name", false},
    {"*COMMENT", "a comment", true},
    {"*DATABASE", "output files of another program", false},
    {"*CONTROL_OUTPUT", "settings of output files", false},
    {"*CONTROL_ENERGY", "energy sums for output files", false},
    {"*CONTROL_CPU", "a limit on processor time", false},
    {"*CONTROL_PARALLEL", "settings of a parallel run", false},
    {"*CONTROL_MPP", "settings of a parallel run", false},
    {"*CONTROL_STRUCTURED", "an output file for another program", false},
    {"*CONTROL_COUPLING", "units and flags of a coupling with another program", false},
    {"*CONTROL_IMPLICIT", "settings of an implicit run, which this explicit run does not use", false},
    {"*ELEMENT_SEATBELT_ACCELEROMETER", "an output device, which carries no mass or stiffness", false},
    {"*INTERFACE_SPRINGBACK", "an output file for another program", false},
    // Nothing this version computes can name a solid set or be switched
    // by a sensor (sensor switches and controls refuse the deck).
    {"*SET_SOLID", "a set of solid elements that no card this version computes names", false},
    {"*SENSOR_DEFINE", "a sensor's measurement, which switches nothing this version computes", false},
};

const OutputOnlyKeyword* outputOnly(const std::string& keyword) {
    for (const OutputOnlyKeyword& entry : kOutputOnlyKeywords) {
        if (keywordIs(keyword, entry.keyword)) return &entry;
    }
    return nullptr;
}

}  // namespace

void KeywordReader::unreadBlock(const std::string& keyword) {
    blockNamed_ = true;
    if (const OutputOnlyKeyword* entry = outputOnly(keyword)) {
        if (CardLineLedger* ledger = CardLineLedger::open()) ledger->takeAll();
        blockHarmless_ = true;
        if (!entry->quiet && reportedKeywords_.insert(keyword).second) {
            warn("\"" + keyword + "\"" + atLine() + " is not acted on by this version; it asks only for " +
                 entry->what + ", so the run goes on without it");
        }
        return;
    }
    unreadMechanics(keyword, "");
}

void KeywordReader::unreadMechanics(const std::string& keyword, const std::string& why) {
    blockNamed_ = true;
    const int line = current_ != nullptr ? current_->firstLine() : 0;
    unreadMechanics_.emplace_back(line, "\"" + keyword + "\"" + (why.empty() ? "" : " (" + why + ")"));
}

std::string unreadMechanicsMessage(const std::vector<std::pair<int, std::string>>& blocks) {
    std::string list;
    for (const auto& [line, what] : blocks) {
        list += "\n  " + (line > 0 ? "line " + std::to_string(line) + ": " : std::string()) + what;
    }
    return "these blocks ask for mechanics this version does not compute; a run without them would give other "
           "results:" + list;
}

void KeywordReader::refuseUnreadMechanics() {
    if (unreadMechanics_.empty()) return;
    refuse(unreadMechanicsMessage(unreadMechanics_));
    unreadMechanics_.clear();
}
