#include "output/tecplotOutput.h"

#include <cstdio>
#include <iostream>

#include "core/node.h"
#include "core/nodeManager.h"
#include "core/part.h"
#include "core/repeatedMessage.h"
#include "elements/common/elmmanager.h"
#include "output/numberText.h"
#include "output/outputManager.h"
#include "output/outputModel.h"

namespace {

// Stored-id positions (1-based) of a connectivity line of the given length
// (2 line, 4 quadrilateral, 8 brick) for an element of nodeCount nodes; null
// for a node count the format cannot hold.
const int* cornerPositions(int corners, int nodeCount) {
  static const int line[2] = {1, 2};
  static const int quad[4] = {1, 2, 3, 4};
  static const int triangle[4] = {1, 2, 3, 3};
  static const int hexa[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  static const int wedge[8] = {1, 2, 3, 3, 4, 5, 6, 6};
  static const int tetra[8] = {1, 2, 3, 3, 4, 4, 4, 4};
  switch (corners) {
    case 2:
      return nodeCount == 2 || nodeCount == 3 ? line : nullptr;
    case 4:
      return nodeCount == 3 ? triangle : (nodeCount == 4 ? quad : nullptr);
    default:
      switch (nodeCount) {
        case 8:
        case 20:
          return hexa;
        case 6:
        case 15:
          return wedge;
        case 4:
        case 10:
          return tetra;
        default:
          return nullptr;
      }
  }
}

// Appends the elements of one family to a zone; an element whose node count
// has no Tecplot shape, or that names a node outside the model, is left out
// with a message.
template <typename Record>
void addElements(TecplotZone& zone, const std::vector<Record>& records, int nodeCount) {
  for (const Record& record : records) {
    const int* positions = cornerPositions(zone.cornersPerElement, record.node_num);
    bool usable = positions != nullptr;
    for (int k = 0; usable && k < zone.cornersPerElement; ++k) {
      const int id = record.node_id[positions[k] - 1];
      usable = id >= 1 && id <= nodeCount;
    }
    if (!usable) {
      if (countRepeated(REPEATED_TECPLOT_ELEMENT, record.id)) {
        std::printf("Tecplot output: element %d (%d nodes) cannot be written as %s; it is left out\n", record.id,
                    record.node_num, zone.elementType.c_str());
      }
      continue;
    }
    for (int k = 0; k < zone.cornersPerElement; ++k) {
      zone.connectivity.push_back(record.node_id[positions[k] - 1]);
    }
  }
}

// The zone shapes of a part, in the order they are written.
const struct {
  const char* name;
  int corners;
} kZoneShapes[] = {{"lineseg", 2}, {"quadrilateral", 4}, {"brick", 8}};

void addZone(std::vector<TecplotZone>& zones, TecplotZone zone) {
  if (!zone.connectivity.empty()) {
    zones.push_back(std::move(zone));
  }
}

// Values each followed by a TAB.
char* putValues(char* at, const double* v, int count) {
  for (int j = 0; j < count; ++j) {
    at = putGeneral(at, v[j]);
    *at++ = '\t';
  }
  return at;
}

}  // namespace

void TecplotOutput::init(OutputModel* fem) {
  outputPath_ = workFolderOf(fem);
  ensureOutputFolder(outputPath_);
  const int nodeCount = static_cast<int>(fem->nodeManager->node_array_cpu.size());
  zones_.clear();
  for (std::size_t p = 0; p < fem->part_array.size() && p < fem->elm_manager_array.size(); ++p) {
    // A zone per shape the format holds, with the families the family table
    // writes in it.
    for (const auto& [name, corners] : kZoneShapes) {
      TecplotZone zone{name, corners, {}};
      fem->elm_manager_array[p].forEachFamily([&](auto tag, const auto& records) {
        if (decltype(tag)::row.tecplotCorners == zone.cornersPerElement) addElements(zone, records, nodeCount);
      });
      addZone(zones_, std::move(zone));
    }
  }
  if (zones_.empty()) {
    std::printf("Tecplot output: the model has no element the format can hold; no Tecplot file is written\n");
  }
}

void TecplotOutput::collect(OutputModel* fem, double time, double dt) {
  if (!isOutputPoint(time, dt) && !atStartOrEnd(time, dt)) {
    return;
  }
  if (fem->host_path_flag != 0) {
    if ((stressFlag_ || strainFlag_) && !hostStressNoted_) {
      hostStressNoted_ = true;
      std::printf(
          "Tecplot output: the host run does not average element stresses and strains into the "
          "nodes; those columns hold zeros\n");
    }
    return;
  }
  NodalResults& results = fem->outputManager->nodalResults;
  if (stressFlag_ || strainFlag_) {
    results.average(fem, time);
  }
  results.copyToHost(fem, time, fieldFileNodeFields(dispFlag_, velFlag_, accFlag_, stressFlag_ || strainFlag_));
}

int TecplotOutput::variableCount() const {
  return 3 + 3 * (dispFlag_ + velFlag_ + accFlag_) + 6 * (stressFlag_ + strainFlag_);
}

void TecplotOutput::formatNodeLines(const NodeColumns& nodes) {
  const std::size_t lineRoom = static_cast<std::size_t>(variableCount()) * (kNumberTextRoom + 1) + 1;
  nodeLines_.format(nodes.count, lineRoom, [this, &nodes](char* at, std::size_t i) {
    at = putValues(at, nodes.coord.of(i), 3);
    if (dispFlag_) at = putValues(at, nodes.disp.of(i), 3);
    if (velFlag_) at = putValues(at, nodes.vel.of(i), 3);
    if (accFlag_) at = putValues(at, nodes.accel.of(i), 3);
    if (stressFlag_) at = putValues(at, nodes.stress.of(i), 6);
    if (strainFlag_) at = putValues(at, nodes.strain.of(i), 6);
    *at++ = '\n';
    return at;
  });
}

void TecplotOutput::writeBlock(std::ostream& os, double time, const std::vector<NodeCuda>& nodes, int sharedZone) {
  formatNodeLines(NodeColumns::ofRecords(nodes));
  writeBlock(os, time, nodes.size(), sharedZone);
}

void TecplotOutput::writeBlock(std::ostream& os, double time, std::size_t nodeCount, int sharedZone) const {
  if (zones_.empty()) {
    return;
  }
  os << "variables=\"x\",\"y\",\"z\"";
  if (dispFlag_) os << ",\"dx\" ,\"dy\" ,\"dz\"";
  if (velFlag_) os << ",\"vx\" ,\"vy\" ,\"vz\"";
  if (accFlag_) os << ",\"ax\" ,\"ay\" ,\"az\"";
  if (stressFlag_) os << ",\"sts_x\" ,\"sts_y\" ,\"sts_z\",\"sts_xy\" ,\"sts_yz\" ,\"sts_zx\"";
  if (strainFlag_) os << ",\"str_x\" ,\"str_y\" ,\"str_z\",\"str_xy\" ,\"str_yz\" ,\"str_zx\"";
  os << '\n';

  std::string shareList = "[";
  for (int v = 1; v <= variableCount(); ++v) {
    if (v > 1) shareList += ',';
    shareList += std::to_string(v);
  }
  shareList += "]";

  for (std::size_t z = 0; z < zones_.size(); ++z) {
    const TecplotZone& zone = zones_[z];
    if (z == 0) {
      os << "zone t=\"zone " << time << "\",n=" << nodeCount << ",e =" << zone.elementCount()
         << ",f=fepoint,et=" << zone.elementType << '\n';
      for (std::size_t b = 0; b < nodeLines_.size(); ++b) {
        os.write(nodeLines_[b].data(), static_cast<std::streamsize>(nodeLines_[b].size()));
      }
    } else {
      os << "zone t=\"zone" << time << "\",n=" << nodeCount << ",e=" << zone.elementCount()
         << ",f=fepoint,et=" << zone.elementType << ",VARSHARELIST =(" << shareList << "=" << sharedZone << ")" << '\n';
    }
    for (std::size_t at = 0; at < zone.connectivity.size(); at += static_cast<std::size_t>(zone.cornersPerElement)) {
      for (int k = 0; k < zone.cornersPerElement; ++k) {
        os << zone.connectivity[at + static_cast<std::size_t>(k)] << "\t";
      }
      os << '\n';
    }
  }
}

void TecplotOutput::write(OutputModel* fem, double time, double dt) {
  const bool result = isOutputPoint(time, dt), single = atStartOrEnd(time, dt);
  if (!result && !single) {
    return;
  }
  const NodeColumns nodes = fem->outputManager->nodalResults.nodes(fem);
  formatNodeLines(nodes);
  if (result) {
    outputCount_ += 1;
    std::cout << "NSTEP = " << (outputCount_ - 1) << "\t" << fem->cycle << "\t" << std::scientific << time
              << std::defaultfloat << "\t" << localTimeStamp() << "\n";
    openRunFile(resultStream_, outputPath_ + "/result.plt");
    // Zones are numbered through the file; this block's first zone
    // holds the node data its other zones share.
    const int sharedZone = (outputCount_ - 1) * static_cast<int>(zones_.size()) + 1;
    writeBlock(resultStream_, time, nodes.count, sharedZone);
    resultStream_.close();
    resultStream_.clear();
  }
  if (single) {
    // The time loops visit cycle 0 twice (at time 0 and one step later):
    // the first write of the run is the start state, all later ones the end.
    CheckedFile file(outputPath_ + (startWritten_ ? "/end.plt" : "/start.plt"), FileMode::Replace);
    startWritten_ = true;
    writeBlock(file, time, nodes.count, 1);
  }
}
