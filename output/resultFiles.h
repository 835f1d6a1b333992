// The result files of a work folder, by family: the VTK files, raw dumps
// and their read-backs, the Tecplot files, the node and element histories
// and the progress log. A run removes what an earlier run left of these
// before it writes its own, so that the folder holds one run's results
// (ParaView's result*.vtk group never mixes two models); the run record
// history/history_record.txt collects every run and is kept.
#pragma once
#include <string>

// Removes the result files of every family (also unfinished "<name>.part"
// files) from the work folder. False, with the file and the reason in
// problem, when one cannot be removed; files the folder does not hold are
// no problem.
bool removeStaleResults(const std::string& workFolder, std::string& problem);

// What the work folder holds, family by family, for the last lines of a
// run: "68 VTK files (result.vtk to result_67.vtk), 2 node histories in
// nodeoutput/), the progress log (history/log.txt)"; "no result files" when
// it holds none.
std::string describeResults(const std::string& workFolder);
