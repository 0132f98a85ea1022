#pragma once
// The class library's list box and combo box over the standard classes
// (list_box.hpp, combo_box.hpp). Their items live in the control and are
// mirrored into the window, so they survive the window being re-created;
// owner-drawn items come back from the parent as CN_MEASUREITEM and
// CN_DRAWITEM and are drawn on the control's canvas.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/ui/combo_box.hpp"
#include "framework/ui/controls.hpp"
#include "framework/ui/list_box.hpp"

namespace ui {

class TWinControl;

// The items of a list control: the texts and objects, kept in the control and
// sent on to its window while it exists.
class TListControlItems : public TStrings {
public:
    // `list_messages`: the window takes LB_ messages, else CB_ ones.
    TListControlItems(TWinControl* control, bool list_messages) : control_(control), list_(list_messages) {}
    std::string ClassName() const override { return "TListControlItems"; }
    int Count() const override { return int(items_.size()); }
    std::string Get(int index) const override;
    TObject* GetObject(int index) const override;
    void Put(int index, const std::string& s) override;
    void PutObject(int index, TObject* o) override;
    // With Sorted, an item added at the end goes to its place in text order.
    void Insert(int index, const std::string& s, TObject* o = nullptr) override;
    void Delete(int index) override;
    void Clear() override;
    bool Sorted = false;
    // Sorting puts the items in order once; unsorting leaves them as they are.
    void SetSorted(bool v);
    // An item as a control draws it by default: its text on a cleared rectangle.
    void DrawDefault(TCanvas& canvas, int index, const TRect& rect) const;
    // Fills the window that was just made.
    void SendAll() const;

private:
    void Check(int index) const;
    LRESULT Send(UINT lb, UINT cb, WPARAM w = 0, LPARAM l = 0) const;
    TWinControl* control_;
    bool list_;
    std::vector<std::pair<std::string, TObject*>> items_;
};

enum TOwnerDrawState : unsigned {
    odSelected = 1,
    odGrayed = 2,
    odDisabled = 4,
    odChecked = 8,
    odFocused = 16,
    odComboBoxEdit = 0x1000
};
using TDrawItemEvent = std::function<void(TWinControl* control, int index, TRect rect, unsigned state)>;
using TMeasureItemEvent = std::function<void(TWinControl* control, int index, int& height)>;

// A list control's CN_DRAWITEM or CN_MEASUREITEM. An item is drawn on
// `canvas`: the brush and font of a selected item are the highlight's; `draw`
// draws it, and the focus rectangle follows. `measure` may change an item's
// height from `item_height`.
void OwnerDrawMessage(TMessage& m, TControlCanvas& canvas, TWinControl& control, int item_height,
                      const std::function<void(int, const TRect&, unsigned)>& draw,
                      const std::function<void(int, int&)>& measure);

enum TListBoxStyle { lbStandard, lbOwnerDrawFixed };

class TCustomListBox : public TWinControl {
public:
    explicit TCustomListBox(TComponent* owner);
    ~TCustomListBox() override;
    std::string ClassName() const override { return "TCustomListBox"; }

    TStrings* Items() const { return items_.get(); }
    int ItemIndex() const;
    void SetItemIndex(int v);
    int TopIndex() const;
    void SetTopIndex(int v);
    int ItemHeight() const;
    void SetItemHeight(int v);
    TListBoxStyle Style() const { return style_; }
    void SetStyle(TListBoxStyle v);
    bool Sorted() const { return items_->Sorted; }
    void SetSorted(bool v) { items_->SetSorted(v); }
    TCanvas* Canvas() const { return canvas_.get(); }
    // The item at a client point; with `existing`, -1 past the last item.
    int ItemAtPos(TPoint p, bool existing) const;
    TRect ItemRect(int index) const;
    void Clear() { items_->Clear(); }

    TDrawItemEvent OnDrawItem;
    TMeasureItemEvent OnMeasureItem;

    void WndProc(TMessage& m) override;
    void DefaultHandler(TMessage& m) override;

protected:
    void CreateParams(ui::CreateParams& p) override;
    void CreateHandleDone() override;
    void DestroyWnd() override;
    virtual void DrawItem(int index, const TRect& rect, unsigned state);
    virtual void MeasureItem(int index, int& height);

private:
    std::unique_ptr<TListControlItems> items_;
    std::unique_ptr<TControlCanvas> canvas_;
    TListBoxStyle style_ = lbStandard;
    int item_index_ = -1, item_height_ = 16;
};

class TListBox : public TCustomListBox {
public:
    using TCustomListBox::TCustomListBox;
    std::string ClassName() const override { return "TListBox"; }
};

enum TComboBoxStyle { csDropDown, csSimple, csDropDownList, csOwnerDrawFixed };

class TCustomComboBox : public TWinControl {
public:
    explicit TCustomComboBox(TComponent* owner);
    ~TCustomComboBox() override;
    std::string ClassName() const override { return "TCustomComboBox"; }

    TStrings* Items() const { return items_.get(); }
    int ItemIndex() const;
    void SetItemIndex(int v);
    // The edit's text; in the drop-down list style the selected item's, and
    // setting it selects the item of that text.
    std::string GetText() const override;
    void SetText(const std::string& v) override;
    TComboBoxStyle Style() const { return style_; }
    void SetStyle(TComboBoxStyle v);
    virtual int ItemHeight() const;
    virtual void SetItemHeight(int v);
    int DropDownCount() const { return drop_down_count_; }
    void SetDropDownCount(int v);
    bool DroppedDown() const;
    void SetDroppedDown(bool v);
    bool Sorted() const { return items_->Sorted; }
    void SetSorted(bool v) { items_->SetSorted(v); }
    int MaxLength() const { return max_length_; }
    void SetMaxLength(int v);
    int SelStart() const;
    int SelLength() const;
    void SelectAll();
    TCanvas* Canvas() const { return canvas_.get(); }
    // The edit of the editable styles (0 otherwise or without a window).
    HWND EditHandle() const;
    bool Focused() const;
    void Clear();

    TNotifyEvent OnChange, OnDropDown, OnCloseUp, OnSelect;
    TDrawItemEvent OnDrawItem;
    TMeasureItemEvent OnMeasureItem;

    void WndProc(TMessage& m) override;
    void DefaultHandler(TMessage& m) override;

protected:
    void CreateParams(ui::CreateParams& p) override;
    void CreateHandleDone() override;
    void DestroyWnd() override;
    virtual void Change();
    virtual void Select();
    virtual void DropDown();
    virtual void CloseUp();
    // The user left the editable field (the focus went elsewhere, or Enter).
    virtual void EditDone() {}
    virtual void DrawItem(int index, const TRect& rect, unsigned state);
    virtual void MeasureItem(int index, int& height);
    // The style bits of the window for the control's Style.
    virtual uint32_t ComboStyleBits() const;
    LRESULT Combo(UINT msg, WPARAM w = 0, LPARAM l = 0) const;

    std::unique_ptr<TListControlItems> items_;
    std::unique_ptr<TControlCanvas> canvas_;
    TComboBoxStyle style_ = csDropDown;
    int item_index_ = -1, item_height_ = 16, drop_down_count_ = 8, max_length_ = 0;

private:
    void EditMessage(HWND edit, TMessage& m, const NextProc& next);
    SubclassToken edit_hook_ = 0;
};

class TComboBox : public TCustomComboBox {
public:
    using TCustomComboBox::TCustomComboBox;
    std::string ClassName() const override { return "TComboBox"; }
};

}  // namespace ui
