#include "examples/control_pictures.hpp"

#include <functional>

#include "controls/cvconst.hpp"
#include "controls/cvgrdcpt.hpp"
#include "controls/cvlabel.hpp"
#include "controls/cvspeedbtn.hpp"
#include "controls/msgpanel.hpp"
#include "examples/date_pictures.hpp"
#include "framework/ui/forms.hpp"
#include "framework/ui/stdctrls.hpp"
#include "resources/resources.hpp"

namespace {

using namespace ui;
using controls::TCvSpeedButton;

struct Picture {
    const char* name;
    std::function<void(TForm*)> build;        // puts the controls on the form
    std::function<void(TForm*)> before_shot;  // after the form is shown
    int width, height;
};

TCvSpeedButton* Button(TForm* f, int x, int y, int w, int h, const std::string& caption, const char* glyph) {
    auto* b = new TCvSpeedButton(f);
    b->SetBounds(x, y, w, h);
    b->SetCaption(caption);
    if (glyph) {
        TBitmap bmp;
        bmp.LoadFromResourceName(glyph);
        b->SetGlyph(&bmp);
    }
    b->SetParent(f);
    return b;
}

void SpeedButtons(TForm* f) {
    f->SetCaption("Speed buttons");
    // Row 1: up, pressed, down in a group, disabled.
    Button(f, 8, 8, 64, 44, "Up", "CV_FIRST");
    Button(f, 80, 8, 64, 44, "Pressed", "CV_PRIOR")->SetName("pressed");
    auto* down = Button(f, 152, 8, 64, 44, "Down", "CV_NEXT");
    down->SetGroupIndex(1);
    down->SetDown(true);
    Button(f, 224, 8, 64, 44, "Disabled", "CV_LAST")->SetEnabled(false);
    // Row 2: flat away from the pointer (greyed), flat under it, a drop-down mark.
    auto* flat = Button(f, 8, 60, 64, 44, "Flat", "CV_INSERT");
    flat->SetFlat(true);
    auto* hot = Button(f, 80, 60, 64, 44, "Hot", "CV_EDIT");
    hot->SetFlat(true);
    hot->SetName("hot");
    auto* menu = new TPopupMenu(f);
    auto* drop = Button(f, 152, 60, 64, 44, "Menu", "CV_REFRESH");
    drop->SetDropDownMenu(menu);
    auto* mark = Button(f, 224, 60, 64, 44, "Menu", nullptr);
    mark->SetDropDownMenu(menu);
    // Row 3: the glyph on each side, and an old-style button.
    Button(f, 8, 112, 70, 26, "Left", "CV_POST")->SetLayout(controls::blGlyphLeft);
    Button(f, 84, 112, 70, 26, "Right", "CV_CANCEL")->SetLayout(controls::blGlyphRight);
    Button(f, 160, 112, 60, 40, "Bottom", "CV_DELETE")->SetLayout(controls::blGlyphBottom);
    auto* old = Button(f, 226, 112, 62, 26, "Win 3.1", nullptr);
    old->SetStyle(controls::bsWin31);
}

controls::TCvLabel* Label(TForm* f, int x, int y, const std::string& caption) {
    auto* l = new controls::TCvLabel(f);
    l->SetLeft(x), l->SetTop(y);
    l->SetParent(f);
    l->Font()->SetName("Tahoma");
    l->Font()->SetHeight(-13);
    l->Font()->SetStyle(fsBold);
    l->SetCaption(caption);
    return l;
}

void Labels(TForm* f) {
    using namespace controls;
    f->SetCaption("Labels with shadow");
    Label(f, 8, 8, "Default shadow");
    const TShadowPosition positions[] = {spLeftTop, spLeftBottom, spRightBottom, spRightTop};
    const char* names[] = {"Left top", "Left bottom", "Right bottom", "Right top"};
    for (int i = 0; i < 4; ++i) {
        auto* l = Label(f, 8 + 96 * (i % 2), 32 + 24 * (i / 2), names[i]);
        l->SetShadowPos(positions[i]);
        l->SetShadowSize(2);
        l->SetShadowColor(clGray);
    }
    Label(f, 8, 88, "Disabled")->SetEnabled(false);
    auto* none = Label(f, 104, 88, "No shadow, disabled");
    none->SetShadowSize(0);
    none->SetEnabled(false);
    auto* panel = new TPanel(f);
    panel->SetBounds(8, 112, 200, 28);
    panel->SetColor(clTeal);
    panel->SetParent(f);
    panel->SetBevelOuter(bvNone);
    auto* over = Label(f, 8, 6, "Transparent over teal");
    over->SetParent(panel);
    over->SetTransparent(true);
    auto* link = Label(f, 8, 148, "www.corvanta.example");
    link->Font()->SetColor(clBlue);
    link->Font()->SetStyle(fsBold | fsUnderline);
    link->SetCursor(controls::crHandCursor);
    auto* edit = new TEdit(f);
    edit->SetBounds(260, 8, 110, 21);
    edit->SetParent(f);
    auto* focus = Label(f, 260, 36, "&Focused");
    focus->SetFocusControl(edit);
    focus->SetShowFocus(true);
    auto* centre = Label(f, 260, 64, "Centre");
    centre->SetAutoSize(false);
    centre->SetBounds(260, 64, 110, 40);
    centre->SetLayout(tlCenter);
    centre->SetAlignment(taCenter);
    centre->SetColor(clWhite);
    auto* wrap = Label(f, 260, 112, "Words wrap onto a second line");
    wrap->SetAutoSize(false);
    wrap->SetWordWrap(true);
    wrap->SetBounds(260, 112, 110, 56);
    wrap->SetLayout(tlBottom);
}

void FocusTheEdit(TForm* f) {
    for (TControl* c : f->Controls())
        if (auto* e = dynamic_cast<TEdit*>(c)) e->SetFocus();
    Application().ProcessMessages();
}

void PressAndHover(TForm* f) {
    for (TComponent* c : f->Components()) {
        auto* b = dynamic_cast<TCvSpeedButton*>(c);
        if (!b) continue;
        const TPoint mid = b->ClientToScreen({b->Width() / 2, b->Height() / 2});
        if (b->Name() == "pressed") InjectMouse(MouseAction::Down, MouseButton::Left, mid);
        if (b->Name() == "hot") b->Perform(CM_MOUSEENTER);
    }
    Application().ProcessMessages();
}

bool Shoot(const Picture& p, const std::string& folder) {
    auto form = Make<TForm>(nullptr);
    form->SetBorderStyle(bsSingle);
    form->SetBorderIcons(biSystemMenu | biMinimize | biMaximize);
    form->SetBounds(40, 40, p.width, p.height);
    p.build(form.get());
    form->Show();
    Application().ProcessMessages();
    if (p.before_shot) p.before_shot(form.get());
    Application().ProcessMessages();
    const SurfacePtr pixels = GetWindowSurface(form->WindowHandle());
    const bool ok = pixels && pixels->WritePng(folder + "/" + p.name);
    // Whatever the shot left pressed is let go.
    InjectMouse(MouseAction::Up, MouseButton::Left, {0, 0});
    Application().ProcessMessages();
    return ok;
}

void MessagePanel(TForm* f) {
    f->SetCaption("Backup");
    auto* panel = new controls::TMessagePanel(f);
    panel->SetParent(f);
    panel->SetColor(clInactiveCaption);
    panel->Font()->SetName("Tahoma");
    panel->Font()->SetHeight(-11);
    panel->Font()->SetStyle(fsBold);
    panel->Font()->SetColor(clWindowText);
    panel->SetCaption("Backing up. Please wait...");
    panel->SetName("panel");
}

void CentreThePanel(TForm* f) {
    for (TComponent* c : f->Components())
        if (auto* p = dynamic_cast<controls::TMessagePanel*>(c)) p->Center();
    Application().ProcessMessages();
}

// A form with a button whose hint shows: the screen as the window system
// shows it, the hint over the form with the shadow its class asks for.
bool Hint(const std::string& path) {
    auto form = Make<TForm>(nullptr);
    form->SetBorderStyle(bsSingle);
    form->SetBounds(40, 40, 260, 110);
    form->SetCaption("Hints");
    auto* b = Button(form.get(), 16, 16, 32, 32, "", "CV_NEXT");
    b->Hint = "Next record|Moves to the next record";
    form->Show();
    Application().ProcessMessages();
    const TPoint at = b->ClientToScreen({20, 20});
    InjectMouse(MouseAction::Move, MouseButton::Left, at);
    Application().ProcessMessages();
    Application().ActivateHint(at);
    Application().ProcessMessages();
    THintWindow* hint = Application().HintWindow();
    if (!hint || !hint->Showing()) return false;
    const bool written = CaptureScreen(GetWindowRect(form->WindowHandle()))->WritePng(path);
    Application().CancelHint();
    return written;
}

// Several forms, one under the other, in one picture.
bool Stack(const std::vector<TCustomForm*>& forms, const std::string& path) {
    Application().ProcessMessages();
    int w = 0, h = 0;
    for (TCustomForm* f : forms) w = std::max(w, f->Width()), h += f->Height() + 6;
    auto all = Surface::Create(w + 12, h + 6, PixelFormat::Color32);
    all->Fill(GetSysColor(COLOR_APPWORKSPACE));
    DC dst(all);
    int y = 6;
    for (TCustomForm* f : forms) {
        DC src(GetWindowSurface(f->WindowHandle()));
        BitBlt(dst, 6, y, f->Width(), f->Height(), &src, 0, 0, SRCCOPY);
        y += f->Height() + 6;
    }
    return all->WritePng(path);
}

bool GradientCaptions(const std::string& path) {
    using controls::TCvGradientCaption;
    std::vector<Owned<TForm>> forms;
    auto form = [&](const std::string& title, TFormBorderStyle style, unsigned icons, int w) {
        forms.push_back(Make<TForm>(nullptr));
        TForm* f = forms.back().get();
        f->SetBorderStyle(style);
        f->SetBorderIcons(icons);
        f->SetBounds(40, 40 + 60 * int(forms.size()), w, 56);
        auto* g = new TCvGradientCaption(f);
        g->SetFormCaption(title);
        g->Font()->SetName("Tahoma");
        g->Font()->SetHeight(-11);
        g->Font()->SetStyle(fsBold);
        g->Font()->SetColor(clCaptionText);
        return g;
    };
    auto* pieces = form("the active window", bsSizeable, biSystemMenu | biMinimize | biMaximize, 360);
    form("Corvanta V4.0 - an inactive window", bsSingle, biSystemMenu | biMinimize | biMaximize, 360);
    for (const char* text : {"Corvanta ", "V4.0 ", "- "}) {
        controls::TCvCaption* c = pieces->Captions()->AddCaption();
        c->SetCaption(text);
        c->SetParentFont(false);
        c->Font()->Assign(pieces->Font());
        c->Font()->SetColor(clYellow);
    }
    auto* narrow = form("A title far too long for the bar it is in", bsSingle, biSystemMenu, 200);
    narrow->SetStartColor(clMaroon);
    auto* inactive = form("Inactive, with its gradient", bsDialog, biSystemMenu, 360);
    inactive->SetGradientInactive(true);
    form("Tool window", bsToolWindow, biSystemMenu, 200);
    for (auto& f : forms) f->Show();
    SetActiveWindow(forms.front()->WindowHandle());  // the first one active, the others not
    std::vector<TCustomForm*> raw;
    for (auto& f : forms) raw.push_back(f.get());
    return Stack(raw, path);
}

}  // namespace

std::vector<std::string> WriteControlPictures(const std::string& folder) {
    controls::RegisterControlResources();
    const Picture pictures[] = {
        {"controls-speedbutton.png", SpeedButtons, PressAndHover, 304, 186},
        {"controls-label.png", Labels, FocusTheEdit, 386, 200},
        {"controls-message-panel.png", MessagePanel, CentreThePanel, 340, 140},
    };
    std::vector<std::string> failed;
    for (const Picture& p : pictures)
        if (!Shoot(p, folder)) failed.push_back(p.name);
    if (!GradientCaptions(folder + "/controls-gradient-caption.png")) failed.push_back("controls-gradient-caption.png");
    if (!Hint(folder + "/controls-hint.png")) failed.push_back("controls-hint.png");
    for (const std::string& name : WriteDatePictures(folder)) failed.push_back(name);
    return failed;
}
