// The ".inp" block loop: keyword recognition by name, steps, refused and
// unread keywords; then the hand-over to the keyword-deck card families.
#include "input/inpReader.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>

#include "input/keywordReader.h"
#include "input/preprocessModel.h"
#include "solver/femdynamic.h"
#include "solver/timeControl.h"

bool inpNumber(const std::string& field, double& value) {
    if (field.empty()) return false;
    const char* begin = field.c_str();
    char* end = nullptr;
    errno = 0;
    const double read = std::strtod(begin, &end);
    if (end == begin || *end != '\0' || errno == ERANGE || !std::isfinite(read)) return false;
    value = read;
    return true;
}

bool inpInteger(const std::string& field, int& value) {
    double read = 0.0;
    // The range first: converting a double beyond it to an integer is undefined.
    if (!inpNumber(field, read) || read > 2147483647.0 || read < -2147483648.0 || read != std::trunc(read)) {
        return false;
    }
    value = static_cast<int>(read);
    return true;
}

void InpReader::refuse(const std::string& message) {
    std::cerr << "Inp deck refused: " << message << std::endl;
    refused_ = true;
}

void InpReader::warn(const std::string& message) { std::cerr << "Inp deck: " << message << std::endl; }

void InpReader::warnUnreadOptions(const InpBlock& block, const std::vector<std::string>& read) {
    for (const auto& [key, value] : block.keyword.options) {
        bool known = false;
        for (const std::string& name : read) known = known || key == name;
        if (!known) {
            warn(block.where() + ": the option " + key + " is not read by this version");
        }
    }
}

namespace {

// Keywords whose blocks are nothing but their data lines: without a line
// the block would define nothing, as when a deck was cut short.
const std::set<std::string> kDataLineKeywords = {
    "NODE",    "ELEMENT", "NSET",    "ELSET",        "BOUNDARY",        "INITIALCONDITIONS", "DSLOAD",
    "TIE",     "MPC",     "SURFACE", "CONTACTPAIR",  "CONTACTINCLUSIONS", "CONTACTPROPERTYASSIGNMENT",
    "DENSITY", "ELASTIC", "PLASTIC", "FRICTION",     "DYNAMIC",         "SHELLSECTION",      "MEMBRANESECTION"};

}  // namespace

bool InpReader::hasDataLines(const InpBlock& block) {
    if (!block.lines.empty() || kDataLineKeywords.count(block.keyword.name) == 0) return true;
    // Inclusions of ALL EXTERIOR and ROUGH friction need no line.
    if (block.keyword.name == "CONTACTINCLUSIONS" && block.keyword.has("ALLEXTERIOR")) return true;
    if (block.keyword.name == "FRICTION" && block.keyword.has("ROUGH")) return true;
    refuse(block.where() + " has no data line; the deck seems cut short");
    return false;
}

