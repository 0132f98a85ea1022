#include "platform/codepage.hpp"

#include <algorithm>
#include <cstring>
#include <vector>

namespace platform {

namespace {

struct CodePageData {
    std::array<uint16_t, 256> unicode;
    ByteTable upper;
    ByteTable lower;
    std::array<uint8_t, 256> alpha;
};

#include "platform/codepage_tables.inc"

struct PagePair {
    const CodePageData* oem;
    const CodePageData* ansi;
    ByteTable oem_to_ansi;
    ByteTable ansi_to_oem;
};

// Pairs every OEM byte with the ANSI byte of the same character; the bytes
// left over on both sides are paired in ascending order, so the two tables
// stay exact inverses.
PagePair MakePair(const CodePageData& oem, const CodePageData& ansi) {
    PagePair pair{&oem, &ansi, {}, {}};
    std::array<bool, 256> oem_done{}, ansi_done{};
    for (int b = 0; b < 128; ++b) {
        pair.oem_to_ansi[b] = pair.ansi_to_oem[b] = static_cast<uint8_t>(b);
        oem_done[b] = ansi_done[b] = true;
    }
    for (int o = 128; o < 256; ++o) {
        for (int a = 128; a < 256; ++a) {
            if (!ansi_done[a] && ansi.unicode[a] == oem.unicode[o]) {
                pair.oem_to_ansi[o] = static_cast<uint8_t>(a);
                pair.ansi_to_oem[a] = static_cast<uint8_t>(o);
                oem_done[o] = ansi_done[a] = true;
                break;
            }
        }
    }
    int a = 128;
    for (int o = 128; o < 256; ++o) {
        if (oem_done[o]) continue;
        while (ansi_done[a]) ++a;
        pair.oem_to_ansi[o] = static_cast<uint8_t>(a);
        pair.ansi_to_oem[a] = static_cast<uint8_t>(o);
        ansi_done[a] = true;
    }
    return pair;
}

const PagePair& Pair(CodePages pages) {
    static const PagePair p850 = MakePair(kCp850, kCp1252);
    static const PagePair p437 = MakePair(kCp437, kCp1252);
    static const PagePair p866 = MakePair(kCp866, kCp1251);
    switch (pages) {
    case CodePages::Cp437_1252: return p437;
    case CodePages::Cp866_1251: return p866;
    default: return p850;
    }
}

CodePages g_pages = CodePages::Cp850_1252;

const PagePair& Current() { return Pair(g_pages); }

uint8_t Byte(char c) { return static_cast<uint8_t>(c); }

void AppendUtf8(std::string& out, uint32_t u) {
    if (u < 0x80) {
        out += static_cast<char>(u);
    } else if (u < 0x800) {
        out += static_cast<char>(0xC0 | (u >> 6));
        out += static_cast<char>(0x80 | (u & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (u >> 12));
        out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (u & 0x3F));
    }
}

std::string ToUtf8(std::string_view text, const CodePageData& page) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) AppendUtf8(out, page.unicode[Byte(c)]);
    return out;
}

}  // namespace

void SelectCodePages(CodePages pages) { g_pages = pages; }
CodePages SelectedCodePages() { return g_pages; }

const ByteTable& OemToAnsiTable() { return Current().oem_to_ansi; }
const ByteTable& AnsiToOemTable() { return Current().ansi_to_oem; }

namespace {

// Bytes below 0x80 are the same in every page, and most table text is plain
// ASCII: whole words of it are passed over without a lookup.
void Translate(std::span<char> text, const ByteTable& t) {
    char* p = text.data();
    char* const end = p + text.size();
    while (end - p >= 8) {
        uint64_t word;
        std::memcpy(&word, p, 8);
        if ((word & 0x8080808080808080ull) == 0) {
            p += 8;
            continue;
        }
        for (int i = 0; i < 8; ++i, ++p) *p = static_cast<char>(t[Byte(*p)]);
    }
    for (; p < end; ++p) *p = static_cast<char>(t[Byte(*p)]);
}

}  // namespace

