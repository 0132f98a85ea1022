// The text cache: bounded by bytes however many different texts are drawn,
// the texts used lately kept, and a text drawn again after it was dropped
// looking exactly as it did.
#include <cairo.h>
#include <pango/pangocairo.h>

#include <string>

#include "framework/ui/detail/text_state.hpp"
#include "framework/ui/gdi.hpp"
#include "platform/codepage.hpp"
#include "tests/support/ui_fixture.hpp"

namespace ui {
namespace {

class TextCacheTest : public testing_ui::UiTest {
protected:
    static std::string Long(int i) {
        std::string s = "Row " + std::to_string(i) + ":";
        while (s.size() < 200) s += " payee " + std::to_string(i * 7 + int(s.size()));
        return s.substr(0, 200);
    }
};

TEST_F(TextCacheTest, ManyDifferentTextsStayWithinTheBudget) {
    constexpr size_t kBudget = size_t(1) << 20;
    SetTextCacheBudget(kBudget);
    testing_ui::Canvas32 c(1200, 20);
    c.dc.S().font = CreateFont(LogFont{"Tahoma", -11});
    SetBkMode(c.dc, TRANSPARENT);
    TextOut(c.dc, 0, 2, Long(0));
    const auto first = c.surface->Copy();
    size_t most = 0;
    for (int i = 1; i < 3000; ++i) {
        TextOut(c.dc, 0, 2, Long(i));
        most = std::max(most, TextCacheBytes());
    }
    EXPECT_LE(most, kBudget);
    EXPECT_GT(most, kBudget / 2);  // the budget is used, not left idle
    // The first text was dropped long ago; drawn again it looks the same.
    const uint64_t layouts = TextLayoutCount();
    c.surface->Fill(0xFFFFFF);
    TextOut(c.dc, 0, 2, Long(0));
    EXPECT_EQ(TextLayoutCount(), layouts + 1);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 1200; ++x) ASSERT_EQ(c.At(x, y), first->Pixel(x, y)) << x << "," << y;
}

TEST_F(TextCacheTest, TextsUsedLatelyStayAndTheOldestGo) {
    testing_ui::Canvas32 c(1200, 20);
    c.dc.S().font = CreateFont(LogFont{"Tahoma", -11});
    GetTextExtent(c.dc, Long(0));  // its glyphs are there now
    const size_t before = TextCacheBytes();
    GetTextExtent(c.dc, Long(1));
    const size_t per_text = TextCacheBytes() - before;
    SetTextCacheBudget(per_text * 28);  // room for some 20 long texts beside the glyphs
    auto laid_out = [&](int i) {
        const uint64_t before = TextLayoutCount();
        GetTextExtent(c.dc, Long(i));
        return TextLayoutCount() != before;
    };
    for (int i = 0; i < 10; ++i) laid_out(100 + i);
    for (int round = 0; round < 5; ++round) {
        EXPECT_FALSE(laid_out(100)) << round;  // in use all along: kept
        for (int i = 0; i < 10; ++i) laid_out(1000 + round * 10 + i);
    }
    EXPECT_TRUE(laid_out(101));  // not used since: gone
    EXPECT_LE(TextCacheBytes(), per_text * 28);
}

// The whole text laid out and drawn by Pango at once, the baseline `ascent`
// below (x, y): one byte a pixel, 1 for ink.
std::vector<uint8_t> PangoDrawn(const LogFont& lf, const std::string& ansi, int w, int h, int x, int y) {
    PangoFontDescription* d = pango_font_description_new();
    pango_font_description_set_family(d, lf.name.c_str());
    pango_font_description_set_weight(d, lf.bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    pango_font_description_set_style(d, lf.italic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
    pango_font_description_set_absolute_size(d, -lf.height * PANGO_SCALE);
    PangoLayout* layout = pango_layout_new(detail::Text().context);
    pango_layout_set_font_description(layout, d);
    const std::string utf8 = platform::AnsiToUtf8(ansi);
    pango_layout_set_text(layout, utf8.data(), int(utf8.size()));
    const int ascent = FontMetrics(CreateFont(lf)).ascent;
    auto s = Surface::Create(w, h, PixelFormat::Mono);
    cairo_t* cr = cairo_create(s->Cairo());
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    cairo_move_to(cr, x, y + ascent - PANGO_PIXELS(pango_layout_get_baseline(layout)));
    pango_cairo_show_layout(cr, layout);
    cairo_destroy(cr);
    cairo_surface_flush(s->Cairo());
    std::vector<uint8_t> out(size_t(w) * size_t(h));
    for (int yy = 0; yy < h; ++yy)
        for (int xx = 0; xx < w; ++xx) out[size_t(yy) * size_t(w) + size_t(xx)] = s->Row8(yy)[xx] >= 0x80;
    g_object_unref(layout);
    pango_font_description_free(d);
    return out;
}

// Glyph by glyph from the cache, a text looks exactly as Pango draws it whole:
// kerning, accents, fallback fonts and the boxes of characters no font has.
TEST_F(TextCacheTest, CachedGlyphsDrawWhatPangoDraws) {
    const LogFont fonts[] = {{"Tahoma", -11},
                             {"Tahoma", -11, true},
                             {"Arial", -13, false, true},
                             {"Courier New", -12},
                             {"Times New Roman", -16, true, true}};
    const std::string texts[] = {"Payee 12.50",
                                 "AV To Wa ffi fl",
                                 "\xC4pfel \xE9t\xE9 \x80 5",
                                 "a\x7F"
                                 "b\x81\x9D",
                                 "Tab\there",
                                 "two\nlines"};
    constexpr int kW = 240, kH = 48;
    for (const LogFont& lf : fonts)
        for (const std::string& text : texts) {
            testing_ui::Canvas32 c(kW, kH);
            c.dc.S().font = CreateFont(lf);
            SetBkMode(c.dc, TRANSPARENT);
            TextOut(c.dc, 5, 3, text);
            const auto want = PangoDrawn(lf, text, kW, kH, 5, 3);
            int differ = 0;
            for (int y = 0; y < kH; ++y)
                for (int x = 0; x < kW; ++x) differ += (c.At(x, y) == 0) != (want[size_t(y) * kW + size_t(x)] != 0);
            EXPECT_EQ(differ, 0) << lf.name << " " << lf.height << " \"" << text << "\"";
        }
}

// Where Pango puts the glyphs of a whole text laid out at once (pixels).
std::vector<TPoint> PangoPlaces(const LogFont& lf, const std::string& ansi, int* width) {
    PangoFontDescription* d = pango_font_description_new();
    pango_font_description_set_family(d, lf.name.c_str());
    pango_font_description_set_absolute_size(d, -lf.height * PANGO_SCALE);
    PangoLayout* layout = pango_layout_new(detail::Text().context);
    pango_layout_set_font_description(layout, d);
    const std::string utf8 = platform::AnsiToUtf8(ansi);
    pango_layout_set_text(layout, utf8.data(), int(utf8.size()));
    PangoRectangle logical;
    pango_layout_get_pixel_extents(layout, nullptr, &logical);
    *width = logical.width;
    const int first_baseline = pango_layout_get_baseline(layout);
    std::vector<TPoint> out;
    PangoLayoutIter* iter = pango_layout_get_iter(layout);
    do {
        PangoLayoutRun* run = pango_layout_iter_get_run_readonly(iter);
        if (!run) continue;
        PangoRectangle extents;
        pango_layout_iter_get_run_extents(iter, nullptr, &extents);
        const int baseline = pango_layout_iter_get_baseline(iter) - first_baseline;
        int x = extents.x;
        for (int i = 0; i < run->glyphs->num_glyphs; ++i) {
            const PangoGlyphInfo& g = run->glyphs->glyphs[i];
            if (g.glyph != PANGO_GLYPH_EMPTY)
                out.push_back({PANGO_PIXELS(x + g.geometry.x_offset), PANGO_PIXELS(baseline + g.geometry.y_offset)});
            x += g.geometry.width;
        }
    } while (pango_layout_iter_next_run(iter));
    pango_layout_iter_free(iter);
    g_object_unref(layout);
    pango_font_description_free(d);
    return out;
}

std::string Repeat(std::string_view piece, size_t n) {
    std::string s;
    s.reserve(n + piece.size());
    while (s.size() < n) s += piece;
    s.resize(n);
    return s;
}

// A long text is laid out in pieces: it still measures and places its glyphs
// as Pango does the whole line, and past Pango's range (some 2 million
// pixels) and past what an int counts it keeps counting, then saturates.
TEST_F(TextCacheTest, LongTextsMeasureAndPlaceTheirGlyphsAsOneLine) {
    const LogFont small{"Tahoma", -11};
    struct Case {
        const char* name;
        std::string text;
    } as_pango[] = {
        {"words", Repeat("Payee 12.50, ", 20000)},
        {"no blanks", Repeat("Zahlungsempf\xE4nger", 20000)},
        {"tabs", Repeat("Payee\t12.50\t", 20000)},
        {"lines", Repeat("Payee 12.50\r\nAV To\n", 40000)},
    };
    for (const Case& c : as_pango) {
        int width = 0;
        const std::vector<TPoint> want = PangoPlaces(small, c.text, &width);
        FontFace& face = *CreateFont(small);
        const int ascent = face.tm.ascent;
        const detail::ShapedText& got = face.Shape(c.text);
        EXPECT_EQ(got.width, width) << c.name;
        ASSERT_EQ(got.glyphs.size(), want.size()) << c.name;
        int wrong = 0;
        for (size_t i = 0; i < want.size(); ++i)
            wrong += got.glyphs[i].x != want[i].x || got.glyphs[i].y != ascent + want[i].y;
        EXPECT_EQ(wrong, 0) << c.name;
    }
    struct Far {
        const char* name;
        LogFont font;
        size_t length;
    } far[] = {
        {"past Pango's range", small, 400000},
        {"past an int", LogFont{"Tahoma", -16000}, 0},  // as many as pass INT_MAX pixels
    };
    for (const Far& c : far) {
        FontFace& face = *CreateFont(c.font);
        const int64_t one = face.Shape("x").width;
        ASSERT_GT(one, 0);
        const size_t n = c.length ? c.length : size_t(INT32_MAX / one + 8);
        const detail::ShapedText& got = face.Shape(std::string(n, 'x'));
        ASSERT_EQ(got.glyphs.size(), n) << c.name;
        EXPECT_EQ(got.width, SatInt(int64_t(n) * one)) << c.name;
        int wrong = 0;
        for (size_t i = 0; i < n; ++i) wrong += got.glyphs[i].x != SatInt(int64_t(i) * one);
        EXPECT_EQ(wrong, 0) << c.name;
        EXPECT_LE(got.ink.left, got.ink.right) << c.name;
        // Measured through a DC the same way.
        testing_ui::Canvas32 canvas(64, 40);
        canvas.dc.S().font = CreateFont(c.font);
        EXPECT_EQ(GetTextExtent(canvas.dc, std::string(n, 'x')).cx, got.width) << c.name;
        TRect r{0, 0, 10, 10};
        DrawText(canvas.dc, std::string(n, 'x'), r, DT_CALCRECT | DT_SINGLELINE);
        EXPECT_EQ(r.right, got.width) << c.name;
    }
}

}  // namespace
}  // namespace ui
