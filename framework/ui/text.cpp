// Fonts and text: Pango lays a text out once per font; its width and its glyph
// mask are cached, so measuring and drawing the same text again costs a lookup.
#include <cairo.h>
#include <fontconfig/fontconfig.h>
#include <pango/pangocairo.h>
#include <pango/pangofc-fontmap.h>

#include <algorithm>
#include <map>
#include <unordered_map>

#include "framework/ui/detail/state.hpp"
#include "framework/ui/detail/text_state.hpp"
#include "framework/ui/gdi.hpp"
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
    if (context) g_object_unref(context);
    if (map) g_object_unref(map);
}

TextState& Text() {
    UiState& ui = Ui();
    if (!ui.text) ui.text = std::make_unique<TextState>();
    return *ui.text;
}

}  // namespace detail

class FontFace {
public:
    explicit FontFace(const LogFont& lf);
    ~FontFace() { pango_font_description_free(desc_); }

    struct Text {
        int width = 0;
        bool rendered = false;
        int mask_x = 0, mask_y = 0, mask_w = 0, mask_h = 0;  // relative to the text's top-left
        std::vector<uint8_t> mask;                           // 1 where a glyph pixel is set
    };
    const Text& Get(std::string_view ansi, bool need_mask);

    LogFont lf;
    TextMetrics tm;
    int underline_pos = 0, underline_thickness = 1, strike_pos = 0;

private:
    PangoLayout* Layout(const std::string& utf8);
    PangoFontDescription* desc_ = nullptr;
    std::unordered_map<std::string, Text> cache_;
    int baseline_shift_ = 0;
};

