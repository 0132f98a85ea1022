#include "framework/ui/detail/edit_keys.hpp"
#include "framework/ui/mask.hpp"
#include "framework/ui/stdctrls.hpp"
#include "platform/locale.hpp"
#include "tests/support/ui_fixture.hpp"

namespace ui {
namespace {

class EditTest : public testing_ui::UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        form = ui::Make<TForm>(nullptr);
        form->SetBorderStyle(bsNone);
        form->SetBounds(0, 0, 300, 200);
        edit = new TEdit(form.get());
        edit->SetParent(form.get());
        edit->SetBounds(10, 10, 121, 21);
        edit->OnChange = [this](TObject*) { ++changes; };
        form->Show();
        edit->SetFocus();
        Pump();
    }
    void Keys(const std::vector<UINT>& keys, unsigned mods = 0) {
        for (UINT k : keys) {
            InjectKey(k, true, mods);
            InjectKey(k, false, mods);
        }
        Pump();
    }
    std::pair<int, int> Sel() const { return {edit->SelStart(), edit->SelStart() + edit->SelLength()}; }
    TPoint CharPoint(TCustomEdit* e, int pos) {
        const LRESULT p = SendMessage(e->Handle(), EM_POSFROMCHAR, WPARAM(pos), 0);
        return e->ClientToScreen({LOWORD_S(p), HIWORD_S(p) + 3});
    }
    Owned<TForm> form;
    TEdit* edit = nullptr;
    int changes = 0;
};

TEST_F(EditTest, TypingAndTheCaretKeys) {
    struct Step {
        std::string type;
        std::vector<UINT> keys;
        unsigned mods;
        std::string text;
        std::pair<int, int> sel;
    };
    const Step steps[] = {
        {"hello world", {}, 0, "hello world", {11, 11}},
        {"", {VK_LEFT, VK_LEFT}, 0, "hello world", {9, 9}},
        {"", {VK_HOME}, kShift, "hello world", {0, 9}},  // Shift+Home selects back to the start
        {"", {VK_RIGHT}, kControl, "hello world", {6, 6}},
        {"", {VK_END}, kShift, "hello world", {6, 11}},
        {"there", {}, 0, "hello there", {11, 11}},  // typing replaces the selection
        {"", {VK_LEFT}, kControl | kShift, "hello there", {6, 11}},
        {"", {VK_DELETE}, 0, "hello ", {6, 6}},
        {"\b\b", {}, 0, "hell", {4, 4}},
        {"", {VK_HOME, VK_DELETE}, 0, "ell", {0, 0}},
    };
    for (const Step& s : steps) {
        Type(s.type);
        Keys(s.keys, s.mods);
        EXPECT_EQ(edit->GetText(), s.text) << s.type;
        EXPECT_EQ(Sel(), s.sel) << s.text;
    }
    EXPECT_TRUE(edit->Modified());
    EXPECT_GT(changes, 5);
}

TEST_F(EditTest, UndoTakesBackTheLastChangeAndTypingIsOneChange) {
    edit->SetText("abc");
    Keys({VK_END});
    Type("def");
    EXPECT_TRUE(edit->CanUndo());
    Keys({'Z'}, kControl);
    EXPECT_EQ(edit->GetText(), "abc");
    Keys({'Z'}, kControl);  // undoing the undo
    EXPECT_EQ(edit->GetText(), "abcdef");
    Keys({VK_LEFT});
    Type("X");
    Keys({VK_BACK});  // a key, not a character: nothing happens
    Type("\b");
    edit->Undo();
    EXPECT_EQ(edit->GetText(), "abcdeXf");
    edit->ClearUndo();
    EXPECT_FALSE(edit->CanUndo());
}

TEST_F(EditTest, ClipboardReadOnlyAndLimit) {
    edit->SetText("12345");
    edit->SelectAll();
    Keys({'C'}, kControl);
    EXPECT_EQ(GetClipboardText(), "12345");
    Keys({VK_END});
    Keys({'V'}, kControl);
    EXPECT_EQ(edit->GetText(), "1234512345");
    edit->SetSelStart(0);
    edit->SetSelLength(2);
    Keys({'X'}, kControl);
    EXPECT_EQ(edit->GetText(), "34512345");
    EXPECT_EQ(GetClipboardText(), "12");
    SetClipboardText("line one\r\nline two");
    edit->PasteFromClipboard();  // one line: cut at the break
    EXPECT_EQ(edit->GetText(), "line one34512345");
    edit->SetMaxLength(18);
    Keys({VK_END});
    Type("abcd");
    EXPECT_EQ(edit->GetText(), "line one34512345ab");
    edit->SetReadOnly(true);
    Type("z");
    Keys({VK_DELETE, 'X'}, 0);
    Keys({'X', 'V'}, kControl);
    edit->Undo();
    EXPECT_EQ(edit->GetText(), "line one34512345ab");
    Keys({VK_HOME}, kShift);  // moving and selecting still work
    EXPECT_EQ(edit->SelLength(), 18);
}

