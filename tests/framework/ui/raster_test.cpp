#include <gtest/gtest.h>

#include "framework/ui/gdi.hpp"
#include "tests/support/ui_fixture.hpp"

namespace ui {
namespace {

using testing_ui::Canvas32;

constexpr COLORREF kWhite = 0xFFFFFF, kBlack = 0;

// Every one of the 256 operations, through the blit (and its fast paths), on
// each combination of pattern, source and destination bits.
TEST(RasterOpTest, EveryCodeMatchesItsTruthTable) {
    for (int code = 0; code < 256; ++code) {
        for (int bits = 0; bits < 8; ++bits) {
            const bool p = bits & 4, s = bits & 2, d = bits & 1;
            Canvas32 dst(1, 1, d ? kWhite : kBlack);
            Canvas32 src(1, 1, s ? kWhite : kBlack);
            dst.dc.S().brush = Brush::Solid(p ? kWhite : kBlack);
            BitBlt(dst.dc, 0, 0, 1, 1, &src.dc, 0, 0, uint32_t(code) << 16);
            const COLORREF want = (code >> bits & 1) ? kWhite : kBlack;
            ASSERT_EQ(dst.At(0, 0), want) << "code " << std::hex << code << " P" << p << " S" << s << " D" << d;
        }
    }
}

TEST(RasterOpTest, ChannelsCombineBitwise) {
    Canvas32 dst(1, 1, RGB(0xF0, 0x0F, 0x55));
    Canvas32 src(1, 1, RGB(0x3C, 0xFF, 0xAA));
    BitBlt(dst.dc, 0, 0, 1, 1, &src.dc, 0, 0, SRCINVERT);
    EXPECT_EQ(dst.At(0, 0), RGB(0xF0 ^ 0x3C, 0x0F ^ 0xFF, 0x55 ^ 0xAA));
}

// The classic conversions between monochrome and colour pixels.
TEST(MonoConversionTest, Rules) {
    struct Case {
        const char* name;
        bool src_mono, dst_mono;
        COLORREF src_pixel, src_bk, dst_text, dst_bk, want;
    };
    const COLORREF red = RGB(255, 0, 0), blue = RGB(0, 0, 255), green = RGB(0, 255, 0);
    const Case cases[] = {
        {"colour matching the source background turns white", false, true, red, red, 0, 0, kWhite},
        {"any other colour turns black", false, true, blue, red, 0, 0, kBlack},
        {"even white turns black when it is not the background", false, true, kWhite, red, 0, 0, kBlack},
        {"a black bit takes the destination's text colour", true, false, kBlack, 0, green, blue, green},
        {"a white bit takes the destination's background colour", true, false, kWhite, 0, green, blue, blue},
        {"mono to mono copies the bit", true, true, kWhite, 0, green, blue, kWhite},
    };
    for (const Case& c : cases) {
        auto src = Surface::Create(1, 1, c.src_mono ? PixelFormat::Mono : PixelFormat::Color32);
        auto dst = Surface::Create(1, 1, c.dst_mono ? PixelFormat::Mono : PixelFormat::Color32);
        src->SetPixel(0, 0, c.src_pixel);
        DC s(src), d(dst);
        SetBkColor(s, c.src_bk);
        SetTextColor(d, c.dst_text);
        SetBkColor(d, c.dst_bk);
        BitBlt(d, 0, 0, 1, 1, &s, 0, 0, SRCCOPY);
        EXPECT_EQ(dst->Pixel(0, 0), c.want) << c.name;
    }
}

TEST(PatternBrushTest, MonoPatternUsesTextAndBackgroundAndFollowsTheBrushOrigin) {
    auto pat = Surface::Create(2, 1, PixelFormat::Mono);
    pat->SetPixel(0, 0, kBlack);
    pat->SetPixel(1, 0, kWhite);
    Canvas32 dst(4, 1);
    dst.dc.S().brush = Brush::Pattern(pat);
    SetTextColor(dst.dc, RGB(1, 2, 3));
    SetBkColor(dst.dc, RGB(4, 5, 6));
    PatBlt(dst.dc, 0, 0, 4, 1, PATCOPY);
    EXPECT_EQ(dst.At(0, 0), RGB(1, 2, 3));
    EXPECT_EQ(dst.At(1, 0), RGB(4, 5, 6));
    dst.dc.S().brush_org = {1, 0};
    PatBlt(dst.dc, 0, 0, 4, 1, PATCOPY);
    EXPECT_EQ(dst.At(0, 0), RGB(4, 5, 6));
    EXPECT_EQ(dst.At(1, 0), RGB(1, 2, 3));
}

TEST(BlitTest, StretchPicksNearestAndStaysInsideTheTarget) {
    Canvas32 src(2, 1);
    src.surface->SetPixel(0, 0, RGB(10, 0, 0));
    src.surface->SetPixel(1, 0, RGB(20, 0, 0));
    Canvas32 dst(6, 3, kBlack);
    StretchBlt(dst.dc, 1, 1, 4, 1, &src.dc, 0, 0, 2, 1, SRCCOPY);
    const COLORREF row[] = {kBlack, RGB(10, 0, 0), RGB(10, 0, 0), RGB(20, 0, 0), RGB(20, 0, 0), kBlack};
    for (int x = 0; x < 6; ++x) EXPECT_EQ(dst.At(x, 1), row[x]) << x;
    for (int x = 0; x < 6; ++x) EXPECT_EQ(dst.At(x, 0), kBlack) << x;
    // A source rectangle partly outside its bitmap leaves those pixels alone.
    Canvas32 edge(3, 1, kBlack);
    BitBlt(edge.dc, 0, 0, 3, 1, &src.dc, 1, 0, SRCCOPY);
    EXPECT_EQ(edge.At(0, 0), RGB(20, 0, 0));
    EXPECT_EQ(edge.At(1, 0), kBlack);
}

TEST(ClipTest, DrawingStaysInsideClipOriginAndSystemClip) {
    Canvas32 c(10, 10, kBlack);
    c.dc.Save();
    OffsetViewportOrg(c.dc, 2, 2);
    c.dc.IntersectClipRect({0, 0, 3, 3});
    Region sys(TRect{0, 0, 4, 10});
    c.dc.SetSystemClip(sys);
    FillRect(c.dc, {-5, -5, 20, 20}, Brush::Solid(kWhite));
    int white = 0;
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x)
            if (c.At(x, y) == kWhite) {
                ++white;
                EXPECT_TRUE(x >= 2 && x < 4 && y >= 2 && y < 5) << x << "," << y;
            }
    EXPECT_EQ(white, 6);
    EXPECT_TRUE(c.dc.Restore());
    EXPECT_FALSE(c.dc.Restore());
}

TEST(RegionTest, SetOperations) {
    struct Case {
        const char* name;
        std::function<void(Region&)> op;
        int area;
        TPoint in, out;
    };
    auto area = [](const Region& r) {
        int a = 0;
        for (const auto& x : r.Rects()) a += x.Width() * x.Height();
        return a;
    };
    const Case cases[] = {
        {"overlapping union counts once",
         [](Region& r) {
             r.Add({5, 5, 15, 15});
         },
         175,
         {12, 12},
         {12, 2}},
        {"subtract a hole",
         [](Region& r) {
             r.Subtract({2, 2, 4, 4});
         },
         96,
         {1, 1},
         {3, 3}},
        {"intersect",
         [](Region& r) {
             r.Intersect(TRect{5, 5, 20, 20});
         },
         25,
         {6, 6},
         {4, 4}},
        {"subtract all",
         [](Region& r) {
             r.Subtract({-1, -1, 11, 11});
         },
         0,
         {-100, -100},
         {5, 5}},
        {"empty rectangles change nothing",
         [](Region& r) {
             r.Add({3, 3, 3, 9});
             r.Subtract({4, 4, 2, 2});
         },
         100,
         {9, 9},
         {10, 10}},
    };
    for (const Case& c : cases) {
        Region r(TRect{0, 0, 10, 10});
        c.op(r);
        EXPECT_EQ(area(r), c.area) << c.name;
        if (c.area) {
            EXPECT_TRUE(r.Contains(c.in)) << c.name;
        }
        EXPECT_FALSE(r.Contains(c.out)) << c.name;
        for (size_t i = 0; i < r.Rects().size(); ++i)
            for (size_t j = i + 1; j < r.Rects().size(); ++j)
                EXPECT_FALSE(Intersects(r.Rects()[i], r.Rects()[j])) << c.name << ": overlapping pieces";
    }
}

TEST(SurfaceTest, BadSizesAndCoordinates) {
    EXPECT_THROW(Surface::Create(100000, 10, PixelFormat::Color32), EOutOfResources);
    EXPECT_THROW(Surface::Create(20000, 20000, PixelFormat::Mono), EOutOfResources);
    EXPECT_TRUE(Surface::Create(-5, 10, PixelFormat::Color32)->Empty());
    EXPECT_TRUE(Surface::Create(0, 0, PixelFormat::Mono)->Empty());
    Canvas32 c(2, 2);
    EXPECT_EQ(c.At(-1, 0), CLR_INVALID);
    EXPECT_EQ(c.At(2, 0), CLR_INVALID);
    c.surface->SetPixel(5, 5, kBlack);  // ignored
    EXPECT_FALSE(BitBlt(c.dc, 0, 0, 0, 2, &c.dc, 0, 0, SRCCOPY));
    EXPECT_FALSE(BitBlt(c.dc, 0, 0, -3, 2, &c.dc, 0, 0, SRCCOPY));
    EXPECT_FALSE(BitBlt(c.dc, 0, 0, 2, 2, nullptr, 0, 0, SRCCOPY));  // needs a source
    DC empty;
    FillRect(empty, {0, 0, 5, 5}, Brush::Solid(0));
    EXPECT_EQ(GetPixel(empty, 0, 0), CLR_INVALID);
}

TEST(ShapeTest, LinesLeaveOutTheEndPointAndFramesStayOnTheEdge) {
    Canvas32 c(10, 10);
    MoveTo(c.dc, 1, 1);
    LineTo(c.dc, 5, 1);
    EXPECT_EQ(c.At(1, 1), kBlack);
    EXPECT_EQ(c.At(4, 1), kBlack);
    EXPECT_EQ(c.At(5, 1), kWhite);
    FrameRect(c.dc, {2, 3, 8, 9}, Brush::Solid(RGB(9, 9, 9)));
    EXPECT_EQ(c.At(2, 3), RGB(9, 9, 9));
    EXPECT_EQ(c.At(7, 8), RGB(9, 9, 9));
    EXPECT_EQ(c.At(8, 8), kWhite);
    EXPECT_EQ(c.At(4, 5), kWhite);
}

// ---------------------------------------------------------------- text

class TextTest : public ::testing::Test {
protected:
    TextTest() : c(300, 100) { c.dc.S().font = CreateFont(LogFont{"Tahoma", -11}); }
    bool Ink(const TRect& r) const {
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x)
                if (c.At(x, y) == kBlack) return true;
        return false;
    }
    Canvas32 c;
};

