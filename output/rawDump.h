// Raw dump of one output point: time, node coordinates, the cell list and
// the enabled nodal groups as native binary values without a header; and
// its read-back into a text VTK file, which needs the same model and flags.
#pragma once
#include <string>
#include <vector>

struct NodeCuda;
struct NodeColumns;
class ParaViewOutput;

// File of dump number k (1-based) in the folder: "result_bin.vtk", then
// "result.1_bin.vtk", "result.2_bin.vtk", ...
std::string rawDumpFileName(const std::string& folder, int k);
// folder + "/result", then "<separator><k - 1>" from the second file on,
// then the ending: the names of the numbered field files.
std::string numberedResultName(const std::string& folder, int k, char separator, const char* ending);

// Writes the dump of the nodes with the cells and flags of the output;
// false when the file cannot be written.
bool writeRawDump(const std::string& path, double time, const NodeColumns& nodes, const ParaViewOutput& layout);
bool writeRawDump(const std::string& path, double time, const std::vector<NodeCuda>& nodes,
                  const ParaViewOutput& layout);

// Reads a dump back and writes it as a text VTK file. Every value is checked
// to be present and every count to match the model and the output's cells;
// a short, long or foreign file is refused with a message on standard error,
// false is returned and no text file is written.
bool readRawDumpToVtk(const std::string& dumpPath, const std::string& vtkPath, const std::vector<NodeCuda>& nodes,
                      const ParaViewOutput& layout);