TEST_F(EditTest, MouseSelectsAndTheTextIsDrawnWithItsSelection) {
    edit->SetText("WWWWWWWW");
    Pump();
    const TPoint a = CharPoint(edit, 2), b = CharPoint(edit, 5);
    InjectMouse(MouseAction::Down, MouseButton::Left, a);
    InjectMouse(MouseAction::Move, MouseButton::Left, b);
    InjectMouse(MouseAction::Up, MouseButton::Left, b);
    Pump();
    EXPECT_EQ(Sel(), (std::pair<int, int>{2, 5}));
    InjectMouse(MouseAction::Down, MouseButton::Left, CharPoint(edit, 7), kShift);
    InjectMouse(MouseAction::Up, MouseButton::Left, CharPoint(edit, 7), kShift);
    Pump();
    EXPECT_EQ(Sel(), (std::pair<int, int>{2, 7}));
    // Selected characters on the highlight; the others dark on white.
    auto s = GetWindowSurface(form->Handle());
    auto count = [&](int from, int to, COLORREF c) {
        int n = 0;
        for (int x = CharPoint(edit, from).x; x < CharPoint(edit, to).x; ++x)
            for (int y = 12; y < 29; ++y) n += s->Pixel(x, y) == c;
        return n;
    };
    EXPECT_GT(count(3, 6, GetSysColor(COLOR_HIGHLIGHT)), 20);
    EXPECT_GT(count(3, 6, GetSysColor(COLOR_HIGHLIGHTTEXT)), 20);
    EXPECT_EQ(count(0, 2, GetSysColor(COLOR_HIGHLIGHT)), 0);
    EXPECT_GT(count(0, 2, GetSysColor(COLOR_WINDOWTEXT)), 10);
    testing_ui::SavePicture(form->Handle(), "edit");
    // A double click takes the word.
    edit->SetText("one two three");
    InjectMouse(MouseAction::DoubleClick, MouseButton::Left, CharPoint(edit, 5));
    InjectMouse(MouseAction::Up, MouseButton::Left, CharPoint(edit, 5));
    Pump();
    EXPECT_EQ(edit->SelText(), "two");
}

TEST_F(EditTest, CaretFollowsTheTextAndLongTextScrolls) {
    Type(std::string(40, 'm'));
    const CaretState c = GetCaretState();
    EXPECT_EQ(c.hwnd, edit->Handle());
    EXPECT_EQ(c.hide_count, 0);
    EXPECT_LT(c.rect.left, edit->ClientWidth());  // scrolled into view
    EXPECT_GT(SendMessage(edit->Handle(), EM_POSFROMCHAR, 40, 0) & 0xFFFF, 0);
    Keys({VK_HOME});
    EXPECT_EQ(GetCaretPos().x, 1);  // the left margin
    edit->SetFocus();
    form->Hide();
    EXPECT_EQ(GetCaretState().hwnd, 0u);  // the focus left and took the caret
}

TEST_F(EditTest, FormattingRectangleAndMarginsPlaceTheText) {
    edit->SetText("x");
    SendMessage(edit->Handle(), EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(6, 4));
    TRect r;
    SendMessage(edit->Handle(), EM_GETRECT, 0, LPARAM(&r));
    EXPECT_EQ(r.left, 6);
    EXPECT_EQ(r.right, edit->ClientWidth() - 4);
    EXPECT_EQ(LOWORD_S(SendMessage(edit->Handle(), EM_POSFROMCHAR, 0, 0)), 6);
    const TRect narrow{20, 0, 60, 17};
    SendMessage(edit->Handle(), EM_SETRECTNP, 0, LPARAM(&narrow));
    EXPECT_EQ(LOWORD_S(SendMessage(edit->Handle(), EM_POSFROMCHAR, 0, 0)), 20);
    Type(std::string(30, 'w'));  // the text scrolls within the narrow rectangle
    const int caret_x = GetCaretPos().x;
    EXPECT_GE(caret_x, 20);
    EXPECT_LE(caret_x, 60);
}

