#include "controls/cvhook.hpp"

#include <algorithm>

#include "tests/support/ui_fixture.hpp"

namespace controls {
namespace {

using namespace ui;

constexpr UINT kProbe = WM_APP + 1;

// A form that records the messages its own procedure gets.
struct Watched : TForm {
    using TForm::TForm;
    std::vector<UINT> own;
    void WndProc(TMessage& m) override {
        if (m.Msg == kProbe || m.Msg == WM_DESTROY) own.push_back(m.Msg);
        TForm::WndProc(m);
        if (m.Msg == kProbe) m.Result = 77;
    }
};

class CvHookTest : public testing_ui::UiTest {
protected:
    // A hook that appends "<name>:before" and "<name>:after" and may swallow.
    TCvWindowHook* Hook(TComponent* owner, TWinControl* control, const std::string& name, bool swallow = false) {
        auto* h = new TCvWindowHook(owner);
        h->BeforeMessage = [this, name, swallow](TObject*, TMessage& m, bool& handled) {
            if (m.Msg != kProbe && m.Msg != WM_DESTROY) return;
            trace.push_back(name + ":before");
            if (swallow) handled = true;
        };
        h->AfterMessage = [this, name](TObject*, TMessage& m, bool&) {
            if (m.Msg == kProbe || m.Msg == WM_DESTROY) trace.push_back(name + ":after");
        };
        h->SetWinControl(control);
        return h;
    }
    std::vector<std::string> trace;
};

TEST_F(CvHookTest, LaterHooksSeeMessagesFirstAndAfterPassRunsInTheSameOrder) {
    auto form = Make<Watched>(nullptr);
    Hook(form.get(), form.get(), "first");
    Hook(form.get(), form.get(), "second");
    EXPECT_EQ(SendMessage(form->Handle(), kProbe), 77);
    EXPECT_EQ(trace, (std::vector<std::string>{"second:before", "first:before", "second:after", "first:after"}));
    EXPECT_EQ(form->own, std::vector<UINT>{kProbe});
    ASSERT_NE(HookList(), nullptr);
    EXPECT_EQ(HookList()->Count(), 1);  // one control hook for the two
}

TEST_F(CvHookTest, AHandledMessageIsSwallowedButDestroyStillReachesTheWindow) {
    auto form = Make<Watched>(nullptr);
    Hook(form.get(), form.get(), "first");
    Hook(form.get(), form.get(), "second", true);
    EXPECT_EQ(SendMessage(form->Handle(), kProbe), 0);
    EXPECT_EQ(trace, std::vector<std::string>{"second:before"});
    EXPECT_TRUE(form->own.empty());
    trace.clear();
    DestroyWindow(form->Handle());
    EXPECT_EQ(form->own, std::vector<UINT>{WM_DESTROY});
    // Handled stays set: only the last attached hook's after-handler runs.
    EXPECT_EQ(trace, (std::vector<std::string>{"second:before", "second:after"}));
}

TEST_F(CvHookTest, RecreatedWindowIsHookedAgainOnceThePostedMessageArrives) {
    auto form = Make<Watched>(nullptr);
    Hook(form.get(), form.get(), "h");
    form->RecreateWnd();
    trace.clear();
    SendMessage(form->Handle(), kProbe);
    EXPECT_TRUE(trace.empty());  // not yet
    Pump();
    SendMessage(form->Handle(), kProbe);
    EXPECT_EQ(trace, (std::vector<std::string>{"h:before", "h:after"}));
}

TEST_F(CvHookTest, MovingTheOnlyHookRestoresTheFirstControlAndFreesItsControlHook) {
    auto a = Make<Watched>(nullptr);
    auto b = Make<Watched>(nullptr);
    auto* hook = Hook(nullptr, a.get(), "h");
    const SubclassToken before = TopSubclass(a->Handle());
    EXPECT_NE(before, 0u);
    hook->SetWinControl(b.get());
    EXPECT_EQ(TopSubclass(a->Handle()), 0u);
    EXPECT_EQ(hook->WinControl(), b.get());
    EXPECT_EQ(HookList()->Count(), 2);
    Pump();
    EXPECT_EQ(HookList()->Count(), 1);
    trace.clear();
    SendMessage(b->Handle(), kProbe);
    SendMessage(a->Handle(), kProbe);
    EXPECT_EQ(trace, (std::vector<std::string>{"h:before", "h:after"}));
    Free(hook);
}

TEST_F(CvHookTest, DeactivatingAndReactivatingReusesTheControlHook) {
    auto form = Make<Watched>(nullptr);
    auto* hook = Hook(form.get(), form.get(), "h");
    TControlHook* ch = HookList()->Find(form.get());
    ASSERT_NE(ch, nullptr);
    hook->SetActive(false);
    EXPECT_FALSE(ch->Subclassed());
    Pump();
    EXPECT_EQ(HookList()->Find(form.get()), ch);  // kept for reuse
    hook->SetActive(true);
    EXPECT_EQ(HookList()->Find(form.get()), ch);
    EXPECT_TRUE(ch->Subclassed());
    EXPECT_EQ(hook->WinControl(), form.get());
}

// Hooks and a foreign procedure on one window, taken off in every order,
// with the control and the hooks freed at the end under the sanitizers.
TEST_F(CvHookTest, RemovalInEveryOrderKeepsTheChainWhole) {
    std::vector<int> order = {0, 1, 2, 3};
    do {
        auto form = Make<Watched>(nullptr);
        std::vector<TCvWindowHook*> hooks = {Hook(nullptr, form.get(), "a")};
        int foreign_calls = 0;
        const SubclassToken foreign =
            SubclassWindow(form->Handle(), [&](HWND h, UINT m, WPARAM w, LPARAM l, const NextProc& next) {
                if (m == kProbe) ++foreign_calls;
                return next(h, m, w, l);
            });
        // Two more hooks join the control hook that now lies under the foreign procedure.
        hooks.push_back(Hook(nullptr, form.get(), "b"));
        hooks.push_back(Hook(nullptr, form.get(), "c"));
        bool foreign_on = true;
        for (int k : order) {
            if (k == 3) {
                EXPECT_TRUE(RemoveSubclass(form->Handle(), foreign));
                foreign_on = false;
            } else {
                Free(std::exchange(hooks[size_t(k)], nullptr));
            }
            trace.clear();
            foreign_calls = 0;
            EXPECT_EQ(SendMessage(form->Handle(), kProbe), 77);
            EXPECT_EQ(foreign_calls, foreign_on ? 1 : 0);
            const size_t live = size_t(std::count_if(hooks.begin(), hooks.end(), [](auto* h) { return h; }));
            EXPECT_EQ(trace.size(), 2 * live);
        }
        Pump();
        EXPECT_EQ(TopSubclass(form->Handle()), 0u);
        form.reset();
        Pump();
    } while (std::next_permutation(order.begin(), order.end()));
}

TEST_F(CvHookTest, FreeingTheWatchedControlLetsGoOfIt) {
    auto owner = Make<TComponent>(nullptr);
    auto* hook = Hook(owner.get(), nullptr, "h");
    auto form = Make<Watched>(nullptr);
    hook->SetWinControl(form.get());
    form.reset();
    EXPECT_EQ(hook->WinControl(), nullptr);
    EXPECT_TRUE(hook->Active());
    Pump();
    EXPECT_EQ(HookList()->Count(), 0);
    // A new control at any address starts clean.
    auto other = Make<Watched>(nullptr);
    hook->SetWinControl(other.get());
    trace.clear();
    SendMessage(other->Handle(), kProbe);
    EXPECT_EQ(trace.size(), 2u);
}

TEST_F(CvHookTest, ControlsInDesignModeAreNotSubclassed) {
    auto form = Make<Watched>(nullptr);
    form->Handle();
    form->SetDesigning(true);
    Hook(nullptr, form.get(), "h");
    EXPECT_EQ(TopSubclass(form->Handle()), 0u);
    for (auto* h : HookList()->Find(form.get())->Hooks()) Free(h);
}

TEST_F(CvHookTest, LayoutWritesIsFormForTheOwnerFormOnly) {
    auto form = Make<Watched>(nullptr);
    auto* hook = Hook(form.get(), form.get(), "h");
    EXPECT_FALSE(hook->WinControlStored());
    TPropertyWriter writer;
    hook->DefineProperties(writer);
    ASSERT_TRUE(writer.values.count("IsForm"));
    EXPECT_EQ(std::get<bool>(writer.values["IsForm"]), true);
    // The same value as the inherited layout: nothing to write.
    auto base = Make<Watched>(nullptr);
    auto* base_hook = Hook(base.get(), base.get(), "b");
    TPropertyWriter inherited;
    inherited.ancestor = base_hook;
    hook->DefineProperties(inherited);
    EXPECT_FALSE(inherited.values.count("IsForm"));
    // Reading it back points a fresh hook at its owner form.
    auto* fresh = new TCvWindowHook(form.get());
    TPropertyReader reader({{"IsForm", PropertyValue(true)}});
    fresh->DefineProperties(reader);
    EXPECT_EQ(fresh->WinControl(), form.get());
    auto* panel = new TPanel(form.get());
    panel->SetParent(form.get());
    fresh->SetWinControl(panel);
    EXPECT_TRUE(fresh->WinControlStored());
    TPropertyWriter panel_writer;
    fresh->DefineProperties(panel_writer);
    EXPECT_FALSE(panel_writer.values.count("IsForm"));
}

}  // namespace
}  // namespace controls
