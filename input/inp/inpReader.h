// Reader of ".inp" decks: the deck is cut into keyword blocks, each block is
// read into a model description (nodes, element blocks as parts, sets,
// sections, materials, amplitudes, boundaries, initial velocities, the
// step's end time), names are resolved once the whole deck is read, and the
// model is handed to the keyword-deck card families, so that both kinds of
// deck fill the solver's managers the same way.
#pragma once
#include <algorithm>
#include <array>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

class FEMDynamic;
struct DeckLineTally;
struct HourglassControl;

// A keyword line: the keyword in capitals without blanks ("*Solid Section"
// is "SOLIDSECTION") and its options as KEY=VALUE pairs, keys in capitals
// without blanks, values in capitals (a file name, INPUT=, keeps its case)
// with blanks cut at both ends; an option
// without "=" has an empty value.
struct InpKeyword {
  std::string name;
  std::map<std::string, std::string> options;
  bool has(const std::string& key) const { return options.count(key) != 0; }
  std::string option(const std::string& key) const {
    const auto it = options.find(key);
    return it == options.end() ? std::string() : it->second;
  }
  // A value that names one of a few choices, without blanks ("SURFACE TO
  // SURFACE" is "SURFACETOSURFACE").
  std::string choice(const std::string& key) const {
    std::string value = option(key);
    value.erase(std::remove(value.begin(), value.end(), ' '), value.end());
    return value;
  }
};
InpKeyword parseInpKeywordLine(const std::string& line);

// A whole field read as a number; false for an empty field, text, or a
// number an int cannot hold.
bool inpNumber(const std::string& field, double& value);
bool inpInteger(const std::string& field, int& value);

// " (line n)": where a message's deck line is.
inline std::string inpAtLine(int line) { return " (line " + std::to_string(line) + ")"; }

// The data lines of a block, each split at its commas (fields trimmed, an
// empty field kept as empty), with their deck line numbers. Reading a line -
// by its index or in a loop over the lines - marks it as taken, so that the
// block loop can refuse a line no reader took. A line of empty fields only
// (",") holds nothing and counts as taken.
class InpLines {
 public:
  using Line = std::vector<std::string>;
  class const_iterator {
   public:
    const_iterator(const InpLines* lines, size_t i) : lines_(lines), i_(i) {}
    const Line& operator*() const { return (*lines_)[i_]; }
    const Line* operator->() const { return &(*lines_)[i_]; }
    const_iterator& operator++() {
      ++i_;
      return *this;
    }
    bool operator==(const const_iterator& other) const { return i_ == other.i_; }
    bool operator!=(const const_iterator& other) const { return i_ != other.i_; }

   private:
    const InpLines* lines_;
    size_t i_;
  };

  const Line& operator[](size_t i) const {
    taken_[i] = 1;
    return lines_[i];
  }
  size_t size() const { return lines_.size(); }
  bool empty() const { return lines_.empty(); }
  const_iterator begin() const { return const_iterator(this, 0); }
  const_iterator end() const { return const_iterator(this, lines_.size()); }
  void push_back(Line line, int number = 0);
  // The lines to change in place (names an instance qualifies), taking none.
  std::vector<Line>& editLines() { return lines_; }
  // Deck line number of line i (0 when unknown).
  int number(size_t i) const { return i < numbers_.size() ? numbers_[i] : 0; }
  // Deck line number of a line of this block (0 for another line).
  int numberOf(const Line& line) const {
    const size_t i = static_cast<size_t>(&line - lines_.data());
    return &line >= lines_.data() && i < lines_.size() ? number(i) : 0;
  }
  bool taken(size_t i) const { return taken_[i] != 0; }
  void take(size_t i) const { taken_[i] = 1; }
  // Line i without taking it (for messages).
  const Line& unread(size_t i) const { return lines_[i]; }
  // Every line taken at once: a block named as a whole.
  void takeAll() const { std::fill(taken_.begin(), taken_.end(), static_cast<unsigned char>(1)); }