TEST_F(EditTest, MemoWrapsBreaksLinesAndScrolls) {
    auto* memo = new TMemo(form.get());
    memo->SetParent(form.get());
    memo->SetBounds(10, 40, 120, 60);
    memo->SetScrollBars(ssVertical);
    memo->SetFocus();
    Pump();
    Type("alpha beta gamma delta epsilon zeta eta theta");
    const HWND h = memo->Handle();
    EXPECT_GT(SendMessage(h, EM_GETLINECOUNT), 2);  // wrapped at the words
    EXPECT_EQ(memo->Lines().size(), 1u);
    InjectChar('\r');
    Type("second");
    EXPECT_EQ(memo->Lines(), (std::vector<std::string>{"alpha beta gamma delta epsilon zeta eta theta", "second"}));
    for (int i = 0; i < 8; ++i) Type("\rmore");
    EXPECT_GT(SendMessage(h, EM_GETFIRSTVISIBLELINE), 0);  // the caret's line is in view
    SCROLLINFO si;
    GetScrollInfo(h, SB_VERT, si);
    EXPECT_EQ(si.nPos, int(SendMessage(h, EM_GETFIRSTVISIBLELINE)));
    Keys({VK_HOME}, kControl);
    EXPECT_EQ(SendMessage(h, EM_GETFIRSTVISIBLELINE), 0);
    Keys({VK_DOWN});
    EXPECT_EQ(SendMessage(h, EM_LINEFROMCHAR, WPARAM(-1)), 1);
    EXPECT_EQ(SendMessage(h, WM_GETDLGCODE) & DLGC_WANTALLKEYS, DLGC_WANTALLKEYS);
    memo->WantReturns = false;
    EXPECT_EQ(SendMessage(h, WM_GETDLGCODE) & DLGC_WANTALLKEYS, 0);
}

// The steps both edit classes take over a text: a CR LF pair is one step,
// word jumps pass over blanks and line breaks, and the ends hold.
TEST(EditStepsTest, CharacterAndWordStepsOverLineBreaks) {
    const std::string t = "ab  cd\r\nef";
    struct Case {
        int pos, back, forward, word_left, word_right;
    } cases[] = {
        {0, -1, 1, 0, 4},    // at the start: a step back would leave the text (callers guard it)
        {3, 2, 4, 0, 4},     // among the blanks
        {6, 5, 8, 4, 8},     // before CR LF: one step over both
        {8, 6, 9, 4, 10},    // after CR LF: one step back over both
        {10, 9, 11, 8, 10},  // at the end
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pos);
        EXPECT_EQ(detail::StepBack(t, c.pos), c.back);
        EXPECT_EQ(detail::StepForward(t, c.pos), c.forward);
        EXPECT_EQ(detail::WordLeft(t, c.pos), c.word_left);
        EXPECT_EQ(detail::WordRight(t, c.pos), c.word_right);
    }
}

TEST(EditMaskTest, ParsingTheSyntax) {
    platform::FormatSettings().date_separator = '.';
    const EditMaskInfo m = ParseEditMask("!99/99/9999;1;_");
    platform::FormatSettings().date_separator = '/';
    EXPECT_TRUE(m.leading_blanks);
    EXPECT_TRUE(m.save_literals);
    EXPECT_EQ(m.blank, '_');
    ASSERT_EQ(m.slots.size(), 10u);
    EXPECT_EQ(m.slots[2].literal, '.');  // the user's date separator
    EXPECT_EQ(FormatMaskText(m, ""), "__.__.____");
    struct Case {
        std::string mask, value, shown, text;
    };
    const Case cases[] = {
        {"99/99/9999;1; ", "05/03/2025", "05/03/2025", "05/03/2025"},
        {"99/99/9999;1;_", "", "__/__/____", "  /  /    "},
        {"000-00;0;*", "12345", "123-45", "12345"},
        {"!999;0;_", "12", "_12", "12"},
        {"999;0;_", "12", "12_", "12"},
        {">LL<ll;0;_", "abCD", "ABcd", "ABcd"},
        {"\\A\\9-0;1;_", "A9-7", "A9-7", "A9-7"},
        {"(000);1;_", "(1x3)", "(1_3)", "(1 3)"},
        {"cC#;0; ", "+x-", "+x-", "+x-"},
    };
    for (const Case& c : cases) {
        const EditMaskInfo info = ParseEditMask(c.mask);
        EXPECT_EQ(FormatMaskText(info, c.value), c.shown) << c.mask;
        EXPECT_EQ(MaskTextValue(info, c.shown), c.text) << c.mask;
    }
    EXPECT_FALSE(MaskComplete(ParseEditMask("000;0;_"), "1_3"));
    EXPECT_TRUE(MaskComplete(ParseEditMask("099;0;_"), "1__"));
}

