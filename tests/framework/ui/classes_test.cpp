#include <gtest/gtest.h>

#include "framework/ui/classes.hpp"
#include "framework/ui/forms.hpp"
#include "tests/support/ui_fixture.hpp"

namespace ui {
namespace {

struct Watcher : TComponent {
    using TComponent::TComponent;
    std::vector<TComponent*> removed;
    void Notification(TComponent* c, TOperation op) override {
        TComponent::Notification(c, op);
        if (op == TOperation::opRemove) removed.push_back(c);
    }
};

TEST(ComponentTest, OwnersFreeWhatTheyOwnAndEveryoneHears) {
    auto owner = Make<Watcher>(nullptr);
    auto* a = new Watcher(owner.get());
    auto* b = new Watcher(owner.get());
    auto outsider = Make<Watcher>(nullptr);
    a->FreeNotification(outsider.get());
    Free(a);
    // The owner, its other components and the free-notified outsider are told.
    EXPECT_EQ(owner->removed, std::vector<TComponent*>{a});
    EXPECT_EQ(b->removed, std::vector<TComponent*>{a});
    EXPECT_EQ(outsider->removed, std::vector<TComponent*>{a});
    EXPECT_EQ(owner->ComponentCount(), 1);
    // Freeing the outsider first leaves nothing dangling on the other side.
    b->FreeNotification(outsider.get());
    outsider.reset();
    Free(b);
    EXPECT_EQ(owner->ComponentCount(), 0);
}

TEST(ComponentTest, DestroyingAndLoadingFlags) {
    struct Probe : TComponent {
        using TComponent::TComponent;
        unsigned seen = 0;
        int loaded = 0;
        void BeforeDestruction() override {
            seen = State();
            TComponent::BeforeDestruction();
        }
        void Loaded() override {
            ++loaded;
            TComponent::Loaded();
        }
    };
    auto owner = Make<Probe>(nullptr);
    auto* child = new Probe(owner.get());
    owner->BeginLoading();
    EXPECT_TRUE(child->Has(csLoading));
    owner->EndLoading();
    EXPECT_FALSE(child->Has(csLoading));
    EXPECT_EQ(child->loaded, 1);
    bool flagged = false;
    struct Spy : TComponent {
        Spy(TComponent* o, bool& f) : TComponent(o), flag(f) {}
        bool& flag;
        void BeforeDestruction() override {
            flag = Has(csDestroying);  // set by the owner before any of its components goes
            TComponent::BeforeDestruction();
        }
    };
    new Spy(owner.get(), flagged);
    owner.reset();
    EXPECT_TRUE(flagged);
}

TEST(StringListTest, UpdateLockingFoldsChangesIntoOne) {
    TStringList list;
    int changes = 0, changing = 0;
    list.OnChange = [&](TObject*) { ++changes; };
    list.OnChanging = [&](TObject*) { ++changing; };
    list.Add("a");
    EXPECT_EQ(changes, 1);
    list.BeginUpdate();
    list.Add("b");
    list.BeginUpdate();
    list.Delete(0);
    list.EndUpdate();
    EXPECT_EQ(changes, 1);
    list.EndUpdate();
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(changing, 2);
    list.SetText("x\r\ny\nz");
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(list.IndexOf("Y"), 1);
    EXPECT_EQ(list.Text(), "x\r\ny\r\nz\r\n");
    EXPECT_THROW(list.Get(3), EListError);
    EXPECT_THROW(list.Insert(5, "q"), EListError);
    EXPECT_THROW(list.Delete(-1), EListError);
}

struct Item : TCollectionItem {
    using TCollectionItem::TCollectionItem;
    int value = 0;
    void Set(int v) {
        value = v;
        Changed(false);
    }
    void Assign(TPersistent* s) override {
        if (auto* i = dynamic_cast<Item*>(s)) {
            value = i->value;
            return;
        }
        TCollectionItem::Assign(s);
    }
};

struct ItemList : TCollection {
    ItemList() : TCollection([](TCollection* c) { return std::make_unique<Item>(c); }) {}
    std::vector<TCollectionItem*> updates;
    void Update(TCollectionItem* item) override { updates.push_back(item); }
};

TEST(CollectionTest, UpdatesAndMoves) {
    ItemList items;
    auto* a = static_cast<Item*>(items.Add());
    auto* b = static_cast<Item*>(items.Add());
    items.updates.clear();
    a->Set(5);
    EXPECT_EQ(items.updates, std::vector<TCollectionItem*>{a});
    items.BeginUpdate();
    a->Set(6);
    b->Set(7);
    items.Add();
    EXPECT_EQ(items.updates.size(), 1u);
    items.EndUpdate();
    EXPECT_EQ(items.updates.back(), nullptr);
    b->SetIndex(0);
    EXPECT_EQ(items.Items(0), b);
    EXPECT_EQ(a->Index(), 1);
    EXPECT_THROW(items.Items(3), EListError);
    ItemList copy;
    copy.Assign(&items);
    ASSERT_EQ(copy.Count(), 3);
    EXPECT_EQ(static_cast<Item*>(copy.Items(0))->value, 7);
    TStringList strings;
    try {
        copy.Assign(&strings);
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "Cannot assign a TStringList to a TCollection");
    }
}

TEST(ColorTest, NamesNumbersAndSystemColours) {
    EXPECT_EQ(StringToColor("clRed"), clRed);
    EXPECT_EQ(StringToColor("clbtnface"), clBtnFace);
    EXPECT_EQ(StringToColor("$00FF00"), 0x00FF00);
    EXPECT_EQ(StringToColor("255"), 255);
    EXPECT_THROW(StringToColor("reddish"), EConvertError);
    EXPECT_THROW(StringToColor(""), EConvertError);
    EXPECT_EQ(ColorToRGB(clBtnFace), GetSysColor(COLOR_BTNFACE));
    SetSysColor(COLOR_BTNFACE, RGB(1, 2, 3));
    EXPECT_EQ(ColorToRGB(clBtnFace), RGB(1, 2, 3));
    UiReset();
    EXPECT_EQ(GetSysColor(999), 0u);
    EXPECT_EQ(GetSystemMetrics(-4), 0);
}

// ---------------------------------------------------------------- bitmaps and image lists

TEST(BitmapTest, MonochromeAndTransparentColour) {
    TBitmap b;
    b.SetSize(3, 2);
    b.Canvas()->Brush()->SetColor(clWhite);
    b.Canvas()->FillRect({0, 0, 3, 2});
    b.Canvas()->SetPixel(0, 1, clRed);
    b.Canvas()->SetPixel(2, 0, clRed);
    EXPECT_EQ(b.TransparentColor(), TColor(clRed | 0x02000000));  // bottom-left
    b.Canvas()->Brush()->SetColor(clRed);
    b.SetMonochrome(true);
    EXPECT_TRUE(b.Monochrome());
    EXPECT_EQ(b.Handle()->Pixel(0, 1), 0xFFFFFFu);  // the brush colour turned white
    EXPECT_EQ(b.Handle()->Pixel(1, 1), 0u);
    EXPECT_EQ(b.TransparentColor(), TColor(clWhite | 0x02000000));
    EXPECT_THROW(b.SetSize(1 << 20, 1 << 20), EOutOfResources);
    EXPECT_EQ(b.Width(), 3);  // untouched by the refused size
    b.SetSize(-1, 5);
    EXPECT_TRUE(b.Empty());
}

TEST(ImageListTest, MasksDrawingAndBadIndexes) {
    const auto owned_list = ui::Make<TImageList>(nullptr, 2, 1);
    TImageList& list = *owned_list;
    TBitmap strip;
    strip.SetSize(4, 1);
    strip.Canvas()->SetPixel(0, 0, clFuchsia);
    strip.Canvas()->SetPixel(1, 0, clBlue);
    strip.Canvas()->SetPixel(2, 0, clGreen);
    strip.Canvas()->SetPixel(3, 0, clFuchsia);
    EXPECT_EQ(list.AddMasked(&strip, clFuchsia), 0);
    EXPECT_EQ(list.Count(), 2);
    TBitmap target;
    target.SetSize(4, 1);
    target.Canvas()->Brush()->SetColor(clYellow);
    target.Canvas()->FillRect({0, 0, 4, 1});
    list.Draw(target.Canvas(), 0, 0, 0);
    list.Draw(target.Canvas(), 2, 0, 1);
    list.Draw(target.Canvas(), 0, 0, 7);   // nothing
    list.Draw(target.Canvas(), 0, 0, -1);  // nothing
    const COLORREF want[] = {ColorToRGB(clYellow), ColorToRGB(clBlue), ColorToRGB(clGreen), ColorToRGB(clYellow)};
    for (int x = 0; x < 4; ++x) EXPECT_EQ(target.Handle()->Pixel(x, 0), want[x]) << x;
    DC mask_dc(Surface::Create(2, 1, PixelFormat::Color32));
    list.DrawEx(mask_dc, 0, 0, 1, ILD_MASK);
    EXPECT_EQ(mask_dc.Target()->Pixel(0, 0), 0u);         // opaque: black
    EXPECT_EQ(mask_dc.Target()->Pixel(1, 0), 0xFFFFFFu);  // transparent: white
    EXPECT_THROW(list.Replace(5, &strip, nullptr), EInvalidOperation);
    EXPECT_THROW(list.Delete(2), EInvalidOperation);
    TBitmap out;
    EXPECT_FALSE(list.GetBitmap(9, &out));
    TBitmap empty;
    EXPECT_EQ(list.Add(&empty, nullptr), -1);
}

}  // namespace
}  // namespace ui