TEST_F(TextTest, MeasuringTheSameTextTwiceLaysItOutOnce) {
    GetTextExtent(c.dc, "Measured once");
    const uint64_t before = TextLayoutCount();
    const TSize a = GetTextExtent(c.dc, "Measured once");
    TextOut(c.dc, 0, 0, "Measured once");
    EXPECT_LE(TextLayoutCount(), before + 1);  // drawing may render the glyphs once
    const uint64_t after = TextLayoutCount();
    TextOut(c.dc, 0, 20, "Measured once");
    EXPECT_EQ(TextLayoutCount(), after);
    EXPECT_GT(a.cx, 0);
    EXPECT_EQ(a.cy, FontMetrics(c.dc.S().font).height);
}

TEST_F(TextTest, DrawTextFlags) {
    SetBkMode(c.dc, TRANSPARENT);
    const int w = GetTextExtent(c.dc, "Right").cx;
    TRect r{0, 0, 200, 40};
    DrawText(c.dc, "Right", r, DT_RIGHT | DT_SINGLELINE);
    EXPECT_TRUE(Ink({200 - w, 0, 200, 20}));
    EXPECT_FALSE(Ink({0, 0, 200 - w - 1, 40}));

    TRect calc{0, 0, 60, 0};
    const int h1 = FontMetrics(c.dc.S().font).height;
    const int height = DrawText(c.dc, "one two three four five", calc, DT_CALCRECT | DT_WORDBREAK);
    EXPECT_EQ(height, calc.Height());
    EXPECT_GT(calc.Height(), h1);
    EXPECT_LE(calc.Width(), 60 + GetTextExtent(c.dc, "three").cx);
    TRect single{0, 0, 60, 0};
    DrawText(c.dc, "one two three four five", single, DT_CALCRECT | DT_SINGLELINE);
    EXPECT_EQ(single.Height(), h1);

    Canvas32 v(100, 60);
    v.dc.S().font = c.dc.S().font;
    TRect box{0, 0, 100, 60};
    DrawText(v.dc, "Mid", box, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
    bool top_ink = false, mid_ink = false;
    for (int x = 0; x < 100; ++x) {
        for (int y = 0; y < 15; ++y) top_ink |= v.At(x, y) == kBlack;
        for (int y = 22; y < 38; ++y) mid_ink |= v.At(x, y) == kBlack;
    }
    EXPECT_FALSE(top_ink);
    EXPECT_TRUE(mid_ink);
}

TEST_F(TextTest, PrefixesUnderlineAndDoubleAmpersandsStay) {
    SetBkMode(c.dc, TRANSPARENT);
    TRect plain{0, 0, 300, 40}, prefixed{0, 40, 300, 80};
    DrawText(c.dc, "File", plain, DT_SINGLELINE | DT_NOPREFIX);
    DrawText(c.dc, "&File", prefixed, DT_SINGLELINE);
    const int h = FontMetrics(c.dc.S().font).height;
    // The same glyphs, plus an underline under the F only.
    int extra = 0;
    for (int y = 0; y < h + 2; ++y)
        for (int x = 0; x < 100; ++x) extra += (c.At(x, y + 40) == kBlack) != (c.At(x, y) == kBlack);
    EXPECT_GT(extra, 0);
    EXPECT_LT(extra, GetTextExtent(c.dc, "F").cx * 3);
    TRect calc_amp{0, 0, 300, 0}, calc_plain{0, 0, 300, 0};
    DrawText(c.dc, "a&&b", calc_amp, DT_CALCRECT | DT_SINGLELINE);
    DrawText(c.dc, "a&b", calc_plain, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    EXPECT_EQ(calc_amp.Width(), calc_plain.Width());
}

TEST_F(TextTest, TextOutsideThePageAndEmptyTextAreHarmless) {
    const std::string odd = {'\x81', '\x8D', '\x00', 'A', '\xFF', '\x9D'};
    EXPECT_NO_THROW(TextOut(c.dc, 0, 0, odd));
    EXPECT_GT(GetTextExtent(c.dc, odd).cx, 0);
    EXPECT_EQ(GetTextExtent(c.dc, "").cx, 0);
    TRect r{10, 10, 10, 10};
    EXPECT_NO_THROW(DrawText(c.dc, "", r, DT_WORDBREAK));
    EXPECT_NO_THROW(DrawText(c.dc, "x\ty", r, DT_EXPANDTABS | DT_WORDBREAK));
}

// Where each piece of a text with expanded tabs begins: the text before a
// tab is padded with whole blanks to the first place at or past the next
// stop (every 8 average characters).
std::vector<int64_t> TabbedStarts(DC& dc, std::string_view text) {
    const int64_t tab = std::max(1, FontMetrics(dc.S().font).ave_char_width * 8);
    const int64_t blank = GetTextExtent(dc, " ").cx;
    std::vector<int64_t> starts{0};
    int64_t x = 0;
    for (size_t from = 0;;) {
        const size_t end = std::min(text.find('\t', from), text.size());
        x += GetTextExtent(dc, text.substr(from, end - from)).cx;
        if (end == text.size()) break;
        const int64_t stop = (x / tab + 1) * tab;
        x += (stop - x + blank - 1) / blank * blank;
        starts.push_back(x);
        from = end + 1;
    }
    starts.push_back(x);  // the end
    return starts;
}

TEST_F(TextTest, TabsExpandToTheirStops) {
    const LogFont fonts[] = {{"Tahoma", -11}, {"Courier New", -12}, {"Times New Roman", -16, true}};
    const char* texts[] = {"a\tb", "Payee\t12.50\tAV To", "\t\tx", "wider than a single stop\tx", "a\t\tb", "x\t"};
    constexpr int kW = 600, kH = 30;
    for (const LogFont& lf : fonts)
        for (const char* text : texts) {
            SCOPED_TRACE(lf.name + ": " + text);
            Canvas32 whole(kW, kH), pieces(kW, kH);
            for (Canvas32* canvas : {&whole, &pieces}) {
                canvas->dc.S().font = CreateFont(lf);
                SetBkMode(canvas->dc, TRANSPARENT);
            }
            const std::vector<int64_t> starts = TabbedStarts(whole.dc, text);
            TRect calc{0, 0, kW, kH};
            DrawText(whole.dc, text, calc, DT_CALCRECT | DT_SINGLELINE | DT_EXPANDTABS);
            EXPECT_EQ(calc.Width(), starts.back());
            TRect r{0, 0, kW, kH};
            DrawText(whole.dc, text, r, DT_SINGLELINE | DT_EXPANDTABS);
            std::string_view rest(text);
            for (size_t i = 0; i + 1 < starts.size(); ++i) {
                const size_t end = std::min(rest.find('\t'), rest.size());
                TextOut(pieces.dc, int(starts[i]), 0, rest.substr(0, end));
                rest.remove_prefix(std::min(rest.size(), end + 1));
            }
            for (int y = 0; y < kH; ++y)
                for (int x = 0; x < kW; ++x) ASSERT_EQ(whole.At(x, y), pieces.At(x, y)) << x << "," << y;
        }
}

// A line of many tabs is measured piece by piece, not again from its start
// at every tab: a long one is laid out a bounded number of times.
TEST_F(TextTest, ALineOfManyTabsIsMeasuredPieceByPiece) {
    const std::pair<const char*, int> cases[] = {{"ab\t", 200}, {"abcdefghi\t", 10000}};
    for (const auto& [piece, count] : cases) {
        std::string text;
        for (int i = 0; i < count; ++i) text += piece;
        text += "end";
        const int64_t width = TabbedStarts(c.dc, text).back();
        const uint64_t before = TextLayoutCount();
        TRect calc{0, 0, 100, 20};
        DrawText(c.dc, text, calc, DT_CALCRECT | DT_SINGLELINE | DT_EXPANDTABS);
        EXPECT_LT(TextLayoutCount() - before, 40u) << piece;
        EXPECT_EQ(calc.Width(), width) << piece;
    }
}

TEST_F(TextTest, OpaqueModeFillsTheCellTransparentDoesNot) {
    SetBkColor(c.dc, RGB(0, 0, 200));
    SetBkMode(c.dc, OPAQUE);
    TextOut(c.dc, 0, 0, "i");
    EXPECT_EQ(c.At(0, 1), RGB(0, 0, 200));
    SetBkMode(c.dc, TRANSPARENT);
    TextOut(c.dc, 0, 30, "i");
    EXPECT_EQ(c.At(0, 31), kWhite);
}

}  // namespace
}  // namespace ui
