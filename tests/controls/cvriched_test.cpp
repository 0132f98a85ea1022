#include "controls/cvriched.hpp"

#include <cstring>

#include "tests/support/ui_fixture.hpp"

namespace controls {
namespace {

using namespace ui;

class CvRichEditTest : public testing_ui::UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        SetRichEditLibraryVersion(3);
        form = Make<TForm>(nullptr);
        form->SetBorderStyle(bsNone);
        form->SetBounds(0, 0, 320, 200);
        rich = new TCvRichEdit(form.get());
        rich->SetParent(form.get());
        rich->SetBounds(0, 0, 300, 180);
        form->Show();
        Pump();
        rich->SetText("alpha beta gamma");
    }
    void Select(int from, int to) { SendMessage(rich->Handle(), EM_SETSEL, WPARAM(from), to); }
    Owned<TForm> form;
    TCvRichEdit* rich = nullptr;
};

TEST_F(CvRichEditTest, TheThreeKindsReachTheirScope) {
    Select(7, 7);  // the caret inside "beta"
    rich->WordAttributes()->SetStyle(fsItalic);
    rich->SelAttributes()->SetStyle(fsBold);  // an empty selection: only what typing takes
    rich->DefAttributes()->SetCharset(OEM_CHARSET);
    struct Case {
        int from, to;
        unsigned style;
    };
    const Case cases[] = {{0, 5, 0}, {6, 10, fsItalic}, {11, 16, 0}};
    for (const Case& c : cases) {
        Select(c.from, c.to);
        EXPECT_EQ(rich->SelAttributes()->Style(), c.style) << c.from;
    }
    EXPECT_EQ(rich->DefAttributes()->Charset(), OEM_CHARSET);
    Select(0, 16);
    EXPECT_NE(rich->SelAttributes()->Charset(), OEM_CHARSET);
}

TEST_F(CvRichEditTest, ColoursNamesSizesAndPitchAsTheRecordsCarryThem) {
    Select(0, 5);
    struct Case {
        TColor written, read;
    };
    const Case cases[] = {{clRed, clRed},
                          {clWindowText, clWindowText},
                          {clDefault, clWindowText},
                          {clBtnFace, TColor(ColorToRGB(clBtnFace))}};
    for (const Case& c : cases) {
        rich->SelAttributes()->SetColor(c.written);
        EXPECT_EQ(rich->SelAttributes()->Color(), c.read) << c.written;
    }
    rich->SelAttributes()->SetName(std::string(40, 'F'));
    EXPECT_EQ(rich->SelAttributes()->Name(), std::string(31, 'F'));
    rich->SelAttributes()->SetPitch(fpFixed);  // no mask bit: the control keeps its pitch
    EXPECT_EQ(rich->SelAttributes()->Pitch(), fpDefault);
    TFont font;
    font.SetName("Courier New");
    font.SetSize(14);
    font.SetPitch(fpFixed);
    rich->SelAttributes()->Assign(&font);
    EXPECT_EQ(rich->SelAttributes()->Pitch(), fpFixed);  // with a face it travels
    EXPECT_EQ(rich->SelAttributes()->Size(), 14);
    EXPECT_EQ(rich->SelAttributes()->Name(), "Courier New");
}

TEST_F(CvRichEditTest, ABoldFontInTheWindowTextColourStaysBold) {
    Select(0, 5);
    TFont font;
    font.SetStyle(fsBold | fsUnderline);
    font.SetColor(clWindowText);
    font.SetSize(12);
    rich->SelAttributes()->Assign(&font);
    EXPECT_EQ(rich->SelAttributes()->Style(), unsigned(fsBold | fsUnderline));
    EXPECT_EQ(rich->SelAttributes()->Color(), clWindowText);
    // And back into a font, and through the other attribute classes.
    TFont out;
    out.Assign(rich->SelAttributes());
    EXPECT_EQ(out.Style(), unsigned(fsBold | fsUnderline));
    EXPECT_EQ(out.Size(), 12);
    Select(11, 16);
    rich->SelAttributes()->Assign(rich->DefAttributes());  // the whole record
    auto* plain = new TRichEdit(form.get());
    plain->SetParent(form.get());
    plain->SetText("x");
    SendMessage(plain->Handle(), EM_SETSEL, 0, 1);
    TTextAttributes other(plain, atSelected);
    Select(0, 5);
    other.Assign(rich->SelAttributes());
    EXPECT_EQ(other.Style(), unsigned(fsBold | fsUnderline));
    other.SetStyle(fsItalic);
    Select(6, 10);
    rich->SelAttributes()->Assign(&other);
    EXPECT_EQ(rich->SelAttributes()->Style(), unsigned(fsItalic));
    EXPECT_THROW(rich->SelAttributes()->Assign(rich->Paragraph()), EConvertError);
}

TEST_F(CvRichEditTest, ParagraphsIndentsNumberingAndTabs) {
    EXPECT_EQ(rich->Paragraph()->Tab(0), 0);
    rich->Paragraph()->SetTab(0, 72);
    PARAFORMAT2 pf;
    pf.cbSize = kParaFormatSize2;
    SendMessage(rich->Handle(), EM_GETPARAFORMAT, 0, LPARAM(&pf));
    EXPECT_EQ(pf.cTabCount, 1);  // one tab stop
    EXPECT_EQ(pf.rgxTabs[0], 1440);
    EXPECT_THROW(rich->Paragraph()->SetTab(32, 10), EListError);
    EXPECT_THROW(rich->Paragraph()->Tab(-1), EListError);
    struct Case {
        TCvNumbering numbering;
        int left_before, left_after;
    };
    const Case cases[] = {{1, 0, 10}, {1, 25, 25}, {0, 25, 0}, {2, 3, 10}};
    for (const Case& c : cases) {
        rich->Paragraph()->SetLeftIndent(c.left_before);
        rich->Paragraph()->SetNumbering(c.numbering);
        EXPECT_EQ(rich->Paragraph()->Numbering(), c.numbering);
        EXPECT_EQ(rich->Paragraph()->LeftIndent(), c.left_after) << c.numbering << " " << c.left_before;
    }
    rich->Paragraph()->SetAlignment(paJustify);
    EXPECT_EQ(rich->Paragraph()->Alignment(), paJustify);
    rich->Paragraph()->SetFirstIndent(12);
    rich->Paragraph()->SetRightIndent(6);
    EXPECT_EQ(rich->Paragraph()->FirstIndent(), 12);
    EXPECT_EQ(rich->Paragraph()->RightIndent(), 6);
}

