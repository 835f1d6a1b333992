// Messages that would repeat per element or per node: a shell whose area
// is not positive at every cycle, a tied node that is also welded, the
// checks of the element set-up (node counts, node ids, integration
// points) and of the output meshes. The
// first of each kind is printed when it happens, with its id; every one is
// counted, and when the run ends each kind seen more than once is summed
// up in one line with its count and the first ids (console and run record).
#pragma once
#include "platform/reportCell.h"

enum RepeatedMessage : int {
  REPEATED_QUAD_SHELL_AREA,
  REPEATED_TRIANGLE_AREA,
  REPEATED_TRI_SHELL_AREA,
  REPEATED_TRI_MEMBRANE_AREA,
  REPEATED_PENTA_VOLUME,
  REPEATED_BEAM_LENGTH,
  REPEATED_TIED_SLAVE_WELDED,
  REPEATED_TIED_MASTER_WELDED,
  REPEATED_TIED_TWICE,
  REPEATED_TIED_SLAVE_AND_MASTER,
  REPEATED_MASS_SCALE_FACTOR,
  REPEATED_SOLID_NODE_COUNT,
  REPEATED_BEAM_NODE_COUNT,
  REPEATED_TRI_SHELL_NODE_COUNT,
  REPEATED_QUAD_SHELL_NODE_COUNT,
  REPEATED_ELEMENT_NODE_ID,
  REPEATED_PART_MISSING_NODE,
  REPEATED_GAUSS_POINT_RANGE,
  REPEATED_NO_GAUSS_POINTS,
  REPEATED_TECPLOT_ELEMENT,
  REPEATED_VTK_ELEMENT,
  REPEATED_MESSAGE_KINDS
};

// Ids kept per kind for the summary.
constexpr int kRepeatedFirstIds = 5;

struct RepeatedMessages {
  unsigned int count[REPEATED_MESSAGE_KINDS];
  int first[REPEATED_MESSAGE_KINDS][kRepeatedFirstIds];
};
FEM_DECLARE_REPORT_CELL(RepeatedMessages, repeatedMessageCell)

// Counts one message of the kind about the element or node id; the first of
// its kind is printed.
__host__ __device__ void noteRepeated(RepeatedMessage kind, int id);
// Counts one message of the kind as noteRepeated does, without printing:
// true for the first of its kind, which the caller prints with its details.
__host__ __device__ bool countRepeated(RepeatedMessage kind, int id);
// The summary lines of the kinds seen more than once since the last clear.
void printRepeatedMessages();
// Forgets every count (start of a run, tests).
void clearRepeatedMessages();
