// The main window's bar of speed buttons for the navigator's actions.
#include <array>

#include "controls/cvspeedbtn.hpp"
#include "examples/main_window_parts.hpp"
#include "resources/resources.hpp"

namespace demo {

namespace {

constexpr int kButtonSize = 25;
// A gap between the moves, the edits and the refresh, as the navigator's buttons group.
constexpr int kGroupGap = 6;

class TSpeedBar;

// Tells the bar of every change the navigator hears of.
class SpeedBarLink final : public db::TDataLink {
public:
    explicit SpeedBarLink(TSpeedBar* bar) : bar_(bar) {}

protected:
    void ActiveChanged() override;
    void DataSetChanged() override;
    void EditingChanged() override;

private:
    TSpeedBar* bar_;
};

class TSpeedBar final : public ui::TPanel {
public:
    TSpeedBar(ui::TForm* window, zurod::TTzNavigator* navigator) : ui::TPanel(window), navigator_(navigator) {
        SetName(kSpeedBarName);
        SetCaption("");
        SetBevelOuter(ui::bvNone);
        SetParent(window);
        SetHeight(kButtonSize + 4);
        SetAlign(ui::alTop);
        navigator_->FreeNotification(this);
        int x = 2;
        for (int i = 0; i < db::kNavButtonCount; ++i) {
            if (i == db::nbInsert || i == db::nbRefresh) x += kGroupGap;
            buttons_[size_t(i)] = Button(db::TNavigateBtn(i), x);
            x += kButtonSize;
        }
        link_.SetDataSource(navigator_->DataSource());
        Follow();
    }
    // Off the data before the buttons go: the link's last word would reach them.
    void BeforeDestruction() override {
        link_.SetDataSource(nullptr);
        ui::TPanel::BeforeDestruction();
    }
    std::string ClassName() const override { return "TSpeedBar"; }

    // Each button enabled as the navigator's is (after the navigator heard of the change).
    void Follow() {
        for (int i = 0; i < db::kNavButtonCount; ++i)
            if (controls::TCvSpeedButton* b = buttons_[size_t(i)])
                b->SetEnabled(navigator_ && navigator_->Button(db::TNavigateBtn(i))->Enabled());
    }

    void Notification(ui::TComponent* component, ui::TOperation op) override {
        ui::TPanel::Notification(component, op);
        if (op == ui::TOperation::opRemove && component == navigator_) {
            navigator_ = nullptr;
            link_.SetDataSource(nullptr);
        }
    }

private:
    controls::TCvSpeedButton* Button(db::TNavigateBtn index, int x) {
        auto* b = new controls::TCvSpeedButton(this);
        b->SetName(resources::kNavigatorGlyphs[size_t(index)]);
        b->SetBounds(x, 2, kButtonSize, kButtonSize);
        b->SetFlat(true);
        ui::TBitmap glyph;
        glyph.LoadFromResourceName(resources::kNavigatorGlyphs[size_t(index)]);
        b->SetGlyph(&glyph);
        b->Hint = navigator_->Button(index)->Hint;
        b->SetShowHint(true);
        // The button's own repeat, as the navigator's prior and next repeat while held.
        b->SetAllowTimer(index == db::nbPrior || index == db::nbNext);
        b->OnClick = [this, index](ui::TObject*) {
            if (navigator_) navigator_->BtnClick(index);
        };
        b->SetParent(this);
        return b;
    }

    zurod::TTzNavigator* navigator_;
    // Empty once freed: a late notice of the data never reaches a freed button.
    std::array<ui::ComponentRef<controls::TCvSpeedButton>, db::kNavButtonCount> buttons_;
    SpeedBarLink link_{this};
};

void SpeedBarLink::ActiveChanged() { bar_->Follow(); }
void SpeedBarLink::DataSetChanged() { bar_->Follow(); }
void SpeedBarLink::EditingChanged() { bar_->Follow(); }

}  // namespace

ui::TPanel* AddSpeedBar(ui::TForm* window, zurod::TTzNavigator* navigator) { return new TSpeedBar(window, navigator); }

}  // namespace demo
