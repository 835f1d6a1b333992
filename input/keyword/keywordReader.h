// Reader of keyword decks (".k", ".key", ".dyn"): the deck is copied without
// its comment lines into a working folder, cut into blocks at every keyword
// line (a "*" in column 1), and each block is handed by its keyword to the
// family that writes its cards into the solver's managers.
#pragma once
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "input/keyword/cardLineLedger.h"
#include "input/keyword/keywordField.h"
#include "solver/constrained.h"
#include "solver/initialCondition.h"
#include "solver/timeControl.h"

class FEMDynamic;
class ElmManager;
class Contact;
class BasicBoundary;
class NodeLoad;
class RigidWall;

// Replaces returns and tabs by blanks and removes the blanks at the end of
// the block; newlines stay.
void cleanDeckLines(std::string& block);
// Replaces newlines, returns and tabs by blanks and removes the blanks at the
// end of the block, so that the block reads as one free-format stream.
void cleanDeckBlock(std::string& block);
// Cleans a block with cleanDeckLines and cuts it at its newlines, empty lines
// dropped; line 0 is the keyword line and the last entry is the (empty) text
// after the final newline. The one exception: when line 1 is a heading (a
// "_TITLE" keyword, or *PART whose first line names the part) it stays
// line 1 even when it is blank, so that the cards keep their places.
std::vector<std::string> splitDeckLines(std::string block);
// The same without dropping any empty line (the trailing ones excepted, but
// for the one empty entry after the final newline).
std::vector<std::string> splitDeckLinesKeepingBlanks(std::string block);
// One past the last card line of a block's line list: the empty entry after
// the final newline is not a card.
size_t cardLineEnd(const std::vector<std::string>& lines);
// Cuts card line k into n fields of 10 (or 8) characters; a line that holds a
// comma is cut at its commas instead. A line shorter than its fields gives
// blank fields; a line k that the block lacks gives n blank fields.
void splitCardFields10(const std::vector<std::string>& lines, std::string* fields, int k, int n);
void splitCardFields8(const std::vector<std::string>& lines, std::string* fields, int k, int n);

// Number of lines of a block (its keyword line included).
size_t blockLineCount(const std::string& block);
// The text of a block's data lines (line 1 on), cleaned as splitDeckLines
// cleans the block: a view into the block when it needs no cleaning (a
// block cut from a deck), otherwise into storage.
std::string_view blockDataText(const std::string& block, std::string& storage);
// An "_ID" line as pre-processors write it: the id in columns 1-10 and the
// heading from column 11 on, with or without a blank between them; a line
// whose first ten columns hold no integer is read as words (the id, then the
// heading). A blank id leaves id; an id that is not an integer is kept as
// the cutting's problem (cutProblem), which refuses the deck. The heading
// is returned trimmed.
std::string readIdCardLine(const std::string& line, int& id);
// The same, keeping only the first word of the heading in title (when given).
void readIdLine(const std::string& line, int& id, std::string* title);

// Line of a block's first card: 2 when the header holds "_TITLE" (the first
// word of line 1 goes into title) or, for a family that passes id, "_ID"
// (line 1 reads as an id and a title word); otherwise 1.
int firstCardLine(const std::string& header, const std::vector<std::string>& lines, std::string* title,
                  int* id = nullptr);

// One keyword block of a deck: its keyword line and data lines, each ending
// in a newline, and the deck line number of each of them (empty for blocks
// that come from no deck file).
struct DeckBlock {
  std::string text;
  std::vector<int> lineNumbers;
  int firstLine() const { return lineNumbers.empty() ? 0 : lineNumbers.front(); }
};
// Cuts a deck text into keyword blocks. A line with "$" in column 1 is a
// comment; a "$" later in a line ends that line's data. A line with "*" in
// column 1 opens a block; a "*" anywhere else is data (a title "bar (5*5)").
// Returns and tabs become blanks; lines before the first keyword are no
// block.
struct DeckLineCount;
std::vector<DeckBlock> cutDeckBlocks(const std::string& text, DeckLineCount* count = nullptr);
// The lines of a deck text that hold anything (comment lines and the text
// after a "$" left out), counted by cutDeckBlocks, and the first of them that
// comes before the first keyword (0: none), which belongs to no block.
struct DeckLineCount {
  size_t lines = 0;
  int strayLine = 0;
  std::string strayText;
};
// The keyword of a block in capitals: the first word of its first line
// ("*node" and "*Node" are "*NODE"). Keyword and option tests look only at
// it, never at the data lines after it.
std::string blockHeader(const std::string& block);
// True when a deck of this file name is a keyword deck: its name ends in
// ".k", ".key" or ".dyn", in any case.
bool isKeywordDeckName(const std::string& fileName);
// True when the keyword is the family name itself or the name followed by
// "_" and options: "*SET" takes "*SET_NODE_LIST" but not "*SETTINGS". A name
// without its "*" is tested with it.
bool keywordIs(const std::string& keyword, const std::string& name);
// The keyword without a final "_TITLE".
std::string withoutTitle(const std::string& keyword);