 private:
  std::vector<Line> lines_;
  std::vector<int> numbers_;
  mutable std::vector<unsigned char> taken_;
};

// One block: its keyword, its data lines, and the deck line number of its
// keyword line.
struct InpBlock {
  InpKeyword keyword;
  InpLines lines;
  int lineNumber = 0;
  // "*KEYWORD (line n)", for messages.
  std::string where() const { return "*" + keyword.name + inpAtLine(lineNumber); }
};
// The text in capitals (names are compared so).
std::string inpUpper(std::string text);
// Cuts the deck text into blocks: returns and tabs are blanks, "**" lines
// are comments, blank lines are skipped, a line starting with "*" opens a
// block. Text before the first keyword is ignored.
std::vector<InpBlock> cutInpBlocks(const std::string& text);

// Degrees of freedom of a named boundary type (ENCASTRE, PINNED, XSYMM ...):
// flags of DOF 1..6; false when the name is not a boundary type.
bool namedBoundaryType(const std::string& name, std::array<int, 6>& flags);

// The element types read and what they become.
struct InpElementType {
  const char* name;
  int nodes;            // node numbers per element in the deck
  int family;           // 3 shell, 4 solid
  int cardFormulation;  // section formulation written for the keyword card families
  int formulation;      // element type code the part's section takes
  bool secondOrder;     // a ten-node solid: written as its corners, completed after reading
  // Node slots of the element card: slot k takes the deck node at this
  // 1-based position, 0 a blank slot.
  int slots[8];
};
const InpElementType* findInpElementType(const std::string& name);

// The model as the deck describes it, with the deck's names and numbers.
struct InpModel {
  struct Node {
    int id = 0;
    double x[3] = {};
  };
  struct Element {
    int id = 0;
    std::vector<int> nodes;
    int lineNumber = 0;  // of its first line
  };
  struct Part {
    std::string name;
    const InpElementType* type = nullptr;
    std::vector<Element> elements;
    // From the section that names the part (or an element set of it).
    bool hasSection = false;
    std::string material;
    double thickness = 0.0;
    int points = 5;
    int smoothFem = 0;  // smoothed-FEM kind of its section (0 none)
    std::string controls;
    int sectionLine = 0;  // deck line of its section's keyword
    // Rigid body: reference node (deck number, 0 none).
    bool rigid = false;
    int refNode = 0;
    double rigidThickness = 0.0;
  };
  struct Material {
    std::string name;
    bool hasDensity = false;
    double density = 0.0;
    bool hasElastic = false;
    double youngs = 0.0;
    double poisson = 0.0;
    std::vector<std::pair<double, double>> plastic;  // (plastic strain, stress)
    // Mooney-Rivlin rubber: c1, c2 and c3 of the strain energy.
    bool hasMooneyRivlin = false;
    double mooneyRivlin[3] = {};
    // Low-density foam: three parameters, loading and unloading curves
    // as (strain, stress).
    bool hasFoam = false;
    double foam[3] = {};
    std::vector<std::pair<double, double>> foamLoading;
    std::vector<std::pair<double, double>> foamUnloading;
  };
  // An hourglass control made by *SECTION CONTROLS; its id is its 1-based position.
  struct SectionControls {
    std::string name;
    std::string hourglass;  // HOURGLASS=, without blanks (empty: not given)
    int lineNumber = 0;
  };
  // A history or field request: the interval of its *OUTPUT block and the
  // variables of its *NODE OUTPUT, *ELEMENT OUTPUT or *TECPLOT OUTPUT block.
  struct Output {
    enum Kind { Node, Element, Tecplot } kind = Node;
    double interval = 0.0;  // 0: the run's output interval
    int count = 0;          // NUMBER INTERVAL: the step period is cut into count parts
    std::string set;        // node set or element set followed
    std::vector<std::string> variables;
    int lineNumber = 0;
  };
  struct Amplitude {
    std::string name;
    std::vector<std::pair<double, double>> points;  // (time, value)
    // Analytic amplitudes: DECAY, MODULATED, PERIODIC or SMOOTHSTEP (its
    // points above); empty for a table. Parameters in deck order.
    std::string definition;
    std::vector<double> parameters;
  };
  struct Boundary {
    std::string target;  // node set name, or the node number as written
    bool isSet = false;
    int kind = 1;  // 1 displacement, 2 velocity, 3 acceleration
    std::array<int, 6> flags{};
    double value = 0.0;
    std::string amplitude;
    int lineNumber = 0;
    int rigidPart = -1;  // a rigid body's reference node: the body's part index
  };
  struct Velocity {
    std::string target;
    bool isSet = false;
    double values[6] = {};
    bool given[6] = {};  // the degrees of freedom its lines give
    int lineNumber = 0;  // of the first line that names the target
  };

