// Keyword family *CONTACT: one contact definition per block. The kind
// follows from the header; the cards sit on fixed lines after the keyword
// line, an optional id line and an optional parallel-processing card.
#include <set>
#include <sstream>
#include <string>

#include "contact/contact.h"
#include "contact/contactManager.h"
#include "input/keyword/keywordCardRules.h"
#include "input/keyword/keywordReader.h"
#include "solver/femdynamic.h"

namespace {

// Kind of a *CONTACT header, or -1 for a header that stores nothing. Every
// tied interface is a tie: a glued interface must never separate.
int contactKindOf(const std::string& header) {
  auto has = [&header](const char* word) { return header.find(word) != std::string::npos; };
  if (has("TIED_")) return TIED_SHELL_EDGE_TO_SURFACE;
  if (has("SINGLE_SURFACE")) return SINGLE_SURFACE;
  if (has("NODES_TO_SURFACE")) return NODES_TO_SURFACE;
  if (has("SURFACE_TO_SURFACE")) return SURFACE_TO_SURFACE;
  if (has("GENERAL")) return GENERAL_CONTACT;
  return -1;
}

// The first word of a contact header (after "*CONTACT_") that names an
// option this version does not compute, or an empty string. The kinds'
// own words, AUTOMATIC_ (the search is the same), ONE_WAY_, the id, title
// and parallel-card words are taken; a tie also takes its offset forms.
// Any other word (a tiebreak, eroding, mortar, thermal, smooth, forming,
// failure ... contact) would change what the contact does and is refused.
std::string untakenContactWord(const std::string& header, bool tied) {
  static const std::set<std::string> kTaken = {"AUTOMATIC", "SINGLE", "SURFACE", "NODES", "TO",    "GENERAL", "ONE",
                                               "WAY",       "ID",     "TITLE",   "MPP",   "SHELL", "EDGE"};
  static const std::set<std::string> kTiedOnly = {"TIED", "OFFSET", "CONSTRAINED", "BEAM"};
  std::string rest = header.substr(header.find("*CONTACT") + 8);
  std::istringstream words(rest);
  for (std::string word; std::getline(words, word, '_');) {
    while (!word.empty() && (word.back() == ' ' || word.back() == '\r')) word.pop_back();
    if (word.empty() || kTaken.count(word) > 0 || (tied && kTiedOnly.count(word) > 0)) continue;
    return word;
  }
  return std::string();
}

// Lines of the parallel-processing card: the card, and its continuation
// line when the card ends in "&".
int parallelCardLines(const std::vector<std::string>& lines, int n) {
  if (n < 0 || static_cast<size_t>(n) >= cardLineEnd(lines)) return 1;
  return lines[static_cast<size_t>(n)].find('&') != std::string::npos ? 2 : 1;
}

// Blank fields with a documented default other than 0: the scale factors
// of card 3 (1.0), the death time (1e20) and, on card A, the soft-constraint
// scale (0.1), the parametric extension (1.025), the search depth and
// segment option (2) and the friction update interval (1).
void applyContactCardDefaults(Contact& c) {
  for (double* scale : {&c.slave_penalty_scale, &c.master_penalty_scale, &c.slave_thickness_scale,
                        &c.master_thickness_scale, &c.friction_scale, &c.viscous_force_scale}) {
    if (*scale == 0.0) *scale = 1.0;
  }
  if (c.death_time == 0.0) c.death_time = 1.0e20;
  if (c.soft_scale == 0.0) c.soft_scale = 0.1;
  if (c.max_parametric_coord == 0.0) c.max_parametric_coord = 1.025;
  if (c.segment_option == 0.0) c.segment_option = 2.0;
  if (c.search_depth == 0) c.search_depth = 2;
  if (c.friction_update_interval == 0) c.friction_update_interval = 1;
}

bool standsAtSearchDepth(double value) { return value >= 0.0 && value <= 3.0; }
// SOFT 0 and 1 choose how a penalty is scaled, which the decoupled force
// here does not use; 2 and above ask for segment-to-segment contact.
bool standsAtNodeToSegment(double value) { return value == 0.0 || value == 1.0; }
// A friction coefficient; a negative FS takes the friction from the parts'
// contact cards (-1) or from a table (-2).
bool standsAtCoefficient(double value) { return value >= 0.0; }

// Fields of the contact cards that this version's contacts do not compute:
// friction from the parts' cards or a table, boxes, viscous friction and damping, penetration checks, birth and death,
// contact thicknesses and their scales, a friction scale, airbag curves,
// edge-to-edge search depths, a friction update interval, thickness
// options, symmetry planes and kept initial penetrations other than IGNORE 1
// and 2 (overlaps held at their starting depth, which every contact here
// does). Penalty scales
// and stiffness options (SFS, SFM, SOFT 0 and 1, SOFSCL, SLDSTF, DTSTIF), search
// and sort settings (MAXPAR, SBOPT, BSORT, PENMAX, SNLOG, I2D3D, the
// parallel card) and output (SPR, MPR, CID_RCF) change nothing they
// compute: contact forces here are the decoupled forces that bring the
// sides to one normal velocity, whatever the penalty, and every node is
// searched every cycle. Card 1 is line n; the parallel card line mpp (-1:
// none); cards A to C follow card 3 when `optional`.
void refuseUncomputedContactFields(KeywordReader& reader, const std::string& header,
                                   const std::vector<std::string>& lines, int n, int mpp, bool optional) {
  if (mpp >= 0)
    refuseUncomputedFields(reader, header, lines, mpp,
                           {{1, "IGNORE", "initial penetrations kept", standsAtHeldPenetration}});
  refuseUncomputedFields(reader, header, lines, n,
                         {{5, "SBOXID", "a slave side kept to a box"}, {6, "MBOXID", "a master side kept to a box"}});
  refuseUncomputedFields(reader, header, lines, n + 1,
                         {{1, "FS", "friction of the parts' contact cards or of a table", standsAtCoefficient},
                          {4, "VC", "a viscous limit of the friction force"},
                          {5, "VDC", "viscous damping of the contact"},
                          {6, "PENCHK", "a check that releases deep penetrations"},
                          {7, "BT", "a contact that starts later"},
                          {8, "DT", "a contact that ends", standsAtNever}});
  refuseUncomputedFields(reader, header, lines, n + 2,
                         {{3, "SST", "a contact thickness of the slave side"},
                          {4, "MST", "a contact thickness of the master side"},
                          {5, "SFST", "a scaled contact thickness of the slave side", standsAtOne},
                          {6, "SFMT", "a scaled contact thickness of the master side", standsAtOne},
                          {7, "FSF", "a scaled friction coefficient", standsAtOne}});
  if (!optional) return;
  refuseUncomputedFields(reader, header, lines, n + 3,
                         {{1, "SOFT", "a segment-based contact", standsAtNodeToSegment},
                          {3, "LCIDAB", "an airbag's contact curve"},
                          {6, "DEPTH", "an edge-to-edge search", standsAtSearchDepth},
                          {8, "FRCFRQ", "friction updated every few cycles only", standsAtOne}});
  refuseUncomputedFields(reader, header, lines, n + 4,
                         {{2, "THKOPT", "another thickness option"},
                          {3, "SHLTHK", "shell thickness switched on or off"},
                          {5, "ISYM", "symmetry planes"},
                          {7, "SLDTHK", "a contact thickness of solids"}});
  refuseUncomputedFields(reader, header, lines, n + 5,
                         {{2, "IGNORE", "initial penetrations kept", standsAtHeldPenetration}});
}

// Cards D to F, lines n + 6 to n + 8 when the block goes on after card C
// (read as plain numbers by the caller). Settings of segment-based contact (Q2TRI, SFNBR, FNLSCL, DNLSCL, FSTOL,
// SSFTYP, TETFAC: SOFT 2 is refused on card A), of the penalty (PSTIFF)
// and the penetration report interval (DTPCHK) change nothing computed
// here and are read past; the fields below would change the contact.
void refuseUncomputedCardsDToF(KeywordReader& reader, const std::string& header, const std::vector<std::string>& lines,
                               int n) {
  refuseUncomputedFields(reader, header, lines, n + 6,
                         {{6, "TCSO", "a contact thickness from the contact segments only"},
                          {7, "TIEDID", "ties updated incrementally"},
                          {8, "SHLEDG", "another shape of shell edges in contact"}});
  refuseUncomputedFields(reader, header, lines, n + 7,
                         {{1, "SHAREC", "constraints shared with the contact nodes"},
                          {2, "CPARM8", "beams and spot welds kept out of the contact"},
                          {3, "IPBACK", "a penalty contact behind a tie"},
                          {4, "SRNDE", "rounded shell edges"},
                          {5, "FRICSF", "a scaled friction coefficient", standsAtOne},
                          {6, "ICOR", "a coefficient of restitution"},
                          {7, "FTORQ", "a torque from the friction of beams"},
                          {8, "REGION", "a contact kept to a region"}});
  refuseUncomputedFields(reader, header, lines, n + 8,
                         {{2, "IGNROFF", "shell and beam offsets left out of the contact"},
                          {5, "2DBINR", "a two-dimensional contact"},
                          {7, "SWTPR", "spot welds of a tie thinned"}});
}

}  // namespace