// Working files of a deck: the folder "temp" in the run's work folder (not
// beside the deck: runs of one deck in several work folders keep apart, and a
// deck in a read-only folder runs), the comment-free copy "temp_<deck>" and
// the check list "outForVerify_<deck>". A reader called without a work path
// (outside a run) keeps them in "temp" beside the deck.
struct KeywordDeckFiles {
  std::string folder;      // the deck's folder: up to and including the last "/" or "\", or empty
  std::string fileName;    // the text after it
  std::string workFolder;  // work folder + "/temp"; without one, folder + "temp"
  std::string workCopy;    // workFolder/temp_<fileName>
  std::string checkList;   // workFolder/outForVerify_<fileName>
};
KeywordDeckFiles keywordDeckFiles(const std::string& deckPath, const std::string& workPath);
// Writes the working copy: every line of the deck that does not start with
// "$", without returns. False (after a message) when the deck cannot be
// opened or read or the copy cannot be written.
bool writeWorkingCopy(const KeywordDeckFiles& files, const std::string& deckPath);

// One element's node list as read, kept for the completion after the block
// loop: its element number and its deck node ids (a shell fills four places,
// a beam three, a discrete element two, the rest stay 0). The node numbers
// are in the element record itself. Element number 0: the entry belongs to a
// point mass or an accelerometer, which have no node list.
struct ElementNodeList {
  int element_number = 0;
  int deck_node_ids[8] = {};
};

// One member line of a *SET_NODE_GENERAL card: its option word (ALL, NODE,
// PART, SET, BOX), the values after it and where it stands, for messages.
struct NodeGeneralLine {
  std::string option;
  std::vector<int> values;
  std::string where;
};

// Lines of a deck that hold anything (comment lines left out), and how many
// of them some card took or the reader named as passed over: a deck that is
// read has the two equal.
struct DeckLineTally {
  size_t lines = 0;
  size_t taken = 0;
};

// Ids given so far, for the check that none is given twice: ids that come
// in ascending order (as most decks give them) go to the end of a sorted
// list; any other is looked up there and kept in a set of its own.
class IdRegister {
 public:
  // False when the id was given already.
  bool add(int id);

 private:
  std::vector<int> ascending_;
  std::set<int> others_;
};

// Most distinct part ids the element blocks of one deck may name.
constexpr int kMaxKeywordParts = 100000;

// Reader state kept across blocks, used by the completion after the block
// loop. Map lookups there should use find(): an id that is not present means
// the deck never defined it.
struct KeywordDeckState {
  KeywordDeckFiles files;
  std::ofstream checkList;  // open for writing once the deck is opened

  // Nodes and elements.
  int nodeCounter = 0;               // nodes read so far
  int elementCounter = 0;            // elements, masses and accelerometers read so far
  int partCounter = 0;               // distinct part ids named by element blocks
  std::map<int, int> partNumberMap;  // deck part id -> part number (first appearance)
  // Element store of part number p at position p-1 (grows with partCounter).
  std::vector<ElmManager> elementStores;
  // Per element index (0-based), elementCounter entries each: the node
  // list and the deck part id (0 for masses and accelerometers).
  std::vector<ElementNodeList> elementNodeLists;
  std::vector<int> elementPartMap;
  // Deck line of each element by its index (0 when not known), so that a
  // refusal after the block loop names the element's line.
  std::vector<int> elementLines;
  // Ids of the elements read, by family: ids are unique within a family
  // (0 shells, 1 solids, 2 beams, 3 discrete elements).
  IdRegister elementIds[4];