  // A section or rigid body as the deck writes it: it names an element set
  // (or a part), resolved once the whole deck is read.
  struct Section {
    std::string elementSet;
    int family = 4;  // 3 shell or membrane, 4 solid
    std::string material;
    double thickness = 0.0;
    int points = 5;
    int smoothFem = 0;     // SMOOTHFEM=: 1 ESFEM, 2 CSFEM, 3 NSFEM, 4 SNSFEM
    std::string controls;  // *SECTION CONTROLS name (empty: none)
    bool simpson = false;  // *SHELL SECTION: SECTION INTEGRATION=SIMPSON (its default)
    int lineNumber = 0;
  };
  struct RigidBody {
    std::string elementSet;
    std::string refNode;  // a node number or a one-node set
    double thickness = 0.0;
    int lineNumber = 0;
  };

  // An element-face surface: (element id or element set, face label) as
  // written; a contact pair of two surface names.
  struct Face {
    std::string element;
    std::string label;
  };
  struct ContactPair {
    std::string slave;
    std::string master;  // empty: self-contact of the slave surface
    int lineNumber = 0;
    std::string interaction;
  };
  // A surface interaction: friction coefficients (static, dynamic, decay).
  struct Interaction {
    std::string name;
    double friction[3] = {};
    int lineNumber = 0;
  };
  struct Tie {
    std::string slave;
    std::string master;
    double tolerance = 0.0;   // 0: the tie's default
    bool adjust = true;       // ADJUST=YES (the default): slave nodes moved onto the master
    bool noRotation = false;  // NO ROTATION: rotations are not tied
    int lineNumber = 0;
  };
  // Interaction of general-contact surfaces; empty names: the whole model.
  struct Assignment {
    std::string first;
    std::string second;
    std::string interaction;
    int lineNumber = 0;
  };
  struct Weld {
    int first = 0;
    int second = 0;
    int lineNumber = 0;
  };
  struct Pressure {
    std::string surface;
    double magnitude = 0.0;
    std::string amplitude;
    int lineNumber = 0;
  };

  std::vector<Node> nodes;
  std::vector<Part> parts;
  std::map<std::string, std::vector<Face>> surfaces;
  std::vector<ContactPair> contactPairs;
  std::map<std::string, std::vector<int>> nodeSurfaces;  // node-based surfaces: deck node numbers
  std::vector<Interaction> interactions;
  std::vector<Tie> ties;
  std::vector<ContactPair> inclusions;  // general contact
  std::vector<Assignment> assignments;
  bool allExterior = false;
  std::vector<Weld> welds;
  std::vector<Pressure> pressures;
  std::vector<std::pair<int, int>> rigidMerges;  // part indices: one rigid body's first part, another of its parts
  std::vector<Section> sections;
  std::vector<RigidBody> rigidBodies;
  std::vector<Material> materials;
  std::vector<SectionControls> sectionControls;
  std::vector<Output> outputs;
  std::vector<Amplitude> amplitudes;
  std::vector<Boundary> boundaries;
  std::vector<Velocity> velocities;                     // merged per target
  std::map<std::string, std::vector<int>> nodeSets;     // members as deck node numbers
  std::map<std::string, int> nodeSetLines;              // deck line of each *NSET that adds members
  std::map<std::string, std::vector<int>> elementSets;  // members as deck element ids
  // The segments of every element-face surface a contact, tie or surface
  // load names, cut once when the names are resolved.
  std::map<std::string, std::vector<std::array<int, 4>>> surfaceSegments;
  double endTime = 0.0;
  bool hasEndTime = false;
  // Output interval of the first *OUTPUT request (0: none); a NUMBER
  // INTERVAL is kept as a count and divides the step's period.
  double outputInterval = 0.0;
  int outputCount = 0;
};

