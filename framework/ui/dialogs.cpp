// Message dialogs: the form, its icon, and the two ways of asking (a window
// or the message box service).
#include "framework/ui/dialogs.hpp"

#include <algorithm>

#include "framework/ui/stdctrls.hpp"

namespace ui {

namespace {

struct ButtonKind {
    const char* name;
    const char* caption;
    int result;
};
constexpr ButtonKind kButtons[] = {
    {"Yes", "&Yes", mrYes},
    {"No", "&No", mrNo},
    {"OK", "OK", mrOk},
    {"Cancel", "Cancel", mrCancel},
    {"Abort", "&Abort", mrAbort},
    {"Retry", "&Retry", mrRetry},
    {"Ignore", "&Ignore", mrIgnore},
    {"All", "&All", mrAll},
    {"NoToAll", "N&o to All", mrNoToAll},
    {"YesToAll", "Yes to &All", mrYesToAll},
    {"Help", "&Help", mrNone},
};

const char* TypeCaption(TMsgDlgType type) {
    switch (type) {
    case mtWarning: return "Warning";
    case mtError: return "Error";
    case mtInformation: return "Information";
    case mtConfirmation: return "Confirm";
    default: return nullptr;
    }
}

// The dialog's picture: a yellow triangle, a red disc, or a blue disc with
// an 'i' or a '?'.
class MessageIcon final : public TGraphicControl {
public:
    MessageIcon(TComponent* owner, TMsgDlgType type) : TGraphicControl(owner), type_(type) {
        width_ = height_ = 32;
        ControlStyle |= csOpaque;
    }

protected:
    void Paint() override {
        DC& dc = *Canvas()->Handle();
        FillRect(dc, {0, 0, 32, 32}, Brush::Solid(ColorToRGB(Parent() ? Parent()->Color() : clBtnFace)));
        const COLORREF black = 0, white = 0xFFFFFF;
        if (type_ == mtWarning) {
            for (int y = 2; y < 30; ++y) {
                const int half = (y - 2) / 2;
                FillRect(dc, {15 - half, y, 17 + half, y + 1}, Brush::Solid(black));
                if (half > 0 && y < 29) FillRect(dc, {16 - half, y, 16 + half, y + 1}, Brush::Solid(RGB(255, 255, 0)));
            }
            FillRect(dc, {15, 11, 17, 22}, Brush::Solid(black));
            FillRect(dc, {15, 24, 17, 26}, Brush::Solid(black));
            return;
        }
        const COLORREF disc = type_ == mtError ? RGB(255, 0, 0) : RGB(0, 0, 255);
        dc.S().pen = Pen{PS_SOLID, 1, black};
        dc.S().brush = Brush::Solid(disc);
        Ellipse(dc, {1, 1, 31, 31});
        if (type_ == mtError) {
            for (int i = 9; i < 23; ++i) {
                FillRect(dc, {i, i, i + 2, i + 1}, Brush::Solid(white));
                FillRect(dc, {31 - i - 2, i, 31 - i, i + 1}, Brush::Solid(white));
            }
            return;
        }
        dc.S().font = CreateFont(LogFont{"Times New Roman", -22, true});
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, white);
        TRect r{0, 0, 32, 32};
        DrawText(dc, type_ == mtInformation ? "i" : "?", r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }

private:
    TMsgDlgType type_;
};

unsigned ServiceFlags(TMsgDlgType type, TMsgDlgButtons buttons) {
    unsigned flags = platform::kMbOk;
    const bool yes = buttons & MsgDlgButton(mbYes), no = buttons & MsgDlgButton(mbNo);
    const bool cancel = buttons & MsgDlgButton(mbCancel);
    if (yes && no)
        flags = cancel ? platform::kMbYesNoCancel : platform::kMbYesNo;
    else if (cancel)
        flags = platform::kMbOkCancel;
    switch (type) {
    case mtWarning: flags |= platform::kMbIconWarning; break;
    case mtError: flags |= platform::kMbIconStop; break;
    case mtInformation: flags |= platform::kMbIconInformation; break;
    case mtConfirmation: flags |= platform::kMbIconQuestion; break;
    default: break;
    }
    return flags;
}

}  // namespace

Owned<TForm> CreateMessageDialog(const std::string& msg, TMsgDlgType type, TMsgDlgButtons buttons) {
    auto form = Make<TForm>(nullptr);
    form->SetBorderStyle(bsDialog);
    form->Position = poScreenCenter;
    form->SetCaption(TypeCaption(type) ? TypeCaption(type) : Application().Title);
    constexpr int kMargin = 12, kButtonWidth = 75, kButtonHeight = 25, kGap = 6, kTextWidth = 320;
    int text_left = kMargin;
    if (type != mtCustom) {
        auto* icon = new MessageIcon(form.get(), type);
        icon->SetName("Image");
        icon->SetParent(form.get());
        icon->SetBounds(kMargin, kMargin, 32, 32);
        text_left += 32 + kMargin;
    }
    DC measure;
    measure.S().font = form->Font()->Handle();
    TRect text{0, 0, kTextWidth, 0};
    DrawText(measure, msg, text, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    auto* label = new TLabel(form.get());
    label->SetName("Message");
    label->ShowAccelChar = false;
    label->WordWrap = true;
    label->SetAutoSize(false);
    label->SetParent(form.get());
    label->SetCaption(msg);
    label->SetBounds(text_left, kMargin, text.Width(), text.Height());
    std::vector<TButton*> made;
    for (int b = mbYes; b <= mbHelp; ++b) {
        if (!(buttons & MsgDlgButton(TMsgDlgBtn(b)))) continue;
        auto* button = new TButton(form.get());
        button->SetName(kButtons[b].name);
        button->SetCaption(kButtons[b].caption);
        button->ModalResult = kButtons[b].result;
        button->TabOrder = int(made.size());
        button->SetParent(form.get());
        // Help keeps the dialog open and asks for the dialog's topic.
        if (b == mbHelp)
            button->OnClick = [button](TObject*) { Application().HelpContext(button->InheritedHelpContext()); };
        made.push_back(button);
    }
    const int row = int(made.size()) * kButtonWidth + std::max(0, int(made.size()) - 1) * kGap;
    const int client_width = SatInt(std::max<int64_t>(int64_t(text_left) + text.Width() + kMargin, row + 2 * kMargin));
    const int buttons_top = SatInt(int64_t(kMargin) + std::max(type != mtCustom ? 32 : 0, text.Height()) + 16);
    int x = (client_width - row) / 2;
    for (TButton* b : made) {
        b->SetBounds(x, buttons_top, kButtonWidth, kButtonHeight);
        x += kButtonWidth + kGap;
    }
    form->HandleNeeded();  // the frame's size is known once the window is there
    form->SetClientSize(client_width, SatInt(int64_t(buttons_top) + kButtonHeight + kMargin));
    auto find = [&](const char* name) -> TButton* {
        for (TButton* b : made)
            if (b->Name() == name) return b;
        return nullptr;
    };
    TButton* def = find("OK") ? find("OK") : find("Yes");
    if (!def && !made.empty()) def = made.front();
    TButton* cancel = find("Cancel") ? find("Cancel") : find("No") ? find("No") : find("OK");
    if (def) {
        def->SetDefault(true);
        form->SetActiveControl(def);
    }
    if (cancel) cancel->Cancel = true;
    return form;
}

int MessageDlg(const std::string& msg, TMsgDlgType type, TMsgDlgButtons buttons, int help_context) {
    if (!dynamic_cast<WindowedMessageBoxes*>(platform::CurrentMessageBox())) {
        const char* caption = TypeCaption(type);
        return platform::ShowMessageBox(msg, caption ? caption : Application().Title, ServiceFlags(type, buttons));
    }
    auto form = CreateMessageDialog(msg, type, buttons);
    form->HelpContext = help_context;
    return form->ShowModal();
}

void ShowMessage(const std::string& msg) { MessageDlg(msg, mtCustom, MsgDlgButton(mbOK)); }

int WindowedMessageBoxes::Show(std::string_view text, std::string_view caption, unsigned flags) {
    TMsgDlgButtons buttons = MsgDlgButton(mbOK);
    switch (flags & 0xF) {
    case platform::kMbOkCancel: buttons = mbOKCancel; break;
    case platform::kMbYesNoCancel: buttons = mbYesNoCancel; break;
    case platform::kMbYesNo: buttons = mbYesNo; break;
    default: break;
    }
    TMsgDlgType type = mtCustom;
    switch (flags & 0xF0) {
    case platform::kMbIconStop: type = mtError; break;
    case platform::kMbIconQuestion: type = mtConfirmation; break;
    case platform::kMbIconWarning: type = mtWarning; break;
    case platform::kMbIconInformation: type = mtInformation; break;
    default: break;
    }
    auto form = CreateMessageDialog(std::string(text), type, buttons);
    form->SetCaption(std::string(caption));
    // The box's default button takes the focus and Enter.
    const int wanted = platform::DefaultButton(flags);
    for (TComponent* c : form->Components())
        if (auto* b = dynamic_cast<TButton*>(c)) {
            b->SetDefault(b->ModalResult == wanted);
            if (b->ModalResult == wanted) form->SetActiveControl(b);
        }
    const int result = form->ShowModal();
    // Nothing could ever answer (no input can come): the default button's answer.
    return result == mrAbort && !(buttons & MsgDlgButton(mbAbort)) ? wanted : result;
}

}  // namespace ui
