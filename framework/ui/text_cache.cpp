// The text cache: texts laid out by Pango once (their width and where their
// glyphs go) and glyph masks rendered once per font and glyph, both within a
// byte budget, so that a text drawn before costs lookups and a new one one
// layout.
#include <cairo.h>
#include <fontconfig/fontconfig.h>
#include <pango/pangocairo.h>
#include <pango/pangofc-fontmap.h>

#include <algorithm>

#include "framework/ui/detail/state.hpp"
#include "framework/ui/detail/text_state.hpp"
#include "platform/codepage.hpp"

namespace ui {

namespace {

// The font names the program's forms use, mapped to fonts every machine has.
constexpr char kFontConfig[] =
#include "framework/ui/fonts_conf.inc"
    ;

}  // namespace

namespace detail {

TextState::TextState() {
    FcConfig* config = FcConfigCreate();
    if (!FcConfigParseAndLoadFromMemory(config, reinterpret_cast<const FcChar8*>(kFontConfig), FcTrue) ||
        !FcConfigBuildFonts(config)) {
        FcConfigDestroy(config);
        config = nullptr;
    }
    map = pango_cairo_font_map_new_for_font_type(CAIRO_FONT_TYPE_FT);
    if (config && PANGO_IS_FC_FONT_MAP(map)) {
        pango_fc_font_map_set_config(PANGO_FC_FONT_MAP(map), config);
    }
    if (config) FcConfigDestroy(config);
    context = pango_font_map_create_context(map);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_NONE);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_FULL);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
    pango_cairo_context_set_font_options(context, options);
    cairo_font_options_destroy(options);
    pango_cairo_context_set_resolution(context, 96);
}

TextState::~TextState() {
    for (PangoFont* f : glyph_fonts) g_object_unref(f);
    if (context) g_object_unref(context);
    if (map) g_object_unref(map);
}

TextState& Text() {
    UiState& ui = Ui();
    if (!ui.text) ui.text = std::make_unique<TextState>();
    return *ui.text;
}

namespace {

// Rough sizes of the cache's own bookkeeping, so that the budget is close to
// what the cache really takes.
constexpr size_t kTextOverhead = sizeof(TextState::Entry) + 64;
constexpr size_t kGlyphOverhead = sizeof(GlyphMask) + 48;

GlyphMask RenderGlyph(PangoFont* font, PangoGlyph glyph) {
    PangoRectangle ink, logical;
    pango_font_get_glyph_extents(font, glyph, &ink, &logical);
    const int logical_width = logical.width;
    pango_extents_to_pixels(&ink, nullptr);
    pango_extents_to_pixels(&logical, nullptr);
    // Room for the ink and the logical box (an unknown character's box fills
    // it), and a margin for what the extents leave out; cut to the ink after.
    const TRect room =
        Union(Bounds(ink.x, ink.y, ink.width, ink.height), Bounds(logical.x, logical.y, logical.width, logical.height))
            .Inflate(4, 4);
    const int x0 = room.left, y0 = room.top;
    const int w = std::clamp(room.Width(), 1, 4096), h = std::clamp(room.Height(), 1, 4096);
    auto surface = Surface::Create(w, h, PixelFormat::Mono);
    cairo_t* cr = cairo_create(surface->Cairo());
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    cairo_set_source_rgba(cr, 0, 0, 0, 1);
    PangoGlyphString* one = pango_glyph_string_new();
    pango_glyph_string_set_size(one, 1);
    one->glyphs[0] = PangoGlyphInfo{};
    one->glyphs[0].glyph = glyph;
    one->glyphs[0].geometry.width = logical_width;  // an unknown character's box takes it
    one->glyphs[0].attr.is_cluster_start = 1;
    cairo_move_to(cr, -x0, -y0);
    pango_cairo_show_glyph_string(cr, font, one);
    pango_glyph_string_free(one);
    cairo_destroy(cr);
    cairo_surface_flush(surface->Cairo());
    int left = w, top = h, right = 0, bottom = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (surface->Row8(y)[x] >= 0x80)
                left = std::min(left, x), right = std::max(right, x + 1), top = std::min(top, y),
                bottom = std::max(bottom, y + 1);
    GlyphMask m;
    if (right <= left) return m;
    m.x = x0 + left, m.y = y0 + top, m.w = right - left, m.h = bottom - top;
    m.bits.resize(size_t(m.w) * size_t(m.h));
    for (int y = 0; y < m.h; ++y)
        for (int x = 0; x < m.w; ++x)
            m.bits[size_t(y) * size_t(m.w) + size_t(x)] = surface->Row8(top + y)[left + x] >= 0x80;
    return m;
}

size_t TextBytes(const TextState::Entry& e) {
    return kTextOverhead + e.text.capacity() + e.shaped.glyphs.capacity() * sizeof(PlacedGlyph);
}

}  // namespace

