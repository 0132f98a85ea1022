// Painting and the screen: every window that is due paints, then each
// top-level window is presented once with only its damage; invalidations
// made during a paint bring another paint; a window never paints inside its
// own paint.
#include "framework/ui/forms.hpp"
#include "platform/events.hpp"
#include "tests/support/ui_fixture.hpp"

namespace ui {
namespace {

class PaintTest : public testing_ui::UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        InstallDisplay(&display_);
    }
    void TearDown() override {
        InstallDisplay(nullptr);
        UiTest::TearDown();
    }
    // A borderless form at (0, 0) with `n` panels in a row, shown and painted.
    Owned<TForm> FormWithPanels(int n, std::vector<TPanel*>& panels) {
        auto f = Make<TForm>(nullptr);
        f->SetBorderStyle(bsNone);
        f->SetBounds(0, 0, 20 * n + 10, 40);
        for (int i = 0; i < n; ++i) {
            auto* p = new TPanel(f.get());
            p->SetBounds(5 + 20 * i, 5, 18, 30);
            p->SetParent(f.get());
            panels.push_back(p);
        }
        f->Show();
        Pump();
        display_.presents.clear();
        return f;
    }
    testing_ui::RecordingDisplay display_;
};

TEST_F(PaintTest, EveryChildPaintsThenTheWindowIsPresentedOnceWithItsDamage) {
    std::vector<TPanel*> panels;
    auto f = FormWithPanels(20, panels);
    struct Case {
        const char* name;
        std::vector<int> repainted;
    };
    const Case cases[] = {{"all twenty", {}}, {"one", {7}}, {"two apart", {2, 15}}};
    for (const Case& c : cases) {
        std::vector<int> which = c.repainted;
        if (which.empty())
            for (int i = 0; i < 20; ++i) which.push_back(i);
        Region want;
        for (int i : which) {
            panels[size_t(i)]->Invalidate();
            want.Add(panels[size_t(i)]->BoundsRect());
        }
        Pump();
        ASSERT_EQ(display_.presents.size(), 1u) << c.name;
        EXPECT_EQ(display_.presents[0].hwnd, f->WindowHandle()) << c.name;
        EXPECT_EQ(display_.presents[0].damaged, want) << c.name;
        display_.presents.clear();
        Pump();  // nothing new: nothing presented
        EXPECT_TRUE(display_.presents.empty()) << c.name;
    }
}

TEST_F(PaintTest, AWindowInTheMiddleOfItsPaintIsNotPresented) {
    std::vector<TPanel*> panels;
    auto f = FormWithPanels(2, panels);
    size_t presented_inside = 99;
    f->OnPaint = [&](TObject*) {
        // The engine pumps paint messages while it waits; the other panel paints.
        panels[1]->Invalidate();
        platform::ProcessPendingEvents(platform::EventFilter::Paint);
        presented_inside = display_.presents.size();
    };
    f->Invalidate();
    Pump();
    EXPECT_EQ(presented_inside, 0u);
    ASSERT_EQ(display_.presents.size(), 1u);
    EXPECT_EQ(display_.presents[0].damaged.Bounds(), (TRect{0, 0, f->Width(), f->Height()}));
}

TEST_F(PaintTest, ANewScreenWindowIsPresentedWhole) {
    RegisterWindowClass({"Silent",
                         [](HWND h, UINT m, WPARAM w, LPARAM l, const NextProc& next) -> LRESULT {
                             return m == WM_PAINT ? 0 : next(h, m, w, l);  // paints nothing at all
                         },
                         0, std::nullopt});
    const HWND h = CreateWindow({"Silent", "", WS_POPUP | WS_VISIBLE, 0, {10, 10, 50, 30}, 0, 0, 0});
    Pump();
    ASSERT_EQ(display_.presents.size(), 1u);
    EXPECT_EQ(display_.presents[0].damaged, Region({0, 0, 40, 20}));
    display_.presents.clear();
    MoveWindow(h, 10, 10, 60, 30);
    Pump();
    ASSERT_EQ(display_.presents.size(), 1u);
    EXPECT_EQ(display_.presents[0].damaged, Region({0, 0, 60, 30}));
}

// A window procedure that paints, counts, and does `during` inside its paint.
class Painter {
public:
    explicit Painter(std::function<void(HWND, int paints)> during) : during_(std::move(during)) {
        RegisterWindowClass({"Painter",
                             [this](HWND h, UINT m, WPARAM w, LPARAM l, const NextProc& next) -> LRESULT {
                                 if (m != WM_PAINT) return next(h, m, w, l);
                                 ++depth_;
                                 max_depth_ = std::max(max_depth_, depth_);
                                 PAINTSTRUCT ps;
                                 EndPaint(h, BeginPaint(h, ps));
                                 during_(h, ++paints_);
                                 --depth_;
                                 return 0;
                             },
                             0, clWhite});
        hwnd = CreateWindow({"Painter", "", WS_POPUP | WS_VISIBLE, 0, {0, 0, 30, 30}, 0, 0, 0});
    }
    HWND hwnd = 0;
    int paints() const { return paints_; }
    int max_depth() const { return max_depth_; }

private:
    std::function<void(HWND, int)> during_;
    int paints_ = 0, depth_ = 0, max_depth_ = 0;
};

TEST_F(PaintTest, AnInvalidationMadeWhileAWindowPaintsBringsAnotherPaint) {
    const TRect corner{0, 0, 5, 5};
    struct Case {
        const char* name;
        std::function<void(HWND)> run;  // brings the first paint
    };
    const Case cases[] = {
        {"from the queue",
         [](HWND) {
             MSG m;
             ASSERT_TRUE(PeekMessage(m, 0, 0, 0, PM_REMOVE));
             DispatchMessage(m);
         }},
        {"by UpdateWindow", [](HWND h) { UpdateWindow(h); }},
    };
    for (const Case& c : cases) {
        Painter p([&](HWND h, int paints) {
            if (paints == 1) InvalidateRect(h, &corner, false);
        });
        c.run(p.hwnd);
        EXPECT_EQ(GetUpdateRegion(p.hwnd), Region(corner)) << c.name;
        Pump();
        EXPECT_EQ(p.paints(), 2) << c.name;
        EXPECT_TRUE(GetUpdateRegion(p.hwnd).Empty()) << c.name;
        DestroyWindow(p.hwnd);
    }
}

TEST_F(PaintTest, AWindowNeverPaintsInsideItsOwnPaint) {
    // Each paint asks for the next and pumps paint messages, as a busy engine does.
    Painter p([](HWND h, int paints) {
        if (paints >= 5) return;
        InvalidateRect(h, nullptr, false);
        UpdateWindow(h);
        platform::ProcessPendingEvents(platform::EventFilter::Paint);
    });
    Pump();
    EXPECT_EQ(p.max_depth(), 1);
    EXPECT_EQ(p.paints(), 5);  // each asked-for paint came, one after the other
}

}  // namespace
}  // namespace ui
