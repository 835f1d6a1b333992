// ".inp" output requests: an *OUTPUT block gives an interval to the
// *NODE OUTPUT, *ELEMENT OUTPUT and *TECPLOT OUTPUT blocks that follow it;
// each of them becomes one history or field output of the run.
#include <memory>

#include "input/inp/inpReader.h"
#include "output/elementOutput.h"
#include "output/nodeOutput.h"
#include "output/outputManager.h"
#include "output/tecplotOutput.h"
#include "solver/femdynamic.h"

namespace {

// Variables each kind of output writes; other names are reported.
const std::vector<std::string>& knownVariables(InpModel::Output::Kind kind) {
  static const std::vector<std::string> node = {"RF", "S", "PE"};
  static const std::vector<std::string> element = {"S", "PE"};
  static const std::vector<std::string> tecplot = {"U", "S", "LE"};
  return kind == InpModel::Output::Node ? node : (kind == InpModel::Output::Element ? element : tecplot);
}

// Output variables of the format that these outputs do not write: named and
// passed over. Any other name is no output variable and refuses the deck.
bool formatVariable(const std::string& name) {
  static const std::vector<std::string> names = {
      "U",      "UT",   "UR",   "V",     "VT",   "VR",      "A",     "AT",      "AR",    "RF",     "RT",      "RM",
      "CF",     "CM",   "TF",   "COORD", "NT",   "NFORC",   "S",     "SP",      "SINV",  "MISES",  "PRESS",   "E",
      "EE",     "IE",   "LE",   "NE",    "PE",   "PEEQ",    "PEMAG", "PS",      "ER",    "SE",     "SF",      "SM",
      "STH",    "ENER", "ELEN", "ELSE",  "ELPD", "ELKE",    "ELCD",  "EVOL",    "IVOL",  "SENER",  "PENER",   "VENER",
      "STATUS", "SDV",  "TEMP", "EVF",   "MASS", "DENSITY", "BF",    "CSTRESS", "CDISP", "CFORCE", "CSTATUS", "TRIAX"};
  for (const std::string& n : names) {
    if (n == name) return true;
  }
  return false;
}

// The options of an output request: each can change only what is written.
std::vector<std::string> outputSettings(const InpBlock& block) {
  std::vector<std::string> keys;
  for (const auto& [key, value] : block.keyword.options) keys.push_back(key);
  return keys;
}

bool isFollower(const std::string& name) {
  return name == "NODEOUTPUT" || name == "ELEMENTOUTPUT" || name == "TECPLOTOUTPUT";
}

}  // namespace

size_t InpReader::readOutput(const std::vector<InpBlock>& blocks, size_t i) {
  const InpBlock& block = blocks[i];
  refuseUnreadOptions(block, {"FIELD", "HISTORY", "TIMEINTERVAL", "NUMBERINTERVAL", "NAME", "VARIABLE"},
                      outputSettings(block));
  InpModel::Output request;
  const std::string time = block.keyword.option("TIMEINTERVAL");
  const std::string count = block.keyword.option("NUMBERINTERVAL");
  if (!time.empty() && (!inpNumber(time, request.interval) || request.interval <= 0.0)) {
    refuse(block.where() + ": TIME INTERVAL=" + time + " is not a time > 0");
  } else if (!count.empty() && (!inpInteger(count, request.count) || request.count <= 0)) {
    refuse(block.where() + ": NUMBER INTERVAL=" + count + " is not a count > 0");
  }
  // The first request with an interval gives the run's output interval.
  if (model_.outputInterval <= 0.0 && model_.outputCount == 0) {
    model_.outputInterval = request.interval;
    model_.outputCount = request.count;
  }
  for (; i + 1 < blocks.size() && isFollower(blocks[i + 1].keyword.name); ++i) {
    const InpBlock& follower = blocks[i + 1];
    InpModel::Output output = request;
    output.lineNumber = follower.lineNumber;
    const std::string& name = follower.keyword.name;
    output.kind = name == "NODEOUTPUT"      ? InpModel::Output::Node
                  : name == "ELEMENTOUTPUT" ? InpModel::Output::Element
                                            : InpModel::Output::Tecplot;
    const bool tecplot = output.kind == InpModel::Output::Tecplot;
    const char* setKey = output.kind == InpModel::Output::Node ? "NSET" : "ELSET";
    refuseUnreadOptions(follower, tecplot ? std::vector<std::string>() : std::vector<std::string>{setKey},
                        outputSettings(follower));
    if (!tecplot) output.set = follower.keyword.option(setKey);
    if (!tecplot && output.set.empty()) {
      // A field request over the whole model: the field files cover it.
      warn(follower.where() + ": a request without " + setKey +
           "= (the whole model) is not written by this version; the request is ignored");
      follower.lines.takeAll();  // named as a whole
      continue;
    }
    // Every field of every line is one variable.
    for (const std::vector<std::string>& line : follower.lines) {
      for (const std::string& field : line) {
        if (field.empty()) continue;
        const std::string variable = inpUpper(field);
        bool known = false;
        for (const std::string& k : knownVariables(output.kind)) known = known || k == variable;
        if (!known && !formatVariable(variable)) {
          refuse(follower.where() + ": " + variable + " is no output variable; the output would lack it");
          continue;
        }
        if (!known) {
          warn(follower.where() + ": the variable " + variable + " is not written by this output");
          continue;
        }
        output.variables.push_back(variable);
      }
    }
    model_.outputs.push_back(output);
  }
  return i;
}

