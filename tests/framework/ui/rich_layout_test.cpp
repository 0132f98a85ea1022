#include <fstream>

#include "framework/ole/oleidl.hpp"
#include "platform/process.hpp"
#include "tests/framework/ui/rich_fixture.hpp"
#include "tests/support/temp_dir.hpp"

namespace ui {
namespace {

class RichLayoutTest : public RichFixture {
protected:
    TPoint Pos(int cp) {
        const LRESULT p = SendMessage(H(), EM_POSFROMCHAR, WPARAM(cp));
        return {LOWORD_S(p), HIWORD_S(p)};
    }
    PARAFORMAT2 Para(uint32_t mask) {
        PARAFORMAT2 pf;
        pf.cbSize = kParaFormatSize2;
        pf.dwMask = mask;
        return pf;
    }
    void SetPara(PARAFORMAT2 pf) { SendMessage(H(), EM_SETPARAFORMAT, 0, LPARAM(&pf)); }
    void Click(TPoint client, bool dbl = false) {
        const TPoint s = rich->ClientToScreen(client);
        InjectMouse(MouseAction::Down, MouseButton::Left, s);
        InjectMouse(MouseAction::Up, MouseButton::Left, s);
        if (dbl) {
            InjectMouse(MouseAction::DoubleClick, MouseButton::Left, s);
            InjectMouse(MouseAction::Up, MouseButton::Left, s);
        }
        Pump();
    }
};

TEST_F(RichLayoutTest, TabStopsPlaceTheTextAfterThem) {
    rich->SetText("a\tb\tc");
    struct Case {
        std::vector<int> tabs;  // twips
        int b_x, c_x;           // where b and c start, from the text's left
    };
    const Case cases[] = {
        {{}, 48, 96},             // every half inch
        {{1440, 2880}, 96, 192},  // one and two inches
        {{300}, 20, 48},          // past the stops set: the default ones
    };
    for (const Case& c : cases) {
        PARAFORMAT2 pf = Para(PFM_TABSTOPS);
        pf.cTabCount = int16_t(c.tabs.size());
        for (size_t i = 0; i < c.tabs.size(); ++i) pf.rgxTabs[i] = c.tabs[i];
        Select(0, 0);
        SetPara(pf);
        const int left = Pos(0).x;
        EXPECT_EQ(Pos(2).x - left, c.b_x) << c.tabs.size();
        EXPECT_EQ(Pos(4).x - left, c.c_x) << c.tabs.size();
    }
}

TEST_F(RichLayoutTest, NumberedParagraphsCountAndRestart) {
    rich->SetText("one\r\ntwo\r\nthree\r\nplain\r\nfour");
    // Paragraphs 0-2 and 4 numbered, 3 not: the count starts again after it.
    for (int para : {0, 1, 2, 4}) {
        const int cp = int(SendMessage(H(), EM_LINEINDEX, WPARAM(para)));
        Select(cp, cp);
        PARAFORMAT2 pf = Para(PFM_NUMBERING | PFM_NUMBERINGSTYLE | PFM_OFFSET);
        pf.wNumbering = PFN_UCROMAN;
        pf.wNumberingStyle = PFNS_PERIOD;
        pf.dxOffset = 360;
        SetPara(pf);
    }
    rich->Update();
    // The first line of a numbered paragraph starts after its label; the plain one at the left.
    const int plain_x = Pos(int(SendMessage(H(), EM_LINEINDEX, 3))).x;
    for (int para : {0, 1, 2, 4}) EXPECT_GT(Pos(int(SendMessage(H(), EM_LINEINDEX, WPARAM(para)))).x, plain_x + 15);
    // "III." is wider than "I.", and both end before the text.
    int ink_first = 0, ink_third = 0;
    const int lh = Pos(int(SendMessage(H(), EM_LINEINDEX, 1))).y - Pos(0).y;
    for (int x = 0; x < 40; ++x) {
        for (int y = 2; y < lh; ++y) {
            if (GetWindowSurface(H())->Pixel(x, y) != GetSysColor(COLOR_WINDOW)) ink_first = x;
            if (GetWindowSurface(H())->Pixel(x, 2 * lh + y) != GetSysColor(COLOR_WINDOW)) ink_third = x;
        }
    }
    EXPECT_GT(ink_third, ink_first);
    PARAFORMAT2 back = Para(0);
    Select(0, 0);
    SendMessage(H(), EM_GETPARAFORMAT, 0, LPARAM(&back));
    EXPECT_EQ(back.wNumbering, PFN_UCROMAN);
    EXPECT_EQ(back.wNumberingStyle, PFNS_PERIOD);
}

TEST_F(RichLayoutTest, JustifiedLinesFillTheWidthButTheLastDoesNot) {
    std::string text;
    for (int i = 0; i < 12; ++i) text += "word ";
    rich->SetText(text + "end");
    Select(0, 0);
    PARAFORMAT2 pf = Para(PFM_ALIGNMENT);
    pf.wAlignment = PFA_JUSTIFY;
    SetPara(pf);
    ASSERT_GE(SendMessage(H(), EM_GETLINECOUNT), 2);
    rich->Update();
    auto rightmost = [&](int y0, int y1) {
        int r = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = 0; x < 300; ++x)
                if (GetWindowSurface(H())->Pixel(x, y) != GetSysColor(COLOR_WINDOW)) r = std::max(r, x);
        return r;
    };
    const int lh = Pos(int(SendMessage(H(), EM_LINEINDEX, 1))).y - Pos(0).y;
    EXPECT_GE(rightmost(1, lh), 290);           // the first line reaches the right edge
    EXPECT_LT(rightmost(lh + 1, 2 * lh), 200);  // the last one keeps its natural width
}

TEST_F(RichLayoutTest, PlacesAndCharactersAgree) {
    rich->SetText("The quick brown fox\r\njumps over the lazy dog");
    for (int cp : {0, 4, 10, 19, 21, 27, 44}) {
        const TPoint p = Pos(cp);
        EXPECT_EQ(SendMessage(H(), EM_CHARFROMPOS, 0, MAKELPARAM(p.x, p.y + 2)), cp) << cp;
    }
    EXPECT_EQ(SendMessage(H(), EM_LINEFROMCHAR, 25), 1);
    EXPECT_EQ(SendMessage(H(), EM_LINEINDEX, 1), 21);
    EXPECT_EQ(SendMessage(H(), EM_LINELENGTH, 25), 23);
    // A click places the caret; a drag selects; a double click takes the word.
    rich->SetFocus();
    Click({Pos(4).x + 1, Pos(4).y + 3});
    EXPECT_EQ(rich->SelStart(), 4);
    const TPoint a = rich->ClientToScreen({Pos(4).x + 1, Pos(4).y + 3});
    const TPoint b = rich->ClientToScreen({Pos(15).x, Pos(15).y + 3});
    InjectMouse(MouseAction::Down, MouseButton::Left, a);
    InjectMouse(MouseAction::Move, MouseButton::Left, b, MK_LBUTTON);
    InjectMouse(MouseAction::Up, MouseButton::Left, b);
    Pump();
    EXPECT_EQ(rich->SelText(), "quick brown");
    Click({Pos(22).x + 1, Pos(22).y + 3}, true);
    EXPECT_EQ(rich->SelText(), "jumps");
}

TEST_F(RichLayoutTest, TextMessagesPasteLimitsAndNotifications) {
    int changes = 0;
    rich->OnChange = [&](TObject*) { ++changes; };
    rich->SetText("line one\nline two\rline three\x01");  // any break becomes CR LF; object characters are blanks
    EXPECT_EQ(rich->GetText(), "line one\r\nline two\r\nline three ");
    EXPECT_GT(changes, 0);
    char buf[64] = {};
    TEXTRANGE tr{{10, 14}, buf};
    EXPECT_EQ(SendMessage(H(), EM_GETTEXTRANGE, 0, LPARAM(&tr)), 4);
    EXPECT_STREQ(buf, "line");
    ole::CHARRANGE r{5, 8};
    SendMessage(H(), EM_EXSETSEL, 0, LPARAM(&r));
    EXPECT_EQ(SendMessage(H(), EM_GETSELTEXT, 0, LPARAM(buf)), 3);
    EXPECT_STREQ(buf, "one");
    ole::CHARRANGE got;
    SendMessage(H(), EM_EXGETSEL, 0, LPARAM(&got));
    EXPECT_EQ(got.cpMin, 5);
    EXPECT_EQ(got.cpMax, 8);
    SendMessage(H(), EM_EXLIMITTEXT, 0, 40);
    rich->SetFocus();
    Select(0, 0);
    SetClipboardText(std::string(30, 'x'));
    SendMessage(H(), WM_PASTE);
    EXPECT_EQ(rich->GetText().size(), 40u);  // cut at the limit
    EXPECT_EQ(SendMessage(H(), EM_GETLIMITTEXT), 40);
}

TEST_F(RichLayoutTest, FontsBackgroundAndFormatsOfTheWholeText) {
    rich->SetText("abc def");
    TFont font;
    font.SetName("Courier New");
    font.SetSize(12);
    rich->SetFont(&font);
    Select(0, 3);
    EXPECT_EQ(rich->SelAttributes()->Name(), "Courier New");
    EXPECT_EQ(rich->SelAttributes()->Size(), 12);
    CHARFORMAT2 cf;
    cf.cbSize = kCharFormatSize2;
    cf.dwMask = CFM_ITALIC;
    cf.dwEffects = CFE_ITALIC;
    SendMessage(H(), EM_SETCHARFORMAT, SCF_ALL, LPARAM(&cf));
    Select(4, 7);
    EXPECT_EQ(rich->SelAttributes()->Style(), unsigned(fsItalic));
    rich->SetColor(clYellow);
    rich->Update();
    EXPECT_EQ(GetWindowSurface(H())->Pixel(250, 150), RGB(255, 255, 0));
    // Formats may be set while the text is read-only; typing may not.
    rich->SetReadOnly(true);
    rich->SelAttributes()->SetStyle(fsBold);
    EXPECT_EQ(rich->SelAttributes()->Style(), unsigned(fsBold));
}

TEST_F(RichLayoutTest, AnObjectIsOneCharacterAClickSelectsItADoubleClickOpensIt) {
    testing_support::TempDir dir;
    std::ofstream(dir / "a.txt") << "Attached\n";
    platform::RecordingLauncher launcher;
    platform::ProcessLauncher* previous = platform::InstallProcessLauncher(&launcher);
    rich->SetText("ab");
    Select(1, 1);
    ole::IRichEditOle* reo = nullptr;
    ASSERT_EQ(SendMessage(H(), EM_GETOLEINTERFACE, 0, LPARAM(&reo)), 1);
    ole::ComPtr<ole::IRichEditOle> rich_ole = ole::ComPtr<ole::IRichEditOle>::Attach(reo);
    ole::ComPtr<ole::IOleObject> obj;
    const std::u16string path = ole::AnsiToWide(dir / "a.txt");
    ASSERT_EQ(
        ole::OleCreateLinkToFile(path.c_str(), ole::IOleObject::kIid, 0, nullptr, nullptr, nullptr, obj.PutVoid()),
        ole::S_OK);
    ole::REOBJECT re;
    re.cbStruct = 3;
    EXPECT_EQ(rich_ole->InsertObject(&re), ole::E_INVALIDARG);
    re.cbStruct = sizeof re;
    re.cp = 1;
    re.poleobj = obj.Get();
    ASSERT_EQ(rich_ole->InsertObject(&re), ole::S_OK);
    EXPECT_EQ(rich->GetText(), "a b");
    EXPECT_EQ(rich_ole->GetLinkCount(), 1);
    ole::REOBJECT by_cp;
    by_cp.cp = 1;
    EXPECT_EQ(rich_ole->GetObject(ole::REO_IOB_USE_CP, &by_cp, 0), ole::S_OK);
    EXPECT_TRUE(by_cp.dwFlags & ole::REO_LINK);
    EXPECT_EQ(rich_ole->SetLinkAvailable(0, false), ole::S_OK);
    rich_ole->GetObject(0, &by_cp, 0);
    EXPECT_FALSE(by_cp.dwFlags & ole::REO_LINKAVAILABLE);
    EXPECT_EQ(rich_ole->SetDvaspect(0, 7), ole::DV_E_DVASPECT);
    EXPECT_EQ(rich_ole->ConvertObject(0, ole::GUID_NULL, nullptr), ole::E_NOTIMPL);
    // The object stands between a and b: a click on it selects it, a double click opens it.
    rich->SetFocus();
    const TPoint at = Pos(1);
    Click({at.x + 10, at.y + 10});
    ole::REOBJECT sel;
    EXPECT_EQ(rich_ole->GetObject(ole::REO_IOB_SELECTION, &sel, 0), ole::S_OK);
    EXPECT_TRUE(sel.dwFlags & ole::REO_SELECTED);
    Click({at.x + 10, at.y + 10}, true);
    ASSERT_EQ(launcher.started.size(), 1u);
    EXPECT_EQ(launcher.started[0][1], dir / "a.txt");
    // Delete takes it out of the text; undo does not bring back a closed object.
    Select(1, 2);
    InjectKey(VK_DELETE, true), InjectKey(VK_DELETE, false);
    Pump();
    EXPECT_EQ(rich_ole->GetObjectCount(), 0);
    EXPECT_EQ(SendMessage(H(), EM_CANUNDO), 0);
    platform::InstallProcessLauncher(previous);
}

}  // namespace
}  // namespace ui
