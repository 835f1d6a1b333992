// The one table of the keywords the keyword reader knows, and the lookups
// the block loop makes in it.
#include "input/keyword/knownKeywords.h"

#include <algorithm>
#include <unordered_map>
#include <vector>

#include "input/keyword/keywordReader.h"

namespace {

// The option suffixes of a contact: an id or title line, a card for
// parallel runs, in either order.
#define CONTACT_SUFFIXES "{|_ID|_TITLE|_MPP|_ID_MPP|_TITLE_MPP|_MPP_ID|_MPP_TITLE}"

constexpr KnownKeyword kKnownKeywords[] = {
    // The frame.
    {"*KEYWORD", KeywordUse::Read, ""},
    {"*END", KeywordUse::Read, ""},
    {"*PARAMETER{|_EXPRESSION|_LOCAL|_EXPRESSION_LOCAL|_DUPLICATION}", KeywordUse::Read, ""},
    {"*INCLUDE{|_PATH|_PATH_RELATIVE|_TRANSFORM|_BINARY}", KeywordUse::Read, ""},
    // Nodes, elements, masses, airbags. The element options past the
    // shell's second line are refused by name.
    {"*NODE", KeywordUse::Read, ""},
    {"*ELEMENT_SHELL{|_THICKNESS|_BETA|_MCID}{|_OFFSET}", KeywordUse::Read, ""},
    {"*ELEMENT_BEAM{|_THICKNESS|_SCALAR|_SECTION|_OFFSET|_ORIENTATION|_PID}", KeywordUse::Read, ""},
    {"*ELEMENT_SOLID{|_ORTHO|_DOF|_TET4TOTET10}", KeywordUse::Read, ""},
    {"*ELEMENT_DISCRETE{|_LCO}", KeywordUse::Read, ""},
    {"*ELEMENT_MASS{|_PART|_PART_SET|_NODE_SET}", KeywordUse::Read, ""},
    {"*ELEMENT_TSHELL", KeywordUse::Read, ""},
    {"*AIRBAG_{SIMPLE_AIRBAG_MODEL|SIMPLE_PRESSURE_VOLUME|WANG_NEFSKE|HYBRID|LOAD_CURVE|ADIABATIC_GAS_MODEL}{|_ID}",
     KeywordUse::Read, ""},
    // Sections, materials, parts, equations of state.
    {"*SECTION_{SHELL|BEAM|SOLID|DISCRETE|TSHELL}{|_TITLE}", KeywordUse::Read, ""},
    {"*MAT_{ELASTIC|PLASTIC_KINEMATIC|RIGID|NULL|PIECEWISE_LINEAR_PLASTICITY|LINEAR_ELASTIC_DISCRETE_BEAM|"
     "NONLINEAR_PLASTIC_DISCRETE_BEAM|GENERAL_NONLINEAR_6DOF_DISCRETE_BEAM|MODIFIED_HONEYCOMB|"
     "MODIFIED_PIECEWISE_LINEAR_PLASTICITY|SPOTWELD|SPRING_NONLINEAR_ELASTIC|DAMPER_VISCOUS|MOONEY-RIVLIN_RUBBER}"
     "{|_TITLE}",
     KeywordUse::Read, ""},
    {"*PART{|_TITLE|_INERTIA|_CONTACT}", KeywordUse::Read, ""},
    {"*EOS*", KeywordUse::Read, ""},
    {"*HOURGLASS{|_TITLE}", KeywordUse::Read, ""},
    // Sets ("_ADD" forms take no title line).
    {"*SET_SEGMENT{|_TITLE}", KeywordUse::Read, ""},
    {"*SET_SEGMENT_{GENERAL|ADD}", KeywordUse::Read, ""},
    {"*SET_{NODE|SHELL|PART}{|_LIST}{|_TITLE}", KeywordUse::Read, ""},
    {"*SET_{NODE|SHELL|PART}_ADD", KeywordUse::Read, ""},
    {"*SET_NODE_GENERAL{|_TITLE}", KeywordUse::Read, ""},
    {"*SET_{NODE|SHELL|PART}_LIST_GENERATE{|_TITLE}", KeywordUse::Read, ""},
    // Contacts: the kinds read, and the options refused by name.
    {"*CONTACT_{|AUTOMATIC_|ERODING_|TIEBREAK_|AUTOMATIC_TIEBREAK_}{SINGLE_SURFACE|NODES_TO_SURFACE|SURFACE_TO_SURFACE|"
     "GENERAL}{|_TIEBREAK|_TIED|_MORTAR|_OFFSET|_SMOOTH}" CONTACT_SUFFIXES,
     KeywordUse::Read, ""},
    {"*CONTACT_{|AUTOMATIC_}ONE_WAY_SURFACE_TO_SURFACE{|_TIEBREAK|_MORTAR}" CONTACT_SUFFIXES, KeywordUse::Read, ""},
    {"*CONTACT_TIED_{SHELL_EDGE_TO_SURFACE|NODES_TO_SURFACE|SURFACE_TO_SURFACE}"
     "{|_OFFSET|_CONSTRAINED_OFFSET|_BEAM_OFFSET|_FAILURE}" CONTACT_SUFFIXES,
     KeywordUse::Read, ""},
    {"*CONTACT_ENTITY", KeywordUse::Read, ""},
    // Boundaries, loads, constraints, initial velocities, rigid walls.
    {"*BOUNDARY_PRESCRIBED_MOTION_{NODE|SET|RIGID}{|_ID}", KeywordUse::Read, ""},
    {"*BOUNDARY_SPC_{NODE|SET|SET_BIRTH_DEATH}{|_ID}", KeywordUse::Read, ""},
    {"*LOAD_{NODE_POINT|NODE_SET|SHELL_SET|SEGMENT_SET}{|_ID}", KeywordUse::Read, ""},
    {"*LOAD_BODY_{X|Y|Z|RX|RY|RZ|VECTOR|PARTS}", KeywordUse::Read, ""},
    {"*CONSTRAINED_{NODAL_RIGID_BODY|RIGID_BODIES|EXTRA_NODES_NODE|EXTRA_NODES_SET}", KeywordUse::Read, ""},
    {"*CONSTRAINED_SPOTWELD{|_ID}", KeywordUse::Read, ""},
    {"*CONSTRAINED_JOINT_{SPHERICAL|REVOLUTE|CYLINDRICAL|UNIVERSAL|TRANSLATIONAL|PLANAR|LOCKING}{|_FAILURE}{|_ID}",
     KeywordUse::Read, ""},
    {"*INITIAL_VELOCITY{|_NODE|_GENERATION|_RIGID_BODY}", KeywordUse::Read, ""},
    {"*RIGIDWALL_PLANAR{|_FINITE}{|_MOVING}{|_ID}", KeywordUse::Read, ""},
    {"*RIGIDWALL_GEOMETRIC_{FLAT|PRISM|CYLINDER|SPHERE}{|_MOTION}{|_ID}", KeywordUse::Read, ""},
    // Curves, tables, boxes, coordinates, transformations; controls.
    {"*DEFINE_{CURVE|TABLE|BOX|COORDINATE_NODES|TRANSFORMATION}{|_TITLE}", KeywordUse::Read, ""},
    {"*CONTROL_{TERMINATION|TIMESTEP|CONTACT|SHELL|SOLID|HOURGLASS|ACCURACY|SOLUTION|IMPLICIT_GENERAL|"
     "IMPLICIT_EIGENVALUE|BULK_VISCOSITY|RIGID}",
     KeywordUse::Read, ""},
    // Sensors that switch or control what is computed.
    {"*SENSOR_{SWITCH|CONTROL}*", KeywordUse::Read, ""},

    // Keywords (with all their options) whose blocks cannot change the
    // mechanics this program computes: requests for output and databases
    // of other programs, titles and comments, settings of output,
    // licensing, parallel runs or memory. A block of one of them that this
    // version does not act on is named once (quiet ones not at all) and the
    // deck reads on. Every other block that it does not act on refuses the
    // deck.
    {"*TITLE*", KeywordUse::OutputOnlyQuiet, "a title"},
    {"*KEYWORD_ID*", KeywordUse::OutputOnly, "a job name"},
    {"*COMMENT*", KeywordUse::OutputOnlyQuiet, "a comment"},
    {"*DATABASE*", KeywordUse::OutputOnly, "output files of another program"},
    {"*CONTROL_OUTPUT*", KeywordUse::OutputOnly, "settings of output files"},
    {"*CONTROL_ENERGY*", KeywordUse::OutputOnly, "energy sums for output files"},
    {"*CONTROL_CPU*", KeywordUse::OutputOnly, "a limit on processor time"},
    {"*CONTROL_PARALLEL*", KeywordUse::OutputOnly, "settings of a parallel run"},
    {"*CONTROL_MPP*", KeywordUse::OutputOnly, "settings of a parallel run"},
    {"*CONTROL_STRUCTURED*", KeywordUse::OutputOnly, "an output file for another program"},
    {"*CONTROL_COUPLING*", KeywordUse::OutputOnly, "units and flags of a coupling with another program"},
    {"*CONTROL_IMPLICIT*", KeywordUse::OutputOnly, "settings of an implicit run, which this explicit run does not use"},
    {"*ELEMENT_SEATBELT_ACCELEROMETER*", KeywordUse::OutputOnly,
     "an output device, which carries no mass or stiffness"},
    {"*INTERFACE_SPRINGBACK*", KeywordUse::OutputOnly, "an output file for another program"},
    // Nothing this version computes can name a solid set or be switched by
    // a sensor (sensor switches and controls refuse the deck).
    {"*SET_SOLID*", KeywordUse::OutputOnly, "a set of solid elements that no card this version computes names"},
    {"*SENSOR_DEFINE*", KeywordUse::OutputOnly, "a sensor's measurement, which switches nothing this version computes"},
};

#undef CONTACT_SUFFIXES

// Appends every text a form stands for, from position at on, after prefix.
void expandForm(const std::string& form, size_t at, const std::string& prefix, std::vector<std::string>& out) {
  const size_t open = form.find('{', at);
  if (open == std::string::npos) {
    out.push_back(prefix + form.substr(at));
    return;
  }
  const size_t close = form.find('}', open);
  const std::string head = prefix + form.substr(at, open - at);
  for (size_t start = open + 1;;) {
    const size_t bar = std::min(form.find('|', start), close);
    expandForm(form, close + 1, head + form.substr(start, bar - start), out);
    if (bar == close) break;
    start = bar + 1;
  }
}

bool takesAnyOption(const char* form) {
  const std::string text = form;
  return !text.empty() && text.back() == '*' && text.size() > 1;
}

// The exact forms of the table, and its families that take any option, made
// once.
struct KeywordIndex {
  std::unordered_map<std::string, const KnownKeyword*> exact;
  std::vector<std::pair<std::string, const KnownKeyword*>> families;  // name without the final "*"
  KeywordIndex() {
    for (const KnownKeyword& entry : kKnownKeywords) {
      std::string form = entry.form;
      if (takesAnyOption(entry.form)) {
        form.pop_back();
        std::vector<std::string> names;
        expandForm(form, 0, "", names);
        for (const std::string& name : names) families.emplace_back(name, &entry);
        continue;
      }
      std::vector<std::string> forms;
      expandForm(form, 0, "", forms);
      for (const std::string& text : forms) exact.emplace(text, &entry);
    }
  }
};

const KeywordIndex& keywordIndex() {
  static const KeywordIndex index;
  return index;
}

// Letters changed, added or removed to make a into b.
size_t editDistance(const std::string& a, const std::string& b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

}  // namespace

const KnownKeyword* outputOnlyKeyword(const std::string& keyword) {
  for (const auto& [name, entry] : keywordIndex().families) {
    if (entry->use != KeywordUse::Read && keywordIs(keyword, name)) return entry;
  }
  return nullptr;
}

const KnownKeyword* knownKeyword(const std::string& keyword) {
  const KeywordIndex& index = keywordIndex();
  const auto exact = index.exact.find(keyword);
  if (exact != index.exact.end()) return exact->second;
  if (const KnownKeyword* output = outputOnlyKeyword(keyword)) return output;
  for (const auto& [name, entry] : index.families) {
    if (keywordIs(keyword, name)) return entry;
  }
  return nullptr;
}

std::string nearestKnownKeyword(const std::string& keyword) {
  const KeywordIndex& index = keywordIndex();
  std::string nearest;
  size_t best = std::string::npos;
  auto consider = [&](const std::string& name) {
    const size_t distance = editDistance(keyword, name);
    if (distance < best || (distance == best && name < nearest)) {
      best = distance;
      nearest = name;
    }
  };
  for (const auto& [name, entry] : index.exact) consider(name);
  for (const auto& [name, entry] : index.families) consider(name);
  return nearest;
}