  // Part cards: internal part id -> deck part id.
  std::map<int, int> partDeckIdMap;
  // Where each part's card is ("\"*PART\", line n") by internal part id - 1.
  std::vector<std::string> partCards;
  // Section cards: deck section number -> running section number.
  std::map<int, int> sectionNumberMap;
  // Sections (by running number) whose element formulation no element of
  // this version computes, with the form they ask for: a part with
  // elements may not use them.
  std::map<int, std::string> uncomputedSections;
  // Material cards: card material id -> 1-based position in material_array.
  std::map<int, int> materialNumberMap;
  // Materials (by position) whose card, or some of whose fields, no model
  // of this version computes, with what they ask for: a part with
  // elements may not use them.
  std::map<int, std::string> uncomputedMaterials;

  // Set cards: running numbers and set id -> number maps.
  int nodeSetNumber = 0;
  int shellSetNumber = 0;
  int partSetNumber = 0;
  int segmentSetNumber = 0;
  std::map<int, int> nodeSetNumberMap;
  std::map<int, int> shellSetNumberMap;
  std::map<int, int> partSetNumberMap;
  // Deck line of each segment set's card by set id.
  std::map<int, int> segmentSetLines;
  // (set type, set id) of every set card: ids are unique within a type.
  std::set<std::pair<int, int>> setIds;
  // Member lines of the *SET_NODE_GENERAL cards, by set id.
  std::map<int, std::vector<NodeGeneralLine>> nodeGeneralLines;

  // The card (and deck line) of each constraint by its place in the
  // constrained manager's list, and of each merge of rigid bodies.
  std::vector<std::string> constrainedCards;
  std::vector<std::string> rigidMergeCards;
  // The card (and deck line) of each rigid wall by its place in the wall list.
  std::vector<std::string> wallCards;
  // Deck line of each contact definition's card of sides, by its position
  // among the deck's contact definitions.
  std::map<int, int> contactLines;

  // Initial velocities: record position (1-based) -> set id / node id.
  std::map<int, int> velocitySetMap;
  std::map<int, int> velocityNodeMap;

  DeckLineTally lineTally;

  KeywordDeckState();
  ~KeywordDeckState();
  KeywordDeckState(const KeywordDeckState&) = delete;
  KeywordDeckState& operator=(const KeywordDeckState&) = delete;
};

// Reads a keyword deck into the solver. Returns 1 when the deck was read and
// completed; 0 when it was refused (it cannot be opened, or its contents
// would give a broken model), after a message on the error stream.
// With tally given, the deck's line tally is left there.
int readKeywordDeck(FEMDynamic* fem, std::string deckPath, DeckLineTally* tally = nullptr);

// The refusal of blocks of mechanics that a reader does not compute: one
// line per block, with its deck line when known (0: unknown).
std::string unreadMechanicsMessage(const std::vector<std::pair<int, std::string>>& blocks);

// A keyword of a reader's table of blocks that cannot change the mechanics:
// what such a block asks for, and whether it is passed over without a word.
struct OutputOnlyKeyword {
  const char* keyword;
  const char* what;
  bool quiet;
};

// Applies the deck's mass-scaling step (*CONTROL_TIMESTEP field 5) to the
// solver's time control once the whole deck has been read.
void applyDeckMassScaling(TimeControl& timeControl);

// A run of consecutive fields of one card read into consecutive values.
template <class T>
struct CardSpan {
  T* p;
  int n;
};
template <class T>
CardSpan<T> cardSpan(T* p, int n) {
  return CardSpan<T>{p, n};
}

// The block loop and the card families. Each family reads one block; the
// families live in the keyword*.cpp files named after them.
class KeywordReader {
 public:
  KeywordReader(FEMDynamic* fem, KeywordDeckState& state);

  // Hands every block to its family in deck order until "*END" or the end;
  // false when the deck was refused. Blocks of mechanics this version does
  // not read are listed together, with their lines, before the refusal.
  bool readBlocks(const std::vector<DeckBlock>& blocks);
  // The same for blocks made by another reader (no deck lines).
  bool readBlocks(const std::vector<std::string>& blocks);
  // Reads one block: recognises its keyword and calls its family. Returns
  // false for "*END".
  bool readBlock(const DeckBlock& block);
  bool readBlock(const std::string& block);
  bool refused() const { return refused_; }

