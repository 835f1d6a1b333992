// The command line of impactfem: options of the form NAME=value.
#pragma once
#include <string>

class FEMDynamic;

// Reads INP=, WD=, DT=, OT=, NGPU=, IDG=, CGN= and RFT= from the arguments
// (argv[0] included) into the input file, the work path and the solver's
// time control, output manager and GPU selection. The first option found
// in an argument decides; its value is the text after the argument's first
// "="; a later argument overrides an earlier one. Returns false, after
// printing the argument and what is wrong with it, when a numeric value does
// not convert or cannot be used: DT=, OT=, RFT= that are not finite (OT=,
// RFT= below 0), NGPU= beyond the devices present (0 to their count), IDG=
// that names no device present. Nothing is stored into the solver then.
bool parseCommandLine(int argc, char** argv, std::string& inputFile, std::string& workPath, FEMDynamic* fem);

// Leading-number conversions of the command line: leading blanks skipped,
// the longest leading number taken, trailing text ignored. False when the
// text does not begin with a number or the number is out of range.
bool parseLeadingDouble(const std::string& text, double& value);
bool parseLeadingInt(const std::string& text, int& value);
