// Keyword family *CONTROL: run end and time-step rules into the time
// control, hourglass controls into their manager, every other recognised
// option kept card for card in the control options. Options whose values
// this version does not act on go to the unread-block rule: the output
// settings are named, the mechanics settings refuse the deck.
#include "elements/common/hourglasscontrol.h"
#include "elements/common/hourglassControlManager.h"
#include "input/keyword/keywordCardRules.h"
#include "input/keyword/keywordReader.h"
#include "solver/femdynamic.h"
#include "solver/timeControl.h"

namespace {

constexpr const char* kUnknownContactSetting = "a contact setting this version does not read";

// *CONTROL_CONTACT: the defaults of every contact. Settings of the penalty
// method (SLSFAC, RWPNAL, PENOPT, PEN_SF, RWKSF, PSTIFF), of searching
// (NSBCS, INTERM, XPENE), of output and checks (ISLCHK, FRCENG, SKIPRWG,
// OUTSEG), and of features a run here never has (user contacts, erosion,
// spot-weld contacts, heat, isogeometric elements) do not change what the
// contacts of this version compute and are passed over; a tie here never
// moves its nodes onto the master, whatever TIEDPRJ says. The fields below
// would change it: a value other than their default refuses the deck. On
// cards 7 and 8 FSTOL (a tolerance of segment-based contacts) is read past;
// their other fields, 0 by default, refuse the deck when set.
// Returns how many fields refuse the deck.
int refuseContactControlFields(KeywordReader& reader, const std::string& header,
                               const std::vector<std::string>& lines) {
  int refused =
      refuseUncomputedFields(reader, header, lines, 1,
                             {{4, "SHLTHK", "shell thickness switched on or off by contact kind"},
                              {6, "THKCHG", "contact thickness following the shell thickness"},
                              {7, "ORIEN", "segment orientation other than the automatic one", standsAtZeroOrOne}});
  refused += refuseUncomputedFields(reader, header, lines, 2,
                                    {{6, "SSTHK", "the shell's own thickness in single-surface contacts"}});
  refused += refuseUncomputedFields(reader, header, lines, 3,
                                    {{1, "SFRIC", "a default friction of the contacts"},
                                     {2, "DFRIC", "a default friction of the contacts"},
                                     {3, "EDC", "a default friction decay of the contacts"},
                                     {4, "VFC", "a default viscous friction of the contacts"},
                                     {5, "TH", "a default contact thickness"},
                                     {6, "TH_SF", "a default contact thickness scale"}});
  refused += refuseUncomputedFields(reader, header, lines, 4,
                                    {{1, "IGNORE", "initial penetrations kept", standsAtHeldPenetration}});
  refused += refuseUncomputedFields(reader, header, lines, 5,
                                    {{1, "ISYM", "symmetry planes in automatic contacts"},
                                     {3, "RWGAPS", "rigid walls that leave out the shell thickness", standsAtZeroOrOne},
                                     {4, "RWGDTH", "a death time of the rigid-wall gap", standsAtNever},
                                     {6, "ICOV", "invariant node numbering of elements"}});
  refused += refuseUncomputedFields(reader, header, lines, 6,
                                    {{1, "SHLEDG", "another shape of shell edges in contact"},
                                     {4, "TDCNOF", "another treatment of tied offset contacts"},
                                     {5, "FTALL", "failure of tied contacts"},
                                     {7, "SHLTRW", "a shell thickness scale at rigid walls"}});
  refused += refuseUncomputedFields(reader, header, lines, 7,
                                    {{1, "SHAREC", "constraints shared with the contact nodes"},
                                     {2, "CPARM8", "beams and spot welds kept out of the contacts"},
                                     {3, "IPBACK", "a penalty contact behind the ties"},
                                     {4, "SRNDE", "rounded shell edges"},
                                     {6, "FRCSHL", "friction of shell edges"},
                                     {7, "value", kUnknownContactSetting},
                                     {8, "value", kUnknownContactSetting}});
  for (int field = 1; field <= 8; ++field) {
    refused += refuseUncomputedFields(reader, header, lines, 8, {{field, "value", kUnknownContactSetting}});
  }
  return refused;
}

}  // namespace

