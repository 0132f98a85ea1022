#pragma once
// The data navigator: a bar of ten buttons (first, prior, next, last,
// insert, delete, edit, post, cancel, refresh) bound to a data source. The
// buttons are enabled as the dataset allows, prior and next repeat while
// held, and each press runs the dataset's operation (the delete after a
// confirmation) and then OnClick.
#include <array>
#include <functional>
#include <memory>
#include <string>

#include "framework/db/datasource.hpp"
#include "framework/ui/controls.hpp"

namespace db {

enum TNavigateBtn { nbFirst, nbPrior, nbNext, nbLast, nbInsert, nbDelete, nbEdit, nbPost, nbCancel, nbRefresh };
constexpr int kNavButtonCount = 10;
using TButtonSet = unsigned;  // bit (1 << TNavigateBtn)
constexpr TButtonSet kAllNavButtons = (1u << kNavButtonCount) - 1;
using TNavClick = std::function<void(ui::TObject* sender, TNavigateBtn button)>;

// Asks the framework's confirmation question (OK and Cancel); true unless Cancel.
bool ConfirmQuestion(const std::string& text);

class TDBNavigator;

// One button of the bar: its glyph, raised or pressed, grey when disabled.
class TNavButton : public ui::TGraphicControl {
public:
    TNavButton(TDBNavigator* navigator, TNavigateBtn index);
    std::string ClassName() const override { return "TNavButton"; }
    TNavigateBtn Index() const { return index_; }
    bool Down() const { return down_; }
    // Prior and next repeat while held: first after 400 ms, then every 100 ms.
    bool AllowTimer = false;

protected:
    void Paint() override;
    void MouseDown(ui::TMouseButton b, ui::TShiftState s, int x, int y) override;
    void MouseMove(ui::TShiftState s, int x, int y) override;
    void MouseUp(ui::TMouseButton b, ui::TShiftState s, int x, int y) override;
    void WndProc(ui::TMessage& m) override;

private:
    void Repeat();
    TNavigateBtn index_;
    bool down_ = false, dragging_ = false;
    ui::Owned<ui::TTimer> timer_;
};

class TNavDataLink : public TDataLink {
public:
    explicit TNavDataLink(TDBNavigator* navigator) : navigator_(navigator) {}
    std::string ClassName() const override { return "TNavDataLink"; }

protected:
    void EditingChanged() override;
    void DataSetChanged() override;
    void ActiveChanged() override;

private:
    TDBNavigator* navigator_;
};

class TDBNavigator : public ui::TCustomPanel {
public:
    explicit TDBNavigator(ui::TComponent* owner);
    ~TDBNavigator() override;
    std::string ClassName() const override { return "TDBNavigator"; }
    void Notification(ui::TComponent* component, ui::TOperation op) override;

    TDataSource* DataSource() const { return link_.DataSource(); }
    void SetDataSource(TDataSource* source);
    TButtonSet VisibleButtons() const { return visible_; }
    void SetVisibleButtons(TButtonSet buttons);
    // One hint a line, in button order; missing lines keep the default hint.
    ui::TStringList& Hints() { return hints_; }
    void SetHints(const std::vector<std::string>& hints);
    bool ConfirmDelete = true;
    TNavButton* Button(TNavigateBtn index) const { return buttons_[index]; }
    void SetBounds(int left, int top, int width, int height) override;
    void WndProc(ui::TMessage& m) override;

    // What a press of a button does; descendants take buttons over.
    virtual void BtnClick(TNavigateBtn index);
    TNavClick BeforeAction, OnClick;

    // The enabled states, as the data link tells them.
    void DataChanged();
    void EditingChanged();
    void ActiveChanged();

protected:
    void Loaded() override;
    void AdjustButtons();
    bool NotDesigning() const { return !Has(ui::csDesigning); }
    TNavDataLink link_{this};

private:
    void ApplyHints();
    std::array<TNavButton*, kNavButtonCount> buttons_{};
    TButtonSet visible_ = kAllNavButtons;
    ui::TStringList hints_;
};

}  // namespace db
