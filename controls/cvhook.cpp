#include "controls/cvhook.hpp"

#include <algorithm>

#include "controls/detail/state.hpp"
#include "framework/ui/forms.hpp"

namespace controls {

using namespace ui;

THookList* HookList() { return Controls().hook_list.get(); }

THookList& EnsureHookList() {
    std::unique_ptr<THookList>& list = Controls().hook_list;
    if (!list) list = std::make_unique<THookList>();
    return *list;
}

// ---------------------------------------------------------------- TCvWindowHook

TCvWindowHook::TCvWindowHook(TComponent* owner) : TComponent(owner) {}

TCvWindowHook::~TCvWindowHook() = default;

void TCvWindowHook::BeforeDestruction() {
    SetActive(false);
    SetWinControl(nullptr);
    TComponent::BeforeDestruction();
}

void TCvWindowHook::Attach() {
    if (control_ && !Has(csDestroying)) EnsureHookList().GetOrCreate(control_)->AddHook(this);
}

void TCvWindowHook::Detach() {
    if (control_hook_) control_hook_->RemoveHook(this);
}

void TCvWindowHook::SetActive(bool active) {
    if (active == active_) return;
    if (active) {
        Attach();
        active_ = true;
    } else {
        Detach();
        active_ = false;
    }
}

TWinControl* TCvWindowHook::WinControl() const { return control_hook_ ? control_hook_->Control() : control_; }

void TCvWindowHook::SetWinControl(TWinControl* control) {
    if (control == WinControl()) return;
    const bool was_active = active_;
    TControlHook* left = control_hook_;
    TWinControl* old = control_;
    Detach();
    if (old && old != control) RemoveFreeNotification(old);
    control_ = control;
    if (control) control->FreeNotification(this);
    if (left && left->Hooks().empty()) {
        if (left->Control() && left->Control()->Has(csDestroying)) left->ForgetControl();
        if (THookList* list = HookList()) PostMessage(list->Window(), CM_FREEHOOK, 0, LPARAM(left->Id()));
    }
    if (was_active) Attach();
}

void TCvWindowHook::Notification(TComponent* component, TOperation op) {
    TComponent::Notification(component, op);
    if (op != TOperation::opRemove) return;
    if (component == WinControl() || component == control_ || component == Owner() || !Owner()) SetWinControl(nullptr);
}

bool TCvWindowHook::IsForm() const {
    TWinControl* c = WinControl();
    return c && c == Owner() && dynamic_cast<TCustomForm*>(c) != nullptr;
}

bool TCvWindowHook::WinControlStored() const {
    TWinControl* c = WinControl();
    return c && !dynamic_cast<TCustomForm*>(c);
}

void TCvWindowHook::DefineProperties(TFiler& filer) {
    bool has_data = IsForm();
    if (auto* ancestor = dynamic_cast<TCvWindowHook*>(filer.ancestor)) has_data = IsForm() != ancestor->IsForm();
    filer.DefineProperty(
        "IsForm",
        [this](const PropertyValue& v) {
            const bool* b = std::get_if<bool>(&v);
            if (b && *b)
                if (auto* form = dynamic_cast<TCustomForm*>(Owner())) SetWinControl(form);
        },
        [this]() -> PropertyValue { return IsForm(); }, has_data);
}

void TCvWindowHook::DoBeforeMessage(TMessage& msg, bool& handled) {
    if (BeforeMessage) BeforeMessage(this, msg, handled);
}

void TCvWindowHook::DoAfterMessage(TMessage& msg, bool& handled) {
    if (AfterMessage) AfterMessage(this, msg, handled);
}

// ---------------------------------------------------------------- TControlHook

TControlHook::TControlHook() : id_(Controls().next_hook_id++), self_(std::make_shared<TControlHook*>(this)) {}

TControlHook::~TControlHook() {
    destroying_ = true;
    while (!hooks_.empty()) RemoveHook(hooks_.back());
    SetControl(nullptr);
    *self_ = nullptr;
}

void TControlHook::AddHook(TCvWindowHook* hook) {
    if (std::find(hooks_.begin(), hooks_.end(), hook) != hooks_.end()) return;
    hooks_.push_back(hook);
    hook->control_hook_ = this;
    SetControl(hook->control_);
    HookControl();
}

void TControlHook::RemoveHook(TCvWindowHook* hook) {
    hook->control_hook_ = nullptr;
    hooks_.erase(std::remove(hooks_.begin(), hooks_.end(), hook), hooks_.end());
    if (hooks_.empty()) UnhookControl();
}

void TControlHook::SetControl(TWinControl* control) {
    if (control == control_) return;
    UnhookControl();
    control_ = control;
    if (!hooks_.empty()) HookControl();
}

void TControlHook::HookControl() {
    if (!control_ || destroying_ || control_->Has(csDesigning | csDestroying)) return;
    const HWND h = control_->Handle();
    if (token_ && IsSubclassedBy(h, token_)) return;
    auto self = self_;
    token_ = SubclassWindow(h, [self](HWND hw, UINT m, WPARAM w, LPARAM l, const NextProc& next) -> LRESULT {
        TControlHook* hook = *self;
        return hook ? hook->Dispatch(hw, m, w, l, next) : next(hw, m, w, l);
    });
    hooked_window_ = token_ ? h : 0;
}

void TControlHook::UnhookControl() {
    // Our procedure leaves the chain wherever it is in it; procedures put on
    // the window after ours stay in place.
    if (token_) RemoveSubclass(hooked_window_, token_);
    token_ = 0;
    hooked_window_ = 0;
}

LRESULT TControlHook::Dispatch(HWND h, UINT msg, WPARAM w, LPARAM l, const NextProc& next) {
    if (!control_) return next(h, msg, w, l);
    TMessage m{msg, w, l, 0};
    bool handled = false;
    TWinControl* control = control_;
    // Handlers may attach and detach hooks: walk a copy, skipping those gone.
    const std::vector<TCvWindowHook*> hooks = hooks_;
    auto still_attached = [this](TCvWindowHook* hk) {
        return std::find(hooks_.begin(), hooks_.end(), hk) != hooks_.end();
    };
    auto pass = [&](bool before) {
        if (hooks.empty() || !control_ || control_->Has(csDestroying) || destroying_) return;
        for (auto it = hooks.rbegin(); it != hooks.rend(); ++it) {
            if (!still_attached(*it)) continue;
            if (before)
                (*it)->DoBeforeMessage(m, handled);
            else
                (*it)->DoAfterMessage(m, handled);
            if (handled) break;
        }
    };
    if (msg != WM_QUIT) pass(true);
    if (!handled || msg == WM_DESTROY) {
        m.Result = next(h, msg, m.WParam, m.LParam);
        pass(false);
    }
    if (msg == WM_DESTROY) {
        UnhookControl();
        if (THookList* list = HookList();
            list && !destroying_ && control_ == control && control && !control->Has(csDestroying))
            PostMessage(list->Window(), CM_RESUBCLASS, 0, LPARAM(id_));
    }
    return m.Result;
}

// ---------------------------------------------------------------- THookList

THookList::THookList() { Window(); }

THookList::~THookList() {
    while (!hooks_.empty()) {
        auto hook = std::move(hooks_.back());
        hooks_.pop_back();
    }
    if (window_) DeallocateHWnd(window_);
}

HWND THookList::Window() {
    if (!window_ || !IsWindow(window_)) window_ = AllocateHWnd([this](TMessage& m) { WindowProc(m); });
    return window_;
}

TControlHook* THookList::Find(const TWinControl* control) const {
    if (!control) return nullptr;
    for (const auto& h : hooks_)
        if (h->Control() == control) return h.get();
    return nullptr;
}

TControlHook* THookList::GetOrCreate(TWinControl* control) {
    if (TControlHook* h = Find(control)) return h;
    hooks_.push_back(std::make_unique<TControlHook>());
    hooks_.back()->SetControl(control);
    return hooks_.back().get();
}

TControlHook* THookList::FindId(uint64_t id) const {
    for (const auto& h : hooks_)
        if (h->Id() == id) return h.get();
    return nullptr;
}

void THookList::Free(TControlHook* hook) {
    auto it = std::find_if(hooks_.begin(), hooks_.end(), [&](const auto& p) { return p.get() == hook; });
    if (it == hooks_.end()) return;
    auto owned = std::move(*it);
    hooks_.erase(it);
}

void THookList::WindowProc(TMessage& m) {
    if (m.Msg == CM_RESUBCLASS) {
        if (TControlHook* h = FindId(uint64_t(m.LParam))) h->HookControl();
        return;
    }
    if (m.Msg == CM_FREEHOOK) {
        if (TControlHook* h = FindId(uint64_t(m.LParam)); h && h->Hooks().empty()) Free(h);
        return;
    }
    m.Result = DefWindowProc(window_, m.Msg, m.WParam, m.LParam);
}

}  // namespace controls
