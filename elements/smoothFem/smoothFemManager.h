// Owner of the smoothed finite-element domains of parts whose section asks
// for a smoothed-FEM kind: two set-up passes dispatched by kind, upload to
// the device with the node links, and the host twin of the domain forces.
#pragma once
#include <map>
#include <memory>
#include <vector>

#include "core/orderedShares.h"
#include "elements/smoothFem/smoothFem.h"
#include "elements/smoothFem/smoothFemGeometry.h"

class Part;
class NodeManager;
class MaterialManager;
struct Section;
struct HourglassControl;

class SmoothFemManager {
 public:
  std::vector<SmoothFEM> smoothFemArrayCpu_;  // all kinds and parts, each part's records together
  SmoothFEM* smoothFemArrayGpu_ = nullptr;
  int smoothFemNumber_ = 0;

  // First record and record count of one smoothed-FEM part, so that every
  // part's second pass writes its own records.
  struct PartDomains {
    int partId = 0;
    int first = 0;
    int count = 0;
    int kind = SFEM_NONE;
  };
  std::vector<PartDomains> partDomains_;

  SmoothFemManager() = default;
  SmoothFemManager(const SmoothFemManager&) = delete;
  SmoothFemManager& operator=(const SmoothFemManager&) = delete;
  ~SmoothFemManager();

  // Pass 1: records of every smoothed-FEM part, with their support counts.
  void createSmoothDomains(const std::vector<Part>& parts);
  // Pass 2 (after the integration points exist): derivatives, volumes and
  // node lists of every record, from the part meshes pass 1 gathered.
  void computeSmoothDomains(const std::vector<Part>& parts);
  void allocateGpu();
  // Gives every record its first share slot, uploads the records, links
  // them to the device nodes and builds the force shares.
  void copySmoothFemToGpu(NodeManager* nodeManager);
  // GPU loop: every domain's force into its support nodes' force
  // accumulators, each node's shares added in domain order.
  void addForcesGpu(MaterialNew** materials, Section* sections, HourglassControl* hourglass, double dt);
  // Output: every domain's stress, strain and a weight of 1 added into its
  // support nodes' sums, each node's shares in domain order.
  void addNodeStressStrainGpu(Section* sections);
  // The domains as their common element part, for numbering their points.
  std::vector<Element*> smoothDomains();
  // Host loop: every domain's force into its nodes.
  void computeForcesCpu(MaterialManager* materials, double dt);
  // Stable step 2 / omega_max of the small-strain stiffness of the
  // cell-based and six-point domains with the nodal masses (call after they
  // are computed); 0 when there are none.  Six-point records are stiffer
  // than the tetrahedra whose steps the run takes; edge- and node-based
  // domains average their tetrahedra's strains, so their strain energy, and
  // their highest frequency, stays below that of the tetrahedra.
  double computeStableStep(MaterialManager* materials);
  // The time step a loop may take: candidate, lowered to safeFactor times
  // the domains' stable step.
  double limitStep(double candidate, double safeFactor) const {
    return stableStep_ > 0.0 && safeFactor * stableStep_ < candidate ? safeFactor * stableStep_ : candidate;
  }
  double stableStep_ = 0.0;

  // Appends count records of the part (kind, ids, support count each) and
  // returns the index of the first.
  int appendRecords(const Part& part, SmoothFEMType kind, const std::vector<int>& supportCounts);
  // The records of the part, or null when it built none.
  const PartDomains* domainsOf(int partId) const;

 private:
  // The mesh of a part for a kind, gathered on first use and kept until
  // pass 2 is done.
  const sfem::PartMesh& partMesh(const Part& part, int kind);
  std::map<int, sfem::PartMesh> partMeshes_;  // by part id
  std::vector<std::unique_ptr<int[]>> idStore_;
  std::vector<std::unique_ptr<NodeCuda*[]>> nodeStore_;
  std::vector<void*> deviceStore_;  // per-record device node arrays
  // One slot per support node of every domain (record after record); the
  // stress shares are built at the first output that asks for them.
  OrderedShares forceShares_;
  OrderedShares stressShares_;  // stress then strain, twelve per slot
  OrderedShares weightShares_;
  NodeCuda* deviceNodes_ = nullptr;
  // Per slot, the device address of a value of the slot's node.
  template <class Field>
  std::vector<double*> slotTargets(Field field) const;
};
