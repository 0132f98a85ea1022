// How a component ends (Free, its owner, its owning pointer, a delete in a
// component) and the references that empty themselves when it does.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
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
    // A component may end another with a plain delete; it ends as by Free.
    void Delete(TComponent* c) { delete c; }
    int* ends_;
};

TEST(ComponentEndTest, EveryWayRunsTheClassOwnEndOnce) {
    struct Case {
        const char* what;
        std::function<void(Owned<Probe>& owner, Probe* child)> end;
    } cases[] = {
        {"Free", [](Owned<Probe>&, Probe* c) { Free(c); }},
        {"its owner freed", [](Owned<Probe>& o, Probe*) { o.reset(); }},
        {"its owner's DestroyComponents", [](Owned<Probe>& o, Probe*) { o->DestroyComponents(); }},
        {"a delete in another component", [](Owned<Probe>& o, Probe* c) { o->Delete(c); }},
        {"Free after a run of its own end",
         [](Owned<Probe>&, Probe* c) {
             c->BeforeDestruction();
             Free(c);
         }},
    };
    for (const Case& c : cases) {
        int ends = 0;
        auto owner = Make<Probe>(nullptr);
        auto* child = new Probe(owner.get(), &ends);
        c.end(owner, child);
        EXPECT_EQ(ends, 1) << c.what;
        if (owner) {
            EXPECT_EQ(owner->ComponentCount(), 0) << c.what;
        }
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
    EXPECT_DEATH(
        {
            Probe on_stack(nullptr);
            on_stack.SetName("on_stack");
        },
        "A component \\(on_stack\\) was ended without Free");
}
#endif

// ---------------------------------------------------------------- references

TEST(ComponentRefTest, EmptiesWhenItsComponentEnds) {
    struct Case {
        const char* what;
        std::function<void(Owned<Probe>& owner, Probe* child)> end;
    } cases[] = {
        {"Free", [](Owned<Probe>&, Probe* c) { Free(c); }},
        {"its owner freed", [](Owned<Probe>& o, Probe*) { o.reset(); }},
        {"a delete in another component", [](Owned<Probe>& o, Probe* c) { o->Delete(c); }},
    };
    for (const Case& c : cases) {
        auto owner = Make<Probe>(nullptr);
        auto* child = new Probe(owner.get());
        auto* sibling = new Probe(owner.get());
        ComponentRef<Probe> ref = child;
        ComponentRef<TComponent> as_base = child;
        ComponentRef<Probe> copy = ref;
        ComponentRef<Probe> other = sibling;
        // References moved around by a growing vector keep tracking.
        std::vector<ComponentRef<Probe>> many;
        for (int i = 0; i < 50; ++i) many.push_back(i % 2 ? child : sibling);
        EXPECT_EQ(ref.get(), child) << c.what;
        EXPECT_EQ(as_base.get(), child) << c.what;
        c.end(owner, child);
        EXPECT_EQ(ref.get(), nullptr) << c.what;
        EXPECT_EQ(as_base.get(), nullptr) << c.what;
        EXPECT_EQ(copy.get(), nullptr) << c.what;
        for (size_t i = 0; i < many.size(); ++i) {
            const bool was_child = i % 2 != 0;
            EXPECT_EQ(many[i].get(), was_child || !owner ? nullptr : sibling) << c.what << " #" << i;
        }
        EXPECT_EQ(other.get(), owner ? sibling : nullptr) << c.what;
    }
}

TEST(ComponentRefTest, CopiesMovesAndAssignmentsTrackOnTheirOwn) {
    // Each step leaves `a` and `b`; then `x` is freed and `y` lives on.
    struct Case {
        const char* what;
        std::function<void(ComponentRef<Probe>& a, ComponentRef<Probe>& b, Probe* x, Probe* y)> step;
        bool a_on_y, b_on_y;  // else empty after x is freed
    } cases[] = {
        {"copy assigned", [](auto& a, auto& b, Probe* x, Probe*) { a = x, b = a; }, false, false},
        {"move assigned: the source empties",
         [](auto& a, auto& b, Probe* x, Probe*) {
             a = x;
             b = std::move(a);
             EXPECT_EQ(a.get(), nullptr);
         },
         false, false},
        {"moved onto one on another component",
         [](auto& a, auto& b, Probe* x, Probe* y) {
             a = y, b = x;
             b = std::move(a);
             a = x;
         },
         false, true},
        {"assigned to itself",
         [](auto& a, auto& b, Probe*, Probe* y) {
             a = y, b = y;
             auto& same = a;
             a = same;
             b = std::move(b);
         },
         true, true},
        {"from x to y", [](auto& a, auto& b, Probe* x, Probe* y) { a = x, b = x, a = y, b = y; }, true, true},
        {"emptied by hand", [](auto& a, auto& b, Probe*, Probe* y) { a = y, b = y, a = nullptr; }, false, true},
        {"copy and move constructed",
         [](auto& a, auto& b, Probe* x, Probe* y) {
             ComponentRef<Probe> on_x(x), on_y(y);
             ComponentRef<Probe> copied(on_y), moved(std::move(on_x));
             EXPECT_EQ(on_x.get(), nullptr);
             a = copied, b = moved;
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

TEST(ComponentRefTest, ReferencesEndingBeforeOrAfterTheirComponent) {
    struct Case {
        const char* what;
        std::vector<int> dropped;  // of ten references, those gone before the component
    } cases[] = {
        {"none", {}},
        {"the first taken", {0}},
        {"the last taken", {9}},
        {"some in the middle", {3, 4, 7}},
        {"all", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
    };
    for (const Case& c : cases) {
        auto owner = Make<Probe>(nullptr);
        auto* target = new Probe(owner.get());
        std::vector<std::unique_ptr<ComponentRef<Probe>>> refs;
        for (int i = 0; i < 10; ++i) refs.push_back(std::make_unique<ComponentRef<Probe>>(target));
        for (int i : c.dropped) refs[size_t(i)].reset();
        owner.reset();  // the rest outlive it
        for (size_t i = 0; i < refs.size(); ++i)
            if (refs[i]) {
                EXPECT_EQ(refs[i]->get(), nullptr) << c.what << " #" << i;
            }
    }
}

TEST(ComponentRefTest, AComponentPastItsEndIsNotTaken) {
    struct Late : TComponent {
        Late(ComponentRef<TComponent>& r, TComponent*& s) : TComponent(nullptr), ref(r), seen(s) {}
        ComponentRef<TComponent>& ref;
        TComponent*& seen;
        void BeforeDestruction() override {
            ref = this;  // still whole here: tracked
            seen = ref.get();
            TComponent::BeforeDestruction();
            ref = this;  // past its end: stays empty
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

// ---------------------------------------------------------------- the library's references

class LibraryRefTest : public testing_ui::UiTest {};

TEST_F(LibraryRefTest, EmptiedWhenTheComponentIsFreedWhereverItIsOwned) {
    using Reader = std::function<TComponent*()>;
    struct Link {
        const char* what;
        // A holder under `holder_owner` pointing at `target`; reads the holder's pointer.
        std::function<Reader(TComponent* holder_owner, TComponent* target)> make;
        std::function<TComponent*(TComponent* owner)> target;
    };
    auto control = [](TComponent* owner) -> TComponent* { return new TPanel(owner); };
    auto popup = [](TComponent* owner) -> TComponent* { return new TPopupMenu(owner); };
    const Link links[] = {
        {"a control's popup menu",
         [](TComponent* o, TComponent* t) -> Reader {
             auto* c = new TPanel(o);
             c->SetPopupMenu(static_cast<TPopupMenu*>(t));
             return [c] { return c->PopupMenu(); };
         },
         popup},
        {"a popup menu's popup component",
         [](TComponent* o, TComponent* t) -> Reader {
             auto* m = new TPopupMenu(o);
             m->SetPopupComponent(t);
             return [m] { return m->PopupComponent(); };
         },
         control},
        {"a drop-down's button",
         [](TComponent* o, TComponent* t) -> Reader {
             auto* d = new TDropDownWindow(o, nullptr);
             d->DropButton = static_cast<TControl*>(t);
             return [d]() -> TComponent* { return d->DropButton; };
         },
         control},
        {"a form frame's active control",
         [](TComponent* o, TComponent* t) -> Reader {
             auto* f = new TOleFormFrame(new TForm(o));
             f->SetActiveOleControl(static_cast<TWinControl*>(t));
             return [f] { return f->ActiveOleControl(); };
         },
         control},
    };
    struct Place {
        const char* what;
        bool same_owner, owned;
        bool freed;  // else only moved to another owner, and still held
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
            const Reader read = link.make(left.get(), target);
            ASSERT_EQ(read(), target) << link.what << ", " << place.what;
            if (place.freed) {
                Free(target);
                EXPECT_EQ(read(), nullptr) << link.what << ", " << place.what;
            } else {
                right->InsertComponent(target);
                EXPECT_EQ(read(), target) << link.what << ", " << place.what;
            }
        }
    }
}

}  // namespace
}  // namespace ui
