// Drawing clips first: far-off and huge coordinates never wrap, never size a
// buffer by what cannot show, and never walk pixels outside the clip.
#include <climits>
#include <random>
#include <set>

#include "framework/ui/gdi.hpp"
#include "tests/support/ui_fixture.hpp"

namespace ui {
namespace {

using testing_ui::Canvas32;

// The one-pixel line as the classic walk draws it, pixel by pixel.
std::vector<std::pair<TPoint, int>> ReferenceLine(int x0, int y0, int x1, int y1) {
    std::vector<std::pair<TPoint, int>> out;
    int dx = std::abs(x1 - x0), sx = x0 < x1 ? 1 : -1;
    int dy = -std::abs(y1 - y0), sy = y0 < y1 ? 1 : -1;
    int err = dx + dy, step = 0;
    while (!(x0 == x1 && y0 == y1)) {
        out.push_back({{x0, y0}, step++});
        const int e2 = 2 * err;
        if (e2 >= dy) err += dy, x0 += sx;
        if (e2 <= dx) err += dx, y0 += sy;
    }
    return out;
}

// Random lines, pens, origins and clip boxes: the clipped walk draws exactly
// the pixels of the whole walk that fall inside.
TEST(LineClipTest, TheClippedWalkDrawsTheWholeWalksVisiblePixels) {
    std::mt19937 rng(7);
    auto any = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    const int styles[] = {PS_SOLID, PS_DOT, PS_DASH};
    for (int round = 0; round < 3000; ++round) {
        Canvas32 c(24, 20, 0xFFFFFF);
        const int style = styles[round % 3];
        c.dc.S().pen = {style, 1, 0};
        const TPoint origin{any(-5, 5), any(-5, 5)};
        c.dc.S().origin = origin;
        const TRect clip{any(-3, 12), any(-3, 10), any(8, 30), any(8, 25)};
        c.dc.IntersectClipRect(clip);
        const int x0 = any(-80, 100), y0 = any(-80, 100), x1 = any(-80, 100), y1 = any(-80, 100);
        MoveTo(c.dc, x0, y0);
        LineTo(c.dc, x1, y1);
        std::set<std::pair<int, int>> want;
        for (auto [p, step] : ReferenceLine(x0, y0, x1, y1)) {
            const bool on = style == PS_DOT ? step % 2 == 0 : style == PS_DASH ? step % 8 < 6 : true;
            const TPoint d{p.x + origin.x, p.y + origin.y};
            if (on && clip.Offset(origin.x, origin.y).Contains(d) && d.x >= 0 && d.y >= 0 && d.x < 24 && d.y < 20)
                want.insert({d.x, d.y});
        }
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 24; ++x)
                ASSERT_EQ(c.At(x, y) == 0, want.count({x, y}) == 1)
                    << "line (" << x0 << "," << y0 << ")-(" << x1 << "," << y1 << ") style " << style << " at " << x
                    << "," << y;
    }
}

TEST(FarOffTest, HugeAndFarOffShapesDrawWhatShowsAndNothingElse) {
    constexpr int kFar = INT_MAX - 3, kNear = INT_MIN + 3;
    struct Case {
        const char* name;
        std::function<void(DC&)> draw;
        std::vector<std::pair<TPoint, COLORREF>> probes;  // on a 16x16 white picture
    };
    const COLORREF w = 0xFFFFFF, k = 0;
    const Case cases[] = {
        {"inverted, reaching past both ends",
         [](DC& dc) {
             InvertRect(dc, {kNear, kNear, kFar, kFar});
         },
         {{{0, 0}, k}, {{15, 15}, k}}},
        {"filled",
         [](DC& dc) {
             FillRect(dc, {kNear, 4, kFar, 5}, Brush::Solid(0));
         },
         {{{0, 4}, k}, {{15, 4}, k}, {{0, 5}, w}}},
        {"stretched from a small source",
         [](DC& dc) {
             Canvas32 src(2, 2, 0);
             StretchBlt(dc, kNear, 0, INT_MAX, 8, &src.dc, 0, 0, 2, 2, SRCCOPY);
         },
         {{{3, 3}, w}, {{0, 9}, w}}},  // the source's pixels land far to the left
        {"blitted with a far source origin",
         [](DC& dc) {
             Canvas32 src(4, 4, 0);
             BitBlt(dc, 0, 0, 16, 16, &src.dc, kFar, kFar, SRCCOPY);
         },
         {{{0, 0}, w}}},
        {"horizontal line across everything",
         [](DC& dc) {
             MoveTo(dc, kNear, 7);
             LineTo(dc, kFar, 7);
         },
         {{{0, 7}, k}, {{15, 7}, k}, {{0, 6}, w}}},
        {"diagonal line from far away",
         [](DC& dc) {
             MoveTo(dc, -1000000000, -1000000000);
             LineTo(dc, 1000000000, 1000000000);
         },
         {{{0, 0}, k}, {{9, 9}, k}, {{9, 8}, w}}},
        {"wide line across everything",
         [](DC& dc) {
             dc.S().pen.width = 3;
             MoveTo(dc, kNear, 8);
             LineTo(dc, kFar, 8);
         },
         {{{0, 8}, k}, {{15, 8}, k}, {{8, 3}, w}}},
        {"focus rectangle around everything",
         [](DC& dc) {
             DrawFocusRect(dc, {kNear, 2, kFar, 12});
         },
         {{{0, 2}, k}, {{1, 2}, w}, {{5, 7}, w}}},
        {"pixel at the far end", [](DC& dc) { SetPixel(dc, kFar, kFar, 0); }, {}},
        {"rectangle far off",
         [](DC& dc) {
             Rectangle(dc, {kFar - 10, kFar - 10, kFar, kFar});
         },
         {}},
        {"ellipse around everything",
         [](DC& dc) {
             Ellipse(dc, {kNear, kNear, kFar, kFar});
         },
         {}},
    };
    for (const Case& c : cases) {
        for (const TPoint origin : {TPoint{0, 0}, TPoint{3, -2}}) {
            Canvas32 canvas(16, 16, w);
            canvas.dc.S().pen = {PS_SOLID, 1, 0};
            canvas.dc.S().origin = origin;
            c.draw(canvas.dc);
            canvas.dc.S().origin = {};
            for (auto [p, colour] : c.probes) {
                if (origin.x != 0 || origin.y != 0) break;  // probes are for the plain origin
                EXPECT_EQ(canvas.At(p.x, p.y), colour) << c.name << " at " << p.x << "," << p.y;
            }
        }
    }
}

TEST(FarOffTest, GeometrySaturatesInsteadOfWrapping) {
    const TRect r = Bounds(INT_MAX - 5, INT_MIN + 5, 100, -100);
    EXPECT_EQ(r.right, INT_MAX);
    EXPECT_EQ(r.bottom, INT_MIN);
    EXPECT_EQ((TRect{INT_MIN, 0, INT_MAX, 1}).Width(), INT_MAX);
    EXPECT_EQ((TRect{0, 0, 10, 10}).Offset(INT_MAX, INT_MIN), (TRect{INT_MAX, INT_MIN, INT_MAX, INT_MIN + 10}));
    EXPECT_TRUE((TRect{0, 0, 10, 10}).Offset(INT_MAX, 0).Empty());  // pushed off the end, not wrapped round
    EXPECT_EQ((TRect{INT_MIN, INT_MIN, INT_MAX, INT_MAX}).Inflate(1, 1), (TRect{INT_MIN, INT_MIN, INT_MAX, INT_MAX}));
}

}  // namespace
}  // namespace ui