namespace {

PangoFontDescription* Describe(const LogFont& lf, double pixels) {
    PangoFontDescription* d = pango_font_description_new();
    pango_font_description_set_family(d, lf.name.empty() ? "MS Sans Serif" : lf.name.c_str());
    pango_font_description_set_weight(d, lf.bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    pango_font_description_set_style(d, lf.italic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
    pango_font_description_set_absolute_size(d, std::max(1.0, pixels) * PANGO_SCALE);
    return d;
}

}  // namespace

FontFace::FontFace(const LogFont& font) : lf(font) {
    detail::TextState& p = detail::Text();
    const int h = lf.height == 0 ? -11 : lf.height;
    double pixels = std::abs(h);
    desc_ = Describe(lf, pixels);
    auto measure = [&] {
        PangoFontMetrics* m = pango_context_get_metrics(p.context, desc_, nullptr);
        tm.ascent = PANGO_PIXELS_CEIL(pango_font_metrics_get_ascent(m));
        tm.descent = PANGO_PIXELS_CEIL(pango_font_metrics_get_descent(m));
        tm.ave_char_width = PANGO_PIXELS(pango_font_metrics_get_approximate_char_width(m));
        underline_pos = PANGO_PIXELS(pango_font_metrics_get_underline_position(m));
        underline_thickness = std::max(1, PANGO_PIXELS(pango_font_metrics_get_underline_thickness(m)));
        strike_pos = PANGO_PIXELS(pango_font_metrics_get_strikethrough_position(m));
        pango_font_metrics_unref(m);
        tm.height = tm.ascent + tm.descent;
    };
    measure();
    if (h > 0 && tm.height > 0 && tm.height != h) {
        // A positive height is the cell height: scale the character size to it.
        pango_font_description_free(desc_);
        pixels = pixels * h / tm.height;
        desc_ = Describe(lf, pixels);
        measure();
    }
    tm.internal_leading = std::max(0, tm.height - int(pixels + 0.5));
    tm.overhang = 0;
}

PangoLayout* FontFace::Layout(const std::string& utf8) {
    detail::TextState& p = detail::Text();
    ++p.layouts;
    PangoLayout* layout = pango_layout_new(p.context);
    pango_layout_set_font_description(layout, desc_);
    pango_layout_set_text(layout, utf8.data(), int(utf8.size()));
    // The text's top is the cell top; the baseline lies `ascent` below it.
    baseline_shift_ = tm.ascent - PANGO_PIXELS(pango_layout_get_baseline(layout));
    return layout;
}

const FontFace::Text& FontFace::Get(std::string_view ansi, bool need_mask) {
    if (cache_.size() > 50000) cache_.clear();
    auto [it, fresh] = cache_.try_emplace(std::string(ansi));
    Text& t = it->second;
    if (!fresh && (t.rendered || !need_mask)) return t;
    if (ansi.empty()) {
        t.rendered = true;
        return t;
    }
    const std::string utf8 = platform::AnsiToUtf8(ansi);
    PangoLayout* layout = Layout(utf8);
    PangoRectangle ink, logical;
    pango_layout_get_pixel_extents(layout, &ink, &logical);
    t.width = logical.width;
    if (need_mask) {
        const int x0 = std::min(0, ink.x), y0 = std::min(0, ink.y + baseline_shift_);
        const int x1 = std::max(logical.width, ink.x + ink.width);
        const int y1 = std::max(tm.height, ink.y + baseline_shift_ + ink.height);
        t.mask_x = x0, t.mask_y = y0, t.mask_w = x1 - x0, t.mask_h = y1 - y0;
        if (t.mask_w > 0 && t.mask_h > 0 && t.mask_w <= kMaxSurfaceSide && t.mask_h <= kMaxSurfaceSide) {
            auto surface = Surface::Create(t.mask_w, t.mask_h, PixelFormat::Mono);
            cairo_t* cr = cairo_create(surface->Cairo());
            cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
            cairo_set_source_rgba(cr, 0, 0, 0, 1);
            cairo_move_to(cr, -x0, baseline_shift_ - y0);
            pango_cairo_show_layout(cr, layout);
            cairo_destroy(cr);
            cairo_surface_flush(surface->Cairo());
            t.mask.resize(size_t(t.mask_w) * size_t(t.mask_h));
            for (int y = 0; y < t.mask_h; ++y)
                for (int x = 0; x < t.mask_w; ++x)
                    t.mask[size_t(y) * size_t(t.mask_w) + size_t(x)] = surface->Row8(y)[x] >= 0x80;
        }
        t.rendered = true;
    }
    g_object_unref(layout);
    return t;
}

FontPtr CreateFont(const LogFont& lf) {
    auto& fonts = detail::Text().fonts;
    auto key = std::make_tuple(lf.name, lf.height, lf.bold, lf.italic, lf.underline, lf.strike_out);
    auto& slot = fonts[key];
    if (!slot) slot = std::make_shared<FontFace>(lf);
    return slot;
}

const TextMetrics& FontMetrics(const FontPtr& font) { return font->tm; }
const LogFont& FontLog(const FontPtr& font) { return font->lf; }
uint64_t TextLayoutCount() { return detail::Text().layouts; }

namespace {

FontFace& FaceOf(const DC& dc) {
    if (dc.S().font) return *dc.S().font;
    FontPtr& system = detail::Text().system_font;
    if (!system) system = CreateFont(LogFont{"System", -13, true});
    return *system;
}

}  // namespace

TSize GetTextExtent(const DC& dc, std::string_view text) {
    FontFace& f = FaceOf(dc);
    return {f.Get(text, false).width, f.tm.height};
}

void ExtTextOut(DC& dc, int x, int y, const TRect* clip, const TRect* opaque_rect, std::string_view text) {
    FontFace& f = FaceOf(dc);
    Surface* s = dc.Target().get();
    if (!s || s->Empty()) return;
    const FontFace::Text& t = f.Get(text, true);
    const int saved = dc.Save();
    if (clip) dc.IntersectClipRect(*clip);
    if (opaque_rect)
        FillRect(dc, *opaque_rect, Brush::Solid(dc.S().bk_color));
    else if (dc.S().bk_mode == OPAQUE && t.width > 0)
        FillRect(dc, {x, y, x + t.width, y + f.tm.height}, Brush::Solid(dc.S().bk_color));
    const TRect dev = dc.ToDevice(Bounds(x + t.mask_x, y + t.mask_y, t.mask_w, t.mask_h));
    std::vector<TRect> clips;
    dc.ClipRects(dev, clips);
    const COLORREF color = dc.S().text_color;
    if (!t.mask.empty()) {
        const uint32_t pixel = ToPixel(color);
        const uint8_t mono = MonoWhite(color) ? 0xFF : 0;
        for (const TRect& c : clips)
            for (int yy = c.top; yy < c.bottom; ++yy) {
                const uint8_t* m = t.mask.data() + size_t(yy - dev.top) * size_t(t.mask_w) - dev.left;
                if (s->Mono()) {
                    uint8_t* row = s->Row8(yy);
                    for (int xx = c.left; xx < c.right; ++xx)
                        if (m[xx]) row[xx] = mono;
                } else {
                    uint32_t* row = s->Row32(yy);
                    for (int xx = c.left; xx < c.right; ++xx)
                        if (m[xx]) row[xx] = pixel;
                }
            }
    }
    if (t.width > 0 && (f.lf.underline || f.lf.strike_out)) {
        const Brush b = Brush::Solid(color);
        const int base = y + f.tm.ascent;
        if (f.lf.underline)
            FillRect(dc, {x, base - f.underline_pos, x + t.width, base - f.underline_pos + f.underline_thickness}, b);
        if (f.lf.strike_out)
            FillRect(dc, {x, base - f.strike_pos, x + t.width, base - f.strike_pos + f.underline_thickness}, b);
    }
    dc.Restore(saved);
}

namespace {

struct Line {
    std::string text;
    int prefix_at = -1;  // index in `text` of the underlined character
};

// Splits a text into display lines, resolving '&' prefixes and tabs.
std::vector<Line> BreakLines(const DC& dc, std::string_view text, int width, unsigned flags) {
    FontFace& f = FaceOf(dc);
    const bool single = flags & DT_SINGLELINE;
    const int tab = std::max(1, f.tm.ave_char_width * 8);
    std::vector<Line> raw(1);
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (!single && (c == '\r' || c == '\n')) {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            raw.emplace_back();
            continue;
        }
        if (!(flags & DT_NOPREFIX) && c == '&') {
            if (i + 1 < text.size() && text[i + 1] == '&') {
                raw.back().text += '&';
                ++i;
            } else if (i + 1 < text.size()) {
                raw.back().prefix_at = int(raw.back().text.size());
            }
            continue;
        }
        if (c == '\t' && (flags & DT_EXPANDTABS)) {
            // Pad with blanks up to the next tab stop.
            std::string& s = raw.back().text;
            const int w = f.Get(s, false).width;
            const int stop = (w / tab + 1) * tab;
            while (f.Get(s, false).width < stop) s += ' ';
            continue;
        }
        if (c == '\t' || (single && (c == '\r' || c == '\n'))) c = ' ';
        raw.back().text += c;
    }
    if (!(flags & DT_WORDBREAK) || single) return raw;
    std::vector<Line> out;
    for (Line& line : raw) {
        if (f.Get(line.text, false).width <= width) {
            out.push_back(std::move(line));
            continue;
        }
        // Break at blanks: as many words as fit, at least one.
        size_t start = 0;
        const std::string& s = line.text;
        while (start < s.size()) {
            size_t end = start, best = std::string::npos;
            while (end < s.size()) {
                size_t next = s.find(' ', end);
                if (next == std::string::npos) next = s.size();
                if (f.Get(std::string_view(s).substr(start, next - start), false).width > width &&
                    best != std::string::npos)
                    break;
                best = next;
                end = next + 1;
                if (next == s.size()) break;
            }
            Line piece;
            piece.text = s.substr(start, best - start);
            if (line.prefix_at >= int(start) && line.prefix_at < int(best))
                piece.prefix_at = line.prefix_at - int(start);
            out.push_back(std::move(piece));
            start = best;
            while (start < s.size() && s[start] == ' ') ++start;
        }
        if (s.empty()) out.push_back({});
    }
    return out;
}

}  // namespace

int DrawText(DC& dc, std::string_view text, TRect& rect, unsigned flags) {
    FontFace& f = FaceOf(dc);
    const std::vector<Line> lines = BreakLines(dc, text, rect.Width(), flags);
    const int lh = f.tm.height;
    const int total = lh * int(lines.size());
    if (flags & DT_CALCRECT) {
        int widest = 0;
        for (const Line& l : lines) widest = std::max(widest, f.Get(l.text, false).width);
        rect.right = rect.left + widest;
        rect.bottom = rect.top + total;
        return total;
    }
    int y = rect.top;
    if (flags & DT_SINGLELINE) {
        if (flags & DT_VCENTER)
            y = rect.top + (rect.Height() - lh) / 2;
        else if (flags & DT_BOTTOM)
            y = rect.bottom - lh;
    }
    const TRect* clip = (flags & DT_NOCLIP) ? nullptr : &rect;
    for (const Line& l : lines) {
        const int w = f.Get(l.text, false).width;
        int x = rect.left;
        if (flags & DT_CENTER)
            x = rect.left + (rect.Width() - w) / 2;
        else if (flags & DT_RIGHT)
            x = rect.right - w;
        ExtTextOut(dc, x, y, clip, nullptr, l.text);
        if (l.prefix_at >= 0 && l.prefix_at < int(l.text.size())) {
            const int a = f.Get(std::string_view(l.text).substr(0, size_t(l.prefix_at)), false).width;
            const int b = f.Get(std::string_view(l.text).substr(0, size_t(l.prefix_at) + 1), false).width;
            const int base = y + f.tm.ascent - f.underline_pos;
            const int saved = dc.Save();
            if (clip) dc.IntersectClipRect(*clip);
            FillRect(dc, {x + a, base, x + b, base + f.underline_thickness}, Brush::Solid(dc.S().text_color));
            dc.Restore(saved);
        }
        y += lh;
    }
    return (flags & DT_SINGLELINE) ? y - rect.top : total;
}

}  // namespace ui