const GlyphMask& TextState::Glyph(uint64_t key) {
    auto it = glyphs.find(key);
    if (it != glyphs.end()) return it->second;
    if (glyph_bytes > budget / 4) {  // glyphs are few and cheap to render again
        glyphs.clear();
        glyph_bytes = 0;
    }
    GlyphMask m = RenderGlyph(glyph_fonts[size_t(key >> 32)], PangoGlyph(key & 0xFFFFFFFFu));
    glyph_bytes += kGlyphOverhead + m.bits.capacity();
    return glyphs.emplace(key, std::move(m)).first->second;
}

uint64_t TextState::GlyphKey(PangoFont* font, uint32_t glyph) {
    auto [it, fresh] = font_ids.try_emplace(font, uint32_t(glyph_fonts.size()));
    if (fresh) glyph_fonts.push_back(PANGO_FONT(g_object_ref(font)));
    return uint64_t(it->second) << 32 | glyph;
}

const ShapedText* TextState::FindText(const FontFace* face, std::string_view text) {
    auto it = text_index.find({face, text});
    if (it == text_index.end()) return nullptr;
    texts.splice(texts.begin(), texts, it->second);
    return &it->second->shaped;
}

const ShapedText& TextState::KeepText(const FontFace* face, std::string_view text, ShapedText shaped) {
    texts.push_front({face, std::string(text), std::move(shaped), 0});
    Entry& e = texts.front();
    e.bytes = TextBytes(e);
    text_bytes += e.bytes;
    text_index.emplace(TextKey{face, e.text}, texts.begin());
    Trim();
    return e.shaped;
}

void TextState::Trim() {
    const size_t room = budget - std::min(budget, budget / 4);
    while (text_bytes > room && texts.size() > 1) {  // the newest stays: the caller holds it
        const Entry& old = texts.back();
        text_index.erase({old.face, old.text});
        text_bytes -= old.bytes;
        texts.pop_back();
    }
    if (glyph_bytes > budget / 4) {
        glyphs.clear();
        glyph_bytes = 0;
    }
}

}  // namespace detail

const detail::ShapedText& FontFace::Shape(std::string_view ansi) {
    detail::TextState& ts = detail::Text();
    if (const detail::ShapedText* hit = ts.FindText(this, ansi)) return *hit;
    return ts.KeepText(this, ansi, Layout(ansi));
}

namespace {

// Pango places glyphs in 1/1024 pixel in an int, which a line of some
// 300,000 characters passes. A long text is therefore laid out in pieces of
// at most this many bytes (fewer for large fonts: a character is taken to be
// at most 8 cell heights wide, tabs included), each far inside Pango's
// range, and the pieces are put end to end in 64 bits. Shorter texts are one
// piece, laid out as a whole.
size_t PieceBytes(int cell_height) {
    constexpr int64_t kRoom = int64_t(1) << 20;  // pixels a piece may span
    return size_t(std::clamp<int64_t>(kRoom / (8 * std::max(cell_height, 1)), 4, 8192));
}

int64_t FloorPixels(int64_t units) { return units >> 10; }
int64_t CeilPixels(int64_t units) { return (units + 1023) >> 10; }
int64_t RoundPixels(int64_t units) { return (units + 512) >> 10; }

// Where a piece starting at `from` ends, at most `limit` bytes on and never
// past `end`: after a blank if one lies in the second half, else before a
// plain ASCII character, else at a character boundary.
size_t PieceEnd(std::string_view t, size_t from, size_t end, size_t limit) {
    if (end - from <= limit) return end;
    const size_t cut = from + limit, half = from + limit / 2;
    for (size_t i = cut; i > half; --i)
        if (t[i - 1] == ' ') return i;
    for (size_t i = cut; i > half; --i)
        if (uint8_t(t[i]) < 0x80) return i;
    size_t i = cut;
    while (i > from + 1 && (uint8_t(t[i]) & 0xC0) == 0x80) --i;
    return i;
}

}  // namespace