  // Nodes, elements, masses, accelerometers and airbags.
  void readNodes(const std::string& block);
  // Books a node of line k as the next node number; false (the deck
  // refused) when its id is defined already.
  bool bookNode(const std::string& keyword, int id, size_t k);
  void holdNodesByCode(const std::map<int, std::vector<int>>& nodesByCode);
  void readShells(const std::string& block);
  void readBeams(const std::string& block);
  void readSolids(const std::string& block);
  void readDiscretes(const std::string& block);
  void readMasses(const std::string& block);
  void readAccelerometers(const std::string& block);
  void readAirbag(const std::string& block);
  // Sections, materials, parts.
  void readSection(const std::string& block);
  void readMaterial(const std::string& block);
  void readPart(const std::string& block);
  // Sets.
  void readSegmentSet(const std::string& block);
  void readSet(const std::string& block);
  // Contacts.
  void readContact(const std::string& block);
  void readOptionalCardA(const std::vector<std::string>& lines, int k, Contact& contact);
  // Initial velocities.
  void readInitialVelocity(const std::string& block);
  bool readNodeVelocitiesAtOnce(const std::string& block);
  // Constrained cards: spot welds and joints.
  void readSpotWelds(const std::string& block);
  void readJoints(const std::string& block);
  // Curves, tables, boxes, coordinate systems, transformations.
  void readDefine(const std::string& block);
  void readIncludeTransform(const std::string& block);
  // Control cards.
  void readControl(const std::string& block);
  // Hourglass controls that parts name by their hourglass id.
  void readHourglass(const std::string& block);
  void readDatabase(const std::string& block);
  void readHistoryNode(const std::string& header, const std::vector<std::string>& lines);
  // Boundary conditions, loads, rigid walls and the constrained cards that
  // make rigid bodies.
  void readBoundary(const std::string& block);
  void readLoad(const std::string& block);
  void readBodyLoad(const std::string& header, const std::vector<std::string>& lines);
  void readRigidWall(const std::string& block);
  bool readWallMotion(const std::string& header, const std::vector<std::string>& lines, int k, RigidWall& wall);
  void readConstrainedRigid(const std::string& block);

  // Prints the message and refuses the deck: the block loop stops.
  void refuse(const std::string& message);
  // Prints a message about input that is skipped.
  static void warn(const std::string& message);
  // A block (or an option of a known family) that this reader does not
  // act on. When its keyword cannot change the mechanics (output requests,
  // titles; the table in knownKeywords.cpp) it is named once and reading
  // goes on; any other is listed with its line, and the deck is refused
  // once the block loop has seen them all.
  void unreadBlock(const std::string& keyword);
  void ignoreBlock(const std::string& block) { unreadBlock(blockHeader(block)); }
  // Lists a block whose cards ask for mechanics this version does not
  // compute (why says what); the deck is refused after the block loop.
  void unreadMechanics(const std::string& keyword, const std::string& why);
  // Lists a block whose keyword is no form the reader knows, with the
  // nearest known one; the deck is refused after the block loop.
  void unknownKeyword(const std::string& keyword);
  // Refuses a block whose form the reader cannot read without losing or
  // shifting data.
  void refuseForm(const std::string& keyword, const std::string& why);
  // Refuses the deck for *PARAMETER and *INCLUDE blocks, naming what they
  // define or include.
  void refuseParameter(const std::string& block);
  void refuseInclude(const std::string& block);
  // Refuses a deck whose *KEYWORD line announces long-format fields.
  void refuseLongFormat(const std::string& block);
  // Refuses a keyword line that holds text after its keyword other than
  // "-" (the standard fields, as read).
  void refuseKeywordLineText(const std::string& block, const std::string& header);

