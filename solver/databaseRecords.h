// Records of the "*DATABASE" cards, kept as read in the solver object's
// lists (database_array, history_node_array).
#pragma once
#include <cstdint>
#include <string>

struct DatabaseCard {
  int32_t db_type = 0;  // option code
  double db_interval = 0.0;
  int32_t db_flags[3] = {};
  double db_value5 = 0.0;
  int32_t db_flag6 = 0;
  double binary_interval = 0.0;
  int32_t d3plot_flags[5] = {};
  double d3plot_values[3] = {};
  int32_t d3plot_flags2[2] = {};
  int32_t binary_count = 0;
  int32_t runrsf_count = 0;
  int32_t extent_flags[16] = {};
  int32_t extent_flags3[2] = {};
  double extent_value = 0.0;
  int32_t extent_flags4[3] = {};
  std::string extent_word7;
  std::string extent_word8;
};

struct HistoryNodeCard {
  int32_t history_local[3] = {};
  int32_t history_id = 0;
  int32_t history_ids[8] = {};
  std::string history_title;
};
