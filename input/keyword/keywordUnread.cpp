// What a keyword block that this version does not act on does to a run. A
// run must never report success on a model from which a block that changes
// the mechanics was left out, so such a block refuses the deck, as does a
// block of an unknown keyword; only blocks that cannot change the mechanics
// (the output-only keywords of knownKeywords.cpp) are named and passed over.
#include <iostream>

#include "input/keyword/keywordReader.h"
#include "input/keyword/knownKeywords.h"

void KeywordReader::unreadBlock(const std::string& keyword) {
  blockNamed_ = true;
  if (const KnownKeyword* entry = outputOnlyKeyword(keyword)) {
    if (CardLineLedger* ledger = CardLineLedger::open()) ledger->takeAll();
    blockHarmless_ = true;
    if (entry->use != KeywordUse::OutputOnlyQuiet && reportedKeywords_.insert(keyword).second) {
      warn("\"" + keyword + "\"" + atLine() + " is not acted on by this version; it asks only for " + entry->what +
           ", so the run goes on without it");
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

void KeywordReader::unknownKeyword(const std::string& keyword) {
  blockNamed_ = true;
  const int line = current_ != nullptr ? current_->firstLine() : 0;
  unknownKeywords_.emplace_back(line, "\"" + keyword + "\" is an unknown keyword (the nearest known keyword is \"" +
                                          nearestKnownKeyword(keyword) + "\")");
}

namespace {

// One line per block, with its deck line when known (0: unknown).
std::string blockList(const std::vector<std::pair<int, std::string>>& blocks) {
  std::string list;
  for (const auto& [line, what] : blocks) {
    list += "\n  " + (line > 0 ? "line " + std::to_string(line) + ": " : std::string()) + what;
  }
  return list;
}

}  // namespace

std::string unreadMechanicsMessage(const std::vector<std::pair<int, std::string>>& blocks) {
  return "these blocks ask for mechanics this version does not compute; a run without them would give other "
         "results:" +
         blockList(blocks);
}

void KeywordReader::refuseUnreadMechanics() {
  if (unreadMechanics_.empty() && unknownKeywords_.empty()) return;
  std::string message;
  if (!unreadMechanics_.empty()) message = unreadMechanicsMessage(unreadMechanics_);
  if (!unknownKeywords_.empty()) {
    message += std::string(message.empty() ? "" : "\n") +
               "these blocks are headed by keywords this version does not know; their cards are not read:" +
               blockList(unknownKeywords_);
  }
  refuse(message);
  unreadMechanics_.clear();
  unknownKeywords_.clear();
}