bool InpReader::readBlocks(const std::vector<InpBlock>& blocks) {
    for (size_t i = 0; i < blocks.size(); ++i) {
        const InpBlock& block = blocks[i];
        const std::string& name = block.keyword.name;
        const std::string where = block.where();
        if (!hasDataLines(block)) continue;
        if (name == "STEP") {
            ++stepCount_;
            if (stepCount_ > 1) {
                unreadMechanics(block, "only the first step is run: the loads, boundaries and time of this step "
                                       "would be left out");
                while (i + 1 < blocks.size() && blocks[i].keyword.name != "ENDSTEP") ++i;
            }
            inStep_ = true;
        } else if (name == "ENDSTEP") {
            inStep_ = false;
        } else if (name == "NODE") {
            readNodes(block);
        } else if (name == "SYSTEM") {
            readSystem(block);
        } else if (name == "ELEMENT") {
            readElements(block);
        } else if (name == "NSET") {
            readNodeSet(block);
        } else if (name == "ELSET") {
            readElementSet(block);
        } else if (name == "SOLIDSECTION" || name == "SHELLSECTION" || name == "MEMBRANESECTION") {
            readSection(block);
        } else if (name == "SECTIONCONTROLS") {
            readSectionControls(block);
        } else if (name == "RIGIDBODY") {
            readRigidBody(block);
        } else if (name == "MATERIAL") {
            i = readMaterial(blocks, i);
        } else if (name == "AMPLITUDE") {
            readAmplitude(block);
        } else if (name == "BOUNDARY") {
            readBoundary(block);
        } else if (name == "INITIALCONDITIONS") {
            readInitialConditions(block);
        } else if (name == "DYNAMIC") {
            readDynamic(block);
        } else if (name == "SURFACE") {
            readSurface(block);
        } else if (name == "CONTACTPAIR") {
            readContactPair(block);
        } else if (name == "CONTACT") {
            i = readContact(blocks, i);
        } else if (name == "SURFACEINTERACTION") {
            i = readSurfaceInteraction(blocks, i);
        } else if (name == "TIE") {
            readTie(block);
        } else if (name == "MPC") {
            readMpc(block);
        } else if (name == "DSLOAD") {
            readDsload(block);
        } else if (name == "OUTPUT") {
            i = readOutput(blocks, i);
        } else if (name == "PART") {
            currentPartName_ = block.keyword.option("NAME");
        } else if (name == "INSTANCE" && !block.lines.empty()) {
            refuse(where + ": the instance " + block.keyword.option("NAME") +
                   " moves its part (translation or rotation lines), which this version does not read");
        } else if (name == "INCLUDE") {
            refuse(where + ": included files are not read by this version: \"" + block.keyword.option("INPUT") +
                   "\"; merge it into the deck");
        } else {
            unreadBlock(block);
        }
        if (name == "ENDPART") currentPartName_.clear();
    }
    refuseUnreadMechanics();
    return !refused_;
}

namespace {

// Hands the translated blocks to the keyword card families and completes
// the model as for a keyword deck.
int completeThroughKeywordFamilies(FEMDynamic* fem, const std::vector<std::string>& blocks) {
    KeywordDeckState state;
    KeywordReader reader(fem, state);
    if (!reader.readBlocks(blocks)) return 0;
    return completeKeywordDeck(fem, state) ? 1 : 0;
}

}  // namespace

int readInpText(FEMDynamic* fem, const std::string& text, const std::string& deckName) {
    InpModel model;
    InpReader reader(model);
    std::vector<InpBlock> blocks = cutInpBlocks(text);
    reader.readInstances(blocks);
    const bool read = reader.readBlocks(blocks);
    if (!read || !reader.resolve()) {
        std::cerr << "Inp deck refused: " << deckName << " is not run (see the messages above)" << std::endl;
        return 0;
    }
    InpTranslation ids;
    if (completeThroughKeywordFamilies(fem, translateInpModel(model, ids)) == 0) return 0;
    finishInpModel(model, ids, fem);
    completeInpElements(model, fem);
    if (!applyInpSmoothFem(model, fem)) return 0;
    completeInpMaterials(model, fem);
    addInpOutputs(model, fem);
    applyInpOutputInterval(model, fem);
    return 1;
}

void applyInpOutputInterval(const InpModel& model, FEMDynamic* fem) {
    double interval = model.outputInterval;
    if (interval <= 0.0 && model.outputCount > 0) interval = model.endTime / model.outputCount;
    if (interval > 0.0 && fem->timeControl->output_interval < 1e-10) fem->timeControl->output_interval = interval;
}

int readInpDeck(FEMDynamic* fem, const std::string& deckPath) {
    std::ifstream deck(deckPath, std::ios::binary);
    if (!deck.is_open()) {
        std::cerr << "Inp deck refused: cannot open the deck \"" << deckPath << "\"" << std::endl;
        return 0;
    }
    std::ostringstream text;
    text << deck.rdbuf();
    if (deck.bad()) {
        std::cerr << "Inp deck refused: error while reading the deck \"" << deckPath << "\"" << std::endl;
        return 0;
    }
    return readInpText(fem, text.str(), deckPath);
}
