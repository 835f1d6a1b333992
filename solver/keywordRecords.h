// Records of keyword-deck cards that the solver keeps as read: control
// options, tables, boxes, coordinate systems by nodes, transformations,
// include transforms, point masses, accelerometers and airbags. Only the
// keyword reader fills them; FEMDynamic holds the lists.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// *CONTROL_CONTACT: six cards, fields in card order.
struct ContactControl {
  double card1_value1 = 0.0;  // SLSFAC
  double card1_value2 = 0.0;  // RWPNAL
  int32_t card1_values[6] = {};
  int32_t card2_values[4] = {};
  double card2_value5 = 0.0;
  int32_t card2_flags[3] = {};
  double card3_values[7] = {};
  int32_t card4_values[6] = {};
  double card4_value7 = 0.0;
  int32_t card5_values[3] = {};
  double card5_doubles[2] = {};
  int32_t card5_value6 = 0;
  double card5_value7 = 0.0;
  int32_t card5_value8 = 0;
  int32_t card6_values[5] = {};
  int32_t card6_unused = 0;
  double card6_value7 = 0.0;
  int32_t card6_value8 = 0;
};

// *CONTROL_SHELL card 1.
struct ShellControl {
  double value1 = 0.0;
  int32_t flags[7] = {};
};

// *CONTROL_SOLID: a leading value that no card fills, card 1 and card 2.
struct SolidControl {
  int32_t unused = 0;
  int32_t card1_values[5] = {};
  int32_t card2_values[10] = {};
};

// *CONTROL_OUTPUT card 1 and the first value of card 2.
struct OutputControl {
  int32_t card1_values[4] = {};
  double card1_value5 = 0.0;
  int32_t card1_flags[3] = {};
  int32_t card2_value1 = 0;
};

struct EnergyControl {
  int32_t values[4] = {};
};

struct AccuracyControl {
  int32_t values[2] = {};
};

struct ParallelControl {
  int32_t values[4] = {};
};

struct CouplingControl {
  double values[4] = {};
  int32_t flags[4] = {};
};

// Every *CONTROL option other than termination, time step and hourglass;
// each block of an option appends one entry.
struct ControlOptions {
  std::vector<ContactControl> contact_control;
  std::vector<ShellControl> shell_control;
  std::vector<SolidControl> solid_control;
  std::vector<OutputControl> output_control;
  std::vector<EnergyControl> energy_control;
  std::vector<AccuracyControl> accuracy_control;
  std::vector<double> cpu_control;
  std::vector<ParallelControl> parallel_control;
  std::vector<CouplingControl> coupling_control;
};

// *DEFINE_TABLE: points without a count; slots past the last point stay 0.
struct CurveTable {
  std::string title;
  double x[128] = {};
  double y[128] = {};
  int32_t table_id = 0;
  double table_value1 = 0.0;
  double table_value2 = 0.0;
};

struct TableManager {
  std::vector<CurveTable> table_array;
  int32_t table_num = 0;
};

// *DEFINE_BOX.
struct DefineBox {
  int32_t box_id = 0;
  double box_values[6] = {};
};

struct BoxManager {
  std::vector<DefineBox> box_array;
  int32_t box_num = 0;
};

// *DEFINE_COORDINATE_NODES.
struct CoordinateNodes {
  int32_t coord_values[5] = {};
  char coord_flag = 0;
};

// One step line of *DEFINE_TRANSFORMATION.
struct TransformStep {
  std::string step_name;
  double step_values[7] = {};
};

struct Transformation {
  int32_t transform_id = 0;
  std::vector<TransformStep> steps;
};

// *INCLUDE_TRANSFORM: the fourteen numbers after the file name.
struct IncludeTransform {
  int32_t include_values[14] = {};
};

// *ELEMENT_MASS: the plain form fills the mass values, the part-set form
// the part-set values (its second value is a node number).
struct PointMass {
  int32_t store_id = 0;
  int32_t mass_value1 = 0;
  double mass_values[2] = {};
  int32_t part_set_value1 = 0;
  int32_t part_set_node = 0;
  double part_set_value3 = 0.0;
  int32_t part_set_value4 = 0;
};

// *ELEMENT_SEATBELT_ACCELEROMETER: node_id holds node numbers.
struct Accelerometer {
  int32_t id = 0;
  int32_t store_id = 0;
  int32_t node_id[3] = {};
};

// *AIRBAG_SIMPLE_PRESSURE_VOLUME and *AIRBAG_SIMPLE_AIRBAG_MODEL.
struct Airbag {
  int32_t id = 0;
  std::string title;
  int32_t card2_ints[3] = {};
  double card2_values[5] = {};
  double card3_values[7] = {};
  int32_t card3_int = 0;   // third field (pressure-volume) or fourth (airbag model)
  int32_t card3_int2 = 0;  // fourth field of the pressure-volume form
};
