#pragma once
// Pango's font map and context, the realised fonts, and the text caches: glyph
// masks by font and glyph, and texts laid out (their width and where their
// glyphs go) by font and text, least recently used first out, within a byte
// budget. Part of the window system's state (detail/state.hpp); a reset
// keeps it, being a cache.
#include <cstdint>
#include <list>
#include <map>
#include <string>
#include <string_view>
#include <tuple>
#include <unordered_map>
#include <vector>

#include "framework/ui/gdi.hpp"

typedef struct _PangoFontMap PangoFontMap;
typedef struct _PangoContext PangoContext;
typedef struct _PangoFont PangoFont;
typedef struct _PangoFontDescription PangoFontDescription;
typedef struct _PangoLayout PangoLayout;
typedef struct _PangoRectangle PangoRectangle;

namespace ui {

namespace detail {

// A glyph's pixels: one byte each (1: ink), placed relative to the pen.
struct GlyphMask {
    int x = 0, y = 0, w = 0, h = 0;
    std::vector<uint8_t> bits;
};

// One glyph of a laid-out text: which, and where its pen stands relative to
// the text's top-left.
struct PlacedGlyph {
    uint64_t key = 0;  // font id << 32 | glyph
    int x = 0, y = 0;
};

struct ShapedText {
    int width = 0;
    TRect ink;  // relative to the text's top-left
    std::vector<PlacedGlyph> glyphs;
};

}  // namespace detail

// A realised font: Pango lays a text out once; the text's width and the
// places of its glyphs come from the text cache after that.
class FontFace {
public:
    explicit FontFace(const LogFont& lf);
    ~FontFace();
    FontFace(const FontFace&) = delete;
    FontFace& operator=(const FontFace&) = delete;

    // The text laid out; valid until the next call.
    const detail::ShapedText& Shape(std::string_view ansi);

    LogFont lf;
    TextMetrics tm;
    int underline_pos = 0, underline_thickness = 1, strike_pos = 0;

private:
    detail::ShapedText Layout(std::string_view ansi);
    PangoRectangle LayOutPiece(std::string_view utf8, int64_t x0, int64_t y0, detail::ShapedText& out);
    PangoFontDescription* desc_ = nullptr;
    PangoLayout* layout_ = nullptr;  // made on first use, given each new text
    int tab_width_ = 0;              // Pango's default tab stops, in 1/1024 pixel; measured on first use
};

namespace detail {

struct TextState {
    TextState();
    ~TextState();
    TextState(const TextState&) = delete;
    TextState& operator=(const TextState&) = delete;

    // The mask of a glyph, rendered on first use.
    const GlyphMask& Glyph(uint64_t key);
    uint64_t GlyphKey(PangoFont* font, uint32_t glyph);
    // The cached layout of a text, or null; a hit becomes the most recent.
    const ShapedText* FindText(const FontFace* face, std::string_view text);
    const ShapedText& KeepText(const FontFace* face, std::string_view text, ShapedText shaped);
    size_t Bytes() const { return glyph_bytes + text_bytes; }
    void Trim();

    PangoFontMap* map = nullptr;
    PangoContext* context = nullptr;
    uint64_t layouts = 0;
    std::map<std::tuple<std::string, int, bool, bool, bool, bool>, FontPtr> fonts;
    FontPtr system_font;

    // A quarter of the budget may go to glyphs, the rest to laid-out texts.
    size_t budget = kDefaultTextCacheBudget;
    std::vector<PangoFont*> glyph_fonts;  // referenced, by id
    std::unordered_map<PangoFont*, uint32_t> font_ids;
    std::unordered_map<uint64_t, GlyphMask> glyphs;
    size_t glyph_bytes = 0;

    struct TextKey {
        const FontFace* face;
        std::string_view text;  // the list entry's own string
        bool operator==(const TextKey&) const = default;
    };
    struct TextKeyHash {
        size_t operator()(const TextKey& k) const {
            return std::hash<std::string_view>()(k.text) ^ (std::hash<const void*>()(k.face) * 31);
        }
    };
    struct Entry {
        const FontFace* face;
        std::string text;
        ShapedText shaped;
        size_t bytes;
    };
    std::list<Entry> texts;  // most recently used first
    std::unordered_map<TextKey, std::list<Entry>::iterator, TextKeyHash> text_index;
    size_t text_bytes = 0;
};

TextState& Text();

}  // namespace detail
}  // namespace ui
