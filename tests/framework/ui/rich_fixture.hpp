#pragma once
// A rich edit of version 3 filling a borderless form, shown, with the
// helpers the rich-edit tests share.
#include "framework/ui/rich_edit_control.hpp"
#include "tests/support/ui_fixture.hpp"

namespace ui {

class RichFixture : public testing_ui::UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        SetRichEditLibraryVersion(3);
        form = ui::Make<TForm>(nullptr);
        form->SetBorderStyle(bsNone);
        form->SetBounds(0, 0, 320, 200);
        rich = new TRichEdit(form.get());
        rich->SetParent(form.get());
        rich->SetBounds(0, 0, 300, 180);
        rich->SetBorderStyle(bsNone);
        rich->OnChange = [this](TObject*) { ++changes; };
        form->Show();
        Pump();
    }
    HWND H() { return rich->Handle(); }
    void Select(int from, int to) { SendMessage(H(), EM_SETSEL, WPARAM(from), to); }

    Owned<TForm> form;
    TRichEdit* rich = nullptr;
    int changes = 0;
};

}  // namespace ui
