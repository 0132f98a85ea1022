// The items of the list controls, and TCustomListBox over the list box class.
#include <algorithm>

#include "framework/ui/edit_box.hpp"
#include "framework/ui/list_controls.hpp"
#include "platform/codepage.hpp"

namespace ui {

// ---------------------------------------------------------------- TListControlItems

void TListControlItems::Check(int index) const {
    if (index < 0 || index >= Count()) throw EListError("List index out of bounds (" + std::to_string(index) + ")");
}

LRESULT TListControlItems::Send(UINT lb, UINT cb, WPARAM w, LPARAM l) const {
    if (!control_->HandleAllocated()) return 0;
    return SendMessage(control_->WindowHandle(), list_ ? lb : cb, w, l);
}

std::string TListControlItems::Get(int index) const {
    Check(index);
    return items_[size_t(index)].first;
}

TObject* TListControlItems::GetObject(int index) const {
    Check(index);
    return items_[size_t(index)].second;
}

void TListControlItems::Put(int index, const std::string& s) {
    Check(index);
    items_[size_t(index)].first = s;
    if (!control_->HandleAllocated()) return;
    // The window has no message to rename an item: it goes and comes back.
    const LRESULT sel = Send(LB_GETCURSEL, CB_GETCURSEL);
    Send(LB_DELETESTRING, CB_DELETESTRING, WPARAM(index));
    Send(LB_INSERTSTRING, CB_INSERTSTRING, WPARAM(index), LPARAM(s.c_str()));
    Send(LB_SETITEMDATA, CB_SETITEMDATA, WPARAM(index), LPARAM(items_[size_t(index)].second));
    if (sel == index) Send(LB_SETCURSEL, CB_SETCURSEL, WPARAM(index));
}

void TListControlItems::PutObject(int index, TObject* o) {
    Check(index);
    items_[size_t(index)].second = o;
    Send(LB_SETITEMDATA, CB_SETITEMDATA, WPARAM(index), LPARAM(o));
}

void TListControlItems::Insert(int index, const std::string& s, TObject* o) {
    if (index < 0 || index > Count()) throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    if (Sorted && index == Count()) {
        const std::string key = platform::AnsiUpper(s);
        index = int(std::upper_bound(
                        items_.begin(), items_.end(), key,
                        [](const std::string& k, const auto& item) { return k < platform::AnsiUpper(item.first); }) -
                    items_.begin());
    }
    items_.insert(items_.begin() + index, {s, o});
    Send(LB_INSERTSTRING, CB_INSERTSTRING, WPARAM(index), LPARAM(s.c_str()));
    Send(LB_SETITEMDATA, CB_SETITEMDATA, WPARAM(index), LPARAM(o));
}

void TListControlItems::Delete(int index) {
    Check(index);
    items_.erase(items_.begin() + index);
    Send(LB_DELETESTRING, CB_DELETESTRING, WPARAM(index));
}

void TListControlItems::Clear() {
    items_.clear();
    Send(LB_RESETCONTENT, CB_RESETCONTENT);
}

void TListControlItems::SetSorted(bool v) {
    if (v == Sorted) return;
    Sorted = v;
    if (!v) return;
    std::vector<std::pair<std::string, TObject*>> all = std::move(items_);
    Clear();
    for (auto& [s, o] : all) Add(s, o);
}

void TListControlItems::DrawDefault(TCanvas& canvas, int index, const TRect& rect) const {
    canvas.FillRect(rect);
    if (index < Count()) canvas.TextOut(rect.left + 2, rect.top, Get(index));
}

void TListControlItems::SendAll() const {
    Send(LB_RESETCONTENT, CB_RESETCONTENT);
    for (size_t i = 0; i < items_.size(); ++i) {
        Send(LB_INSERTSTRING, CB_INSERTSTRING, i, LPARAM(items_[i].first.c_str()));
        Send(LB_SETITEMDATA, CB_SETITEMDATA, i, LPARAM(items_[i].second));
    }
}

// ---------------------------------------------------------------- TCustomListBox

TCustomListBox::TCustomListBox(TComponent* owner)
    : TWinControl(owner), items_(std::make_unique<TListControlItems>(this, true)),
      canvas_(std::make_unique<TControlCanvas>(this)) {
    // The class runs its own mouse; its notifications make the clicks.
    ControlStyle = csOpaque;
    width_ = 121, height_ = 97;
    TabStop = true;
    class_paints_ = true;
}

TCustomListBox::~TCustomListBox() = default;

void TCustomListBox::CreateParams(ui::CreateParams& p) {
    TWinControl::CreateParams(p);
    p.style |= uint32_t(WS_VSCROLL) | LBS_NOTIFY | LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT;
    if (style_ == lbOwnerDrawFixed) p.style |= LBS_OWNERDRAWFIXED;
    if (TabStop) p.style |= WS_TABSTOP;
    p.ex_style |= WS_EX_CLIENTEDGE;
}

void TCustomListBox::CreateHandleDone() {
    SendFont(false);
    items_->SendAll();
    SendMessage(handle_, LB_SETCURSEL, WPARAM(item_index_));
}

void TCustomListBox::DestroyWnd() {
    if (HandleAllocated()) item_index_ = ItemIndex();
    TWinControl::DestroyWnd();
}

void TCustomListBox::DefaultHandler(TMessage& m) {
    if (handle_) m.Result = CallClassProc("LISTBOX", handle_, m.Msg, m.WParam, m.LParam);
}

int TCustomListBox::ItemIndex() const {
    return HandleAllocated() ? int(SendMessage(handle_, LB_GETCURSEL)) : item_index_;
}

void TCustomListBox::SetItemIndex(int v) {
    item_index_ = v >= 0 && v < items_->Count() ? v : -1;
    if (HandleAllocated()) SendMessage(handle_, LB_SETCURSEL, WPARAM(item_index_));
}

int TCustomListBox::TopIndex() const { return HandleAllocated() ? int(SendMessage(handle_, LB_GETTOPINDEX)) : 0; }

void TCustomListBox::SetTopIndex(int v) {
    if (HandleAllocated()) SendMessage(handle_, LB_SETTOPINDEX, WPARAM(v));
}

int TCustomListBox::ItemHeight() const {
    return HandleAllocated() ? int(SendMessage(handle_, LB_GETITEMHEIGHT)) : item_height_;
}

void TCustomListBox::SetItemHeight(int v) {
    if (v < 1) return;
    item_height_ = v;
    if (HandleAllocated() && style_ == lbOwnerDrawFixed) SendMessage(handle_, LB_SETITEMHEIGHT, 0, v);
}

void TCustomListBox::SetStyle(TListBoxStyle v) {
    if (v == style_) return;
    style_ = v;
    RecreateWnd();
}

int TCustomListBox::ItemAtPos(TPoint p, bool existing) const {
    if (!HandleAllocated()) return -1;
    const LRESULT r = SendMessage(handle_, LB_ITEMFROMPOINT, 0, MAKELPARAM(p.x, p.y));
    if (existing && (r >> 16)) return -1;
    return int(r & 0xFFFF);
}

TRect TCustomListBox::ItemRect(int index) const {
    TRect r;
    if (HandleAllocated()) SendMessage(handle_, LB_GETITEMRECT, WPARAM(index), LPARAM(&r));
    return r;
}

void TCustomListBox::DrawItem(int index, const TRect& rect, unsigned state) {
    if (OnDrawItem) {
        OnDrawItem(this, index, rect, state);
        return;
    }
    items_->DrawDefault(*canvas_, index, rect);
}

void TCustomListBox::MeasureItem(int index, int& height) {
    if (OnMeasureItem) OnMeasureItem(this, index, height);
}

namespace {

void PaintOwnerDrawnItem(TControlCanvas& canvas, TWinControl& control, const DRAWITEMSTRUCT& dis,
                         const std::function<void(int, const TRect&, unsigned)>& draw) {
    TControlCanvas::Painting painting(canvas, dis.hDC, control.Font());
    const unsigned state = dis.itemState;
    if (state & ODS_SELECTED) {
        canvas.Brush()->SetColor(clHighlight);
        canvas.Font()->SetColor(clHighlightText);
    } else {
        canvas.Brush()->SetColor(control.Color());
    }
    if (int(dis.itemID) >= 0)
        draw(int(dis.itemID), dis.rcItem, state);
    else
        canvas.FillRect(dis.rcItem);
    if (state & ODS_FOCUS) canvas.DrawFocusRect(dis.rcItem);
}

}  // namespace

void OwnerDrawMessage(TMessage& m, TControlCanvas& canvas, TWinControl& control, int item_height,
                      const std::function<void(int, const TRect&, unsigned)>& draw,
                      const std::function<void(int, int&)>& measure) {
    if (m.Msg == CN_DRAWITEM) {
        PaintOwnerDrawnItem(canvas, control, *reinterpret_cast<const DRAWITEMSTRUCT*>(m.LParam), draw);
    } else {
        auto& mis = *reinterpret_cast<MEASUREITEMSTRUCT*>(m.LParam);
        int height = item_height;
        measure(int(mis.itemID), height);
        mis.itemHeight = UINT(std::max(1, height));
    }
    m.Result = 1;
}

void TCustomListBox::WndProc(TMessage& m) {
    switch (m.Msg) {
    case CN_COMMAND:
        if ((m.WParam >> 16) == LBN_SELCHANGE) Click();
        if ((m.WParam >> 16) == LBN_DBLCLK) DblClick();
        return;
    case CN_DRAWITEM:
    case CN_MEASUREITEM:
        OwnerDrawMessage(
            m, *canvas_, *this, item_height_, [this](int i, const TRect& r, unsigned s) { DrawItem(i, r, s); },
            [this](int i, int& height) { MeasureItem(i, height); });
        return;
    case CN_CTLCOLORLISTBOX: m.Result = ControlColors(m.WParam); return;
    case CM_FONTCHANGED: SendFont(true); break;
    default: break;
    }
    TWinControl::WndProc(m);
}

}  // namespace ui
