#include "controls/inetdetector.hpp"

#include <mutex>
#include <system_error>
#include <thread>

#include "framework/ui/controls.hpp"
#include "framework/ui/forms.hpp"

namespace controls {

namespace {
constexpr ui::UINT kLookUpAnswered = ui::WM_USER + 1;
}  // namespace

// What the detector and its look-up threads share. A thread whose look-up
// hangs outlives the detector: it then finds no window and drops its answer.
struct NetLookUp {
    std::mutex mu;
    ui::HWND window = 0;  // 0 once the detector is gone
    bool answered = false;
    std::string name;
    std::optional<std::vector<std::string>> entry;
};

TINetDetector::TINetDetector(ui::TComponent* owner, NetProbe probe)
    : ui::TComponent(owner), probe_(std::move(probe)), shared_(std::make_shared<NetLookUp>()) {
    window_ = ui::AllocateHWnd([this](ui::TMessage& m) {
        if (m.Msg == ui::WM_TIMER || m.Msg == kLookUpAnswered) {
            try {
                if (m.Msg == ui::WM_TIMER) {
                    Tick();
                } else {
                    TakeAnswer();
                    if (enabled_) Judge();
                }
            } catch (const std::exception& e) {
                ui::Application().HandleException(e);
            }
            return;
        }
        m.Result = ui::DefWindowProc(window_, m.Msg, m.WParam, m.LParam);
    });
    {
        std::lock_guard lock(shared_->mu);
        shared_->window = window_;
    }
    RestartTimer();
}

TINetDetector::~TINetDetector() {
    enabled_ = false;
    {
        std::lock_guard lock(shared_->mu);
        shared_->window = 0;
    }
    ui::KillTimer(window_, 1);
    ui::DeallocateHWnd(window_);
}

void TINetDetector::SetEnabled(bool value) {
    if (value == enabled_) return;
    enabled_ = value;
    RestartTimer();
}

void TINetDetector::SetDispatchInterval(unsigned value) {
    if (value == interval_) return;
    interval_ = value;
    RestartTimer();
}

void TINetDetector::RestartTimer() {
    ui::KillTimer(window_, 1);
    if (interval_ != 0 && enabled_) ui::SetTimer(window_, 1, interval_);
}

void TINetDetector::Tick() {
    TakeAnswer();  // also when its message was lost
    const std::optional<std::string> name = probe_.host_name ? probe_.host_name() : std::nullopt;
    if (name != name_) entry_.reset();  // another name's addresses say nothing
    name_ = name;
    if (name_ && !looking_up_) StartLookUp(*name_);
    Judge();
}

void TINetDetector::StartLookUp(const std::string& name) {
    if (!probe_.look_up) return;
    // The thread has its own copies: it may outlive the detector.
    try {
        std::thread([shared = shared_, look_up = probe_.look_up, name] {
            std::optional<std::vector<std::string>> entry;
            try {
                entry = look_up(name);
            } catch (...) {  // a look-up that fails finds nothing
            }
            std::lock_guard lock(shared->mu);
            if (!shared->window) return;
            shared->answered = true;
            shared->name = name;
            shared->entry = std::move(entry);
            ui::PostMessage(shared->window, kLookUpAnswered);
        }).detach();
        looking_up_ = true;
    } catch (const std::system_error&) {  // no thread now: the next poll tries again
    }
}

void TINetDetector::TakeAnswer() {
    std::lock_guard lock(shared_->mu);
    if (!shared_->answered) return;
    shared_->answered = false;
    looking_up_ = false;
    if (shared_->name == name_) entry_ = std::move(shared_->entry);
}

void TINetDetector::Judge() {
    const bool before = online_;
    const std::vector<NetInterface> interfaces = probe_.interfaces ? probe_.interfaces() : std::vector<NetInterface>{};
    const HostTestResult host = HostTest(name_, entry_, interfaces);
    host_entry_ = host.host_entry;
    local_address_ = host.local_address;
    // The dial-up link counts when there is one; otherwise the host test alone.
    const std::optional<bool> remote = RemoteConnection(interfaces);
    online_ = remote ? (*remote || host.online) : host.online;
    if (online_ != before && OnChanged) {
        const ui::TNotifyEvent handler = OnChanged;
        handler(this);
    }
}

}  // namespace controls
