// The working copies that keyword decks leave in a work folder's "temp"
// folder: the comment-free copy "temp_<deck>" and the check list
// "outForVerify_<deck>". A run keeps those of its own deck (the check list
// only when it holds something) and removes those of the decks run there
// before, so that the folder holds one run's files.
#pragma once
#include <string>

// Removes from <workFolder>/temp every working copy and check list but the
// run's own, the check list of its own deck too when it is empty, and the
// folder itself when nothing is left in it. Other files stay.
void removeEarlierWorkingCopies(const std::string& workFolder, const std::string& deckPath);
