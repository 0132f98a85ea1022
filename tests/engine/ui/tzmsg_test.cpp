#include "engine/ui/tzmsg.hpp"

#include "tests/support/ui_fixture.hpp"

namespace zurod {
namespace {

using namespace ui;

class TzMsgTest : public testing_ui::UiTest {};

TEST_F(TzMsgTest, ProgressCountsDownAndRefills) {
    auto w = ShowProgressWindow("Reading from disk...");
    EXPECT_EQ(w->Bar(), std::string(100, '|'));
    EXPECT_EQ(w->InnerPanel()->Caption(), w->Bar());
    for (int i = 0; i < 100; ++i) UpdateProgress(w.get());
    EXPECT_EQ(w->Bar(), "");
    EXPECT_EQ(w->InnerPanel()->Caption(), "");
    UpdateProgress(w.get());
    EXPECT_EQ(w->Bar(), std::string(100, '|'));
    UpdateProgress(nullptr);  // nothing
}

TEST_F(TzMsgTest, ProgressAlwaysHasTheDialogFrame) {
    auto w = ShowProgressWindow("Writing to disk...");
    EXPECT_EQ(w->BorderStyle(), bsDialog);
    EXPECT_FALSE(w->OuterPanel()->Visible());
    EXPECT_EQ(w->FormStyle(), fsStayOnTop);
    EXPECT_TRUE(GetWindowExStyle(w->WindowHandle()) & WS_EX_TOPMOST);
    const int cap = GetSystemMetrics(SM_CYCAPTION), fx = GetSystemMetrics(SM_CXDLGFRAME),
              fy = GetSystemMetrics(SM_CYDLGFRAME);
    EXPECT_EQ(w->InnerPanel()->BoundsRect(), Bounds(0, 0, w->Width() - 2 * fx, w->Height() - 2 * fy - cap));
    EXPECT_EQ(w->InnerPanel()->BoundsRect(), w->ClientRect());  // the panel fills the client area
    auto plain = Make<TTzProgress100>(nullptr);
    EXPECT_EQ(plain->Caption(), "Progress");
}

TEST_F(TzMsgTest, BorderlessMessageHasItsOuterPanelAndMargins) {
    auto m = Make<TTzMsg>(nullptr);
    EXPECT_FALSE(m->Visible());
    EXPECT_EQ(m->Width(), 0);
    m->ShowText(std::string("Indexing ACCNAME..."));
    EXPECT_TRUE(m->Visible());
    EXPECT_EQ(m->BorderStyle(), bsNone);
    EXPECT_TRUE(m->OuterPanel()->Visible());
    EXPECT_EQ(m->OuterPanel()->BoundsRect(), (TRect{0, 0, m->Width(), m->Height()}));
    EXPECT_EQ(m->InnerPanel()->BoundsRect(), Bounds(4, 4, m->Width() - 8, m->Height() - 8));
    m->Canvas()->Font()->Assign(m->Font());
    EXPECT_EQ(m->Width(), m->Canvas()->TextWidth("Indexing ACCNAME...") + 30);
    EXPECT_EQ(m->Height(), m->Canvas()->TextHeight("Indexing ACCNAME...") + 30);
    EXPECT_EQ(m->Color(), clYellow);
    EXPECT_EQ(m->InnerPanel()->Color(), clYellow);
    // The inner panel shows the text on yellow inside the grey frame.
    Pump();
    auto s = GetWindowSurface(m->WindowHandle());
    EXPECT_EQ(s->Pixel(8, m->Height() / 2), ColorToRGB(clYellow));
    EXPECT_EQ(s->Pixel(2, m->Height() / 2), ColorToRGB(clBtnFace));
    // nullopt keeps the text; the window keeps its place.
    const TRect before = m->BoundsRect();
    m->ShowText(std::nullopt);
    EXPECT_EQ(m->Text(), "Indexing ACCNAME...");
    EXPECT_EQ(m->BoundsRect(), before);
}

TEST_F(TzMsgTest, GrowsAndRecentresButNeverShrinks) {
    auto m = Make<TTzMsg>(nullptr);
    m->ShowText(std::string("Indexing DATE..."));
    const TRect first = m->BoundsRect();
    EXPECT_EQ(first.left, (Screen().Width() - first.Width()) / 2);
    EXPECT_EQ(first.top, (Screen().Height() - first.Height()) / 2);
    m->ShowText(std::string("Indexing a much longer tag name..."));
    const TRect second = m->BoundsRect();
    EXPECT_GT(second.Width(), first.Width());
    EXPECT_EQ(second.left, (Screen().Width() - second.Width()) / 2);
    m->ShowText(std::string("x"));
    EXPECT_EQ(m->BoundsRect(), second);
    EXPECT_EQ(m->InnerPanel()->Caption(), "x");
}

TEST_F(TzMsgTest, CentresOverTheFormThatWasActive) {
    auto owner = Make<TForm>(nullptr);
    owner->SetBounds(-101, 50, 301, 200);
    owner->Show();
    auto m = Make<TTzMsg>(nullptr);
    EXPECT_EQ(m->OwnerForm(), owner.get());
    m->ShowText(std::string("Working"));
    // Halves round toward zero, also for negative positions.
    EXPECT_EQ(m->Left(), -101 + (301 - m->Width()) / 2);
    EXPECT_EQ(m->Top(), 50 + (200 - m->Height()) / 2);
}

// The form active when the window opened may go first (however it was
// owned): the window then centres on the screen.
TEST_F(TzMsgTest, OutlivesTheFormThatWasActive) {
    for (bool owned_alike : {false, true}) {
        SCOPED_TRACE(owned_alike ? "both owned by one component" : "no owners");
        auto holder = Make<TComponent>(nullptr);
        TComponent* owner = owned_alike ? holder.get() : nullptr;
        auto* form = new TForm(owner);
        form->SetBounds(40, 30, 300, 200);
        form->Show();
        Owned<TTzMsg> m(new TTzMsg(owner));
        EXPECT_EQ(m->OwnerForm(), form);
        m->ShowText(std::string("Working"));
        Free(form);
        EXPECT_EQ(m->OwnerForm(), nullptr);
        m->ShowText(std::string("Working on a longer text than before"));
        EXPECT_EQ(m->Left(), (Screen().Width() - m->Width()) / 2);
        EXPECT_EQ(m->Top(), (Screen().Height() - m->Height()) / 2);
        m.reset();
    }
}

TEST_F(TzMsgTest, CaptionSwitchesTheStyleAndMeasuresTheCaption) {
    auto m = Make<TTzMsg>(nullptr);
    m->ShowText(std::string("a"));
    EXPECT_EQ(m->BorderStyle(), bsNone);
    m->SetCaption("A caption far wider than the text it frames");
    m->ShowText(std::nullopt);
    EXPECT_EQ(m->BorderStyle(), bsDialog);
    m->Canvas()->Font()->SetName("System");
    EXPECT_GE(m->Width(), m->Canvas()->TextWidth(m->Caption()));
    m->SetCaption("");
    m->ShowText(std::nullopt);  // a style change always re-lays the window out
    EXPECT_EQ(m->BorderStyle(), bsNone);
    EXPECT_TRUE(m->OuterPanel()->Visible());
    EXPECT_EQ(m->InnerPanel()->Left(), 4);
}

// Updates let paint messages through but leave input and timers alone: the
// engine is in the middle of an operation.
TEST_F(TzMsgTest, UpdatesDispatchPaintButNoInputOrTimers) {
    auto other = Make<TForm>(nullptr);
    other->SetBounds(10, 10, 100, 100);
    other->Show();
    int keys = 0, ticks = 0;
    other->OnKeyDown = [&](TObject*, UINT&, TShiftState) { ++keys; };
    auto* timer = new TTimer(other.get());
    timer->SetInterval(10);
    timer->SetOnTimer([&](TObject*) { ++ticks; });
    auto w = ShowProgressWindow("Progress");
    PostMessage(other->Handle(), WM_KEYDOWN, 'A');
    InvalidateRect(other->Handle(), nullptr, true);
    clock_.Advance(20);
    UpdateProgress(w.get());
    EXPECT_EQ(keys, 0);
    EXPECT_EQ(ticks, 0);
    EXPECT_TRUE(GetUpdateRegion(other->Handle()).Empty());
    Pump();
    EXPECT_EQ(keys, 1);
    EXPECT_EQ(ticks, 1);
}

TEST_F(TzMsgTest, FreeingTheWindowClosesIt) {
    auto w = ShowProgressWindow("Progress");
    const HWND h = w->WindowHandle();
    EXPECT_TRUE(IsWindowVisible(h));
    w.reset();
    EXPECT_FALSE(IsWindow(h));
    EXPECT_EQ(Screen().ActiveForm(), nullptr);
}

}  // namespace
}  // namespace zurod