void OemToAnsi(std::span<char> text) { Translate(text, OemToAnsiTable()); }

void OemToAnsi(std::span<const char> from, char* to) {
    const ByteTable& t = OemToAnsiTable();
    const char* p = from.data();
    const char* const end = p + from.size();
    while (end - p >= 8) {
        uint64_t word;
        std::memcpy(&word, p, 8);
        if ((word & 0x8080808080808080ull) == 0) {
            std::memcpy(to, &word, 8);
        } else {
            for (int i = 0; i < 8; ++i) to[i] = static_cast<char>(t[Byte(p[i])]);
        }
        p += 8;
        to += 8;
    }
    for (; p < end; ++p, ++to) *to = static_cast<char>(t[Byte(*p)]);
}
void AnsiToOem(std::span<char> text) { Translate(text, AnsiToOemTable()); }

std::string OemToAnsi(std::string_view text) {
    std::string out(text);
    OemToAnsi(std::span<char>(out));
    return out;
}

std::string AnsiToOem(std::string_view text) {
    std::string out(text);
    AnsiToOem(std::span<char>(out));
    return out;
}

char AnsiUpper(char c) { return static_cast<char>(Current().ansi->upper[Byte(c)]); }
char AnsiLower(char c) { return static_cast<char>(Current().ansi->lower[Byte(c)]); }
bool AnsiIsAlpha(char c) { return Current().ansi->alpha[Byte(c)] != 0; }

void AnsiUpper(std::span<char> text) {
    const ByteTable& t = Current().ansi->upper;
    for (char& c : text) c = static_cast<char>(t[Byte(c)]);
}

std::string AnsiUpper(std::string_view text) {
    std::string out(text);
    AnsiUpper(std::span<char>(out));
    return out;
}

std::string AnsiLower(std::string_view text) {
    std::string out(text);
    const ByteTable& t = Current().ansi->lower;
    for (char& c : out) c = static_cast<char>(t[Byte(c)]);
    return out;
}

const ByteTable& AnsiUpperTable() { return Current().ansi->upper; }
const ByteTable& OemUpperTable() { return Current().oem->upper; }

char OemUpper(char c) { return static_cast<char>(Current().oem->upper[Byte(c)]); }

std::string OemUpper(std::string_view text) {
    std::string out(text);
    const ByteTable& t = Current().oem->upper;
    for (char& c : out) c = static_cast<char>(t[Byte(c)]);
    return out;
}

std::string AnsiToUtf8(std::string_view text) { return ToUtf8(text, *Current().ansi); }
std::string OemToUtf8(std::string_view text) { return ToUtf8(text, *Current().oem); }

std::string Utf8ToAnsi(std::string_view text) {
    const CodePageData& page = *Current().ansi;
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        const uint8_t lead = Byte(text[i]);
        uint32_t u = 0;
        size_t len = 1;
        if (lead < 0x80) {
            u = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            u = lead & 0x1F, len = 2;
        } else if ((lead & 0xF0) == 0xE0) {
            u = lead & 0x0F, len = 3;
        } else if ((lead & 0xF8) == 0xF0) {
            u = lead & 0x07, len = 4;
        } else {
            u = 0xFFFD;  // stray continuation byte
        }
        if (i + len > text.size()) {
            u = 0xFFFD, len = text.size() - i;
        } else {
            for (size_t k = 1; k < len; ++k) {
                const uint8_t cont = Byte(text[i + k]);
                if ((cont & 0xC0) != 0x80) {
                    u = 0xFFFD, len = k;
                    break;
                }
                u = (u << 6) | (cont & 0x3F);
            }
        }
        i += len;
        char mapped = '?';
        if (u < 0x80) {
            mapped = static_cast<char>(u);
        } else {
            auto it = std::find(page.unicode.begin() + 128, page.unicode.end(), u);
            if (it != page.unicode.end()) mapped = static_cast<char>(it - page.unicode.begin());
        }
        out += mapped;
    }
    return out;
}

}  // namespace platform
