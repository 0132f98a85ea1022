#include "examples/account_preview.hpp"

#include "tests/examples/main_window_fixture.hpp"
#include "tests/support/ui_fixture.hpp"

namespace testing_examples {
namespace {

using namespace ui;

class AccountPreviewTest : public MainWindowTest {
protected:
    // The records of an account, as the history holds them.
    int CountOf(zurod::TTzDbf* history, const std::string& account) {
        int n = 0;
        for (history->First(); !history->Eof(); history->Next())
            if (zurod::TzAllTrim(history->FieldByName("ACCNAME")->AsString()) == account) ++n;
        return n;
    }
};

TEST_F(AccountPreviewTest, TheButtonShowsTheCurrentAccountsReportReadOnlyWithFormats) {
    auto window = Open("");
    zurod::TTzDbf* history = window->History();
    const int expected = CountOf(history, demo::kPreviewAccount);
    ASSERT_GT(expected, 0);
    history->First();
    history->MoveBy(5);
    const int at = history->RecNo();
    TButton* button = nullptr;
    for (TComponent* c : window->Components())
        if (c->Name() == "PreviewButton") button = dynamic_cast<TButton*>(c);
    ASSERT_NE(button, nullptr);
    button->Click();
    Pump();
    EXPECT_EQ(history->RecNo(), at);  // the grid stays where it stood
    TCustomForm* preview = nullptr;
    for (TCustomForm* f : Screen().Forms())
        if (f->Caption() == "Report preview - Current Account") preview = f;
    ASSERT_NE(preview, nullptr);
    controls::TCvRichEdit* rich = nullptr;
    for (TControl* c : preview->Controls())
        if (auto* r = dynamic_cast<controls::TCvRichEdit*>(c)) rich = r;
    ASSERT_NE(rich, nullptr);
    EXPECT_TRUE(rich->ReadOnly());
    const std::string text = rich->GetText();
    EXPECT_EQ(text.rfind("Current Account\r\n", 0), 0u);
    // A paragraph for each transaction, between the three heading lines and the balance.
    EXPECT_EQ(int(rich->Lines().size()), expected + 4);
    EXPECT_NE(text.find("\r\nBalance "), std::string::npos);
    // The title is navy and bold; payments are in maroon ink.
    SendMessage(rich->Handle(), EM_SETSEL, 0, 15);
    EXPECT_EQ(rich->SelAttributes()->Color(), clNavy);
    EXPECT_EQ(rich->SelAttributes()->Style(), unsigned(fsBold));
    preview->Update();
    testing_ui::SavePicture(preview->Handle(), "account-preview");
    int maroon = 0, navy = 0;
    const SurfacePtr s = GetWindowSurface(preview->Handle());
    for (int y = 0; y < s->Height(); ++y)
        for (int x = 0; x < s->Width(); ++x) {
            if (s->Pixel(x, y) == RGB(128, 0, 0)) ++maroon;
            if (s->Pixel(x, y) == RGB(0, 0, 128)) ++navy;
        }
    EXPECT_GT(maroon, 50);
    EXPECT_GT(navy, 50);
    // The report takes the keys as it opens: PgDn pages it.
    EXPECT_EQ(preview->ActiveControl(), rich);
    EXPECT_EQ(SendMessage(rich->Handle(), EM_GETFIRSTVISIBLELINE, 0, 0), 0);
    InjectKey(VK_NEXT, true);
    InjectKey(VK_NEXT, false);
    Pump();
    EXPECT_GT(SendMessage(rich->Handle(), EM_GETFIRSTVISIBLELINE, 0, 0), 0);
    // Typing changes nothing; closing frees the window.
    rich->SetFocus();
    InjectChar('x');
    Pump();
    EXPECT_EQ(rich->GetText(), text);
    preview->Close();
    Pump();
    int previews = 0;
    for (TCustomForm* f : Screen().Forms())
        if (f->Caption().rfind("Report preview", 0) == 0) ++previews;
    EXPECT_EQ(previews, 0);
}

}  // namespace
}  // namespace testing_examples