  // Cuts a data line (a node, an element, a point) into n fields of the
  // given widths: by columns, by commas, or by blanks (splitDataFields).
  static std::vector<std::string> dataFields(const std::string& line, const std::vector<int>& widths, int n,
                                             int least = 0) {
    return splitDataFields(line, widths, n, least);
  }
  // Accepts the known options of an element keyword (name followed by
  // "_" and options); the first unknown one refuses the block.
  bool elementOptions(const std::string& keyword, const std::string& name, const std::vector<std::string>& known);
  // Books an element and appends it to the list of its part's store,
  // making room there for `expected` more records first.
  template <class Record>
  void storeElement(Record& element, int deckPartId, int nodeCount, const char* family, size_t line,
                    std::vector<Record> ElmManager::*list, size_t expected = 0);
  // Books an element of family code familyCode (0 shells, 1 solids, 2
  // beams, 3 discrete elements) without its record: id, deck node ids,
  // element number, part and its block line. Returns the part number (0
  // when the deck was refused) and sets index to the element's index.
  int bookElement(int familyCode, int id, const int* deckNodes, int nodeCount, int deckPartId, const char* family,
                  int& index, size_t line);
  // The list of a family in the element store of part number partNumber.
  template <class Record>
  // Defined where ElmManager is complete (the element blocks' reader).
  std::vector<Record>& partList(int partNumber, std::vector<Record> ElmManager::*list);

 private:
  // Reads a *NODE block's lines on all threads when every line reads on its
  // own (false, nothing done, otherwise): nodes, their constraint codes.
  bool readNodesAtOnce(const std::string& keyword, std::string_view text, std::map<int, std::vector<int>>& nodesByCode);
  // The keyword chain: hands the block to its family. False for "*END".
  bool readFamily(const std::string& block, const std::string& header);
  // After a block that its family read: refuses a line that holds
  // anything and that no card took, or a block that gave no card.
  void refuseLinesNoCardTook(const std::string& block, const std::string& header, const CardLineLedger& ledger);
  // Adds the block's taken lines to the deck's tally.
  void tallyLines(const std::string& block, const CardLineLedger& ledger);
  void passOverAfterEnd(std::vector<DeckBlock>::const_iterator first, std::vector<DeckBlock>::const_iterator last);
  // Deck line of line k of the current block (0 when unknown).
  int deckLineAt(size_t k) const;
  // After each block: a field that did not read as its target (a
  // parameter, text, a number with other characters after it, a fraction
  // in an integer field, a number too large) refuses the deck, naming the
  // line, the field and what it holds.
  void checkFields(const std::string& keyword);
  // Deck line of a card line of the current block (0 when unknown).
  int deckLineOf(const std::string& cardLine) const;
  // " (line n)" for the current block's keyword line, or empty.
  std::string atLine() const;
  // Refuses the deck when the block loop met unread mechanics or unknown
  // keywords, listing them.
  void refuseUnreadMechanics();
  // Refuses the deck when a shell's own thickness card gives a thickness
  // other than its part's section's, naming the first such element.
  void refuseOwnShellThicknesses();
  // What the block loops do after their last block: the two refusals
  // above; true while the deck is not refused.
  bool finishBlocks();

 public:
  // "\"keyword\", line n" for a card line of the current block (the line
  // left out when unknown), for messages that name a card.
  std::string lineWhere(const std::string& keyword, const std::string& cardLine) const;
  // The same for line k of the current block.
  std::string lineWhereAt(const std::string& keyword, size_t k) const;
  // "keyword (line n)" for line k of the current block (the keyword alone
  // when its line is not known): kept with what a card makes, so that a
  // refusal at completion or set-up names the card's line.
  std::string cardAtLine(const std::string& keyword, size_t k) const;
  // Refuses an id below 0 where the format gives a negative id no meaning,
  // naming line and field (1-based); true when refused.
  bool refuseNegativeId(const std::string& keyword, const std::string& cardLine, int field, const char* name, int id);

 private:
  // Part number of a deck part id named by an element, given on first
  // appearance; 0 (and the deck refused) beyond kMaxKeywordParts parts.
  int elementPartNumber(int deckPartId);
  // Takes the next element index for an element, mass or accelerometer
  // and returns it; the node list and part entries start empty.
  int nextElementIndex();
  // Books one element: store id, node list, element number map, part.
  // Returns the part number, 0 when the deck was refused.
  template <class Record>
  int bookElement(Record& element, int deckPartId, int nodeCount, const char* family, size_t line);
  // One prescribed-motion card line into a boundary; false when the deck
  // was refused.
  bool readPrescribedMotionCard(const std::vector<std::string>& lines, int k, const std::string& card,
                                BasicBoundary& boundary);
  // One node-load card line (node or node set, DOF, curve, factor) into
  // a load; false when the deck was refused.
  bool readNodeLoadCard(const std::string& line, const std::string& card, NodeLoad& load);
  template <class Load>
  void readSetPressure(const std::string& block, int loadKind);
  // Point lines of a curve or table, two numbers each, handed to point.
  bool curvePointsUsable(const std::string& header, int id, const double* x, int count,
                         const std::vector<std::string>& lines, size_t cardLine);
  template <class Point>
  void readPointLines(const std::vector<std::string>& lines, size_t first, Point point);

