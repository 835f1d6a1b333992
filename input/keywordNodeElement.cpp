// Keyword families of the mesh: nodes, shells, beams, solids, discrete
// elements, point masses, seat-belt accelerometers and airbags. Nodes and
// elements are numbered in reading order; element node ids become node
// numbers; parts are numbered in the order elements first name them.
#include <cstring>
#include <iostream>
#include <sstream>

#include "core/node.h"
#include "core/nodeManager.h"
#include "elements/elmmanager.h"
#include "input/keywordReader.h"
#include "solver/femdynamic.h"

void KeywordReader::readNodes(const std::string& block) {
    const std::vector<std::string> lines = splitDeckLines(block);
    std::vector<NodeCuda>& nodes = fem_->nodeManager->node_array_cpu;
    for (size_t i = 1; i < lines.size(); ++i) {
        if (lines[i].empty()) break;
        std::istringstream stream(lines[i]);
        int id = 0;
        double x = 0.0, y = 0.0, z = 0.0;
        if (!(stream >> id >> x >> y >> z)) {
            warn("*NODE line \"" + lines[i] + "\" does not read as id, x, y, z; the line is skipped");
            continue;
        }
        NodeCuda node;
        std::memset(static_cast<void*>(&node), 0, sizeof(NodeCuda));
        node.id = id;
        node.store_id = state_.nodeCounter;
        node.coord[0] = x;
        node.coord[1] = y;
        node.coord[2] = z;
        nodes.push_back(node);
        fem_->node_id_map[id] = state_.nodeCounter + 1;
        ++state_.nodeCounter;
    }
}

int KeywordReader::elementNodeNumber(int nodeId, int elementId, const char* family) {
    if (nodeId == 0) return 0;
    const auto found = fem_->node_id_map.find(nodeId);
    if (found != fem_->node_id_map.end()) return found->second;
    refuse(std::string(family) + " " + std::to_string(elementId) + " names node " + std::to_string(nodeId) +
           ", which no *NODE block before it defines");
    return 0;
}

int KeywordReader::elementPartNumber(int deckPartId) {
    const auto found = state_.partNumberMap.find(deckPartId);
    if (found != state_.partNumberMap.end()) return found->second;
    if (state_.partCounter >= kMaxKeywordParts) {
        refuse("the element blocks name more than " + std::to_string(kMaxKeywordParts) + " parts (part id " +
               std::to_string(deckPartId) + ")");
        return 0;
    }
    ++state_.partCounter;
    state_.partNumberMap[deckPartId] = state_.partCounter;
    state_.elementStores.resize(static_cast<size_t>(state_.partCounter));
    return state_.partCounter;
}

int KeywordReader::nextElementIndex() {
    state_.elementNodeLists.emplace_back();
    state_.elementPartMap.push_back(0);
    return state_.elementCounter++;
}

template <class Record>
int KeywordReader::bookElement(Record& element, int deckPartId, int nodeCount, const char* family) {
    ElementNodeList nodeList;
    for (int j = 0; j < nodeCount; ++j) {
        nodeList.deck_node_ids[j] = element.node_id[j];
        element.node_id[j] = elementNodeNumber(element.node_id[j], element.id, family);
    }
    if (refused_) return 0;
    const int partNumber = elementPartNumber(deckPartId);
    if (partNumber == 0) return 0;
    const int index = nextElementIndex();
    element.store_id = index;
    nodeList.element_number = index + 1;
    state_.elementNodeLists[static_cast<size_t>(index)] = nodeList;
    state_.elementPartMap[static_cast<size_t>(index)] = deckPartId;
    fem_->element_id_map[element.id] = index + 1;
    return partNumber;
}

template <class Record>
void KeywordReader::storeElement(Record& element, int deckPartId, int nodeCount, const char* family,
                                 std::vector<Record> ElmManager::*list) {
    const int partNumber = bookElement(element, deckPartId, nodeCount, family);
    if (partNumber > 0) (state_.elementStores[static_cast<size_t>(partNumber - 1)].*list).push_back(element);
}

template <class Item>
void KeywordReader::readElementStream(std::string block, const char* word, const char* family, Item item) {
    cleanDeckBlock(block);
    const size_t at = block.find(word);
    const size_t start = at == std::string::npos ? block.size() : at + std::strlen(word) + 1;
    std::istringstream stream(start < block.size() ? block.substr(start) : std::string());
    int items = 0;
    while (!refused_) {
        stream >> std::ws;
        if (stream.eof()) break;
        if (!item(stream)) {
            warn(std::string(family) + " block: item " + std::to_string(items + 1) +
                 " does not read as numbers; the rest of the block is skipped");
            break;
        }
        ++items;
    }
}

namespace {

template <class Record>
Record zeroRecord() {
    Record record;
    std::memset(static_cast<void*>(&record), 0, sizeof(Record));
    return record;
}

}  // namespace

