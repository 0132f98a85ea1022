#pragma once
// The OEM and ANSI code pages.
//
// Table text is stored in the OEM page and held in memory in the ANSI page.
// The two conversion tables are exact inverses of each other, so reading a
// record and writing it back never changes a byte: characters that have no
// counterpart in the other page are paired one to one. Case and letter tests
// use fixed tables of the pages, never the C library's locale.
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace platform {

enum class CodePages {
    Cp850_1252,  // default; the OEM side is 850 with the euro at 0xD5 (858)
    Cp437_1252,
    Cp866_1251,
};

void SelectCodePages(CodePages pages);
CodePages SelectedCodePages();

using ByteTable = std::array<uint8_t, 256>;
const ByteTable& OemToAnsiTable();
const ByteTable& AnsiToOemTable();

void OemToAnsi(std::span<char> text);  // in place
// The same while copying `from` to `to` (as many bytes), in one pass.
void OemToAnsi(std::span<const char> from, char* to);
void AnsiToOem(std::span<char> text);
std::string OemToAnsi(std::string_view text);
std::string AnsiToOem(std::string_view text);

char AnsiUpper(char c);
char AnsiLower(char c);
bool AnsiIsAlpha(char c);
void AnsiUpper(std::span<char> text);
std::string AnsiUpper(std::string_view text);
inline std::string AnsiUpper(const std::string& text) { return AnsiUpper(std::string_view(text)); }
std::string AnsiLower(std::string_view text);

char OemUpper(char c);
// The upper-case tables of the two pages, for loops over many bytes.
const ByteTable& AnsiUpperTable();
const ByteTable& OemUpperTable();
std::string OemUpper(std::string_view text);

// Between the ANSI page and the host's UTF-8 (file names, drawn text).
// Characters the page cannot hold become '?'.
std::string AnsiToUtf8(std::string_view text);
std::string Utf8ToAnsi(std::string_view text);
// Between an OEM-page text and UTF-8.
std::string OemToUtf8(std::string_view text);

}  // namespace platform