TEST_F(CvRichEditTest, CopyingParagraphsBothWays) {
    auto& plain = *new TRichEdit(form.get());
    plain.SetParent(form.get());
    plain.SetText("x");
    rich->Paragraph()->SetAlignment(paJustify);
    rich->Paragraph()->SetFirstIndent(12);
    rich->Paragraph()->SetTab(3, 90);
    plain.Paragraph()->Assign(rich->Paragraph());
    EXPECT_EQ(plain.Paragraph()->Alignment(), taLeftJustify);  // justify becomes left
    EXPECT_EQ(plain.Paragraph()->FirstIndent(), 12);
    EXPECT_EQ(plain.Paragraph()->Tab(3), 90);
    plain.Paragraph()->SetAlignment(taCenter);
    plain.Paragraph()->SetNumbering(nsBullet);
    rich->Paragraph()->Assign(plain.Paragraph());
    EXPECT_EQ(rich->Paragraph()->Alignment(), paCenter);
    EXPECT_EQ(rich->Paragraph()->Numbering(), 1);
    EXPECT_EQ(rich->Paragraph()->Tab(3), 90);
}

TEST_F(CvRichEditTest, AnAlignmentOutsideTheRangeReadsAsLeft) {
    // Another writer's record may hold anything; the control keeps what it had.
    for (uint16_t raw : {uint16_t(0), uint16_t(5), uint16_t(0xFFFF)}) {
        PARAFORMAT2 pf;
        pf.cbSize = kParaFormatSize2;
        pf.dwMask = PFM_ALIGNMENT;
        pf.wAlignment = raw;
        SendMessage(rich->Handle(), EM_SETPARAFORMAT, 0, LPARAM(&pf));
        EXPECT_EQ(rich->Paragraph()->Alignment(), paLeftJustify) << raw;
    }
}

TEST_F(CvRichEditTest, TheOlderLibraryTakesTheShortRecordsAndBulletsOnly) {
    SetRichEditLibraryVersion(1);
    TCvRichEdit& old = *new TCvRichEdit(form.get());
    old.SetParent(form.get());
    old.SetText("old text");
    EXPECT_EQ(RichEditVersion(), 1);
    EXPECT_EQ(GetClassName(old.Handle()), "TCvRichEdit");
    old.Paragraph()->SetNumbering(4);
    EXPECT_EQ(old.Paragraph()->Numbering(), 1);
    old.DefAttributes()->SetName("Arial");
    EXPECT_EQ(old.DefAttributes()->Name(), "Arial");
    TFont font;
    font.SetStyle(fsBold);
    SendMessage(old.Handle(), EM_SETSEL, 0, 3);
    old.SelAttributes()->Assign(&font);  // the weight needs the longer record; bold still comes
    EXPECT_EQ(old.SelAttributes()->Style(), unsigned(fsBold));
}

TEST_F(CvRichEditTest, WithoutAWindowReadsAreZeroAndWritesDoNothing) {
    auto* loose = new TCvRichEdit(form.get());
    EXPECT_FALSE(loose->HandleAllocated());
    loose->SelAttributes()->SetColor(clRed);
    loose->Paragraph()->SetTab(0, 10);
    loose->Paragraph()->SetNumbering(1);
    EXPECT_EQ(loose->SelAttributes()->Color(), 0);
    EXPECT_EQ(loose->DefAttributes()->Name(), "");
    EXPECT_EQ(loose->Paragraph()->Tab(0), 0);
    EXPECT_EQ(loose->Paragraph()->Alignment(), paLeftJustify);
    EXPECT_FALSE(loose->HandleAllocated());
}

TEST_F(CvRichEditTest, SetUIActiveMovesTheFormsActiveObjectControl) {
    auto* second = new TCvRichEdit(form.get());
    second->SetParent(form.get());
    second->SetBounds(0, 0, 50, 20);
    int deactivated = 0;
    second->WindowProc = [second, &deactivated](TMessage& m) {
        if (m.Msg == CM_UIDEACTIVATE) ++deactivated;
        second->WndProc(m);
    };
    second->SetUIActive(true);
    Pump();
    EXPECT_EQ(GetFocus(), second->Handle());
    rich->SetUIActive(true);
    Pump();
    EXPECT_EQ(deactivated, 1);
    EXPECT_EQ(GetFocus(), rich->Handle());
    int entered = 0;
    rich->OnEnter = [&](TObject*) { ++entered; };
    rich->SetUIActive(false);
    EXPECT_EQ(entered, 1);
    second->SetUIActive(true);
    rich->SetUIActive(false);  // not the active one: nothing changes there
    EXPECT_EQ(deactivated, 1);
    auto orphan = Make<TCvRichEdit>(nullptr);
    orphan->SetUIActive(true);  // no form: nothing happens
}

}  // namespace
}  // namespace controls