// A node output follows a node set, an element output an element set of
// elements that were read.
void InpReader::resolveOutputs() {
  for (const InpModel::Output& output : model_.outputs) {
    const std::string where = "the output request" + inpAtLine(output.lineNumber);
    if (output.kind == InpModel::Output::Node && model_.nodeSets.count(output.set) == 0) {
      refuse(where + " names the node set " + output.set + ", which is not defined");
    } else if (output.kind == InpModel::Output::Element) {
      const auto set = model_.elementSets.find(output.set);
      if (set == model_.elementSets.end()) {
        refuse(where + " names the element set " + output.set + ", which is not defined");
        continue;
      }
      for (int id : set->second) {
        if (elementPart_.count(id) == 0) {
          refuse(where + ": element " + std::to_string(id) + " of the set " + output.set +
                 " is not an element that was read");
          break;
        }
      }
    }
  }
}

namespace {

void fillOutput(const InpModel& model, const InpModel::Output& request, BasicOutput& output) {
  output.interval_ = request.count > 0 ? model.endTime / request.count : request.interval;
  output.variableNames_ = request.variables;
  output.setName_ = request.set;
  if (request.kind == InpModel::Output::Node) output.setId_ = inpSetId(model.nodeSets, request.set);
  if (request.kind == InpModel::Output::Element) output.setId_ = inpSetId(model.elementSets, request.set);
}

bool requested(const InpModel::Output& request, const char* name) {
  for (const std::string& variable : request.variables) {
    if (variable == name) return true;
  }
  return false;
}

}  // namespace

void addInpOutputs(const InpModel& model, FEMDynamic* fem) {
  OutputManager& manager = *fem->outputManager;
  for (const InpModel::Output& request : model.outputs) {
    if (request.kind == InpModel::Output::Tecplot) {
      auto tecplot = std::make_unique<TecplotOutput>();
      fillOutput(model, request, *tecplot);
      tecplot->startEndInterval_ = tecplot->interval_;
      tecplot->dispFlag_ = requested(request, "U");
      tecplot->stressFlag_ = requested(request, "S");
      tecplot->strainFlag_ = requested(request, "LE");
      tecplot->variableNames_.clear();
      manager.hasTecplot_ = true;
      manager.addOutput(std::move(tecplot));
    } else if (request.kind == InpModel::Output::Node) {
      auto node = std::make_unique<NodeOutput>();
      fillOutput(model, request, *node);
      manager.addOutput(std::move(node));
    } else {
      auto element = std::make_unique<ElementOutput>();
      fillOutput(model, request, *element);
      manager.addOutput(std::move(element));
    }
  }
}
