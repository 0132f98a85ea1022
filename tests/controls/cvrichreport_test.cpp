#include "controls/cvrichreport.hpp"

#include "controls/richedit_pictures.hpp"
#include "tests/support/temp_dir.hpp"
#include "tests/support/ui_fixture.hpp"

namespace controls {
namespace {

using namespace ui;

class RichReportTest : public testing_ui::UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        SetRichEditLibraryVersion(3);
        form = Make<TForm>(nullptr);
        form->SetBounds(0, 0, 400, 300);
        rich = new TCvRichEdit(form.get());
        rich->SetParent(form.get());
        rich->SetAlign(alClient);
        form->Show();
        Pump();
    }
    void Select(int from, int to) { SendMessage(rich->Handle(), EM_SETSEL, WPARAM(from), to); }
    Owned<TForm> form;
    TCvRichEdit* rich = nullptr;
};

TEST_F(RichReportTest, ParagraphsAndRunsKeepTheirOwnFormats) {
    TRichReportWriter w(rich);
    w.Paragraph("Title", ReportStyle{"Arial", 14, fsBold, clNavy, paCenter});
    w.Paragraph("a\tb", ReportStyle{"Arial", 9, 0, clWindowText, paLeftJustify, 0, 0, {50, 120}});
    w.Run(" red", ReportStyle{"Arial", 9, fsItalic, clRed});
    w.Paragraph("note", ReportStyle{"Arial", 8, 0, clWindowText, paLeftJustify, 0, 1});
    w.Finish();
    EXPECT_EQ(rich->GetText(), "Title\r\na\tb red\r\nnote");
    EXPECT_TRUE(rich->ReadOnly());
    EXPECT_FALSE(rich->Modified());
    EXPECT_EQ(rich->SelStart(), 0);
    struct Case {
        int from, to;
        unsigned style;
        TColor color;
        int size;
        TCvParaAlignment align;
        TCvNumbering numbering;
        int tab0;
    };
    const Case cases[] = {
        {0, 5, fsBold, clNavy, 14, paCenter, 0, 0},
        {7, 10, 0, clWindowText, 9, paLeftJustify, 0, 50},
        {11, 14, fsItalic, clRed, 9, paLeftJustify, 0, 50},  // the run keeps its paragraph's format
        {16, 20, 0, clWindowText, 8, paLeftJustify, 1, 0},
    };
    for (const Case& c : cases) {
        Select(c.from, c.to);
        EXPECT_EQ(rich->SelAttributes()->Style(), c.style) << c.from;
        EXPECT_EQ(rich->SelAttributes()->Color(), c.color) << c.from;
        EXPECT_EQ(rich->SelAttributes()->Size(), c.size) << c.from;
        EXPECT_EQ(rich->Paragraph()->Alignment(), c.align) << c.from;
        EXPECT_EQ(rich->Paragraph()->Numbering(), c.numbering) << c.from;
        EXPECT_EQ(rich->Paragraph()->Tab(0), c.tab0) << c.from;
    }
    // Starting again clears what was there.
    TRichReportWriter again(rich);
    again.Paragraph("only", ReportStyle{});
    EXPECT_EQ(rich->GetText(), "only");
}

TEST_F(RichReportTest, TheDemoPicturesAreWritten) {
    testing_support::TempDir dir;
    ASSERT_TRUE(WriteRichEditPictures(dir.path()));
    for (const char* name : {"richedit-preview.png", "object-properties-dialog.png", "links-dialog.png"})
        EXPECT_TRUE(std::filesystem::exists(dir / name)) << name;
    EXPECT_FALSE(std::filesystem::exists(dir / "statement.txt"));
}

}  // namespace
}  // namespace controls
