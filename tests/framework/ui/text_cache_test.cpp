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

}  // namespace
}  // namespace ui
