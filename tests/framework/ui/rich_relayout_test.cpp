// A change lays out again only the paragraphs it touched (and the numbered
// ones whose numbers it moved); the lines after them move. Whatever the
// change, the lines and what is drawn are those of a full layout of the same
// document.
#include <functional>

#include "framework/ui/detail/rich_state.hpp"
#include "tests/framework/ui/rich_fixture.hpp"

namespace ui {
namespace {

class RichRelayoutTest : public RichFixture {
protected:
    void SetUp() override {
        RichFixture::SetUp();
        rich->SetWordWrap(true);
        std::string text;
        for (int i = 0; i < kParas; ++i) {
            if (i) text += "\r\n";
            text += "Paragraph " + std::to_string(i) + ":";
            for (int k = 0; k < i % 4 * 9; ++k) text += " word" + std::to_string(k);
            if (i == 25) text += "\ta\tb";
        }
        rich->SetText(text);
        for (int p = 8; p <= 19; ++p) Number(p, PFN_ARABIC);
        PARAFORMAT2 pf = Para(PFM_ALIGNMENT | PFM_SPACEBEFORE | PFM_SPACEAFTER);
        pf.wAlignment = PFA_CENTER;
        pf.dySpaceBefore = 240, pf.dySpaceAfter = 120;
        SelectParas(3, 3);
        SendMessage(H(), EM_SETPARAFORMAT, 0, LPARAM(&pf));
        SelectParas(30, 30);
        Bold();
        Pump();
    }
    static constexpr int kParas = 40;
    detail::RichState& State() { return *detail::Rich(H()); }
    int ParaStart(int para) { return detail::ParaStart(State().doc, para); }
    int ParaMiddle(int para) { return (ParaStart(para) + ParaEnd(para)) / 2; }
    int ParaEnd(int para) {
        const detail::Document& d = State().doc;
        return para + 1 < int(d.paras.size()) ? ParaStart(para + 1) - 2 : int(d.text.size());
    }
    void SelectParas(int first, int last) { Select(ParaStart(first), ParaEnd(last)); }
    static PARAFORMAT2 Para(uint32_t mask) {
        PARAFORMAT2 pf;
        pf.cbSize = kParaFormatSize2;
        pf.dwMask = mask;
        return pf;
    }
    void Number(int para, uint16_t numbering) {
        SelectParas(para, para);
        PARAFORMAT2 pf = Para(PFM_NUMBERING | PFM_OFFSET);
        pf.wNumbering = numbering;
        pf.dxOffset = 360;
        SendMessage(H(), EM_SETPARAFORMAT, 0, LPARAM(&pf));
    }
    void Bold() {
        CHARFORMAT2 cf;
        cf.cbSize = kCharFormatSize2;
        cf.dwMask = CFM_BOLD;
        cf.dwEffects = CFE_BOLD;
        SendMessage(H(), EM_SETCHARFORMAT, SCF_SELECTION, LPARAM(&cf));
    }
    void Type(const std::string& keys) {
        for (char c : keys) SendMessage(H(), WM_CHAR, WPARAM(uint8_t(c)), 0);
    }
    SurfacePtr Drawn() { return GetWindowSurface(form->Handle())->Copy(); }
    // How many pixels of `drawn` a full repaint of the same state draws otherwise.
    int DiffersFromAFullRepaint(const SurfacePtr& drawn) {
        InvalidateRect(H(), nullptr, true);
        Pump();
        const SurfacePtr full = Drawn();
        int differ = 0;
        for (int y = 0; y < full->Height(); ++y)
            for (int x = 0; x < full->Width(); ++x) differ += full->Pixel(x, y) != drawn->Pixel(x, y);
        return differ;
    }
};

TEST_F(RichRelayoutTest, EveryChangeLaysOutWhatAFullLayoutDoes) {
    struct Step {
        const char* name;
        bool focused;
        std::function<void()> edit;
        uint64_t most;  // paragraphs laid out again at most
    } steps[] = {
        {"typing a word", true, [&] { Select(ParaMiddle(2), ParaMiddle(2)), Type("hello "); }, 6},
        {"typing past the line's end", true, [&] { Select(ParaEnd(1), ParaEnd(1)), Type(" and more words"); }, 15},
        {"Enter splits a paragraph", true, [&] { Select(ParaMiddle(5), ParaMiddle(5)), Type("\r"); }, 2},
        {"Backspace joins two paragraphs", true, [&] { Select(ParaStart(6), ParaStart(6)), Type("\b"); }, 1},
        {"deleting across paragraphs", true,
         [&] { Select(ParaMiddle(20), ParaMiddle(23)), SendMessage(H(), WM_CLEAR, 0, 0); }, 1},
        {"pasting several paragraphs", true,
         [&] {
             SetClipboardText("one\r\ntwo two\r\nthree three three");
             Select(ParaMiddle(24), ParaMiddle(24));
             SendMessage(H(), WM_PASTE, 0, 0);
         },
         3},
        {"Enter in a numbered list moves the numbers after", true, [&] { Select(ParaEnd(9), ParaEnd(9)), Type("\r"); },
         12},
        {"Backspace takes a numbered paragraph out", true, [&] { Select(ParaStart(11), ParaStart(11)), Type("\b"); },
         12},
        {"bold across paragraphs", true, [&] { Select(ParaMiddle(12), ParaMiddle(14)), Bold(); }, 3},
        {"centring paragraphs", true,
         [&] {
             SelectParas(15, 16);
             PARAFORMAT2 pf = Para(PFM_ALIGNMENT);
             pf.wAlignment = PFA_CENTER;
             SendMessage(H(), EM_SETPARAFORMAT, 0, LPARAM(&pf));
         },
         2},
        {"numbering ends in the middle of a list", true, [&] { Number(10, 0); }, 12},
        {"space before a paragraph moves the rest down", true,
         [&] {
             SelectParas(7, 7);
             PARAFORMAT2 pf = Para(PFM_SPACEBEFORE);
             pf.dySpaceBefore = 400;
             SendMessage(H(), EM_SETPARAFORMAT, 0, LPARAM(&pf));
         },
         1},
        {"two changes before one layout, the later first", false,
         [&] {
             Select(ParaMiddle(30), ParaMiddle(30));
             SendMessage(H(), EM_REPLACESEL, 1, LPARAM("x\r\ny"));
             Select(ParaMiddle(4), ParaMiddle(4));
             SendMessage(H(), EM_REPLACESEL, 1, LPARAM("abc"));
         },
         kParas},
        {"two changes before one layout, the earlier first", false,
         [&] {
             Select(ParaMiddle(2), ParaMiddle(3));
             SendMessage(H(), EM_REPLACESEL, 1, LPARAM(""));
             Select(ParaMiddle(28), ParaMiddle(28));
             SendMessage(H(), EM_REPLACESEL, 1, LPARAM("p\r\nq\r\nr"));
         },
         kParas},
        {"typing at the end", true,
         [&] {
             const int end = int(State().doc.text.size());
             Select(end, end), Type("\rlast");
         },
         6},
        {"deleting at the start", true, [&] { Select(0, 3), Type("\b"); }, 1},
    };
    for (const Step& s : steps) {
        if (s.focused)
            rich->SetFocus();
        else
            form->SetFocus();
        Pump();
        detail::RichState& e = State();
        const uint64_t before = e.paragraphs_laid_out;
        s.edit();
        Pump();  // laid out and painted as a change is
        ASSERT_TRUE(e.laid_out) << s.name;
        EXPECT_LE(e.paragraphs_laid_out - before, s.most) << s.name;
        const std::vector<detail::RichLine> lines = e.lines;
        const int width = e.text_width, height = e.text_height;
        const SurfacePtr drawn = Drawn();
        detail::RichLayoutDueAll(e);
        detail::LayOutRich(H(), e);
        ASSERT_EQ(lines.size(), e.lines.size()) << s.name;
        for (size_t i = 0; i < lines.size(); ++i) ASSERT_TRUE(lines[i] == e.lines[i]) << s.name << ": line " << i;
        EXPECT_EQ(width, e.text_width) << s.name;
        EXPECT_EQ(height, e.text_height) << s.name;
        EXPECT_EQ(DiffersFromAFullRepaint(drawn), 0) << s.name;
    }
}

// Typed keys paint only the lines they changed and those they moved, and
// leave what a full repaint of the same text draws.
TEST_F(RichRelayoutTest, WhatAKeyLeavesIsWhatAFullRepaintDraws) {
    const int end = int(State().doc.text.size());
    const struct {
        const char* name;
        std::function<int()> caret;
        std::string keys;
    } steps[] = {
        {"typing in a paragraph", [&] { return ParaMiddle(2); }, "hello "},
        {"typing past the line's end wraps it", [&] { return ParaEnd(1); }, " and more words"},
        {"Enter splits a paragraph", [&] { return ParaMiddle(5); }, "\r"},
        {"Backspace joins two paragraphs", [&] { return ParaStart(6); }, "\b"},
        {"Enter in a numbered list", [&] { return ParaEnd(9); }, "\rnew\b\b\b\b"},
        {"typing at the end scrolls the text", [&] { return end; }, "\rlast\rlines\r\rdown"},
        {"typing in the scrolled text",
         [&] {
             return detail::RichCharFromPos(H(), State(), {150, 90});
         },
         "x\ry\b\bz wrapped along the line's end\b"},
    };
    rich->SetFocus();
    for (const auto& s : steps) {
        const int at = s.caret();
        Select(at, at);
        Pump();
        for (size_t k = 0; k < s.keys.size(); ++k) {
            Type(s.keys.substr(k, 1));
            Pump();
            ASSERT_EQ(DiffersFromAFullRepaint(Drawn()), 0) << s.name << ", key " << k;
        }
    }
    EXPECT_GT(State().first_line, 0);  // the text was scrolled
}

TEST_F(RichRelayoutTest, AKeyAsksToPaintOnlyWhatItChanged) {
    const TRect client = GetClientRect(H());
    const struct {
        const char* name;
        std::string key;
        bool to_bottom;  // the lines below moved
    } cases[] = {
        {"a letter", "x", false},
        {"Enter", "\r", true},
        {"Backspace joining paragraphs", "\b", true},
    };
    rich->SetFocus();
    for (const auto& c : cases) {
        Select(0, 0);  // the text from its top; the change below it
        const int at = c.key == "\b" ? ParaStart(2) : ParaMiddle(2);
        Select(at, at);
        Pump();
        ASSERT_TRUE(GetUpdateRegion(H()).Empty()) << c.name;
        Type(c.key);
        const TPoint caret = detail::RichPosFromChar(H(), State(), State().caret);
        const TRect due = GetUpdateRegion(H()).Bounds();
        EXPECT_TRUE(due.Contains(caret)) << c.name;
        EXPECT_GT(due.top, client.top) << c.name;
        EXPECT_EQ(due.bottom == client.bottom, c.to_bottom) << c.name;
        Pump();
    }
}

}  // namespace
}  // namespace ui
