// A soft block resting under gravity on a thin fixed shell tool, its bottom
// nodes the slave nodes of a nodes-to-surface contact, through both time
// loops: it must stay on the tool's upper side whichever way the tool's
// normal points, also when it starts exactly on the tool's plane.
#include "tests/deviceTest.h"
#include <algorithm>
#include <string>
#include <vector>
#include "tests/elements/common/lineElementRun.h"

namespace {

struct ToolCase {
  bool rigid;       // rigid tool held by its body's motion, else held nodes
  bool downNormal;  // shell nodes numbered so that the normal points down
};

std::string node(int id, double x, double y, double z) {
  return std::to_string(id) + " " + std::to_string(x) + " " + std::to_string(y) + " " + std::to_string(z) + "\n";
}

// Tool: 2 x 2 shells over [0, 1] x [0, 1] at z = 0, 10 mm thick; block: a
// 0.1 m hexahedron with its bottom on z = 0.
std::string toolDeck(const ToolCase& c) {
  std::string d = "*KEYWORD\n*NODE\n";
  int id = 1;
  for (int j = 0; j < 3; ++j)
    for (int i = 0; i < 3; ++i) d += node(id++, 0.5 * i, 0.5 * j, 0.0);
  for (int k = 0; k < 2; ++k)
    for (int j = 0; j < 2; ++j)
      for (int i = 0; i < 2; ++i) d += node(id++, 0.45 + 0.1 * i, 0.45 + 0.1 * j, 0.1 * k);
  d += "*ELEMENT_SHELL\n";
  for (int j = 0; j < 2; ++j)
    for (int i = 0; i < 2; ++i) {
      const int a = 1 + i + 3 * j;
      const int ring[4] = {a, c.downNormal ? a + 3 : a + 1, a + 4, c.downNormal ? a + 1 : a + 3};
      d += std::to_string(1 + i + 2 * j) + " 1";
      for (int n : ring) {
        d += ' ';
        d += std::to_string(n);
      }
      d += "\n";
    }
  d += "*ELEMENT_SOLID\n5 2 10 11 13 12 14 15 17 16\n";
  d += "*PART\ntool\n         1         1         1\n*PART\nblock\n         2         2         2\n";
  d += "*SECTION_SHELL\n         1         2    0.8333         2\n      0.01      0.01      0.01      0.01\n";
  d += "*SECTION_SOLID\n         2         1\n";
  d += c.rigid ? "*MAT_RIGID\n         1      7850   2.1e+11       0.3\n"
               : "*MAT_ELASTIC\n         1      7850   2.1e+11       0.3\n";
  d += "*MAT_ELASTIC\n         2      1000     1e+06       0.3\n";
  d += "*SET_NODE_LIST\n         1\n         1         2         3         4         5         6         7         8\n"
       "         9\n";
  if (c.rigid)
    d += "*BOUNDARY_PRESCRIBED_MOTION_RIGID\n         1         1         0         9         0\n"
         "         1         2         0         9         0\n         1         3         0         9         0\n"
         "*DEFINE_CURVE\n         9\n         0         0\n        10         0\n";
  else
    d += "*BOUNDARY_SPC_SET\n         1         0         1         1         1         1         1         1\n";
  d += "*SET_NODE_LIST\n         3\n        10        11        12        13\n";
  d += "*LOAD_BODY_Z\n         0      9.81\n";
  d += "*CONTACT_NODES_TO_SURFACE\n         3         1         4         3\n         0\n         0\n";
  d += "*CONTROL_TERMINATION\n       0.1\n*END\n";
  return d;
}

// Lowest height of the block's bottom nodes over the run.
double lowestBottom(const ToolCase& c, const std::string& name, bool hostLoop) {
  linerun::RunOptions options;
  options.traced = {10, 11, 12, 13};
  options.hostLoop = hostLoop;
  const linerun::Trace trace = linerun::runDeck(name, toolDeck(c), options);
  EXPECT_GT(trace.nodes.size(), 10u);
  double lowest = 1.0;
  for (const std::vector<NodeCuda>& cycle : trace.nodes)
    for (const NodeCuda& n : cycle) lowest = std::min(lowest, n.coord[2]);
  return lowest;
}

}  // namespace

// The block's bottom nodes start on the tool's mid-plane (inside its
// thickness), at rest.  They used to be taken as lying on the normal's side:
// with the normal pointing down the block was held below the tool and fell
// through it (5 cm in 0.1 s).
DEVICE_TEST(ShellToolRun, BlockStartingOnTheToolsPlaneStaysOnItsSide) {
  for (bool hostLoop : {false, true})
    for (bool rigid : {false, true})
      for (bool down : {false, true}) {
        const std::string name = std::string("shell_tool_") + (rigid ? "rigid" : "held") + (down ? "_down" : "_up") +
                                 (hostLoop ? "_host" : "_gpu");
        EXPECT_GT(lowestBottom(ToolCase{rigid, down}, name, hostLoop), -0.001) << name;
      }
}
