// Texts of any length in the controls: widths and places are counted past
// the 2 million pixels Pango counts in and past what an int counts, and held
// at the largest int, never wrapped round to the far left.
#include <climits>
#include <functional>
#include <string>

#include "framework/ui/detail/edit_state.hpp"
#include "framework/ui/detail/menu_state.hpp"
#include "framework/ui/detail/rich_state.hpp"
#include "framework/ui/list_box.hpp"
#include "framework/ui/menu_handles.hpp"
#include "framework/ui/rich_edit_control.hpp"
#include "framework/ui/stdctrls.hpp"
#include "framework/ui/sysparams.hpp"
#include "tests/support/ui_fixture.hpp"

namespace ui {
namespace {

// The largest font a window takes, and the largest a rich edit's format holds.
const LogFont kHuge{"Tahoma", -16000};
const LogFont kRichLargest{"Tahoma", -2184};  // 1638 points

int64_t CharWidth(const LogFont& lf) {
    DC dc;
    dc.S().font = CreateFont(lf);
    return GetTextExtent(dc, "x").cx;
}

class LongTextTest : public testing_ui::UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        SetRichEditLibraryVersion(3);
        form = Make<TForm>(nullptr);
        form->SetBorderStyle(bsNone);
        form->SetBounds(0, 0, 400, 300);
        form->Show();
        Pump();
    }
    // How many characters of `lf` pass INT_MAX pixels.
    static size_t PastAnInt(const LogFont& lf) { return size_t(INT_MAX / CharWidth(lf) + 8); }

    Owned<TForm> form;
};

