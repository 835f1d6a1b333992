// The keywords the keyword reader knows, in one table: the forms its card
// families read or refuse by name (a family name with the option suffixes
// they take) and the keywords whose blocks ask only for output and are named
// and passed over. A block's keyword is known only when it is exactly one of
// these forms: "*BOUNDARY_SPC_SETXYZ" is not "*BOUNDARY_SPC_SET" but an
// unknown keyword, refused as such.
#pragma once
#include <string>

enum class KeywordUse {
  Read,             // a family reads the block (or refuses it, naming why)
  OutputOnly,       // asks only for output: named once and passed over
  OutputOnlyQuiet,  // the same, without a word (a title, a comment)
};

struct KnownKeyword {
  // The forms: text with groups of alternatives "{A|B|}" (an empty
  // alternative makes the group optional); a form ending in "*" takes any
  // options after its name ("*DATABASE*": "*DATABASE", "*DATABASE_GLSTAT").
  const char* form;
  KeywordUse use;
  // What a block that asks only for output asks for (empty for the rest).
  const char* what;
};

// The table entry of a block keyword (in capitals), or null when no form
// of the table is that keyword.
const KnownKeyword* knownKeyword(const std::string& keyword);
// The entry of a keyword whose blocks ask only for output (any option of
// such a family), or null.
const KnownKeyword* outputOnlyKeyword(const std::string& keyword);
// The known keyword nearest to an unknown one: the form that takes the
// fewest letters changed, added or removed.
std::string nearestKnownKeyword(const std::string& keyword);
