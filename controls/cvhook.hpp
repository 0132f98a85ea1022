#pragma once
// Watching and intercepting the messages of another control's window. Any
// number of hooks may watch one control: one TControlHook per control puts a
// procedure on the window once and calls every hook attached to it.
#include <functional>
#include <memory>
#include <vector>

#include "framework/ui/controls.hpp"

namespace controls {

class TControlHook;

using THookMessageEvent = std::function<void(ui::TObject* sender, ui::TMessage& msg, bool& handled)>;

// Private messages of the hook list's window.
constexpr ui::UINT CM_RESUBCLASS = 0xB052;
constexpr ui::UINT CM_FREEHOOK = 0xB053;

class TCvWindowHook : public ui::TComponent {
public:
    explicit TCvWindowHook(ui::TComponent* owner);
    ~TCvWindowHook() override;
    std::string ClassName() const override { return "TCvWindowHook"; }
    void BeforeDestruction() override;

    bool Active() const { return active_; }
    void SetActive(bool active);
    ui::TWinControl* WinControl() const;
    void SetWinControl(ui::TWinControl* control);
    THookMessageEvent BeforeMessage, AfterMessage;

    void Notification(ui::TComponent* component, ui::TOperation op) override;
    void DefineProperties(ui::TFiler& filer) override;
    // Whether WinControl goes into the layout (a form is written as "IsForm").
    bool WinControlStored() const;

    virtual void DoBeforeMessage(ui::TMessage& msg, bool& handled);
    virtual void DoAfterMessage(ui::TMessage& msg, bool& handled);

private:
    friend class TControlHook;
    void Attach();
    void Detach();
    bool IsForm() const;
    bool active_ = true;
    ui::TWinControl* control_ = nullptr;
    TControlHook* control_hook_ = nullptr;
};

class TControlHook {
public:
    TControlHook();
    ~TControlHook();
    TControlHook(const TControlHook&) = delete;
    TControlHook& operator=(const TControlHook&) = delete;

    ui::TWinControl* Control() const { return control_; }
    const std::vector<TCvWindowHook*>& Hooks() const { return hooks_; }
    bool Subclassed() const { return token_ != 0; }
    uint64_t Id() const { return id_; }

    void AddHook(TCvWindowHook* hook);
    void RemoveHook(TCvWindowHook* hook);
    void SetControl(ui::TWinControl* control);
    void HookControl();
    void UnhookControl();
    // The control went away without a window procedure of ours on it.
    void ForgetControl() { control_ = nullptr; }

private:
    ui::LRESULT Dispatch(ui::HWND h, ui::UINT msg, ui::WPARAM w, ui::LPARAM l, const ui::NextProc& next);
    ui::TWinControl* control_ = nullptr;
    ui::SubclassToken token_ = 0;
    ui::HWND hooked_window_ = 0;
    std::vector<TCvWindowHook*> hooks_;
    bool destroying_ = false;
    uint64_t id_;
    std::shared_ptr<TControlHook*> self_;  // cleared at destruction, for calls still on the window
};

// The list of control hooks and its hidden window, in the library's state.
class THookList {
public:
    THookList();
    ~THookList();
    TControlHook* Find(const ui::TWinControl* control) const;
    TControlHook* GetOrCreate(ui::TWinControl* control);
    TControlHook* FindId(uint64_t id) const;
    void Free(TControlHook* hook);
    ui::HWND Window();
    int Count() const { return int(hooks_.size()); }

private:
    void WindowProc(ui::TMessage& m);
    std::vector<std::unique_ptr<TControlHook>> hooks_;
    ui::HWND window_ = 0;
};

// The list, made on first use; nullptr before that. UiReset and UiShutdown
// free it with every control hook in it.
THookList* HookList();
THookList& EnsureHookList();

}  // namespace controls