TEST_F(LongTextTest, PlacesAndSizesOfLongTextsHoldAtTheLargestInt) {
    struct Length {
        const char* name;
        std::function<size_t(const LogFont&)> of;  // characters, in the control's font
    } lengths[] = {
        {"short", [](const LogFont&) { return size_t(12); }},
        {"past Pango's range", [](const LogFont& lf) { return size_t(3'000'000 / CharWidth(lf) + 8); }},
        {"past an int", [](const LogFont& lf) { return PastAnInt(lf); }},
    };
    struct Control {
        const char* name;
        LogFont font;
        bool to_an_int;  // the control's fonts reach past an int with a text a test can afford
        // The measure that must equal `want` for a text of `n` characters.
        std::function<int64_t(const std::string& text)> measure;
        std::function<int64_t(size_t n, int64_t one)> want;
    };
    const Control controls[] = {
        {"text extent", kHuge, true,
         [](const std::string& t) {
             DC dc;
             dc.S().font = CreateFont(kHuge);
             return int64_t(GetTextExtent(dc, t).cx);
         },
         [](size_t n, int64_t one) { return int64_t(SatInt(int64_t(n) * one)); }},
        {"label's size", kHuge, true,
         [this](const std::string& t) {
             auto* label = new TLabel(form.get());
             label->Font()->SetName(kHuge.name);
             label->Font()->SetHeight(kHuge.height);
             label->SetParent(form.get());
             label->SetCaption(t);
             const int64_t w = label->Width();
             Free(label);
             return w;
         },
         [](size_t n, int64_t one) { return int64_t(SatInt(int64_t(n) * one)); }},
        {"edit's end of text", kHuge, true,
         [this](const std::string& t) {
             auto* edit = new TEdit(form.get());
             edit->Font()->SetName(kHuge.name);
             edit->Font()->SetHeight(kHuge.height);
             edit->SetParent(form.get());
             edit->SetText(t);
             detail::EditState& e = *detail::Edit(edit->Handle());
             const int64_t left = detail::PosFromChar(edit->Handle(), e, 0).x;
             const int64_t end = detail::PosFromChar(edit->Handle(), e, int(t.size())).x;
             const int64_t x = end == INT_MAX ? INT_MAX : end - left;
             // The character under a point before the largest int is the one there.
             const int k = int(std::min<int64_t>(int64_t(t.size()), (INT_MAX - left) / CharWidth(kHuge) - 1));
             const TPoint at = detail::PosFromChar(edit->Handle(), e, k);
             const bool found = detail::CharFromPos(edit->Handle(), e, {at.x + 1, at.y}) == k;
             Free(edit);
             return found ? x : -1;
         },
         [](size_t n, int64_t one) { return int64_t(SatInt(int64_t(n) * one)); }},
        {"menu item's width", kHuge, true,
         [](const std::string& t) {
             NonClientMetrics m;
             GetNonClientMetrics(m);
             const NonClientMetrics old = m;
             m.menu_font = kHuge;
             SetNonClientMetrics(m);
             const HMENU menu = CreatePopupMenu();
             AppendMenu(menu, MF_STRING, 1, t);
             detail::MenuRec& rec = *detail::FindMenu(menu);
             detail::LayoutPopup(rec, 0);
             const TRect r = rec.items[0].rect;
             const int64_t width = rec.size.cx;
             DestroyMenu(menu);
             SetNonClientMetrics(old);
             return r.left == 0 && r.right >= 0 ? width : -1;
         },
         // The label, the room for check marks and margins, held at the largest int.
         [](size_t n, int64_t one) {
             return int64_t(SatInt(int64_t(n) * one + 2 * std::max(GetSystemMetrics(SM_CXMENUCHECK), 8) + 10));
         }},
        {"rich edit's end of text", kRichLargest, false,
         [this](const std::string& t) {
             auto* rich = new TRichEdit(form.get());
             rich->SetParent(form.get());
             rich->SetBounds(0, 0, 300, 100);
             rich->SetBorderStyle(bsNone);
             rich->SetWordWrap(false);
             rich->Font()->SetName(kRichLargest.name);
             rich->Font()->SetHeight(kRichLargest.height);
             rich->SetText(t);
             detail::RichState& e = *detail::Rich(rich->Handle());
             const int64_t x = detail::RichPosFromChar(rich->Handle(), e, int(t.size())).x -
                 detail::RichPosFromChar(rich->Handle(), e, 0).x;
             const int64_t widest = e.text_width;
             Free(rich);
             return x == widest ? x : -1;
         },
         [](size_t n, int64_t one) { return int64_t(SatInt(int64_t(n) * one)); }},
    };
    for (const Control& c : controls)
        for (const Length& l : lengths) {
            const size_t n = l.of(c.font);
            if (n > 1'000'000 || (!c.to_an_int && std::string(l.name) == "past an int")) continue;
            const int64_t one = CharWidth(c.font);
            EXPECT_EQ(c.measure(std::string(n, 'x')), c.want(n, one)) << c.name << ", " << l.name << ": " << n;
        }
}

// A list box's rows are text heights counted down from the top row: the last
// of more rows than an int can place lies at the largest int, not above the
// first.
TEST_F(LongTextTest, TheRowsOfAListBoxOfLargeTextsHoldAtTheLargestInt) {
    CreateParams p;
    p.class_name = "LISTBOX";
    p.style = WS_CHILD | WS_VISIBLE;
    p.parent = form->Handle();
    p.rect = {0, 0, 200, 100};
    const HWND list = CreateWindow(p);
    const FontPtr font = CreateFont(kHuge);
    SendMessage(list, WM_SETFONT, WPARAM(&font), 0);
    const int64_t row = SendMessage(list, LB_GETITEMHEIGHT);
    const int past = int(INT_MAX / row + 2);
    for (int i = 0; i < past; ++i) SendMessage(list, LB_ADDSTRING, 0, LPARAM("x"));
    struct Case {
        int item;
        int64_t top;
    } cases[] = {{1, row}, {past - 3, (past - 3) * row}, {past - 1, INT_MAX}};
    for (const Case& c : cases) {
        TRect r;
        ASSERT_EQ(SendMessage(list, LB_GETITEMRECT, WPARAM(c.item), LPARAM(&r)), 1);
        EXPECT_EQ(r.top, SatInt(c.top)) << c.item;
        EXPECT_GE(r.bottom, r.top) << c.item;
    }
}

}  // namespace
}  // namespace ui
