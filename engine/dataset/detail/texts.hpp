#pragma once
// Texts the pieces of the engine's datasets share: dates between the engine's
// date text and TDateTime (date_texts.cpp), and texts cut to a length.
#include <cstddef>
#include <string>
#include <string_view>

namespace zurod {

// Whether a date text holds only blanks and separators (the blank template).
bool IsBlankDate(std::string_view text);

// A date text of the engine's current format as a TDateTime; 0 for the blank
// date and for a text that is no date. The parts stand where the format puts
// them (code 0 MM/DD/Y, code 1 Y.MM.DD, the others DD.MM.Y); a text of
// another shape goes through the engine's own reading.
double EngineDateText(std::string_view text);

// A TDateTime as a date text of the engine's format with all four digits of
// the year, so that no century window moves it; false outside years 1..9999.
bool DateTextOf(double date, std::string& text);

// At most the first `n` characters of `s`.
inline std::string Cut(const std::string& s, size_t n) { return s.size() > n ? s.substr(0, n) : s; }

}  // namespace zurod
