#pragma once
// Whole-table searches on the current area: Locate and Continue, the
// multi-field locate of the dataset layer, Sum, free-text Search, and Peek
// and Poke of single fields straight in the file.
#include <cstdint>
#include <span>
#include <string>
#include <variant>

namespace zurod {

// A value to look for: text, a number, or a logical.
using LocateValue = std::variant<std::monostate, std::string, double, int64_t, bool>;

// The field named by `spec` after taking " NOCASE", " EXACT" and " CONTAINED"
// out of it; 0 after reporting when there is none.
int ParseLocateField(const std::string& spec);

bool Locate(const std::string& field, const LocateValue& value, bool nocase = false, bool exact = false);
bool Continue();
// Names separated by ';', one value per name; the first name that finds a
// record ends the search. Without `stay` the area returns to where it was.
bool LocateFields(const std::string& names, std::span<const LocateValue> values, bool nocase, bool exact, bool stay);

double Sum(const std::string& spec);

// Finds `text` (any case) in the record data; `field` limits the search to
// one field when it is 1..field count and receives the field found (0: none).
void Search(const std::string& text, uint8_t& field, bool from_top);

// The field's bytes of record n as they stand in the file (field 0: the
// delete mark); `text` is left alone when out of range.
void Peek(uint8_t field, int32_t record, std::string& text);
void Poke(const std::string& text, uint8_t field, int32_t record);

// Test support: forget the last Locate.
void ResetLocateState();

}  // namespace zurod