// The block loop and the keyword families; each family reads one block into
// the model. Families live in the inp*.cpp files named after them.
class InpReader {
 public:
  explicit InpReader(InpModel& model) : model_(model) {}

  // Reads every block; false when the deck was refused (a message was
  // printed for each reason). A data line that no reader took refuses the
  // deck, as does an element on a node no *NODE line defines.
  bool readBlocks(const std::vector<InpBlock>& blocks);
  // Lines of the blocks read (keyword and data lines), and those taken.
  size_t linesSeen() const { return linesSeen_; }
  size_t linesTaken() const { return linesTaken_; }
  // Takes the names qualified by an instance that leaves its part where it
  // is ("PART-1-1.SET-1") as the part's own names; a part that instances
  // place twice refuses the deck.
  void readInstances(std::vector<InpBlock>& blocks);
  bool refused() const { return refused_; }

  void refuse(const std::string& message);
  static void warn(const std::string& message);
  // A block this version does not act on. When its keyword cannot change
  // the mechanics (the table in inpUnread.cpp) it is named once and
  // reading goes on; any other is listed with its line, and the deck is
  // refused once the block loop has seen them all.
  void unreadBlock(const InpBlock& block);
  // Lists a block whose data ask for mechanics this version does not
  // compute (why says what).
  void unreadMechanics(const InpBlock& block, const std::string& why);
  // A block whose keyword needs data lines but has none (a deck cut
  // short): refuses the deck; false then.
  bool hasDataLines(const InpBlock& block);
  // A data line of the block that holds anything past its first `count`
  // fields (named in `fields`) refuses the deck, naming the line and the
  // field; false then. With numbers, each of those fields must also be
  // blank or a number (a temperature that is not read still is one).
  bool onlyFields(const InpBlock& block, const InpLines::Line& line, size_t count, const char* fields,
                  bool numbers = false);

  // Mesh: nodes, coordinate systems, elements, parts, sets.
  void readNodes(const InpBlock& block);
  void readSystem(const InpBlock& block);
  void readElements(const InpBlock& block);
  void readNodeSet(const InpBlock& block);
  void readElementSet(const InpBlock& block);
  // Sections, rigid bodies and materials.
  void readSection(const InpBlock& block);
  void readRigidBody(const InpBlock& block);
  size_t readMaterial(const std::vector<InpBlock>& blocks, size_t i);
  void readSectionControls(const InpBlock& block);
  void readMooneyRivlin(const InpBlock& sub, const std::string& where, InpModel::Material& material);
  void refuseTemperatureTable(const InpBlock& sub, const std::string& where);
  size_t readFoam(const std::vector<InpBlock>& blocks, size_t j, const std::string& where,
                  InpModel::Material& material);
  // Amplitudes, boundaries, initial conditions, the step.
  void readAmplitude(const InpBlock& block);
  void readBoundary(const InpBlock& block);
  void readInitialConditions(const InpBlock& block);
  void readDynamic(const InpBlock& block);
  // *OUTPUT and the requests that follow it; returns the last block read.
  size_t readOutput(const std::vector<InpBlock>& blocks, size_t i);
  // Surfaces, contacts, ties, welds and surface loads.
  void readSurface(const InpBlock& block);
  void readNodeSurface(const InpBlock& block, const std::string& name);
  void readContactPair(const InpBlock& block);
  size_t readContact(const std::vector<InpBlock>& blocks, size_t i);
  size_t readSurfaceInteraction(const std::vector<InpBlock>& blocks, size_t i);
  void readTie(const InpBlock& block);
  void readMpc(const InpBlock& block);
  void readDsload(const InpBlock& block);

