// The gradient caption: its properties, caption pieces, the hook into the
// form and the messages it answers. The bar's painting is in
// cvgrdcpt_paint.cpp.
#include "controls/cvgrdcpt.hpp"

#include "controls/cvutils.hpp"
#include "framework/ui/sysparams.hpp"

namespace controls {

using namespace ui;

// ---------------------------------------------------------------- pieces

TCvCaption::TCvCaption(TCollection* collection) : TCollectionItem(collection), font_(std::make_unique<TFont>()) {
    if (TCvGradientCaption* owner = Owner()) {
        font_->Assign(owner->Font());
        font_->SetColor(owner->Font()->Color());
    } else {
        font_->SetColor(clCaptionText);
    }
    font_->OnChange = [this](TObject*) { FontChanged(); };
}

TCvCaption::~TCvCaption() { font_->OnChange = nullptr; }

TCvGradientCaption* TCvCaption::Owner() const {
    auto* list = dynamic_cast<TCvCaptionList*>(Collection());
    return list ? list->GradientCaption() : nullptr;
}

void TCvCaption::FontChanged() {
    parent_font_ = false;
    Changed(false);
}

void TCvCaption::SetCaption(const std::string& v) {
    caption_ = v;
    Changed(false);
}

void TCvCaption::SetParentFont(bool v) {
    if (v) {
        if (TCvGradientCaption* owner = Owner()) {
            auto saved = std::move(font_->OnChange);
            font_->OnChange = nullptr;
            font_->Assign(owner->Font());
            font_->OnChange = std::move(saved);
        }
    }
    parent_font_ = v;
    Changed(false);
}

void TCvCaption::SetVisible(bool v) {
    if (v == visible_) return;
    visible_ = v;
    Changed(false);
}

void TCvCaption::SetGlueNext(bool v) {
    if (v == glue_next_) return;
    glue_next_ = v;
    Changed(false);
}

void TCvCaption::SetInactiveColor(TColor v) {
    if (v == inactive_color_) return;
    inactive_color_ = v;
    if (TCvGradientCaption* owner = Owner(); owner && !owner->WindowActive()) Changed(false);
}

void TCvCaption::RestoreDefaults() {
    inactive_color_ = clInactiveCaptionText;
    visible_ = true;
    SetParentFont(true);
}

void TCvCaption::Assign(TPersistent* source) {
    auto* other = dynamic_cast<TCvCaption*>(source);
    if (!other) {
        TCollectionItem::Assign(source);
        return;
    }
    TCollection* list = Collection();
    if (list) list->BeginUpdate();
    RestoreDefaults();
    caption_ = other->caption_;
    SetParentFont(other->parent_font_);
    if (!other->parent_font_) SetFont(other->Font());
    inactive_color_ = other->inactive_color_;
    glue_next_ = other->glue_next_;
    visible_ = other->visible_;
    if (list) list->EndUpdate();
}

TCvCaptionList::TCvCaptionList(TCvGradientCaption* owner)
    : TCollection([](TCollection* c) { return std::make_unique<TCvCaption>(c); }), owner_(owner) {}

void TCvCaptionList::Update(TCollectionItem*) {
    if (owner_ && owner_->Active() && !owner_->Has(csLoading)) owner_->Repaint();
}

// ---------------------------------------------------------------- the component

TCvGradientCaption::TCvGradientCaption(TComponent* owner)
    : TComponent(owner), captions_(std::make_unique<TCvCaptionList>(this)), font_(std::make_unique<TFont>()) {
    hook_ = new TCvWindowHook(this);
    hook_->SetActive(false);
    hook_->BeforeMessage = [this](TObject*, TMessage& m, bool& handled) { BeforeMessage(m, handled); };
    hook_->AfterMessage = [this](TObject*, TMessage& m, bool& handled) { AfterMessage(m, handled); };
    ApplyDefaultFont();
    // Made in code rather than read from a layout: ready at once, as a read
    // one is when loading ends.
    if (Form() && !Has(csLoading) && !Form()->Has(csLoading)) UpdateCaption();
}

TCvGradientCaption::~TCvGradientCaption() = default;

void TCvGradientCaption::BeforeDestruction() {
    OnActivate = nullptr;
    OnDeactivate = nullptr;
    if (hook_ && !Has(csDesigning)) {
        hook_->SetActive(false);
        hook_->SetWinControl(nullptr);
    }
    TComponent::BeforeDestruction();
    hook_ = nullptr;  // freed as an owned component
}

TCustomForm* TCvGradientCaption::Form() const { return dynamic_cast<TCustomForm*>(Owner()); }

bool TCvGradientCaption::Active() const {
    if (Has(csDesigning)) return active_;
    return active_ && GetSystemVersion().major >= 4 && Form();
}

void TCvGradientCaption::SetActive(bool v) {
    if (v == active_) return;
    active_ = v;
    right_button_ = false;
    UpdateCaption();
    if (Has(csReading) || Has(csDestroying)) return;
    if (v && OnActivate) OnActivate(this);
    if (!v && OnDeactivate) OnDeactivate(this);
}

void TCvGradientCaption::ApplyDefaultFont() {
    font_->OnChange = nullptr;
    NonClientMetrics m;
    if (GetNonClientMetrics(m)) {
        const TCustomForm* f = Form();
        const bool tool = f && (f->BorderStyle() == bsToolWindow || f->BorderStyle() == bsSizeToolWin);
        const LogFont& lf = tool ? m.sm_caption_font : m.caption_font;
        font_->SetName(lf.name);
        font_->SetHeight(lf.height);
        font_->SetStyle((lf.bold ? fsBold : 0u) | (lf.italic ? fsItalic : 0u) | (lf.underline ? fsUnderline : 0u) |
                        (lf.strike_out ? fsStrikeOut : 0u));
    } else {
        font_->SetName("MS Sans Serif");
        font_->SetSize(8);
        font_->SetStyle(fsBold);
    }
    font_->SetColor(clCaptionText);
    font_->SetCharset(1);
    font_->OnChange = [this](TObject*) { FontChanged(); };
    default_font_ = true;
}

void TCvGradientCaption::FontChanged() {
    default_font_ = false;
    if (captions_->Count() == 0) {
        if (Active()) Repaint();
        return;
    }
    captions_->BeginUpdate();
    for (int i = 0; i < captions_->Count(); ++i) {
        TCvCaption* c = captions_->Item(i);
        if (c->ParentFont()) c->SetParentFont(true);
    }
    captions_->EndUpdate();
}

void TCvGradientCaption::SetDefaultFont(bool v) {
    if (v != default_font_ && v) ApplyDefaultFont();
    default_font_ = v;
    if (Active()) Repaint();
}

const std::string& TCvGradientCaption::FormCaption() {
    if (Has(csDesigning))
        if (TCustomForm* f = Form()) form_caption_ = f->Caption();
    return form_caption_;
}

void TCvGradientCaption::SetFormCaption(const std::string& v) {
    if (v == form_caption_) return;
    form_caption_ = v;
    if (Has(csDesigning))
        if (TCustomForm* f = Form()) f->SetCaption(v);
    if (Active()) Repaint();
}

void TCvGradientCaption::SetStartColor(TColor v) {
    if (v == start_color_) return;
    start_color_ = v;
    if (Active()) Repaint();
}

void TCvGradientCaption::SetHideDirection(THideDirection v) {
    if (v == hide_direction_) return;
    hide_direction_ = v;
    if (Active()) Repaint();
}

void TCvGradientCaption::SetGradientSteps(int v) {
    if (v == gradient_steps_) return;
    gradient_steps_ = v;
    const bool in_use = window_active_ ? gradient_active_ : gradient_inactive_;
    if (Active() && in_use) Repaint();
}

void TCvGradientCaption::SetGradientActive(bool v) {
    if (v == gradient_active_) return;
    gradient_active_ = v;
    if (Active() && window_active_) Repaint();
}

void TCvGradientCaption::SetGradientInactive(bool v) {
    if (v == gradient_inactive_) return;
    gradient_inactive_ = v;
    if (Active() && !window_active_) Repaint();
}

void TCvGradientCaption::SetFontInactiveColor(TColor v) {
    if (v == font_inactive_color_) return;
    font_inactive_color_ = v;
    if (Active() && !window_active_) Repaint();
}

void TCvGradientCaption::SetPopupMenu(TPopupMenu* v) { popup_menu_ = v; }

void TCvGradientCaption::Loaded() {
    TComponent::Loaded();
    if (!Has(csDesigning) && Form()) UpdateCaption();
}

// ---------------------------------------------------------------- the hook

void TCvGradientCaption::UpdateCaption() {
    TCustomForm* f = Form();
    if (Has(csDesigning) || !f || f->Has(csLoading) || !hook_) return;
    if (Active()) {
        hook_->SetWinControl(f);
        hook_->SetActive(true);
    } else {
        hook_->SetActive(false);
    }
    window_active_ = false;
    if (!f->HandleAllocated() || !IsWindowVisible(f->WindowHandle())) return;
    const HWND h = f->WindowHandle();
    if (Active()) window_active_ = GetActiveWindow() == h && AppWindowIsActive();
    const TRect wr = GetWindowRect(h);
    Region whole(wr);
    SendMessage(h, WM_NCPAINT, WPARAM(&whole), 0);
}

void TCvGradientCaption::Repaint() { UpdateCaption(); }

void TCvGradientCaption::BeforeMessage(TMessage& m, bool& handled) {
    if (!Active()) return;
    switch (m.Msg) {
    case WM_NCPAINT: {
        TCustomForm* f = Form();
        const TRect cap = CaptionRect();
        Region update = m.WParam == kWholeFrame ? Region(GetWindowRect(f->WindowHandle()))
                                                : *reinterpret_cast<const Region*>(m.WParam);
        if (update.Intersects(cap)) {
            // The default frame leaves the bar alone; it is painted after.
            update.Subtract(cap);
            nc_saved_ = m.WParam;
            nc_region_ = std::move(update);
            m.WParam = WPARAM(&*nc_region_);
        }
        return;
    }
    case WM_NCACTIVATE: window_active_ = m.WParam != 0; return;
    case WM_NCRBUTTONDOWN:
        if (popup_menu_ && popup_menu_->AutoPopup) {
            right_button_ = true;
            m.Result = 0;
            handled = true;
        }
        return;
    case WM_NCRBUTTONUP:
        if (!right_button_) return;
        right_button_ = false;
        if (!Has(csDesigning) && popup_menu_ && popup_menu_->AutoPopup) {
            popup_menu_->SetPopupComponent(this);
            if (TCustomForm* f = Form(); f && GetCapture() == f->WindowHandle()) ReleaseCapture();
            popup_menu_->Popup(LOWORD_S(m.LParam), HIWORD_S(m.LParam));
        }
        m.Result = 0;
        handled = true;
        return;
    default: return;
    }
}

void TCvGradientCaption::AfterMessage(TMessage& m, bool&) {
    if (!Active()) return;
    switch (m.Msg) {
    case WM_NCPAINT:
        if (nc_region_) {
            m.WParam = nc_saved_;
            nc_region_.reset();
        }
        PaintCaption();
        return;
    case WM_NCACTIVATE: PaintCaption(); return;
    case WM_GETTEXT:
        if (Has(csDesigning) && Form() && Form()->Caption() != form_caption_) {
            form_caption_ = Form()->Caption();
            PostMessage(Form()->WindowHandle(), WM_NCPAINT, kWholeFrame, 0);
        }
        return;
    default: return;
    }
}

// The border icons as the border style shows them.
unsigned TCvGradientCaption::ConsideredIcons() const {
    const TCustomForm* f = Form();
    if (!f) return 0;
    unsigned icons = f->BorderIcons();
    switch (f->BorderStyle()) {
    case bsDialog: icons &= biSystemMenu | biHelp; break;
    case bsToolWindow:
    case bsSizeToolWin: icons &= biSystemMenu; break;
    default:
        if (!(icons & biSystemMenu)) icons &= ~unsigned(biMinimize | biMaximize);
        if (icons & (biMinimize | biMaximize)) icons &= ~unsigned(biHelp);
        break;
    }
    return icons;
}

TRect TCvGradientCaption::CaptionRect() const {
    const TCustomForm* f = Form();
    if (!f || !f->HandleAllocated()) return {};
    TRect r = GetWindowRect(f->WindowHandle());
    const unsigned icons = ConsideredIcons();
    int n = 0;
    for (unsigned bit : {biSystemMenu, biMinimize, biMaximize, biHelp}) n += (icons & bit) ? 1 : 0;
    if (bool(icons & biMinimize) != bool(icons & biMaximize)) ++n;  // the system shows both
    const TFormBorderStyle bs = f->BorderStyle();
    if (bs == bsSingle || bs == bsDialog || bs == bsToolWindow)
        r = r.Inflate(-GetSystemMetrics(SM_CXDLGFRAME), -GetSystemMetrics(SM_CYDLGFRAME));
    else if (bs == bsSizeable || bs == bsSizeToolWin)
        r = r.Inflate(-GetSystemMetrics(SM_CXFRAME), -GetSystemMetrics(SM_CYFRAME));
    if (bs == bsToolWindow || bs == bsSizeToolWin) {
        r.bottom = r.top + GetSystemMetrics(SM_CYSMCAPTION) - 1;
        r.right -= GetSystemMetrics(SM_CXSMSIZE) * n;
    } else {
        r.bottom = r.top + GetSystemMetrics(SM_CYCAPTION) - 1;
        r.right -= GetSystemMetrics(SM_CXSIZE) * n;
    }
    return r;
}

}  // namespace controls