TEST_F(EditTest, MaskedEditTypesOverItsPositions) {
    auto* me = new TMaskEdit(form.get());
    me->SetParent(form.get());
    me->SetBounds(10, 120, 121, 21);
    me->SetEditMask("!99/99/9999;1;_");
    me->SetFocus();
    Pump();
    EXPECT_EQ(me->EditText(), "__/__/____");
    me->SetSelStart(0);
    Type("05x03");  // a letter does not fit a digit position
    EXPECT_EQ(me->EditText(), "05/03/____");
    EXPECT_EQ(me->SelStart(), 6);  // past the literal
    Type("2025");
    EXPECT_EQ(me->GetText(), "05/03/2025");
    Type("9");  // nothing left to fill
    EXPECT_EQ(me->GetText(), "05/03/2025");
    Type("\b\b");
    EXPECT_EQ(me->EditText(), "05/03/20__");
    me->SetSelStart(3);
    me->SetSelLength(4);
    Keys({VK_DELETE});
    EXPECT_EQ(me->EditText(), "05/__/_0__");
    EXPECT_NO_THROW(me->ValidateEdit());  // every position of a date mask is optional
    me->SetText("1/2");                   // saved literals: position by position
    EXPECT_EQ(me->EditText(), "1_/__/____");
    me->SetEditMask("000;0;_");
    EXPECT_EQ(me->EditText(), "1__");
    EXPECT_THROW(me->ValidateEdit(), EDBEditError);
    me->SetText("123");
    EXPECT_NO_THROW(me->ValidateEdit());
    EXPECT_EQ(me->MaxLength(), 3);
    Pump();
    testing_ui::SavePicture(form->Handle(), "mask_edit");
}

}  // namespace
}  // namespace ui

namespace ui {
namespace {

TEST_F(EditTest, TheCaretIsDrawnAndBlinksWithoutKeepingAnIdleLoopAwake) {
    edit->SetText("");
    Pump();
    auto s = GetWindowSurface(form->Handle());
    const TPoint at = edit->ClientToScreen({1, 5});  // the caret at the left margin
    auto pixel = [&] { return s->Pixel(at.x, at.y); };
    const COLORREF on = 0x000000, off = 0xFFFFFF;  // inverted window colour
    EXPECT_TRUE(GetCaretState().drawn);
    EXPECT_EQ(pixel(), on);
    clock_.Advance(kCaretBlinkMs);
    Pump();
    EXPECT_EQ(pixel(), off);
    clock_.Advance(kCaretBlinkMs);
    Pump();
    EXPECT_EQ(pixel(), on);
    edit->Invalidate();  // a paint over the caret keeps it
    Pump();
    EXPECT_EQ(pixel(), on);
    Type("W");
    const TPoint moved = edit->ClientToScreen({GetCaretPos().x, 5});
    EXPECT_GT(moved.x, at.x);
    EXPECT_EQ(s->Pixel(moved.x, moved.y), on);
    HideCaret(edit->Handle());
    EXPECT_EQ(s->Pixel(moved.x, moved.y), off);
    ShowCaret(edit->Handle());
    // The blink is no reason to wait: a modal loop with a caret and nothing
    // else to wait for still gives up.
    auto dialog = ui::Make<TForm>(nullptr);
    auto* e = new TEdit(dialog.get());
    e->SetParent(dialog.get());
    dialog->SetActiveControl(e);
    EXPECT_EQ(dialog->ShowModal(), mrAbort);
}

}  // namespace
}  // namespace ui

namespace ui {
namespace {

// An edit scrolled sideways cuts its text at the left edge: what shows of a
// glyph cut there is that glyph's own pixels.
TEST(EditTextClipTest, ATextCutAtTheLeftShowsExactlyItsVisiblePart) {
    testing_ui::Canvas32 whole(120, 30), cut(120, 30);
    for (DC* dc : {&whole.dc, &cut.dc}) {
        dc->S().font = CreateFont(LogFont{"Tahoma", -20, true});
        SetBkMode(*dc, TRANSPARENT);
    }
    ExtTextOut(whole.dc, 10, 5, nullptr, nullptr, "WMW");
    const TRect clip{17, 0, 120, 30};  // through the first glyph
    ExtTextOut(cut.dc, 10, 5, &clip, nullptr, "WMW");
    int differing = 0, inked = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 120; ++x) {
            const COLORREF want = x >= clip.left ? whole.At(x, y) : 0xFFFFFF;
            differing += cut.At(x, y) != want;
            inked += x >= clip.left && x < 25 && cut.At(x, y) == 0;
        }
    EXPECT_EQ(differing, 0);
    EXPECT_GT(inked, 5);
}

}  // namespace
}  // namespace ui