// Reads a free-format element block: per element its id, its part id and
// nodeCount node ids, appended to the list of its part's element store.
template <class Record, int nodeCount>
void readStreamElements(KeywordReader& reader, const std::string& block, const char* word, const char* family,
                        std::vector<Record> ElmManager::*list) {
    reader.readElementStream(block, word, family, [&](std::istringstream& stream) {
        Record element = zeroRecord<Record>();
        int part = 0;
        stream >> element.id >> part;
        for (int j = 0; j < nodeCount; ++j) stream >> element.node_id[j];
        if (stream.fail()) return false;
        reader.storeElement(element, part, nodeCount, family, list);
        return true;
    });
}

void KeywordReader::readShells(const std::string& block) {
    readStreamElements<ShellElementCuda, 4>(*this, block, "SHELL", "*ELEMENT_SHELL",
                                            &ElmManager::shell_element_array_cpu);
}

void KeywordReader::readSolids(const std::string& block) {
    readStreamElements<SolidElementCuda, 8>(*this, block, "SOLID", "*ELEMENT_SOLID",
                                            &ElmManager::solid_element_array_cpu);
}

void KeywordReader::readDiscretes(const std::string& block) {
    readStreamElements<DiscreteCuda, 2>(*this, block, "DISCRETE", "*ELEMENT_DISCRETE",
                                        &ElmManager::discrete_element_array_cpu);
}

void KeywordReader::readBeams(const std::string& block) {
    const std::vector<std::string> lines = splitDeckLines(block);
    std::string fields[5];
    for (size_t i = 1; i < cardLineEnd(lines) && !refused_; ++i) {
        BeamElementCuda beam = zeroRecord<BeamElementCuda>();
        int part = 0;
        splitCardFields8(lines, fields, static_cast<int>(i), 5);
        readField(fields[0], beam.id);
        readField(fields[1], part);
        for (int j = 0; j < 3; ++j) readField(fields[2 + j], beam.node_id[j]);
        storeElement(beam, part, 3, "*ELEMENT_BEAM", &ElmManager::beam_element_array_cpu);
    }
}

void KeywordReader::readMasses(const std::string& block) {
    const std::vector<std::string> lines = splitDeckLines(block);
    const bool partSet = blockHeader(block).find("PART_SET") != std::string::npos;
    for (size_t i = 1; i < lines.size() && !refused_; ++i) {
        if (lines[i].empty()) break;
        std::istringstream stream(lines[i]);
        PointMass mass;
        if (partSet) {
            stream >> mass.part_set_value1 >> mass.part_set_node >> mass.part_set_value3 >> mass.part_set_value4;
        } else {
            stream >> mass.mass_value1 >> mass.mass_values[0] >> mass.mass_values[1];
        }
        if (stream.fail()) {
            warn("*ELEMENT_MASS line \"" + lines[i] + "\" does not read as numbers; the line is skipped");
            continue;
        }
        if (partSet) mass.part_set_node = elementNodeNumber(mass.part_set_node, mass.part_set_value1, "mass");
        if (refused_) return;
        mass.store_id = nextElementIndex();
        fem_->point_mass_array->push_back(mass);
    }
}

void KeywordReader::readAccelerometers(const std::string& block) {
    readElementStream(block, "ACCELEROMETER", "*ELEMENT_SEATBELT_ACCELEROMETER", [this](std::istringstream& stream) {
        Accelerometer accelerometer;
        stream >> accelerometer.id;
        for (int j = 0; j < 3; ++j) stream >> accelerometer.node_id[j];
        if (stream.fail()) return false;
        for (int j = 0; j < 3; ++j) {
            accelerometer.node_id[j] = elementNodeNumber(accelerometer.node_id[j], accelerometer.id, "accelerometer");
        }
        if (refused_) return true;
        accelerometer.store_id = nextElementIndex();
        fem_->accelerometer_array->push_back(accelerometer);
        return true;
    });
}

void KeywordReader::readAirbag(const std::string& block) {
    const std::vector<std::string> lines = splitDeckLines(block);
    const std::string header = blockHeader(block);
    Airbag airbag;
    if (lines.size() > 1) {
        std::istringstream stream(lines[1]);
        stream >> airbag.id >> airbag.title;
    }
    const bool pressureVolume = header.find("SIMPLE_PRESSURE_VOLUME") != std::string::npos;
    const bool airbagModel = !pressureVolume && header.find("SIMPLE_AIRBAG_MODEL") != std::string::npos;
    if (pressureVolume || airbagModel) {
        std::string fields[8];
        splitCardFields10(lines, fields, 2, 8);
        for (int j = 0; j < 3; ++j) readField(fields[j], airbag.card2_ints[j]);
        for (int j = 0; j < 5; ++j) readField(fields[3 + j], airbag.card2_values[j]);
        if (pressureVolume) {
            splitCardFields10(lines, fields, 3, 4);
            readField(fields[0], airbag.card3_values[0]);
            readField(fields[1], airbag.card3_values[1]);
            readField(fields[2], airbag.card3_int);
            readField(fields[3], airbag.card3_int2);
        } else {
            splitCardFields10(lines, fields, 3, 8);
            for (int j = 0; j < 3; ++j) readField(fields[j], airbag.card3_values[j]);
            readField(fields[3], airbag.card3_int);
            for (int j = 0; j < 4; ++j) readField(fields[4 + j], airbag.card3_values[3 + j]);
        }
    }
    fem_->airbag_array->push_back(airbag);
}
