// The one solver object of a run: run counters, deck and work-path names,
// the parts with their element stores, and one owned pointer to each of the
// 36 managers through which every subsystem reaches the model. It also runs
// the three set-up passes that prepare the model before stepping.
#pragma once
#include <map>
#include <string>
#include <vector>

#include "solver/keywordRecords.h"
#include "solver/databaseRecords.h"

class NodeManager;
class ContactNodeManager;
class PairManager;
class SurfaceManager;
class MaterialManager;
class SectionManager;
class CurveManager;
class RigidWall;
class SetManager;
class BoundaryManager;
class LoadManager;
class ConstrainedManager;
class InitialCondition;
class TimeControl;
class RigidManager;
class ElementControl;
class HourglassControlManager;
class TieManager;
class IntegratPointManager;
class SmoothFemManager;
class OutputManager;
class RigidExtraNodeManager;
class MultiGpuManager;
class ContactManager;
class UnifiedContact;
class Part;
class ElmManager;
struct GlobalSearchRecord;

// Number of manager pointers of the solver object: the 33 slots of the
// manager table, the GPU selection, the contact manager and the unified
// contact.
constexpr int kFemManagerCount = 36;

class FEMDynamic {
 public:
  int cycle = 0;                              // cycle count of the time loop
  double dt = 0.0;                            // current time step
  double prev_dt = 0.0;                       // time step of the cycle before
  double time = 0.0;                          // simulation time
  std::string input_file;                     // deck path
  std::string work_path;                      // work directory (output root)
  int host_path_flag = 0;                     // 1: host-only loop, 0: GPU loop
  std::vector<Part> part_array;               // parts in reader order
  std::vector<ElmManager> elm_manager_array;  // one per part, same order

  // Manager table, slots 0 to 32.
  NodeManager* nodeManager = nullptr;                                // 0
  ContactNodeManager* contactNodeManager = nullptr;                  // 1
  PairManager* pairManager = nullptr;                                // 2
  SurfaceManager* surfaceManager = nullptr;                          // 3
  MaterialManager* materialManager = nullptr;                        // 4
  SectionManager* sectionManager = nullptr;                          // 5
  CurveManager* curveManager = nullptr;                              // 6
  TableManager* tableManager = nullptr;                              // 7  "DEFINE_TABLE"
  std::vector<CoordinateNodes>* coordinate_nodes_array = nullptr;    // 8
  std::vector<Transformation>* transformation_array = nullptr;       // 9
  std::vector<IncludeTransform>* include_transform_array = nullptr;  // 10
  std::vector<RigidWall>* rigid_wall_array = nullptr;                // 11
  std::vector<HistoryNodeCard>* history_node_array = nullptr;        // 12
  std::vector<Airbag>* airbag_array = nullptr;                       // 13
  std::vector<PointMass>* point_mass_array = nullptr;                // 14
  std::vector<Accelerometer>* accelerometer_array = nullptr;         // 15
  BoxManager* boxManager = nullptr;                                  // 16
  ControlOptions* controlOptions = nullptr;                          // 17
  std::vector<DatabaseCard>* database_array = nullptr;               // 18
  SetManager* setManager = nullptr;                                  // 19
  BoundaryManager* boundaryManager = nullptr;                        // 20
  LoadManager* loadManager = nullptr;                                // 21
  ConstrainedManager* constrainedManager = nullptr;                  // 22
  std::vector<InitialCondition>* initial_condition_array = nullptr;  // 23
  TimeControl* timeControl = nullptr;                                // 24
  RigidManager* rigidManager = nullptr;                              // 25
  ElementControl* elementControl = nullptr;                          // 26
  HourglassControlManager* hourglassControlManager = nullptr;        // 27
  TieManager* tieManager = nullptr;                                  // 28
  IntegratPointManager* integratPointManager = nullptr;              // 29
  SmoothFemManager* smoothFemManager = nullptr;                      // 30
  OutputManager* outputManager = nullptr;                            // 31
  RigidExtraNodeManager* rigidExtraNodeManager = nullptr;            // 32

  // Id maps of the deck readers.
  std::map<int, int> node_id_map;         // deck node id -> node number
  std::map<int, int> element_id_map;      // deck element id -> element number
  std::map<int, int> part_id_map;         // deck part id -> internal part id
  std::map<int, int> segment_set_id_map;  // deck segment-set id -> surface id

  MultiGpuManager* multiGpuManager = nullptr;
  ContactManager* contactManager = nullptr;
  UnifiedContact* unifiedContact = nullptr;
  // Record of the host-path global contact search; no set-up step creates
  // it, so the host contact search must make one before it reads it.
  GlobalSearchRecord* global_search_record = nullptr;

  // Optional trace of the set-up passes: when set, every step of the passes
  // appends "Class::operation" before it runs.
  std::vector<std::string>* setupTrace = nullptr;
  // Optional clock of the same steps: when set, every step appends the wall
  // clock in milliseconds as it starts (for measuring the passes).
  std::vector<double>* setupTraceClock = nullptr;
  // Wall time of the time loop's cycles in milliseconds, set when a loop
  // ends (its set-up, first step and start state not counted).
  double loop_ms = 0.0;

  FEMDynamic();
  ~FEMDynamic();
  FEMDynamic(const FEMDynamic&) = delete;
  FEMDynamic& operator=(const FEMDynamic&) = delete;

  // Creates every manager once, in the fixed order, and zeroes the records
  // that have no constructor of their own.
  void newManagers();
  // Destroys every manager (the managers free their device arrays).
  void deleteManagers();

  // Host set-up pass (both loops).
  bool initialComputeCpu();
  // Upload pass (GPU loop), for the first listed GPU.
  void allocateAndCopySingleGpu();
  // Device set-up pass (GPU loop).
  bool initialComputeSingleGpu();
  // Segment and node contact penalty stiffness from the element faces.
  void calSegmentPenaltyStiffness(double scale);
  // Slave nodes take their velocities from their masters, once a cycle after
  // the velocity update (both loops): tied slaves, massless in the update,
  // from their segments, then weld and joint slaves from their masters (the
  // reverse of the order in which their forces went to the masters).
  void slavesFollowMastersGpu();
  void slavesFollowMastersCpu();

 private:
  void traceStep(const char* step);
};

// The deck's id of a node number, for messages; the number itself when the
// deck gave no map (models built in memory).
int deckNodeId(const FEMDynamic& fem, int nodeNumber);
