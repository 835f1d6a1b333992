// Keyword family *SET: segment sets become contact surfaces; node, shell and
// part lists, their "_ADD" forms and node sets by option become sets. List
// sets are numbered per type in reading order for the completion.
#include <array>
#include <cstring>
#include <set>
#include <sstream>

#include "contact/surface.h"
#include "contact/surfacemanager.h"
#include "core/segment.h"
#include "core/setManager.h"
#include "input/keywordReader.h"
#include "solver/femdynamic.h"

void KeywordReader::readSegmentSet(const std::string& block) {
    const std::vector<std::string> lines = splitDeckLines(block);
    Surface surface;
    surface.surface_type = 1;
    const int cardLine = firstCardLine(blockHeader(block), lines, &surface.title);
    readCard(lines, cardLine, surface.id, surface.attributes, surface.solver_name);
    ++state_.segmentSetNumber;
    fem_->segment_set_id_map.emplace(surface.id, state_.segmentSetNumber);

    std::set<std::array<int, 4>> seen;
    const size_t end = cardLineEnd(lines);
    for (size_t i = static_cast<size_t>(cardLine) + 1; i < end; ++i) {
        SegmentCuda segment;
        std::memset(static_cast<void*>(&segment), 0, sizeof(SegmentCuda));
        if (lines[i].find_first_not_of(' ') == std::string::npos) continue;
        readFields(dataFields(lines[i], {10}, 8), segment.node_id, segment.attributes);
        if (fields_.problem().any()) return;  // refused after the block, naming the field
        if (segment.node_id[0] == 0 || segment.node_id[1] == 0 || segment.node_id[2] == 0) {
            refuse(lineWhere(blockHeader(block), lines[i]) + ": the segment names fewer than three nodes");
            return;
        }
        const std::array<int, 4> key = {segment.node_id[0], segment.node_id[1], segment.node_id[2],
                                        segment.node_id[3]};
        if (!seen.insert(key).second) continue;
        segment.local_index = static_cast<int>(surface.segment_array.size());
        surface.segment_array.push_back(segment);
    }
    fem_->surfaceManager->surface_array.push_back(surface);
}

void KeywordReader::readSet(const std::string& block) {
    const std::string header = blockHeader(block);
    const std::vector<std::string> lines = splitDeckLines(block);
    const size_t end = cardLineEnd(lines);

    enum class Members { List, AddNode, AddShell, AddPart, General };
    struct SetOption {
        const char* word;
        Members members;
        int type;
        int cardFields;
        int* number;                 // running number of the list form, or null
        std::map<int, int>* numbers;  // its set id -> number map, or null
    };
    const SetOption options[] = {
        {"NODE_LIST", Members::List, 0, 6, &state_.nodeSetNumber, &state_.nodeSetNumberMap},
        {"NODE_ADD", Members::AddNode, 0, 6, nullptr, nullptr},
        {"SHELL_LIST", Members::List, 3, 5, &state_.shellSetNumber, &state_.shellSetNumberMap},
        {"SHELL_ADD", Members::AddShell, 3, 6, nullptr, nullptr},
        {"PART_LIST", Members::List, 2, 6, &state_.partSetNumber, &state_.partSetNumberMap},
        {"PART_ADD", Members::AddPart, 2, 6, nullptr, nullptr},
        {"NODE_GENERAL", Members::General, 0, 6, nullptr, nullptr},
    };

    // The option is the keyword after "*SET_", without "_TITLE".
    // A bare "*SET" has no option: it is an unknown form.
    const std::string bare = withoutTitle(header);
    const std::size_t prefix = std::string("*SET_").size();
    const std::string form = bare.size() > prefix ? bare.substr(prefix) : std::string();
    if (form.find("GENERATE") != std::string::npos) {
        refuseForm(header, "is not read by this version: its members (ranges of ids) would be lost");
        return;
    }
    bool known = false;
    for (const SetOption& option : options) known = known || form == option.word;
    if (!known) {
        unreadBlock(header);
        return;
    }

    Set set;
    std::string fields[8];
    for (const SetOption& option : options) {
        if (form != option.word) continue;
        const bool add = option.members == Members::AddNode || option.members == Members::AddShell ||
                         option.members == Members::AddPart;
        const int cardLine = add ? 1 : firstCardLine(header, lines, &set.name);
        if (option.cardFields == 6) {
            readCard(lines, cardLine, set.id, set.attributes, set.solver_name);
        } else {
            readCard(lines, cardLine, set.id, set.attributes);
        }
        std::vector<int>* list = &set.id_array;
        if (option.members == Members::AddNode) list = &set.add_node_set_ids;
        if (option.members == Members::AddShell) list = &set.add_shell_set_ids;
        if (option.members == Members::AddPart) list = &set.add_part_set_ids;
        if (option.members == Members::General) list = &set.general_values;
        for (size_t i = static_cast<size_t>(cardLine) + 1; i < end; ++i) {
            splitCardFields10(lines, fields, static_cast<int>(i), 8);
            int first = 0;
            if (option.members == Members::General) {
                readField(fields[0], set.general_option);
                first = 1;
            }
            for (int j = first; j < 8; ++j) {
                int value = 0;
                readField(fields[j], value);
                if (value == 0) break;
                list->push_back(value);
            }
        }
        if (option.number != nullptr) {
            ++*option.number;
            option.numbers->emplace(set.id, *option.number);
        }
        set.type = option.type;
        fem_->setManager->addSet(set);
    }
}