// One piece laid out by Pango, its left edge `x0` (1/1024 pixel) along its
// line, whose top is `y0` pixels down; its glyphs go to `out`. The logical
// extents of the piece come back in 1/1024 pixel.
PangoRectangle FontFace::LayOutPiece(std::string_view utf8, int64_t x0, int64_t y0, detail::ShapedText& out) {
    detail::TextState& ts = detail::Text();
    if (!layout_) {
        layout_ = pango_layout_new(ts.context);
        pango_layout_set_font_description(layout_, desc_);
    }
    // Tab stops are counted from a layout's left edge: a later piece of a line
    // has them moved to where the whole line has them.
    if (x0 != 0 && utf8.find('\t') != std::string_view::npos) {
        if (tab_width_ == 0) {
            pango_layout_set_tabs(layout_, nullptr);
            pango_layout_set_text(layout_, " ", 1);
            PangoRectangle space;
            pango_layout_get_extents(layout_, nullptr, &space);
            tab_width_ = std::max(1, space.width) * 8;
        }
        const int first = int(tab_width_ - x0 % tab_width_);
        PangoTabArray* tabs =
            pango_tab_array_new_with_positions(2, FALSE, PANGO_TAB_LEFT, first, PANGO_TAB_LEFT, first + tab_width_);
        pango_layout_set_tabs(layout_, tabs);
        pango_tab_array_free(tabs);
    } else {
        pango_layout_set_tabs(layout_, nullptr);
    }
    pango_layout_set_text(layout_, utf8.data(), int(utf8.size()));
    PangoRectangle logical;
    pango_layout_get_extents(layout_, nullptr, &logical);
    // The text's top is the cell top; the first baseline lies `ascent` below it.
    const int64_t shift = y0 + tm.ascent - PANGO_PIXELS(pango_layout_get_baseline(layout_));
    PangoLayoutIter* iter = pango_layout_get_iter(layout_);
    do {
        PangoLayoutRun* run = pango_layout_iter_get_run_readonly(iter);
        if (!run) continue;  // the end of a line
        PangoRectangle extents;
        pango_layout_iter_get_run_extents(iter, nullptr, &extents);
        const int baseline = pango_layout_iter_get_baseline(iter);
        int64_t x = x0 + extents.x;
        for (int i = 0; i < run->glyphs->num_glyphs; ++i) {
            const PangoGlyphInfo& g = run->glyphs->glyphs[i];
            if (g.glyph != PANGO_GLYPH_EMPTY) {
                detail::PlacedGlyph p;
                p.key = ts.GlyphKey(run->item->analysis.font, g.glyph);
                p.x = SatInt(RoundPixels(x + g.geometry.x_offset));
                p.y = SatInt(shift + PANGO_PIXELS(baseline + g.geometry.y_offset));
                const detail::GlyphMask& m = ts.Glyph(p.key);
                if (m.w > 0)
                    out.ink = Union(out.ink, Bounds(SatInt(int64_t(p.x) + m.x), SatInt(int64_t(p.y) + m.y), m.w, m.h));
                out.glyphs.push_back(p);
            }
            x += g.geometry.width;
        }
    } while (pango_layout_iter_next_run(iter));
    pango_layout_iter_free(iter);
    return logical;
}

detail::ShapedText FontFace::Layout(std::string_view ansi) {
    detail::ShapedText out;
    if (ansi.empty()) return out;
    ++detail::Text().layouts;
    const std::string utf8 = platform::AnsiToUtf8(ansi);
    const std::string_view t(utf8);
    const size_t limit = PieceBytes(tm.height);
    if (t.size() <= limit) {
        const PangoRectangle logical = LayOutPiece(t, 0, 0, out);
        out.width = int(CeilPixels(int64_t(logical.x) + logical.width) - FloorPixels(logical.x));
        out.glyphs.shrink_to_fit();
        return out;
    }
    // Line by line (Pango's own breaks: CR LF, CR, LF), each line piece by
    // piece, the lines stacked as Pango stacks them.
    int64_t widest = 0, y = 0;
    for (size_t line = 0; line <= t.size();) {
        size_t end = t.find_first_of("\r\n", line);
        if (end == std::string_view::npos) end = t.size();
        int64_t x = 0, left = 0, height = 0;
        for (size_t from = line; from < end || from == line;) {
            const size_t to = PieceEnd(t, from, end, limit);
            const PangoRectangle logical = LayOutPiece(t.substr(from, to - from), x, FloorPixels(y), out);
            if (from == line) left = logical.x;
            x += logical.x + logical.width;
            height = std::max<int64_t>(height, logical.height);
            if (to == end) break;
            from = to;
        }
        widest = std::max(widest, CeilPixels(x) - FloorPixels(left));
        y += height;
        if (end == t.size()) break;
        line = end + (t.compare(end, 2, "\r\n") == 0 ? 2 : 1);
        if (line == t.size()) break;  // a closing break starts no line of its own here
    }
    out.width = SatInt(widest);
    out.glyphs.shrink_to_fit();
    return out;
}

size_t TextCacheBytes() { return detail::Text().Bytes(); }

void SetTextCacheBudget(size_t bytes) {
    detail::TextState& ts = detail::Text();
    ts.budget = bytes;
    ts.Trim();
}

}  // namespace ui