  // After the block loop: sections and rigid bodies that name element sets
  // reach the parts owning those elements; every part must have a section
  // and a known material; boundaries and velocities name known targets.
  bool resolve();
  void resolveOutputs();
  // The part of resolve for contacts, ties, welds, surface loads and the
  // reference nodes of rigid bodies; nodes holds the deck's node numbers.
  void resolveConnections(const std::set<int>& nodes);
  void resolveReferenceNodes(const std::set<int>& nodes);

  // The element-set members of a set name: a part name or an *ELSET.
  // Empty when neither exists. Uses the element owners resolve builds.
  std::vector<int> partsOfElementSet(const std::string& name) const;
  int partIndex(const std::string& name) const;

 private:
  void readSet(const InpBlock& block, const std::string& key, std::map<std::string, std::vector<int>>& sets);
  // Options of a block: those the family reads act; those in passed
  // cannot change the mechanics (output or print settings, names) and are
  // named once and passed over; any other lists the block, naming the
  // option, and the deck is refused once the block loop is done.
  void refuseUnreadOptions(const InpBlock& block, const std::vector<std::string>& read,
                           const std::vector<std::string>& passed = {});
  void refuseUnreadMechanics();
  // After blocks first to last were read: refuses the first data line no
  // reader took, and counts the lines.
  void refuseUntakenLines(const std::vector<InpBlock>& blocks, size_t first, size_t last);
  // After the block loop: refuses the first element that names a node no
  // *NODE line defines.
  void refuseElementsOnUndefinedNodes();
  // Keywords already named as not acted on, and the unread blocks of
  // mechanics (line and keyword) met so far.
  std::set<std::string> reportedKeywords_;
  std::vector<std::pair<int, std::string>> unreadMechanics_;
  // The running part of element blocks that belong to a *PART.
  std::string currentPartName_;
  bool inStep_ = false;
  int stepCount_ = 0;
  // The current *SYSTEM: origin and axes.
  double origin_[3] = {};
  double axes_[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  bool refused_ = false;
  // Deck element id -> index of the part holding it, built by resolve.
  std::map<int, int> elementPart_;
  // The deck node numbers read so far, kept as the *NODE blocks are read.
  std::set<int> nodeIds_;
  // Elements that named nodes not read before them: where, element, nodes.
  struct ElementNodes {
    std::string where;
    int element;
    std::vector<int> nodes;
  };
  std::vector<ElementNodes> laterNodes_;
  size_t linesSeen_ = 0;
  size_t linesTaken_ = 0;
  InpModel& model_;
  friend struct InpBlockLoop;
};

// Cuts element-face surfaces into segments (four deck node numbers each, a
// triangle repeating its last node), with one index of the model's
// elements for all the surfaces it cuts.
class InpSurfaceCutter {
 public:
  explicit InpSurfaceCutter(const InpModel& model);
  // The segments of a surface; false with the reason in why when the
  // surface, an element or a face label is unknown.
  bool segments(const std::string& name, std::vector<std::array<int, 4>>& segments, std::string& why) const;

