#include "controls/cvutils.hpp"

#include <filesystem>

#include "controls/cvconst.hpp"
#include "controls/fileutil.hpp"
#include "controls/maxmin.hpp"
#include "controls/strutils.hpp"
#include "tests/support/ui_fixture.hpp"

namespace controls {
namespace {

using namespace ui;

class CvUtilsTest : public testing_ui::UiTest {
protected:
    // A bitmap of w x h filled with `c`.
    static std::unique_ptr<TBitmap> Filled(int w, int h, TColor c) {
        auto b = std::make_unique<TBitmap>();
        b->SetSize(w, h);
        b->Canvas()->Brush()->SetColor(c);
        b->Canvas()->FillRect({0, 0, w, h});
        return b;
    }
    static COLORREF At(TBitmap& b, int x, int y) { return b.Handle()->Pixel(x, y); }
};

TEST_F(CvUtilsTest, GradientBandsRemainderAndEdges) {
    const COLORREF start = RGB(0, 0, 0), end = RGB(252, 126, 63);
    struct Case {
        const char* name;
        TRect rect;
        TGradientDirection dir;
        uint8_t bands;
        // Expected colour at the given offset along the gradient.
        std::vector<std::pair<int, COLORREF>> along;
    };
    const Case cases[] = {
        {"100 rows, 64 bands: one row each, then a 36-row strip",
         {5, 0, 25, 100},
         gdTopToBottom,
         64,
         {{0, start}, {1, RGB(4, 2, 1)}, {62, RGB(248, 124, 62)}, {63, end}, {64, end}, {99, end}}},
        {"10 rows, 64 bands: 10 bands, no strip",
         {5, 0, 25, 10},
         gdTopToBottom,
         64,
         {{0, start}, {1, RGB(28, 14, 7)}, {9, end}}},
        {"one band: one fill in the start colour", {5, 0, 25, 10}, gdTopToBottom, 1, {{0, start}, {9, start}}},
        {"no bands: the same", {5, 0, 25, 10}, gdTopToBottom, 0, {{0, start}, {9, start}}},
        {"bottom to top: the strip at the bottom in the start colour",
         {5, 0, 25, 13},
         gdBottomToTop,
         4,
         {{0, end}, {2, end}, {9, start}, {11, start}, {12, start}}},
        {"left to right", {0, 3, 9, 6}, gdLeftToRight, 2, {{0, start}, {3, start}, {4, end}, {8, end}}},
        {"right to left", {0, 3, 9, 6}, gdRightToLeft, 2, {{0, end}, {4, start}, {8, start}}},
    };
    for (const Case& c : cases) {
        auto b = Filled(30, 110, clWhite);
        GradientFillRect(b->Canvas(), c.rect, TColor(start), TColor(end), c.dir, c.bands);
        const bool vertical = c.dir == gdTopToBottom || c.dir == gdBottomToTop;
        for (auto [offset, want] : c.along) {
            const int x = vertical ? c.rect.left + 3 : c.rect.left + offset;
            const int y = vertical ? c.rect.top + offset : c.rect.top + 1;
            EXPECT_EQ(At(*b, x, y), want) << c.name << " at " << offset;
        }
        // Nothing outside the rectangle.
        for (int y = 0; y < 110; ++y)
            for (int x = 0; x < 30; ++x)
                if (!c.rect.Contains({x, y})) {
                    ASSERT_EQ(At(*b, x, y), 0xFFFFFFu) << c.name << " " << x << "," << y;
                }
    }
    auto b = Filled(4, 4, clWhite);
    GradientFillRect(b->Canvas(), {2, 2, 2, 4}, clRed, clBlue, gdTopToBottom, 8);  // empty: nothing
    EXPECT_EQ(At(*b, 2, 2), 0xFFFFFFu);
}

TEST_F(CvUtilsTest, MulDivRoundsLikeTheSystem) {
    const struct {
        int a, b, c, want;
    } cases[] = {{1, 3, 2, 2},
                 {-1, 3, 2, -2},
                 {5, 1, 3, 2},
                 {1, 1, 3, 0},
                 {7, 0, 3, 0},
                 {1, 2, 0, -1},
                 {2000000000, 3, 4, 1500000000}};
    for (auto c : cases) EXPECT_EQ(MulDiv(c.a, c.b, c.c), c.want) << c.a << "*" << c.b << "/" << c.c;
}

TEST_F(CvUtilsTest, TransparentStretchKeepsTheDestinationUnderTransparentPixels) {
    auto src = Filled(2, 2, clRed);
    src->Canvas()->SetPixel(1, 0, clLime);  // the one transparent pixel
    src->Canvas()->SetPixel(0, 1, clBlue);  // bottom-left: the default key
    auto dst = Filled(6, 6, clYellow);
    DrawBitmapStretchedTransparent(dst->Canvas(), src.get(), clLime, 1, 1, 4, 4, 0, 0, 0, 0);
    EXPECT_EQ(At(*dst, 1, 1), ColorToRGB(clRed));
    EXPECT_EQ(At(*dst, 3, 1), ColorToRGB(clYellow));  // stretched transparent pixel: 2x2 of destination
    EXPECT_EQ(At(*dst, 4, 2), ColorToRGB(clYellow));
    EXPECT_EQ(At(*dst, 1, 3), ColorToRGB(clBlue));
    EXPECT_EQ(At(*dst, 0, 0), ColorToRGB(clYellow));  // outside the target
    EXPECT_EQ(At(*dst, 5, 5), ColorToRGB(clYellow));

    auto dst2 = Filled(2, 2, clYellow);
    DrawBitmapStretchedTransparent(dst2->Canvas(), src.get(), clDefault, 0, 0, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(At(*dst2, 0, 1), ColorToRGB(clYellow));  // blue was the key
    EXPECT_EQ(At(*dst2, 1, 0), ColorToRGB(clLime));

    auto dst3 = Filled(2, 2, clYellow);
    DrawBitmapStretchedTransparent(dst3->Canvas(), src.get(), clNone, 0, 0, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(At(*dst3, 1, 0), ColorToRGB(clLime));  // no key: a plain copy

    auto mono = Filled(2, 1, clWhite);
    mono->Canvas()->SetPixel(0, 0, clBlack);
    mono->SetMonochrome(true);
    auto dst4 = Filled(2, 1, clYellow);
    dst4->Canvas()->Font()->SetColor(clBlack);
    DrawBitmapRectTransparent(dst4->Canvas(), 0, 0, {0, 0, 2, 1}, mono.get(), clRed);  // white is the key
    EXPECT_EQ(At(*dst4, 0, 0), 0u);
    EXPECT_EQ(At(*dst4, 1, 0), ColorToRGB(clYellow));
}

TEST_F(CvUtilsTest, EmbossedImagePutsHighlightBelowRightAndShadowOnTheShape) {
    auto img = Filled(6, 6, clWhite);
    img->Canvas()->SetPixel(2, 2, clBlack);
    img->Canvas()->SetPixel(3, 2, clBlack);
    auto r = CreateDisabledImage(img.get(), clBlack, clSilver, clWhite, clGray, true);
    ASSERT_EQ(r->Width(), 6);
    EXPECT_EQ(At(*r, 2, 2), ColorToRGB(clGray));
    EXPECT_EQ(At(*r, 3, 2), ColorToRGB(clGray));
    EXPECT_EQ(At(*r, 3, 3), ColorToRGB(clWhite));
    EXPECT_EQ(At(*r, 4, 3), ColorToRGB(clWhite));
    EXPECT_EQ(At(*r, 2, 3), ColorToRGB(clSilver));
    EXPECT_EQ(At(*r, 0, 0), ColorToRGB(clSilver));
    auto flat = CreateDisabledImage(img.get(), clBlack, clSilver, clWhite, clGray, false);
    EXPECT_EQ(At(*flat, 4, 3), ColorToRGB(clSilver));
    auto def = CreateDisabledImageDefault(img.get(), clBlack);
    EXPECT_EQ(At(*def, 0, 0), ColorToRGB(clBtnFace));
    EXPECT_EQ(At(*def, 2, 2), ColorToRGB(clBtnShadow));
    EXPECT_EQ(At(*def, 4, 3), ColorToRGB(clBtnHighlight));
    // A monochrome image: its black pixels are the shape.
    auto mono = Filled(4, 4, clWhite);
    mono->Canvas()->SetPixel(1, 1, clBlack);
    mono->SetMonochrome(true);
    auto m = CreateDisabledImage(mono.get(), clRed, clSilver, clWhite, clGray, true);
    EXPECT_EQ(At(*m, 1, 1), ColorToRGB(clGray));
    EXPECT_EQ(At(*m, 2, 2), ColorToRGB(clWhite));
    EXPECT_EQ(At(*m, 3, 3), ColorToRGB(clSilver));
}

TEST_F(CvUtilsTest, EmbossedImageListItem) {
    const auto owned_list = ui::Make<TImageList>(nullptr, 3, 3);
    TImageList& list = *owned_list;
    auto strip = Filled(3, 3, clFuchsia);
    strip->Canvas()->SetPixel(0, 0, clBlue);
    list.AddMasked(strip.get(), clFuchsia);
    auto dst = Filled(6, 6, clSilver);
    dst->Canvas()->Brush()->SetColor(clAqua);
    DrawDisabledImageListItem(&list, dst->Canvas(), 1, 1, 0, clWhite, clGray, true);
    EXPECT_EQ(At(*dst, 1, 1), ColorToRGB(clGray));
    EXPECT_EQ(At(*dst, 2, 2), ColorToRGB(clWhite));
    EXPECT_EQ(At(*dst, 3, 3), ColorToRGB(clSilver));
    EXPECT_EQ(dst->Canvas()->Brush()->Color(), clAqua);                               // restored
    DrawDisabledImageListItem(&list, dst->Canvas(), 0, 0, 5, clWhite, clGray, true);  // no such image
    DrawDisabledImageListItem(nullptr, dst->Canvas(), 0, 0, 0, clWhite, clGray, true);
    EXPECT_EQ(At(*dst, 0, 0), ColorToRGB(clSilver));
}

TEST_F(CvUtilsTest, CheckerParity) {
    auto b = CreateCheckerPatternBitmap(clRed, clBlue);
    ASSERT_EQ(b->Width(), 8);
    ASSERT_EQ(b->Height(), 8);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(At(*b, x, y), ColorToRGB((x % 2 == y % 2) ? clBlue : clRed)) << x << "," << y;
}

TEST_F(CvUtilsTest, ShortenTextToWidth) {
    auto b = Filled(10, 10, clWhite);
    TCanvas* c = b->Canvas();
    const std::string text = "Transactions of the current account";
    EXPECT_EQ(ShortenTextToWidth(text, c, c->TextWidth(text)), text);
    const int room = c->TextWidth(text) / 2;
    const std::string cut = ShortenTextToWidth(text, c, room);
    ASSERT_GE(cut.size(), 3u);
    EXPECT_EQ(cut.substr(cut.size() - 3), "...");
    EXPECT_LE(c->TextWidth(cut), room);
    // One more character would not have fitted.
    const std::string longer = text.substr(0, cut.size() - 3 + 1) + "...";
    EXPECT_GT(c->TextWidth(longer), room);
    EXPECT_EQ(ShortenTextToWidth(text, c, 0), "...");
    EXPECT_EQ(ShortenTextToWidth("", c, 0), "");
    EXPECT_EQ(ShortenTextToWidth("ab", c, 1), "...");
}

TEST_F(CvUtilsTest, CopyBitmapCell) {
    auto strip = Filled(8, 4, clWhite);
    // 4 columns x 2 rows of 2x2 cells; cell k gets colour RGB(k, 0, 0).
    for (int k = 0; k < 8; ++k) {
        strip->Canvas()->Brush()->SetColor(TColor(RGB(k * 10, 0, 0)));
        strip->Canvas()->FillRect(Bounds((k % 4) * 2, (k / 4) * 2, 2, 2));
    }
    strip->SetTransparent(true);
    struct {
        int cols, rows, index;
        COLORREF want;
        int w, h;
    } cases[] = {{4, 2, 0, RGB(0, 0, 0), 2, 2}, {4, 2, 5, RGB(50, 0, 0), 2, 2}, {4, 2, -3, RGB(0, 0, 0), 2, 2},
                 {0, 0, 0, RGB(0, 0, 0), 8, 4}, {4, 2, 6, RGB(60, 0, 0), 2, 2}, {4, 1, 3, RGB(30, 0, 0), 2, 4}};
    for (auto c : cases) {
        TBitmap cell;
        CopyBitmapCell(strip.get(), &cell, c.cols, c.rows, c.index);
        EXPECT_EQ(cell.Width(), c.w);
        EXPECT_EQ(cell.Height(), c.h);
        EXPECT_EQ(At(cell, 0, 0), c.want) << c.index;
        EXPECT_TRUE(cell.Transparent());
    }
}

TEST_F(CvUtilsTest, ParentBackgroundShowsParentAndControlsBelowOnly) {
    struct Patch : TGraphicControl {
        Patch(TComponent* o, TColor c) : TGraphicControl(o), color(c) {}
        TColor color;
        void Paint() override {
            Canvas()->Brush()->SetColor(color);
            Canvas()->FillRect(ClientRect());
        }
    };
    auto form = Make<TForm>(nullptr);
    form->SetBorderStyle(bsNone);
    form->SetBounds(0, 0, 40, 40);
    form->SetColor(clGreen);
    auto* below = new Patch(form.get(), clRed);
    below->SetBounds(0, 0, 15, 15);
    below->SetParent(form.get());
    auto* me = new Patch(form.get(), clBlue);
    me->SetBounds(10, 10, 10, 10);
    me->SetParent(form.get());
    auto* above = new Patch(form.get(), clYellow);
    above->SetBounds(12, 12, 5, 5);
    above->SetParent(form.get());
    form->Show();
    auto target = Filled(10, 10, clWhite);
    PaintParentBackground(me, target->Canvas());
    EXPECT_EQ(At(*target, 0, 0), ColorToRGB(clRed));  // the control below, at (10,10) of the form
    EXPECT_EQ(At(*target, 4, 4), ColorToRGB(clRed));
    EXPECT_EQ(At(*target, 5, 5), ColorToRGB(clGreen));  // the parent
    EXPECT_EQ(At(*target, 3, 3), ColorToRGB(clRed));    // not the control above
    EXPECT_EQ(At(*target, 9, 9), ColorToRGB(clGreen));
    EXPECT_FALSE(form->ControlState & csPaintCopy);
    EXPECT_FALSE(below->ControlState & csPaintCopy);
}

TEST_F(CvUtilsTest, DiscardPendingMessage) {
    const HWND h = AllocateHWnd([](TMessage&) {});
    PostMessage(h, WM_USER + 1, 1);
    PostMessage(h, WM_USER + 1, 2);
    PostMessage(h, WM_USER + 2);
    DiscardPendingMessage(h, WM_USER + 1);
    MSG m;
    ASSERT_TRUE(PeekMessage(m, h, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.wParam, 2u);
    DiscardPendingMessage(h, WM_USER + 9);  // none: nothing happens
    ASSERT_TRUE(PeekMessage(m, h, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, WM_USER + 2u);
    PostQuitMessage(4);
    DiscardPendingMessage(0, WM_QUIT);  // the quit comes back
    ASSERT_TRUE(PeekMessage(m, 0, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, UINT(WM_QUIT));
    EXPECT_EQ(m.wParam, 4u);
    DeallocateHWnd(h);
}

TEST_F(CvUtilsTest, NotImplementedTellsAndAborts) {
    Screen().SetCursor(crHourGlass);
    EXPECT_THROW(NotImplemented(), EAbort);
    ASSERT_EQ(box_.shown.size(), 1u);
    EXPECT_EQ(box_.shown[0].text, "Function not yet implemented");
    EXPECT_EQ(box_.shown[0].flags, unsigned(platform::kMbOk | platform::kMbIconInformation));
    EXPECT_EQ(Screen().Cursor(), crDefault);
}

TEST_F(CvUtilsTest, CursorsAreRegisteredAtStartUp) {
    RegisterControlResources();  // the fixture emptied the screen's table
    const HCURSOR hand = Screen().Cursors(crHandCursor), drag = Screen().Cursors(crDragCursor);
    ASSERT_NE(hand, 0u);
    EXPECT_NE(hand, drag);
    EXPECT_NE(hand, Screen().Cursors(crDefault));
    ASSERT_NE(CursorOf(hand), nullptr);
    EXPECT_EQ(CursorOf(hand)->image->Width(), 16);
    EXPECT_EQ(LoadStr(SNotImplemented), "Function not yet implemented");
}

TEST(MemoryBlockTest, AllocationComparisonAndCopies) {
    EXPECT_EQ(AllocZeroedBlock(0), nullptr);
    EXPECT_EQ(AllocZeroedBlock(-5), nullptr);
    void* a = AllocZeroedBlock(7);
    void* b = AllocZeroedBlock(7);
    ASSERT_TRUE(a && b);
    EXPECT_TRUE(BlocksEqual(a, b, 7));
    static_cast<char*>(b)[6] = 1;
    EXPECT_FALSE(BlocksEqual(a, b, 7));
    EXPECT_TRUE(BlocksEqual(a, b, 6));
    EXPECT_TRUE(BlocksEqual(a, b, 0));
    char text[] = "abcdef";
    CopyBlock(text, OffsetPointer(text, 1), 4);  // overlapping
    EXPECT_STREQ(text, "aabcdf");
    CopyBlock(text, text, -1);
    FreeBlock(a);
    FreeBlock(b);
    EXPECT_EQ(a, nullptr);
    FreeBlock(a);  // a second free of the same reference does nothing
}

TEST(StrUtilsTest, Routines) {
    EXPECT_EQ(ReplaceAllText("aaa", "aa", "b"), "ba");
    EXPECT_EQ(ReplaceAllText("abcabc", "bc", ""), "aa");
    EXPECT_EQ(ReplaceAllText("abc", "", "x"), "abc");
    EXPECT_EQ(ReplaceAllText("x.y", ".", ".."), "x..y");
    EXPECT_EQ(RemoveChar("a-b--c", '-'), "abc");
    EXPECT_EQ(TrimLeadingBlanks("  a b \t"), "a b \t");
    EXPECT_EQ(TrimTrailingBlanks("\t a b  "), "\t a b");
    EXPECT_EQ(TrimBothBlanks("  a  b  "), "a  b");
    EXPECT_EQ(TrimBothBlanks("    "), "");
    EXPECT_EQ(RepeatChar('|', 3), "|||");
    EXPECT_EQ(RepeatChar('|', 0), "");
    EXPECT_EQ(RepeatChar('|', -2), "");
    EXPECT_TRUE(AllCharsInSet("", "abc"));
    EXPECT_TRUE(AllCharsInSet("cab", "abc"));
    EXPECT_FALSE(AllCharsInSet("cabd", "abc"));
    EXPECT_EQ(Max(-3, 2), 2);
    EXPECT_EQ(Min(INT32_MIN, 0), INT32_MIN);
}

TEST(FileUtilTest, DirExists) {
    const auto dir = std::filesystem::temp_directory_path() / "CvDirExists";
    std::filesystem::create_directories(dir);
    EXPECT_TRUE(DirExists(dir.string()));
    EXPECT_TRUE(DirExists((std::filesystem::temp_directory_path() / "cvdirexists").string()));
    EXPECT_FALSE(DirExists((dir / "missing").string()));
    EXPECT_FALSE(DirExists(""));
    std::filesystem::remove(dir);
}

}  // namespace
}  // namespace controls