void KeywordReader::readContact(const std::string& block) {
  const std::string header = blockHeader(block);
  const int kind = contactKindOf(header);
  if (kind < 0) {
    // Entity contacts and other forms: the user learns that they do nothing.
    ignoreBlock(block);
    return;
  }
  auto has = [&header](const char* word) { return header.find(word) != std::string::npos; };
  const std::string untaken = untakenContactWord(header, kind == TIED_SHELL_EDGE_TO_SURFACE);
  if (!untaken.empty()) {
    refuseForm(header, "asks for a contact option this version does not compute (" + untaken + ")");
    return;
  }
  const std::vector<std::string> lines = splitDeckLines(block);
  const bool shellEdge = has("TIED_SHELL_EDGE_TO_SURFACE");

  Contact contact = Contact::zeroed();
  contact.keyword = header;
  contact.deck_position = static_cast<int>(fem_->contactManager->contact_array.size()) + 1;
  const bool idLine = shellEdge || has("_TITLE") || has("_ID");
  if (idLine && lines.size() > 1) {
    readIdLine(lines[1], contact.contact_id, &contact.title);
    if (refuseNegativeId(header, lines[1], 1, "CID", contact.contact_id)) return;
  }
  int n = idLine ? 2 : 1;
  // The parallel card (with its continuation) is skipped for every kind;
  // only a general contact keeps its values.
  int mppLines = 0;
  if (has("_MPP")) {
    if (kind == GENERAL_CONTACT) {
      double unread = 0.0;
      readCard(lines, n, contact.ignore_option, contact.bucket_interval, contact.bucket_curve_id,
               contact.tracked_segments, contact.initial_iterations, contact.parametric_extension, unread,
               contact.parallel_option);
    }
    mppLines = parallelCardLines(lines, n);
    // Settings of a parallel run: taken as read, whatever they hold.
    for (int j = n; j < n + mppLines && static_cast<size_t>(j) < lines.size(); ++j) {
      takeCardLine(lines[static_cast<size_t>(j)], lines[static_cast<size_t>(j)].size());
    }
    n += mppLines;
  }
  state_.contactLines[contact.deck_position] = deckLineAt(static_cast<size_t>(n));
  readCard(lines, n, contact.slave_id, contact.master_id, contact.slave_type, contact.master_type, contact.slave_box_id,
           contact.master_box_id, contact.slave_print_flag, contact.master_print_flag);
  readCard(lines, n + 1, contact.static_friction, contact.dynamic_friction, contact.decay_coefficient,
           contact.viscous_friction, contact.viscous_damping, contact.penetration_check, contact.birth_time,
           contact.death_time);
  readCard(lines, n + 2, contact.slave_penalty_scale, contact.master_penalty_scale, contact.slave_thickness,
           contact.master_thickness, contact.slave_thickness_scale, contact.master_thickness_scale,
           contact.friction_scale, contact.viscous_force_scale);

  // Cards A to C follow card 3 when the block goes on after it (a tied
  // shell edge always has them), cards D to F card C likewise.
  const bool optionalCards = shellEdge || static_cast<size_t>(n + 3) < cardLineEnd(lines);
  if (optionalCards) {
    readOptionalCardA(lines, n + 3, contact);
    readCard(lines, n + 4, contact.max_penetration, contact.thickness_option, contact.shell_thickness_option,
             contact.shell_edge_logic, contact.symmetry_option, contact.dimension_option, contact.solid_thickness,
             contact.solid_stiffness);
    double unread[2] = {0.0, 0.0};
    readCard(lines, n + 5, contact.gap_option, contact.ignore_option, contact.penalty_damping_factor,
             contact.stiffness_step, unread, contact.flange_angle, contact.rcf_coordinate_id);
    if (static_cast<size_t>(n + 6) < cardLineEnd(lines)) {
      for (int k = n + 6; k <= n + 8; ++k) {
        double readPast[8] = {};
        readCard(lines, k, readPast);
      }
      refuseUncomputedCardsDToF(*this, header, lines, n);
    }
  }
  contact.contact_type = kind;
  // Both sides of a surface-to-surface contact are searched against each
  // other; the one-way form keeps the slave side's nodes out of the master
  // side's segments only, as its name says.
  contact.two_way = kind == SURFACE_TO_SURFACE && !has("ONE_WAY") ? 1 : 0;
  applyContactCardDefaults(contact);
  refuseUncomputedContactFields(*this, header, lines, n, mppLines > 0 ? n - mppLines : -1, optionalCards);
  fem_->contactManager->contact_array.push_back(std::move(contact));
}

void KeywordReader::readOptionalCardA(const std::vector<std::string>& lines, int k, Contact& contact) {
  readCard(lines, k, contact.soft_option, contact.soft_scale, contact.airbag_curve_id, contact.max_parametric_coord,
           contact.segment_option, contact.search_depth, contact.bucket_sort_interval,
           contact.friction_update_interval);
}