 private:
  const InpModel& model_;
  std::map<int, std::pair<const InpModel::Part*, const InpModel::Element*>> elements_;  // deck element id
};
// The same for a single surface.
bool inpSurfaceSegments(const InpModel& model, const std::string& name, std::vector<std::array<int, 4>>& segments,
                        std::string& why);

// Id of a named set in the keyword blocks: its 1-based position in name
// order among the sets of its kind; 0 for a name that is not there.
int inpSetId(const std::map<std::string, std::vector<int>>& sets, const std::string& name);

// Curve id of the loading (which 0) or unloading (1) curve of the foam of
// material number material (0-based) in the keyword blocks: after the
// amplitudes, the hardening tables and the displacement ramp.
int inpFoamCurveId(const InpModel& model, size_t material, int which);

// Ids the translation gives before the contacts, ties, welds and surface
// loads are written: amplitude curves, node sets, the next free curve and
// node set ids, and the ramp curve of displacements without an amplitude.
struct InpTranslation {
  std::map<std::string, int> curveIds;
  std::map<std::string, int> nodeSetIds;
  int nextCurveId = 1;
  int nextNodeSetId = 1;
  int rampCurveId = 0;
  std::map<std::string, int> segmentSetIds;  // surface name -> segment set id
};
// Writes contacts, ties, welds, surface loads, the reference nodes of rigid
// bodies and their initial velocities.
void translateInpConnections(const InpModel& model, InpTranslation& ids, std::vector<std::string>& blocks);
// Ties with ADJUST=YES: their slave nodes within reach of a master face are
// moved onto it (inpTieAdjust.cpp). Returns why the deck is refused, empty
// when it is not.
std::string adjustInpTies(InpModel& model);
// A boundary on a rigid body's reference node: the body's prescribed motion.
void addInpRigidMotion(const InpModel::Boundary& boundary, InpTranslation& ids, std::vector<std::string>& blocks);
// After the keyword card families: analytic amplitudes attached to their
// curves, tie tolerances to their tied contacts.
void finishInpModel(const InpModel& model, const InpTranslation& ids, FEMDynamic* fem);
void attachInpAmplitudes(const InpModel& model, const InpTranslation& ids, FEMDynamic* fem);
// The points of a table or smooth step, with the first value held from 0
// and the last held past the end of the step (a load curve would go on
// along the line through the origin and its last point).
std::vector<std::pair<double, double>> inpHeldPoints(const InpModel::Amplitude& amplitude, double endTime);
constexpr double kHeldTime = 1e30;

// Turns a read model into keyword-deck blocks (comma-separated cards, every
// number written with 17 digits) in the order nodes, parts with their
// sections and elements, materials, curves, sets, boundaries, initial
// velocities, termination.
// The ids given go to ids.
std::vector<std::string> translateInpModel(const InpModel& model, InpTranslation& ids);

// Smoothed-FEM kind of a SMOOTHFEM= name: "ESFEM" 1 (edge-based), "CSFEM" 2
// (cell-based), "NSFEM" 3 (node-based), "SNSFEM" 4 (node-based, six points);
// -1 for another name.
int inpSmoothFemKind(const std::string& name);
const char* inpSmoothFemName(int kind);  // "" outside 1..4
// Gives the section record of every part read with SMOOTHFEM= its kind;
// false (after a message) when the part's elements do not suit the kind:
// the cell-based kind needs 5-node pyramids, the others 4-node tetrahedra.
bool applyInpSmoothFem(const InpModel& model, FEMDynamic* fem);

// Reads an ".inp" deck into the solver. Returns 1 when the deck was read and
// completed; 0 when it was refused, after messages on the error stream.
int readInpDeck(FEMDynamic* fem, const std::string& deckPath);
// The same for the deck text itself (the deck's name is used in messages).
// With tally given, the deck's line tally (lines that hold anything, and
// those some reader took) is left there.
int readInpText(FEMDynamic* fem, const std::string& text, const std::string& deckName, DeckLineTally* tally = nullptr);
// The deck's output interval goes to the time control unless the command
// line gave one.
void applyInpOutputInterval(const InpModel& model, FEMDynamic* fem);
// What the keyword card families have no card for, put straight into the
// read model after they completed it: section element codes, ten-node
// solids, hourglass controls. False, after a message, when a part's controls
// name a form its elements do not compute.
bool completeInpElements(const InpModel& model, FEMDynamic* fem);
// The hourglass form and coefficient of a HOURGLASS= value (without blanks;
// empty when not given) into control (when not null); false for a value
// this version does not compute.
bool inpHourglassForm(const std::string& hourglass, HourglassControl* control);
void completeInpMaterials(const InpModel& model, FEMDynamic* fem);
// The history and field outputs the deck requests.
void addInpOutputs(const InpModel& model, FEMDynamic* fem);
