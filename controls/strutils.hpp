#pragma once
// String routines of the control library. Texts are in the ANSI page; only
// the blank (32) counts as a blank.
#include <string>
#include <string_view>

namespace controls {

// Every non-overlapping occurrence, scanned from the left, replaced; an empty
// search string leaves the text as it is.
std::string ReplaceAllText(std::string_view text, std::string_view search, std::string_view replacement);
std::string RemoveChar(std::string_view text, char c);
std::string TrimLeadingBlanks(std::string_view text);
std::string TrimTrailingBlanks(std::string_view text);
std::string TrimBothBlanks(std::string_view text);
std::string RepeatChar(char c, int count);  // empty for a count below 1
// True for an empty text.
bool AllCharsInSet(std::string_view text, std::string_view set);
std::string CopyString(std::string_view text);

}  // namespace controls