void KeywordReader::readControl(const std::string& block) {
  const std::string header = blockHeader(block);
  auto has = [&header](const char* word) { return keywordIs(header, word); };
  const std::vector<std::string> lines = splitDeckLines(block);
  TimeControl& time = *fem_->timeControl;
  ControlOptions& options = *fem_->controlOptions;

  if (has("CONTROL_TERMINATION")) {
    readCard(lines, 1, time.end_time, time.end_cycle, time.termination_values, time.termination_flag);
    // ENDMAS blank: 1e8 (kept).
    if (time.termination_values[2] == 0.0) time.termination_values[2] = 1.0e8;
    refuseUncomputedFields(*this, header, lines, 1,
                           {{4, "ENDENG", "a run that ends on a change of its energy"},
                            {6, "NOSOL", "a run that stops after its set-up"}});
  } else if (has("CONTROL_TIMESTEP")) {
    readCard(lines, 1, time.timestep_value, time.input_safe_factor, time.timestep_flag, time.timestep_value2,
             time.mass_scaling_dt, time.timestep_flags);
    // TSSFAC blank: 0.9.
    if (time.input_safe_factor == 0.0) time.input_safe_factor = 0.9;
    refuseUncomputedFields(*this, header, lines, 1,
                           {{1, "DTINIT", "a first time step of the deck's own"},
                            {3, "ISDO", "another length for the shells' time step"},
                            {4, "TSLIMT", "shells scaled to a step of their own"},
                            {6, "LCTM", "a curve that limits the time step"},
                            {7, "ERODE", "elements eroded when the step falls below DTMIN"},
                            {8, "MS1ST", "mass scaled at the first step only"}});
    // The optional card 2, as decks write it at its defaults.
    if (cardLineEnd(lines) > 2) {
      refuseUncomputedFields(*this, header, lines, 2,
                             {{1, "DT2MSF", "a mass-scaled step from a factor of the first step"},
                              {2, "DT2MSLC", "a curve of the mass-scaled step"},
                              {3, "IMSCL", "selective mass scaling"},
                              {6, "RMSCL", "mass scaling of the rotational inertia"}});
    }
    if (!(time.input_safe_factor > 0.0 && time.input_safe_factor <= 1.0)) {
      refuse(lineWhere(header, lines[1]) + ": the time-step factor TSSFAC " + std::to_string(time.input_safe_factor) +
             " must lie above 0 and at most 1");
      return;
    }
  } else if (has("CONTROL_CONTACT")) {
    ContactControl c;
    readCard(lines, 1, c.card1_value1, c.card1_value2, c.card1_values);
    readCard(lines, 2, c.card2_values, c.card2_value5, c.card2_flags);
    readCard(lines, 3, c.card3_values);
    readCard(lines, 4, c.card4_values, c.card4_value7);
    readCard(lines, 5, c.card5_values, c.card5_doubles, c.card5_value6, c.card5_value7, c.card5_value8);
    readCard(lines, 6, c.card6_values, c.card6_unused, c.card6_value7, c.card6_value8);
    for (int k : {7, 8}) {
      double readPast[8] = {};
      readCard(lines, k, readPast);
    }
    options.contact_control.push_back(c);
    if (refuseContactControlFields(*this, header, lines) == 0) {
      warn(keywordAtLine(*this, header, lines[0]) +
           " is not acted on by this version; it holds only settings of the "
           "penalty method, the search and output, which change nothing its contacts compute");
    }
  } else if (has("CONTROL_SHELL")) {
    ShellControl c;
    readCard(lines, 1, c.value1, c.flags);
    options.shell_control.push_back(c);
    unreadBlock(header);
  } else if (has("CONTROL_SOLID")) {
    SolidControl c;
    readCard(lines, 1, c.card1_values);
    readCard8(lines, 2, c.card2_values);
    options.solid_control.push_back(c);
    unreadBlock(header);
  } else if (has("CONTROL_OUTPUT")) {
    OutputControl c;
    readCard(lines, 1, c.card1_values, c.card1_value5, c.card1_flags);
    readCard(lines, 2, c.card2_value1);
    options.output_control.push_back(c);
    unreadBlock(header);
  } else if (has("CONTROL_ENERGY")) {
    EnergyControl c;
    readCard(lines, 1, c.values);
    options.energy_control.push_back(c);
    unreadBlock(header);
  } else if (has("CONTROL_HOURGLASS")) {
    HourglassControl hourglass;
    hourglass.id = 0;
    hourglass.type = 0;
    hourglass.coefficient = 0.0;
    readCard(lines, 1, hourglass.type, hourglass.coefficient);
    // IHQ blank: 1 (viscous); QH blank: 0.1.
    if (hourglass.type == 0) hourglass.type = 1;
    if (hourglass.coefficient == 0.0) hourglass.coefficient = 0.1;
    if (!(hourglass.coefficient > 0.0)) {
      refuse(lineWhere(header, lines[1]) + ": the hourglass coefficient QH " + std::to_string(hourglass.coefficient) +
             " is below 0");
      return;
    }
    fem_->hourglassControlManager->hourglass_array_cpu.push_back(hourglass);
  } else if (has("CONTROL_ACCURACY")) {
    AccuracyControl c;
    readCard(lines, 1, c.values);
    options.accuracy_control.push_back(c);
    unreadBlock(header);
  } else if (has("CONTROL_CPU")) {
    double cpu = 0.0;
    readCard(lines, 1, cpu);
    options.cpu_control.push_back(cpu);
    unreadBlock(header);
  } else if (has("CONTROL_PARALLEL")) {
    ParallelControl c;
    readCard(lines, 1, c.values);
    options.parallel_control.push_back(c);
    unreadBlock(header);
  } else if (has("CONTROL_COUPLING")) {
    CouplingControl c;
    readCard(lines, 1, c.values, c.flags);
    options.coupling_control.push_back(c);
    unreadBlock(header);
  } else if (has("CONTROL_SOLUTION")) {
    // SOLN 0 is the structural analysis this program computes.
    // NLQ (a vector length), ISNAN (a check for numbers that are not) and
    // LCINT (the points a curve is cut into; curves are read point for
    // point here) change nothing computed and are read past.
    int analysis = 0;
    double readPast[6] = {};
    readCard(lines, 1, analysis, readPast);
    if (analysis != 0) unreadMechanics(header, "SOLN " + std::to_string(analysis) + " asks for a thermal analysis");
    refuseUncomputedFields(*this, header, lines, 1,
                           {{5, "LCACC", "curves cut to six significant figures"},
                            {6, "NCDCF", "a solution setting this version does not read"},
                            {7, "NOCOP", "a solution setting this version does not read"}});
  } else if (has("CONTROL_IMPLICIT_GENERAL") || has("CONTROL_IMPLICIT_EIGENVALUE")) {
    // IMFLAG (NEIG) other than 0 asks for an implicit (eigenvalue) run.
    int asked = 0;
    readCard(lines, 1, asked);
    if (asked != 0) {
      unreadMechanics(header, std::string(has("CONTROL_IMPLICIT_GENERAL") ? "IMFLAG " : "NEIG ") +
                                  std::to_string(asked) + " asks for an " +
                                  (has("CONTROL_IMPLICIT_GENERAL") ? "implicit" : "eigenvalue") + " analysis");
    }
  } else {
    unreadBlock(header);
  }
}
