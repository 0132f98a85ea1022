// How a component ends (Free, its owner, its owning pointer, a delete in a
// component) and the references that empty themselves when it does.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

#include "framework/ui/classes.hpp"
#include "framework/ui/dropdown.hpp"
#include "framework/ui/menus.hpp"
#include "framework/ui/ole_frame.hpp"
#include "tests/support/ui_fixture.hpp"

namespace ui {
namespace {

// Counts the runs of its own end.
struct Probe : TComponent {
    Probe(TComponent* owner, int* ends = nullptr) : TComponent(owner), ends_(ends) {}
    void BeforeDestruction() override {
        if (ends_) ++*ends_;
        TComponent::BeforeDestruction();
    }
    void Delete(TComponent* c) { delete c; }  // a component may; it ends as by Free
    int* ends_;
};

TEST(ComponentEndTest, EveryWayRunsTheClassOwnEndOnceAndEmptiesTheReferences) {
    struct Case {
        const char* what;
        std::function<void(Owned<Probe>& owner, Probe* child)> end;
    } cases[] = {
        {"Free", [](Owned<Probe>&, Probe* c) { Free(c); }},
        {"its owner's owning pointer", [](Owned<Probe>& o, Probe*) { o.reset(); }},
        {"its owner's DestroyComponents", [](Owned<Probe>& o, Probe*) { o->DestroyComponents(); }},
        {"a delete in another component", [](Owned<Probe>& o, Probe* c) { o->Delete(c); }},
        {"Free after a run of its own end", [](Owned<Probe>&, Probe* c) { c->BeforeDestruction(), Free(c); }},
    };
    for (const Case& c : cases) {
        int ends = 0;
        auto owner = Make<Probe>(nullptr);
        auto* child = new Probe(owner.get(), &ends);
        ComponentRef<Probe> ref = child;
        ComponentRef<TComponent> as_base = child;
        // Many references, moved about by a growing vector, some dropped before the end.
        std::vector<ComponentRef<Probe>> many(40, ref);
        many.erase(many.begin() + 10, many.begin() + 13);
        many.pop_back();
        auto early = std::make_unique<ComponentRef<Probe>>(child);
        early.reset();
        c.end(owner, child);
        EXPECT_EQ(ends, 1) << c.what;
        EXPECT_EQ(ref.get(), nullptr) << c.what;
        EXPECT_EQ(as_base.get(), nullptr) << c.what;
        for (const auto& r : many) EXPECT_EQ(r.get(), nullptr) << c.what;
    }
}

TEST(ComponentEndTest, AConstructorThatThrowsLeavesTheOwner) {
    struct Failing : TComponent {
        explicit Failing(TComponent* owner) : TComponent(owner) { throw std::runtime_error("no"); }
    };
    auto owner = Make<Probe>(nullptr);
    EXPECT_THROW(new Failing(owner.get()), std::runtime_error);
    EXPECT_EQ(owner->ComponentCount(), 0);
}

#ifndef NDEBUG
TEST(ComponentEndDeathTest, AComponentEndedWithoutFreeStopsTheDebugBuild) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(Probe(nullptr).SetName("temporary"), "A component \\(temporary\\) was ended without Free");
}
#endif

TEST(ComponentRefTest, CopiesMovesAndAssignmentsTrackOnTheirOwn) {
    // Each step leaves `a` and `b`; then `x` is freed while `y` lives on.
    struct Case {
        const char* what;
        std::function<void(ComponentRef<Probe>& a, ComponentRef<Probe>& b, Probe* x, Probe* y)> step;
        bool a_on_y, b_on_y;  // else empty once x is freed
    } cases[] = {
        {"copy assigned", [](auto& a, auto& b, Probe* x, Probe*) { a = x, b = a; }, false, false},
        {"move assigned, the source empty", [](auto& a, auto& b, Probe* x, Probe*) { a = x, b = std::move(a); }, false,
         false},
        {"moved onto one on another component",
         [](auto& a, auto& b, Probe* x, Probe* y) { a = y, b = x, b = std::move(a), a = x; }, false, true},
        {"assigned to itself",
         [](auto& a, auto& b, Probe*, Probe* y) {
             a = y, b = y;
             auto &same_a = a, &same_b = b;
             a = same_a, b = std::move(same_b);
         },
         true, true},
        {"from x to y", [](auto& a, auto& b, Probe* x, Probe* y) { a = x, b = x, a = y, b = y; }, true, true},
        {"emptied by hand", [](auto& a, auto& b, Probe*, Probe* y) { a = y, b = y, a = nullptr; }, false, true},
        {"copy and move constructed",
         [](auto& a, auto& b, Probe* x, Probe* y) {
             ComponentRef<Probe> on_x(x), on_y(y);
             ComponentRef<Probe> copied(on_y), moved(std::move(on_x));
             a = copied, b = moved;
             EXPECT_EQ(on_x.get(), nullptr);
         },
         true, false},
    };
    for (const Case& c : cases) {
        auto x = Make<Probe>(nullptr), y = Make<Probe>(nullptr);
        ComponentRef<Probe> a, b;
        c.step(a, b, x.get(), y.get());
        x.reset();
        EXPECT_EQ(a.get(), c.a_on_y ? y.get() : nullptr) << c.what;
        EXPECT_EQ(b.get(), c.b_on_y ? y.get() : nullptr) << c.what;
        y.reset();
        EXPECT_EQ(a.get(), nullptr) << c.what;
        EXPECT_EQ(b.get(), nullptr) << c.what;
    }
}

TEST(ComponentRefTest, AComponentWhoseEndHasBegunIsNotTaken) {
    struct Late : TComponent {
        Late(ComponentRef<TComponent>& r, TComponent*& s) : TComponent(nullptr), ref(r), seen(s) {}
        ComponentRef<TComponent>& ref;
        TComponent*& seen;
        void BeforeDestruction() override {
            ref = this;  // still whole: tracked
            seen = ref.get();
            TComponent::BeforeDestruction();
            ref = this;  // its end has begun: stays empty
        }
    };
    ComponentRef<TComponent> ref;
    TComponent* seen = nullptr;
    auto late = Make<Late>(ref, seen);
    const TComponent* raw = late.get();
    late.reset();
    EXPECT_EQ(seen, raw);
    EXPECT_EQ(ref.get(), nullptr);
}

// The library's own references, whoever owns the component they hold.
class LibraryRefTest : public testing_ui::UiTest {};

TEST_F(LibraryRefTest, EmptiedWhenTheComponentIsFreedNotWhenItMoves) {
    using Reader = std::function<TComponent*()>;
    struct Link {
        const char* what;
        std::function<TComponent*(TComponent* owner)> target;
        // A holder under `owner` pointing at `target`, and a reader of its pointer.
        std::function<Reader(TComponent* owner, TComponent* target)> hold;
    };
    auto control = [](TComponent* owner) -> TComponent* { return new TPanel(owner); };
    const Link links[] = {
        {"a control's popup menu", [](TComponent* o) -> TComponent* { return new TPopupMenu(o); },
         [](TComponent* o, TComponent* t) -> Reader {
             auto* c = new TPanel(o);
             c->SetPopupMenu(static_cast<TPopupMenu*>(t));
             return [c] { return c->PopupMenu(); };
         }},
        {"a popup menu's popup component", control,
         [](TComponent* o, TComponent* t) -> Reader {
             auto* m = new TPopupMenu(o);
             m->SetPopupComponent(t);
             return [m] { return m->PopupComponent(); };
         }},
        {"a drop-down's button", control,
         [](TComponent* o, TComponent* t) -> Reader {
             auto* d = new TDropDownWindow(o, nullptr);
             d->DropButton = static_cast<TControl*>(t);
             return [d]() -> TComponent* { return d->DropButton; };
         }},
        {"a form frame's active control", control,
         [](TComponent* o, TComponent* t) -> Reader {
             auto* f = new TOleFormFrame(new TForm(o));
             f->SetActiveOleControl(static_cast<TWinControl*>(t));
             return [f] { return f->ActiveOleControl(); };
         }},
    };
    struct Place {
        const char* what;
        bool same_owner, owned, freed;  // else moved to the other owner and still held
    } places[] = {
        {"siblings", true, true, true},
        {"owned apart", false, true, true},
        {"the target unowned", false, false, true},
        {"a sibling moved to another owner", true, true, false},
    };
    for (const Link& link : links) {
        for (const Place& place : places) {
            auto left = Make<TForm>(nullptr), right = Make<TForm>(nullptr);
            TComponent* target = link.target(!place.owned ? nullptr : place.same_owner ? left.get() : right.get());
            const Reader read = link.hold(left.get(), target);
            ASSERT_EQ(read(), target) << link.what << ", " << place.what;
            if (place.freed)
                Free(target);
            else
                right->InsertComponent(target);
            EXPECT_EQ(read(), place.freed ? nullptr : target) << link.what << ", " << place.what;
        }
    }
}

}  // namespace
}  // namespace ui
