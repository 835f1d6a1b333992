// Keyword family *INITIAL_VELOCITY: velocities of a node set, or of single
// nodes (one record per node line of "_NODE"). Every record is built in one
// working record kept for the whole deck, so a velocity a block does not give
// is the one the previous initial-velocity block left. The target is always
// the block's own: a node record names no set and a set record no node, so
// that no record reaches nodes its block did not name.
#include <sstream>

#include "input/keywordReader.h"
#include "solver/femdynamic.h"
#include "solver/initialCondition.h"

void KeywordReader::readInitialVelocity(const std::string& block) {
    const std::vector<std::string> lines = splitDeckLines(block);
    std::vector<InitialCondition>& conditions = *fem_->initial_condition_array;
    InitialCondition& record = velocityRecord_;

    if (blockHeader(block).find("INITIAL_VELOCITY_NODE") != std::string::npos) {
        const size_t end = cardLineEnd(lines);
        for (size_t i = 1; i < end; ++i) {
            std::istringstream stream(lines[i]);
            int nodeId = 0;
            if (!(stream >> nodeId)) {
                warn("*INITIAL_VELOCITY_NODE line \"" + lines[i] + "\" does not start with a node id; the line is skipped");
                continue;
            }
            record.ic_node_id = nodeId;
            record.ic_set_id = 0;
            for (int j = 0; j < 6; ++j) {
                double v = 0.0;
                if (!(stream >> v)) break;
                record.value[j] = v;
            }
            record.type = IC_VELOCITY;
            state_.velocityNodeMap.emplace(static_cast<int>(conditions.size()) + 1, record.ic_node_id);
            conditions.push_back(record);
        }
        return;
    }
    record.ic_node_id = 0;
    readCard(lines, 1, record.ic_set_id, record.ic_card_values);
    readCard(lines, 2, record.value);
    record.type = IC_VELOCITY;
    state_.velocitySetMap.emplace(static_cast<int>(conditions.size()) + 1, record.ic_set_id);
    conditions.push_back(record);
}
