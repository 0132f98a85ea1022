// The tree view of folders: nodes read on demand, rows, painting, keys,
// the mouse and scrolling.
#include "framework/ui/folder_tree.hpp"

#include <algorithm>

#include "framework/ui/scroll_bars.hpp"
#include "platform/codepage.hpp"

namespace ui {

namespace {

constexpr int kIndent = 19;  // a level further in
constexpr int kGlyph = 16;   // the folder's picture
constexpr TColor Rgb(int r, int g, int b) { return TColor(r | g << 8 | b << 16); }

bool Inside(const TFolderTree::Node* node, const TFolderTree::Node* ancestor) {
    for (; node; node = node->parent)
        if (node == ancestor) return true;
    return false;
}

bool SameItem(const ItemIdList& a, const ItemIdList& b) { return a.kind == b.kind && a.path == b.path; }

// A small picture of the item: a folder, the computer's screen or the desktop.
void DrawGlyph(TCanvas* c, const ItemIdList& item, int x, int y) {
    c->Pen()->SetColor(Rgb(96, 72, 0));
    switch (item.kind) {
    case ItemIdList::Kind::Folder:
        c->Brush()->SetColor(Rgb(224, 176, 48));
        c->Rectangle(x, y, x + 7, y + 3);
        c->Brush()->SetColor(Rgb(255, 216, 96));
        c->Rectangle(x, y + 2, x + kGlyph, y + 13);
        break;
    case ItemIdList::Kind::Computer:
        c->Pen()->SetColor(clGray);
        c->Brush()->SetColor(Rgb(0, 128, 128));
        c->Rectangle(x + 1, y, x + 15, y + 10);
        c->Brush()->SetColor(clGray);
        c->FillRect({x + 4, y + 11, x + 12, y + 13});
        break;
    case ItemIdList::Kind::Desktop:
        c->Pen()->SetColor(clNavy);
        c->Brush()->SetColor(Rgb(0, 96, 192));
        c->Rectangle(x, y, x + kGlyph, y + 13);
        break;
    }
}

}  // namespace

TFolderTree::TFolderTree(TComponent* owner) : TCustomControl(owner) {
    width_ = 200, height_ = 200;
    TabStop = true;
    color_ = clWindow;
}

TFolderTree::~TFolderTree() = default;

void TFolderTree::CreateParams(ui::CreateParams& p) {
    TCustomControl::CreateParams(p);
    p.style |= WS_VSCROLL;
    if (TabStop) p.style |= WS_TABSTOP;
    p.ex_style |= WS_EX_CLIENTEDGE;
}

void TFolderTree::SetRoot(const std::optional<ItemIdList>& root) {
    root_ = std::make_unique<Node>();
    root_->item = root ? *root : *SHGetSpecialFolderLocation(CSIDL_DESKTOP);
    selected_ = root_.get();
    top_ = 0;
    Expand(root_.get());
    Rebuild();
    if (OnChange) OnChange(this);
}

int TFolderTree::RowHeight() const { return std::max(kGlyph + 2, FontMetrics(font_->Handle()).height + 3); }

int TFolderTree::VisibleRows() const {
    const int h = HandleAllocated() ? GetClientRect(handle_).Height() : height_;
    return std::max(1, h / RowHeight());
}

TRect TFolderTree::RowRect(int row) const {
    const int y = (row - top_) * RowHeight();
    const int w = HandleAllocated() ? GetClientRect(handle_).Width() : width_;
    return {0, y, w, y + RowHeight()};
}

int TFolderTree::RowAt(TPoint p) const {
    if (p.y < 0) return -1;
    const int row = top_ + p.y / RowHeight();
    return row < int(rows_.size()) ? row : -1;
}

TRect TFolderTree::ExpanderRect(int row) const {
    if (row < 0 || row >= int(rows_.size())) return {};
    const Node* n = rows_[size_t(row)];
    if (n->loaded && n->children.empty()) return {};
    const TRect r = RowRect(row);
    const int x = 2 + n->level * kIndent + 4, y = (r.top + r.bottom) / 2 - 4;
    return {x, y, x + 9, y + 9};
}

int TFolderTree::RowOf(const Node* node) const {
    const auto it = std::find(rows_.begin(), rows_.end(), node);
    return it == rows_.end() ? -1 : int(it - rows_.begin());
}

void TFolderTree::Rebuild() {
    rows_.clear();
    if (!root_) return;
    // Depth first, without recursion: a deep tree cannot exhaust the stack.
    std::vector<Node*> pending{root_.get()};
    while (!pending.empty()) {
        Node* n = pending.back();
        pending.pop_back();
        rows_.push_back(n);
        if (!n->expanded) continue;
        for (auto it = n->children.rbegin(); it != n->children.rend(); ++it) pending.push_back(it->get());
    }
    ScrollTo(top_);
    UpdateScrollBar();
    Invalidate();
}

bool TFolderTree::Expand(Node* node) {
    if (!node) return false;
    if (!node->loaded) {
        ShellChildren found = EnumerateFolders(node->item);
        node->loaded = true;
        if (found.error) {
            const std::string where = node->item.path.empty() ? node->item.name : platform::Utf8ToAnsi(node->item.path);
            const bool gone =
                found.error == std::errc::no_such_file_or_directory || found.error == std::errc::not_a_directory;
            const std::string message = gone
                ? "The folder \"" + where + "\" no longer exists."
                : "\"" + where + "\" is not accessible.\r\n\r\n" + platform::Utf8ToAnsi(found.error.message()) + ".";
            if (gone) RemoveNode(node);
            Rebuild();
            if (OnProblem) OnProblem(message);
            return false;
        }
        for (ItemIdList& item : found.items) {
            auto child = std::make_unique<Node>();
            child->item = std::move(item);
            child->parent = node;
            child->level = node->level + 1;
            node->children.push_back(std::move(child));
        }
    }
    node->expanded = true;
    Rebuild();
    return true;
}

void TFolderTree::Collapse(Node* node) {
    if (!node || !node->expanded) return;
    node->expanded = false;
    if (selected_ != node && Inside(selected_, node)) Select(node);
    Rebuild();
}

void TFolderTree::RemoveNode(Node* node) {
    if (!node || !node->parent) return;
    Node* parent = node->parent;
    const bool moved = Inside(selected_, node);
    auto& list = parent->children;
    list.erase(std::remove_if(list.begin(), list.end(), [node](const auto& c) { return c.get() == node; }), list.end());
    if (moved) selected_ = nullptr;
    Rebuild();
    if (moved) Select(parent);
}

void TFolderTree::Select(Node* node) {
    if (!node || node == selected_) return;
    selected_ = node;
    ShowRow(RowOf(node));
    Invalidate();
    if (OnChange) OnChange(this);
}

bool TFolderTree::SelectPath(const std::string& host_path) {
    if (!root_) return false;
    const std::vector<ItemIdList> chain = PathFromRoot(root_->item, host_path);
    if (chain.empty()) return false;
    Node* at = root_.get();
    for (size_t i = 1; i < chain.size(); ++i) {
        if (!Expand(at)) return false;
        const auto it = std::find_if(at->children.begin(), at->children.end(),
                                     [&](const auto& c) { return SameItem(c->item, chain[i]); });
        if (it == at->children.end()) return false;
        at = it->get();
    }
    Select(at);
    return true;
}

void TFolderTree::ScrollTo(int top) {
    top = std::clamp(top, 0, std::max(0, int(rows_.size()) - VisibleRows()));
    if (top == top_) return;
    top_ = top;
    UpdateScrollBar();
    Invalidate();
}

void TFolderTree::ShowRow(int row) {
    if (row < 0) return;
    if (row < top_)
        ScrollTo(row);
    else if (row >= top_ + VisibleRows())
        ScrollTo(row - VisibleRows() + 1);
}

void TFolderTree::UpdateScrollBar() {
    if (!HandleAllocated()) return;
    SCROLLINFO si;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    si.nMin = 0;
    si.nMax = std::max(0, int(rows_.size()) - 1);
    si.nPage = UINT(VisibleRows());
    si.nPos = top_;
    SetScrollInfo(handle_, SB_VERT, si, true);
}

void TFolderTree::Paint() {
    TCanvas* c = Canvas();
    const TRect clip = c->ClipRect();
    c->Brush()->SetColor(color_);
    c->FillRect(clip);
    const bool focused = Focused();
    for (int row = top_; row < int(rows_.size()); ++row) {
        const TRect r = RowRect(row);
        if (r.top >= clip.bottom) break;
        if (!Intersects(r, clip)) continue;
        const Node* n = rows_[size_t(row)];
        if (const TRect e = ExpanderRect(row); !e.Empty()) {
            c->Pen()->SetColor(clGray);
            c->Brush()->SetColor(clWindow);
            c->Rectangle(e);
            const int mx = (e.left + e.right) / 2, my = (e.top + e.bottom) / 2;
            c->Brush()->SetColor(clWindowText);
            c->FillRect({e.left + 2, my, e.right - 2, my + 1});
            if (!n->expanded) c->FillRect({mx, e.top + 2, mx + 1, e.bottom - 2});
        }
        const int gx = 2 + n->level * kIndent + kIndent;
        DrawGlyph(c, n->item, gx, r.top + (r.Height() - 13) / 2);
        const int tx = gx + kGlyph + 4;
        const TSize size = c->TextExtent(n->item.name);
        const TRect label{tx - 2, r.top + 1, tx + size.cx + 2, r.bottom - 1};
        const bool selected = n == selected_;
        c->Brush()->SetColor(selected ? (focused ? clHighlight : clBtnFace) : color_);
        c->FillRect(label);
        c->Font()->SetColor(selected && focused ? clHighlightText : clWindowText);
        c->TextOut(tx, r.top + (r.Height() - size.cy) / 2, n->item.name);
        if (selected && focused) c->DrawFocusRect(label);
    }
}

void TFolderTree::KeyDown(UINT& key, TShiftState s) {
    TCustomControl::KeyDown(key, s);
    const int row = RowOf(selected_);
    const int page = std::max(1, VisibleRows() - 1);
    auto go = [&](int to) {
        if (!rows_.empty()) Select(rows_[size_t(std::clamp(to, 0, int(rows_.size()) - 1))]);
    };
    switch (key) {
    case VK_UP: go(row - 1); break;
    case VK_DOWN: go(row + 1); break;
    case VK_PRIOR: go(row - page); break;
    case VK_NEXT: go(row + page); break;
    case VK_HOME: go(0); break;
    case VK_END: go(int(rows_.size()) - 1); break;
    case VK_RIGHT:
        if (selected_ && !selected_->expanded)
            Expand(selected_);
        else if (selected_ && !selected_->children.empty())
            Select(selected_->children.front().get());
        break;
    case VK_LEFT:
        if (selected_ && selected_->expanded)
            Collapse(selected_);
        else if (selected_ && selected_->parent)
            Select(selected_->parent);
        break;
    default: return;
    }
    key = 0;
}

void TFolderTree::KeyPress(char& key) {
    TCustomControl::KeyPress(key);
    if (key == '+' && selected_) {
        Expand(selected_);
    } else if (key == '-' && selected_) {
        Collapse(selected_);
    } else if (uint8_t(key) > ' ' && !rows_.empty()) {
        // The next row whose name starts with the letter, going round.
        const char want = platform::AnsiUpper(key);
        const int from = RowOf(selected_);
        for (int n = 1; n <= int(rows_.size()); ++n) {
            Node* r = rows_[size_t((from + n) % int(rows_.size()))];
            if (!r->item.name.empty() && platform::AnsiUpper(r->item.name[0]) == want) {
                Select(r);
                break;
            }
        }
    } else {
        return;
    }
    key = 0;
}

void TFolderTree::MouseDown(TMouseButton b, TShiftState s, int x, int y) {
    if (CanFocus() && !Focused()) SetFocus();
    TCustomControl::MouseDown(b, s, x, y);
    const int row = RowAt({x, y});
    if (b != mbLeft || row < 0) return;
    Node* n = rows_[size_t(row)];
    const bool on_box = ExpanderRect(row).Contains({x, y});
    if (!on_box) Select(n);
    if (on_box || (s & ssDouble)) {
        if (n->expanded)
            Collapse(n);
        else
            Expand(n);
    }
}

void TFolderTree::WndProc(TMessage& m) {
    switch (m.Msg) {
    case WM_GETDLGCODE: m.Result = DLGC_WANTARROWS | DLGC_WANTCHARS; return;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        TCustomControl::WndProc(m);
        Invalidate();
        return;
    case WM_SIZE:
        TCustomControl::WndProc(m);
        ScrollTo(top_);
        UpdateScrollBar();
        return;
    case WM_MOUSEWHEEL: ScrollTo(top_ - int16_t(uint16_t(m.WParam >> 16)) / 120 * 3); return;
    case WM_VSCROLL: {
        const int page = std::max(1, VisibleRows() - 1);
        SCROLLINFO si;
        si.fMask = SIF_TRACKPOS;
        switch (int(m.WParam & 0xFFFF)) {
        case SB_LINEUP: ScrollTo(top_ - 1); break;
        case SB_LINEDOWN: ScrollTo(top_ + 1); break;
        case SB_PAGEUP: ScrollTo(top_ - page); break;
        case SB_PAGEDOWN: ScrollTo(top_ + page); break;
        case SB_TOP: ScrollTo(0); break;
        case SB_BOTTOM: ScrollTo(int(rows_.size())); break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION:
            if (HandleAllocated() && GetScrollInfo(handle_, SB_VERT, si)) ScrollTo(si.nTrackPos);
            break;
        default: break;
        }
        return;
    }
    default: break;
    }
    TCustomControl::WndProc(m);
}

}  // namespace ui
