#pragma once
// The standard controls of the class library: the scroll bar, the edit, the
// memo and the push button over their standard window classes, and the label.
#include <functional>
#include <string>
#include <vector>

#include "framework/ui/button_box.hpp"
#include "framework/ui/controls.hpp"
#include "framework/ui/edit_box.hpp"
#include "framework/ui/scroll_bars.hpp"

namespace ui {

enum TScrollBarKind { sbHorizontal, sbVertical };
enum TScrollCode { scLineUp, scLineDown, scPageUp, scPageDown, scPosition, scTrack, scTop, scBottom, scEndScroll };
using TScrollEvent = std::function<void(TObject* sender, TScrollCode code, int& pos)>;

// A scroll-bar control. Its position moves by SmallChange for the arrows and
// LargeChange for the track; OnScroll may change where it goes.
class TScrollBar : public TWinControl {
public:
    explicit TScrollBar(TComponent* owner);
    std::string ClassName() const override { return "TScrollBar"; }

    TScrollBarKind Kind() const { return kind_; }
    void SetKind(TScrollBarKind v);
    int Min() const { return min_; }
    int Max() const { return max_; }
    int Position() const { return position_; }
    int PageSize() const { return page_; }
    void SetMin(int v) { SetParams(position_, v, max_); }
    void SetMax(int v) { SetParams(position_, min_, v); }
    void SetPosition(int v) { SetParams(v, min_, max_); }
    void SetPageSize(int v);
    // Raises EInvalidOperation when max < min.
    void SetParams(int position, int min, int max);
    int SmallChange = 1, LargeChange = 1;

    TNotifyEvent OnChange;
    TScrollEvent OnScroll;

    void WndProc(TMessage& m) override;
    void DefaultHandler(TMessage& m) override;

protected:
    void CreateParams(ui::CreateParams& p) override;
    void CreateHandleDone() override;
    virtual void Change();
    virtual void Scroll(TScrollCode code, int& pos);

private:
    void Apply();
    TScrollBarKind kind_ = sbHorizontal;
    int min_ = 0, max_ = 100, position_ = 0, page_ = 0;
};

enum TEditCharCase { ecNormal, ecUpperCase, ecLowerCase };

// An edit control. Text, selection and the modified flag live in the window
// once it exists.
class TCustomEdit : public TWinControl {
public:
    explicit TCustomEdit(TComponent* owner);
    std::string ClassName() const override { return "TCustomEdit"; }

    std::string GetText() const override;
    void SetText(const std::string& v) override;
    int MaxLength() const { return max_length_; }  // 0: no limit
    void SetMaxLength(int v);
    bool ReadOnly() const { return read_only_; }
    void SetReadOnly(bool v);
    bool Modified() const;
    void SetModified(bool v);
    int SelStart() const;
    void SetSelStart(int v);
    int SelLength() const;
    void SetSelLength(int v);
    std::string SelText() const;
    void SetSelText(const std::string& v);
    char PasswordChar() const { return password_; }
    void SetPasswordChar(char v);
    TEditCharCase CharCase() const { return char_case_; }
    void SetCharCase(TEditCharCase v);
    TBorderStyle BorderStyle() const { return border_style_; }
    void SetBorderStyle(TBorderStyle v);
    bool HideSelection() const { return hide_selection_; }
    void SetHideSelection(bool v);
    bool AutoSelect = true;  // the whole text is selected when the focus comes by key

    void Clear() { SetText(""); }
    void SelectAll();
    void ClearSelection();
    void CopyToClipboard();
    void CutToClipboard();
    void PasteFromClipboard();
    void Undo();
    bool CanUndo() const;
    void ClearUndo();

    TNotifyEvent OnChange;

    void WndProc(TMessage& m) override;
    void DefaultHandler(TMessage& m) override;

protected:
    void CreateParams(ui::CreateParams& p) override;
    void CreateHandleDone() override;
    virtual void Change();
    LRESULT Edit(UINT msg, WPARAM w = 0, LPARAM l = 0) const;

    int max_length_ = 0;
    bool read_only_ = false, hide_selection_ = true, modified_ = false;
    char password_ = 0;
    TEditCharCase char_case_ = ecNormal;
    TBorderStyle border_style_ = bsSingle;
};

class TEdit : public TCustomEdit {
public:
    using TCustomEdit::TCustomEdit;
    std::string ClassName() const override { return "TEdit"; }
};

enum TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };

// Several lines: word wrap, the keys Enter and Tab for itself, scroll bars.
class TCustomMemo : public TCustomEdit {
public:
    explicit TCustomMemo(TComponent* owner);
    std::string ClassName() const override { return "TCustomMemo"; }
    bool WordWrap() const { return word_wrap_; }
    void SetWordWrap(bool v);
    TScrollStyle ScrollBars() const { return scroll_bars_; }
    void SetScrollBars(TScrollStyle v);
    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment v);
    bool WantReturns = true, WantTabs = false;
    // The lines of the text (split at its line breaks).
    std::vector<std::string> Lines() const;
    void SetLines(const std::vector<std::string>& lines);
    void WndProc(TMessage& m) override;

protected:
    void CreateParams(ui::CreateParams& p) override;

private:
    bool word_wrap_ = true;
    TScrollStyle scroll_bars_ = ssNone;
    TAlignment alignment_ = taLeftJustify;
};

class TMemo : public TCustomMemo {
public:
    using TCustomMemo::TCustomMemo;
    std::string ClassName() const override { return "TMemo"; }
};

// Whether `caption` marks `c` as its accelerator ("&Save" for 's' or 'S').
bool IsAccel(char c, const std::string& caption);

// A push button. The default button takes Enter and the cancel button
// Escape from anywhere in its form; a focused button is the one Enter
// presses. A button with a ModalResult ends its modal form with it.
class TButton : public TWinControl {
public:
    explicit TButton(TComponent* owner);
    std::string ClassName() const override { return "TButton"; }
    bool Default() const { return default_; }
    void SetDefault(bool v);
    bool Cancel = false;
    int ModalResult = 0;
    void Click() override;
    void WndProc(TMessage& m) override;
    void DefaultHandler(TMessage& m) override;

protected:
    void CreateParams(ui::CreateParams& p) override;
    void CreateHandleDone() override;

private:
    void SetActive(bool v);
    bool default_ = false, active_ = false;
};

// A text drawn by its parent. Its accelerator ('&') focuses FocusControl.
class TCustomLabel : public TGraphicControl {
public:
    explicit TCustomLabel(TComponent* owner);
    std::string ClassName() const override { return "TCustomLabel"; }
    TWinControl* FocusControl = nullptr;
    bool ShowAccelChar = true;
    bool Transparent = false;
    bool WordWrap = false;
    TAlignment Alignment = taLeftJustify;
    bool AutoSize() const { return auto_size_; }
    void SetAutoSize(bool v);
    void WndProc(TMessage& m) override;

protected:
    void Paint() override;

private:
    void AdjustBounds();
    bool auto_size_ = true;
};

class TLabel : public TCustomLabel {
public:
    using TCustomLabel::TCustomLabel;
    std::string ClassName() const override { return "TLabel"; }
};

}  // namespace ui
