// Legacy VTK field files of the whole mesh with nodal results: "result.vtk",
// "result_1.vtk", ... in the work directory, one complete file per output point.
#pragma once
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/nodeFieldCopy.h"
#include "output/basicoutput.h"
#include "output/nodeTextBlocks.h"

struct NodeCuda;
struct Element;

// VTK cell type of an element type code: 3 line, 5 triangle, 9 quad,
// 10 tetra, 14 pyramid, 12 hexahedron, 13 wedge, 24 quadratic tetra,
// 25 quadratic hexahedron; 0 for code 0 and -1 for a code without a cell type.
int vtkCellType(int elementTypeCode);

class ParaViewOutput : public BasicOutput {
 public:
  int outputCount_ = 0;      // VTK files written so far
  int dumpCount_ = 0;        // raw dumps written so far
  int readCount_ = 0;        // read-backs asked for so far
  bool dispFlag_ = false;    // write the displacement section
  bool velFlag_ = false;     // write the velocity section
  bool accFlag_ = false;     // write the acceleration section
  bool stressFlag_ = false;  // average element stresses into the nodes before copying
  bool strainFlag_ = false;  // the same for strains
  bool binaryFlag_ = false;  // binary variant (big-endian data, header "BINARY")
  CheckedFile vtkStream_;
  FILE* dumpFile_ = nullptr;
  int cellCount_ = 0;           // cells of the model
  int cellListSize_ = 0;        // entries of the cell list: per cell its count and its ids
  std::vector<int> cellTypes_;  // VTK cell type per cell

  // Connectivity, fixed after reading: per cell the number of ids written
  // and the 0-based node indices, in cell order.
  std::vector<int> cellPointCounts_;
  std::vector<int> cellNodeIndices_;

  ParaViewOutput() = default;
  ~ParaViewOutput() override;

  void collect(OutputModel* fem, double time, double dt) override;
  void init(OutputModel* fem) override;
  void write(OutputModel* fem, double time, double dt) override;
  // At an output point: the raw dump of the host nodes (a dump that cannot
  // be written ends the process with status 1), and the read-back of the
  // latest dump into "<dump>READ" (a refused dump ends it the same way; a
  // read-back before any dump is refused with a message only).
  void writeBinaryDump(OutputModel* fem, double time, double dt) override;
  void readBinaryDump(OutputModel* fem, double time, double dt) override;

  // Cell list building: clearCells, then addCell for every element in cell
  // order (beginPart before each part's elements), then finishCells.
  void clearCells();
  void beginPart() { workingType_ = 0; }
  // Appends one cell of an element; nodeIds are its stored 1-based node
  // numbers, of which the element's point-node count are written. A cell
  // naming a node outside 1..nodeCount is reported and left out, so the
  // file stays readable. Returns true when the cell was added.
  bool addCell(const Element& element, const int* nodeIds, int nodeIdSlots, int nodeCount);
  void finishCells();

  // Name of the file written at the current outputCount_.
  std::string currentFileName() const;
  // Writes one complete VTK file of the given nodes (their fields, or
  // their host records); false (and the run asked to stop) when the file
  // cannot be written whole. Node lines are formatted in parallel blocks,
  // the cells once a run; the bytes do not depend on the thread count.
  bool writeVtkFile(const std::string& path, double time, const NodeColumns& nodes);
  bool writeVtkFile(const std::string& path, double time, const std::vector<NodeCuda>& nodes);
  // The bytes of that file.
  std::string vtkFileBytes(double time, const NodeColumns& nodes);
  std::string vtkFileBytes(double time, const std::vector<NodeCuda>& nodes);

 private:
  // A section of node values: its heading lines and its text blocks or
  // binary values; kept from file to file, so that their memory is
  // reserved once a run.
  struct NodeSection {
    std::string head;
    NodeTextBlocks lines;
    std::string binary;
  };

  // One piece of a file: a fixed text, or the text block units_[unit].
  struct Piece {
    std::string_view text;
    int unit = -1;
  };
  // A block of node lines to format: block `block` of the section's lines,
  // of the values given.
  struct TextUnit {
    NodeSection* section;
    const NodeColumn* values;
    std::size_t block;
  };
  // The CELLS and CELL_TYPES sections of the text file.
  std::string cellSectionsText() const;
  void appendCellSectionsBinary(std::string& bytes) const;
  const std::string& cellBytes();
  // The pieces of a file, in order, into pieces_: the binary form's
  // sections formatted, the text form's node lines as units_ to format.
  void planFile(double time, const NodeColumns& nodes);
  void planSection(NodeSection& section, const NodeColumn& values, std::size_t count, bool asFloat);
  // Formats the units on all threads and hands every piece to put, in
  // order, one at a time, until put returns false.
  void emitPieces(const std::function<bool(std::string_view)>& put);
  std::string_view pieceText(const Piece& piece) const;
  int workingType_ = 0;
  std::string cellsText_;    // cellSectionsText(), made by finishCells
  std::string cellsBinary_;  // the binary form, made for each binary file
  // The points, then displacement, acceleration, velocity.
  NodeSection sections_[4];
  std::vector<Piece> pieces_;
  std::vector<TextUnit> units_;
};