  // Field helpers over the frame's shared stream.
  template <class T>
  void readField(const std::string& text, T& target) {
    fields_.read(text, target);
  }
  // Reads card line k into the targets, one field each in order; an array
  // target or a CardSpan takes as many consecutive fields as it holds.
  template <class... T>
  void readCard(const std::vector<std::string>& lines, int k, T&&... targets) {
    readCardOfWidth(10, lines, k, std::forward<T>(targets)...);
  }
  // Reads fields already cut from a line into the targets, in order.
  template <class... T>
  void readFields(const std::vector<std::string>& fields, T&&... targets) {
    std::vector<std::string> padded = fields;
    padded.resize(static_cast<size_t>((0 + ... + cardItemWidth(targets))));
    int i = 0;
    (readCardItem(padded.data(), i, targets), ...);
  }
  template <class... T>
  void readCard8(const std::vector<std::string>& lines, int k, T&&... targets) {
    readCardOfWidth(8, lines, k, std::forward<T>(targets)...);
  }
  template <class... T>
  void readCardOfWidth(int width, const std::vector<std::string>& lines, int k, T&&... targets) {
    const int n = (0 + ... + cardItemWidth(targets));
    std::vector<std::string> fields(static_cast<size_t>(n));
    if (width == 8) {
      splitCardFields8(lines, fields.data(), k, n);
    } else {
      splitCardFields10(lines, fields.data(), k, n);
    }
    int i = 0;
    (readCardItem(fields.data(), i, targets), ...);
  }
  template <class T>
  static int cardItemWidth(const T&) {
    return 1;
  }
  template <class T, size_t N>
  static int cardItemWidth(const T (&)[N]) {
    return static_cast<int>(N);
  }
  template <class T>
  static int cardItemWidth(const CardSpan<T>& span) {
    return span.n;
  }
  template <class T>
  void readCardItem(const std::string* fields, int& i, T& target) {
    readField(fields[i++], target);
  }
  template <class T, size_t N>
  void readCardItem(const std::string* fields, int& i, T (&targets)[N]) {
    for (T& target : targets) readField(fields[i++], target);
  }
  template <class T>
  void readCardItem(const std::string* fields, int& i, CardSpan<T>& span) {
    for (int j = 0; j < span.n; ++j) readField(fields[i++], span.p[j]);
  }

  FEMDynamic* fem_;
  KeywordDeckState& state_;
  FieldStream fields_;
  bool refused_ = false;
  // The block being read was named as a whole (harmless, or mechanics not
  // read): its lines are not checked against its cards.
  bool blockNamed_ = false;
  bool blockHarmless_ = false;
  std::string currentHeader_;
  // The block being read (null for blocks without deck lines).
  const DeckBlock* current_ = nullptr;
  // Keywords already reported as not read.
  std::set<std::string> reportedKeywords_;
  // Unread blocks that would change the mechanics: line and keyword.
  std::vector<std::pair<int, std::string>> unreadMechanics_;
  // Blocks of unknown keywords: line and what is said of them.
  std::vector<std::pair<int, std::string>> unknownKeywords_;
  // A thickness given on a shell's own thickness card, checked against
  // its part's section once every block is read.
  struct OwnShellThickness {
    std::string where;  // keyword and line
    int element = 0;
    int deckPart = 0;
    double thickness = 0.0;
  };
  std::vector<OwnShellThickness> ownShellThicknesses_;
  // Working record of every constrained block, never cleared: a field a
  // card does not write keeps the previous card's value.
  Constrained constrainedRecord_;
  // Node sets made for welds and joints take ids -1, -2, ...: no deck set
  // id is negative, so they never meet a set of the deck.
  int generatedSetCount_ = 0;
  // Appends a node set of the given node ids (blanks left out) under the
  // next generated id, counts it among the node sets and returns its id.
  // The set's title is the card that made it (with its deck line), which
  // messages name in place of the generated id.
  int appendGeneratedNodeSet(const std::vector<int>& nodeIds, const std::string& card);
};
