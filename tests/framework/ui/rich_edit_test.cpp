#include <cstring>

#include "tests/framework/ui/rich_fixture.hpp"

namespace ui {
namespace {

class RichEditTest : public RichFixture {
protected:
    void Keys(const std::vector<UINT>& keys, unsigned mods = 0) {
        for (UINT k : keys) InjectKey(k, true, mods), InjectKey(k, false, mods);
        Pump();
    }
    COLORREF At(int x, int y) { return GetWindowSurface(H())->Pixel(x, y); }
    // The columns of a client row where something other than the background is.
    std::pair<int, int> InkColumns(int y0, int y1) {
        int left = 1 << 20, right = -1;
        for (int y = y0; y < y1; ++y)
            for (int x = 0; x < 300; ++x)
                if (At(x, y) != GetSysColor(COLOR_WINDOW)) left = std::min(left, x), right = std::max(right, x);
        return {left, right};
    }
};

TEST_F(RichEditTest, RecordsAreTakenOnlyInTheSizesTheLibraryKnows) {
    struct Case {
        int version;
        uint32_t char_size, para_size;
        bool taken;
    };
    const Case cases[] = {
        {3, kCharFormatSize2, kParaFormatSize2, true},
        {3, kCharFormatSize1, kParaFormatSize1, true},
        {1, kCharFormatSize1, kParaFormatSize1, true},
        {1, kCharFormatSize2, kParaFormatSize2, false},
        {3, 50, 100, false},
        {3, 0, 0, false},
    };
    for (const Case& c : cases) {
        SetRichEditLibraryVersion(c.version);
        auto* r = new TRichEdit(form.get());
        r->SetParent(form.get());
        r->SetText("abc");
        CHARFORMAT2 cf;
        cf.cbSize = c.char_size;
        EXPECT_EQ(SendMessage(r->Handle(), EM_GETCHARFORMAT, SCF_DEFAULT, LPARAM(&cf)) != 0, c.taken) << c.char_size;
        EXPECT_EQ(cf.yHeight != 0, c.taken);
        // The older record never carries what only the newer one holds.
        if (c.taken && c.char_size == kCharFormatSize1) {
            EXPECT_EQ(cf.dwMask & CFM_WEIGHT, 0u);
        }
        PARAFORMAT2 pf;
        pf.cbSize = c.para_size;
        pf.dwMask = PFM_ALIGNMENT;
        pf.wAlignment = PFA_CENTER;
        SendMessage(r->Handle(), EM_SETPARAFORMAT, 0, LPARAM(&pf));
        PARAFORMAT2 back;
        back.cbSize = kParaFormatSize1;
        SendMessage(r->Handle(), EM_GETPARAFORMAT, 0, LPARAM(&back));
        EXPECT_EQ(back.wAlignment, c.taken ? PFA_CENTER : PFA_LEFT) << c.version << " " << c.para_size;
        Free(r);
    }
}

TEST_F(RichEditTest, FormatsOfASelectionAndWhatTheyHaveInCommon) {
    rich->SetText("plain bold plain");
    Select(6, 10);
    rich->SelAttributes()->SetStyle(fsBold);
    rich->SelAttributes()->SetColor(clRed);
    struct Case {
        int from, to;
        bool bold_consistent, bold;
        TColor color;
    };
    const Case cases[] = {
        {6, 10, true, true, clRed},         // the bold word
        {0, 5, true, false, clWindowText},  // automatic colour reads as the window text's
        {0, 10, false, false, clWindowText},
        {7, 7, true, true, clRed},  // an empty selection: the format typing would take
    };
    for (const Case& c : cases) {
        Select(c.from, c.to);
        EXPECT_EQ((rich->SelAttributes()->ConsistentAttributes() & caBold) != 0, c.bold_consistent) << c.from;
        EXPECT_EQ((rich->SelAttributes()->Style() & fsBold) != 0, c.bold) << c.from;
        EXPECT_EQ(rich->SelAttributes()->Color(), c.color) << c.from;
    }
    // Typing at the end of the bold word goes on in bold.
    Select(10, 10);
    SendMessage(H(), EM_REPLACESEL, 0, LPARAM("er"));
    Select(10, 12);
    EXPECT_EQ(rich->SelAttributes()->Style(), unsigned(fsBold));
    EXPECT_EQ(rich->GetText(), "plain bolder plain");
    EXPECT_GT(changes, 0);
}

TEST_F(RichEditTest, AFaceNameKeepsThirtyOneCharactersAndItsEnd) {
    CHARFORMAT2 cf;
    cf.cbSize = kCharFormatSize2;
    cf.dwMask = CFM_FACE;
    std::memset(cf.szFaceName, 'x', sizeof cf.szFaceName);  // no terminator at all
    SendMessage(H(), EM_SETCHARFORMAT, SCF_DEFAULT, LPARAM(&cf));
    EXPECT_EQ(rich->DefAttributes()->Name(), std::string(31, 'x'));
}

TEST_F(RichEditTest, UnknownAlignmentsAndTabCountsAreHeldToTheirRange) {
    rich->SetText("one\r\ntwo");
    Select(0, 8);
    PARAFORMAT2 pf;
    pf.cbSize = kParaFormatSize2;
    pf.dwMask = PFM_ALIGNMENT | PFM_TABSTOPS;
    pf.wAlignment = 9;
    pf.cTabCount = 200;
    for (int& t : pf.rgxTabs) t = 1440;
    SendMessage(H(), EM_SETPARAFORMAT, 0, LPARAM(&pf));
    EXPECT_EQ(rich->Paragraph()->Alignment(), taLeftJustify);
    EXPECT_EQ(rich->Paragraph()->TabCount(), MAX_TAB_STOPS);
    EXPECT_THROW(rich->Paragraph()->Tab(32), EListError);
    EXPECT_THROW(rich->Paragraph()->SetTab(-1, 5), EListError);
}

TEST_F(RichEditTest, AlignmentIndentsAndBulletsPlaceTheInk) {
    struct Case {
        TAlignment align;
        int first_indent;  // points
        TNumberingStyle numbering;
        int min_left, max_left, min_right, max_right;  // where the ink of the first line lies
    };
    const Case cases[] = {
        {taLeftJustify, 0, nsNone, 1, 4, 20, 60},
        {taRightJustify, 0, nsNone, 240, 290, 290, 299},
        {taCenter, 0, nsNone, 110, 150, 150, 190},
        {taLeftJustify, 30, nsNone, 40, 44, 60, 100},  // 30 points are 40 pixels
        {taLeftJustify, 0, nsBullet, 1, 6, 30, 80},
    };
    for (const Case& c : cases) {
        rich->SetText("Corvanta");
        Select(0, 0);
        rich->Paragraph()->SetAlignment(c.align);
        rich->Paragraph()->SetFirstIndent(c.first_indent);
        rich->Paragraph()->SetNumbering(c.numbering);
        rich->Update();
        const auto [left, right] = InkColumns(1, 16);
        EXPECT_GE(left, c.min_left) << c.align << " " << c.first_indent;
        EXPECT_LE(left, c.max_left) << c.align << " " << c.first_indent;
        EXPECT_GE(right, c.min_right) << c.align << " " << c.first_indent;
        EXPECT_LE(right, c.max_right) << c.align << " " << c.first_indent;
    }
}

TEST_F(RichEditTest, RunsAreDrawnInTheirColoursAndSizes) {
    rich->SetText("small BIG");
    Select(6, 9);
    rich->SelAttributes()->SetSize(24);
    rich->SelAttributes()->SetColor(clBlue);
    Select(0, 0);
    rich->Update();
    int blue = 0, black_low = 0;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 300; ++x) {
            if (At(x, y) == RGB(0, 0, 255)) ++blue;
            if (At(x, y) == RGB(0, 0, 0) && y > 20) ++black_low;
        }
    testing_ui::SavePicture(H(), "richedit");
    EXPECT_GT(blue, 100);      // the large word is blue
    EXPECT_GT(black_low, 10);  // the small word sits on the large one's baseline, low in the line
    EXPECT_EQ(SendMessage(H(), EM_GETLINECOUNT), 1);
}

TEST_F(RichEditTest, KeysSelectionClipboardUndoAndReadOnly) {
    rich->SetFocus();
    Pump();
    struct Step {
        std::string type;
        std::vector<UINT> keys;
        unsigned mods;
        std::string text;
        int sel_from, sel_to;
    };
    const Step steps[] = {
        {"hello world", {}, 0, "hello world", 11, 11},
        {"", {VK_HOME}, kShift, "hello world", 0, 11},
        {"", {'C'}, kControl, "hello world", 0, 11},
        {"", {VK_END}, 0, "hello world", 11, 11},
        {"\r", {}, 0, "hello world\r\n", 13, 13},
        {"", {'V'}, kControl, "hello world\r\nhello world", 24, 24},
        {"", {VK_LEFT}, kControl | kShift, "hello world\r\nhello world", 19, 24},
        {"\b", {}, 0, "hello world\r\nhello ", 19, 19},
        {"", {'Z'}, kControl, "hello world\r\nhello world", 19, 24},
        {"", {VK_UP}, 0, "hello world\r\nhello world", 6, 6},
    };
    for (const Step& s : steps) {
        Type(s.type);
        Keys(s.keys, s.mods);
        EXPECT_EQ(rich->GetText(), s.text) << s.type;
        EXPECT_EQ(rich->SelStart(), s.sel_from) << s.text;
        EXPECT_EQ(rich->SelStart() + rich->SelLength(), s.sel_to) << s.text;
    }
    rich->SetReadOnly(true);
    Type("xyz\b");
    Keys({VK_DELETE});
    EXPECT_EQ(rich->GetText(), "hello world\r\nhello world");
}

TEST_F(RichEditTest, WordWrapAndScrollingByLines) {
    rich->SetScrollBars(ssVertical);
    std::string text;
    for (int i = 0; i < 40; ++i) text += "Line " + std::to_string(i) + " of the long report\r\n";
    rich->SetText(text);
    rich->SetFocus();
    Pump();
    EXPECT_EQ(SendMessage(H(), EM_GETFIRSTVISIBLELINE), 0);
    Keys({VK_NEXT});
    const LRESULT first = SendMessage(H(), EM_GETFIRSTVISIBLELINE);
    EXPECT_GT(first, 0);
    SCROLLINFO si;
    GetScrollInfo(H(), SB_VERT, si);
    EXPECT_EQ(si.nPos, first);
    EXPECT_EQ(si.nMax, 40);
    // A line wider than the control wraps at a blank.
    rich->SetText(std::string(30, 'w') + " " + std::string(30, 'w'));
    EXPECT_EQ(SendMessage(H(), EM_GETLINECOUNT), 2);
}

}  // namespace
}  // namespace ui
