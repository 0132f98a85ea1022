// Fonts and text: realised fonts, measuring, drawing a line of text from the
// text cache's glyphs, and DrawText's lines, prefixes and tabs.
#include <pango/pangocairo.h>

#include <algorithm>
#include <map>
#include <unordered_map>

#include "framework/ui/detail/state.hpp"
#include "framework/ui/detail/text_state.hpp"
#include "framework/ui/gdi.hpp"
#include "platform/codepage.hpp"

namespace ui {

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
    // Heights beyond what a screen could show are held to it, so that sizes
    // and a glyph's extents stay inside Pango's ranges.
    constexpr int kMostPixels = 1 << 14;
    const int h = lf.height == 0 ? -11 : std::clamp(lf.height, -kMostPixels, kMostPixels);
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

FontFace::~FontFace() {
    if (layout_) g_object_unref(layout_);
    pango_font_description_free(desc_);
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
    return {f.Shape(text).width, f.tm.height};
}

namespace {

thread_local std::vector<TRect> t_clips;

// Sets the mask's pixels in the rows of `c` (device pixels).
void Stamp(Surface& s, const detail::GlyphMask& m, int64_t gx, int64_t gy, const TRect& c, uint32_t pixel,
           uint8_t mono) {
    const int x0 = int(std::max<int64_t>(gx, c.left)), x1 = int(std::min<int64_t>(gx + m.w, c.right));
    const int y0 = int(std::max<int64_t>(gy, c.top)), y1 = int(std::min<int64_t>(gy + m.h, c.bottom));
    for (int yy = y0; yy < y1; ++yy) {
        const uint8_t* bits = m.bits.data() + size_t(yy - gy) * size_t(m.w) + size_t(x0 - gx);
        if (s.Mono()) {
            uint8_t* row = s.Row8(yy);
            for (int xx = x0; xx < x1; ++xx, ++bits)
                if (*bits) row[xx] = mono;
        } else {
            uint32_t* row = s.Row32(yy);
            for (int xx = x0; xx < x1; ++xx, ++bits)
                if (*bits) row[xx] = pixel;
        }
    }
}

}  // namespace

void ExtTextOut(DC& dc, int x, int y, const TRect* clip, const TRect* opaque_rect, std::string_view text) {
    FontFace& f = FaceOf(dc);
    Surface* s = dc.Target().get();
    if (!s || s->Empty()) return;
    const detail::ShapedText& t = f.Shape(text);
    // `clip` limits the fills as a clipping rectangle would.
    auto clipped = [clip](const TRect& r) { return clip ? Intersect(r, *clip) : r; };
    if (opaque_rect)
        FillRect(dc, clipped(*opaque_rect), Brush::Solid(dc.S().bk_color));
    else if (dc.S().bk_mode == OPAQUE && t.width > 0)
        FillRect(dc, clipped(Bounds(x, y, t.width, f.tm.height)), Brush::Solid(dc.S().bk_color));
    const COLORREF color = dc.S().text_color;
    if (!t.glyphs.empty()) {
        const int64_t ox = int64_t(x) + dc.S().origin.x, oy = int64_t(y) + dc.S().origin.y;
        TRect dev{SatInt(ox + t.ink.left), SatInt(oy + t.ink.top), SatInt(ox + t.ink.right), SatInt(oy + t.ink.bottom)};
        if (clip) dev = Intersect(dev, dc.ToDevice(*clip));
        dc.ClipRects(dev, t_clips);
        const uint32_t pixel = ToPixel(color);
        const uint8_t mono = MonoWhite(color) ? 0xFF : 0;
        detail::TextState& ts = detail::Text();
        if (!t_clips.empty())
            for (const detail::PlacedGlyph& g : t.glyphs) {
                const detail::GlyphMask& m = ts.Glyph(g.key);
                if (m.w == 0) continue;
                const int64_t gx = ox + g.x + m.x, gy = oy + g.y + m.y;
                for (const TRect& c : t_clips) Stamp(*s, m, gx, gy, c, pixel, mono);
            }
    }
    if (t.width > 0 && (f.lf.underline || f.lf.strike_out)) {
        const Brush b = Brush::Solid(color);
        const int base = SatInt(int64_t(y) + f.tm.ascent);
        if (f.lf.underline)
            FillRect(dc, clipped(Bounds(x, SatInt(int64_t(base) - f.underline_pos), t.width, f.underline_thickness)),
                     b);
        if (f.lf.strike_out)
            FillRect(dc, clipped(Bounds(x, SatInt(int64_t(base) - f.strike_pos), t.width, f.underline_thickness)), b);
    }
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
    // Where the line's last tab padding ended, in bytes and pixels: the text
    // before it is not measured again at the next tab.
    size_t tab_end = 0;
    int64_t tab_x = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (!single && (c == '\r' || c == '\n')) {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            raw.emplace_back();
            tab_end = 0, tab_x = 0;
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
            // Pad with blanks up to the next tab stop: as many as a blank's
            // width says at once, then one by one (a text as wide as can be
            // counted takes one).
            std::string& s = raw.back().text;
            const auto width = [&] {
                return std::min<int64_t>(INT32_MAX, tab_x + f.Shape(std::string_view(s).substr(tab_end)).width);
            };
            const int64_t w = width();
            const int64_t stop = (w / tab + 1) * tab;
            const int64_t blank = std::max(1, f.Shape(" ").width);
            s.append(size_t(std::max<int64_t>(0, (stop - w) / blank - 1)), ' ');
            int64_t now = width();
            for (; now < stop && now < INT32_MAX; now = width()) s += ' ';
            if (w == INT32_MAX) s += ' ';
            tab_end = s.size(), tab_x = now;
            continue;
        }
        if (c == '\t' || (single && (c == '\r' || c == '\n'))) c = ' ';
        raw.back().text += c;
    }
    if (!(flags & DT_WORDBREAK) || single) return raw;
    std::vector<Line> out;
    for (Line& line : raw) {
        if (f.Shape(line.text).width <= width) {
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
                if (f.Shape(std::string_view(s).substr(start, next - start)).width > width && best != std::string::npos)
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
    const int total = SatInt(int64_t(lh) * int64_t(lines.size()));
    if (flags & DT_CALCRECT) {
        int widest = 0;
        for (const Line& l : lines) widest = std::max(widest, f.Shape(l.text).width);
        rect.right = SatInt(int64_t(rect.left) + widest);
        rect.bottom = SatInt(int64_t(rect.top) + total);
        return total;
    }
    // 64-bit places: a rectangle far off stays far off.
    int64_t y = rect.top;
    if (flags & DT_SINGLELINE) {
        if (flags & DT_VCENTER)
            y = rect.top + (int64_t(rect.bottom) - rect.top - lh) / 2;
        else if (flags & DT_BOTTOM)
            y = int64_t(rect.bottom) - lh;
    }
    const TRect* clip = (flags & DT_NOCLIP) ? nullptr : &rect;
    for (const Line& l : lines) {
        const int w = f.Shape(l.text).width;
        int64_t x = rect.left;
        if (flags & DT_CENTER)
            x = rect.left + (int64_t(rect.right) - rect.left - w) / 2;
        else if (flags & DT_RIGHT)
            x = int64_t(rect.right) - w;
        ExtTextOut(dc, SatInt(x), SatInt(y), clip, nullptr, l.text);
        if (l.prefix_at >= 0 && l.prefix_at < int(l.text.size())) {
            const int a = f.Shape(std::string_view(l.text).substr(0, size_t(l.prefix_at))).width;
            const int b = f.Shape(std::string_view(l.text).substr(0, size_t(l.prefix_at) + 1)).width;
            const int64_t base = y + f.tm.ascent - f.underline_pos;
            TRect bar{SatInt(x + a), SatInt(base), SatInt(x + b), SatInt(base + f.underline_thickness)};
            if (clip) bar = Intersect(bar, *clip);
            FillRect(dc, bar, Brush::Solid(dc.S().text_color));
        }
        y += lh;
    }
    return (flags & DT_SINGLELINE) ? SatInt(y - rect.top) : total;
}

}  // namespace ui
