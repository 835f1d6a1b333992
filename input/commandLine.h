// The command line of impactfem: options of the form KEY=value.
#pragma once
#include <cstdio>
#include <string>

class FEMDynamic;

// Reads INP=, WD=, DT=, OT=, NGPU=, IDG=, CGN= and RFT= from the arguments
// after the program's own path into the input file, the work path and the
// solver's time control, output manager and GPU selection. The key is the
// text before an argument's first "=", in upper case as written here; the
// value is the text after it. Returns false, after printing the argument and
// what is wrong with it, when an argument is not KEY=value, names a key that
// does not exist, gives a key a second time, or gives a value that is not
// one whole number or cannot be used: DT=, OT=, RFT= that are not finite
// (OT=, RFT= below 0), NGPU= beyond the devices present (0 to their count),
// IDG= that names no device present. Nothing is stored into the solver then.
bool parseCommandLine(int argc, char** argv, std::string& inputFile, std::string& workPath, FEMDynamic* fem);

// True when an argument after the program's path is "--help" or "-h".
bool asksForHelp(int argc, char** argv);
// The keys, what each takes, an example and where the results go.
void printUsage(std::FILE* out);

// Conversions of a whole value: a decimal number and nothing else (no
// blanks, no trailing text, no hexadecimal); false when the text holds
// anything else or the number is out of range.
bool parseWholeDouble(const std::string& text, double& value);
bool parseWholeInt(const std::string& text, int& value);
