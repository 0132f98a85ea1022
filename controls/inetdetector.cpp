#include "controls/inetdetector.hpp"

#include "framework/ui/controls.hpp"
#include "framework/ui/forms.hpp"

namespace controls {

TINetDetector::TINetDetector(ui::TComponent* owner, NetProbe probe) : ui::TComponent(owner), probe_(std::move(probe)) {
    window_ = ui::AllocateHWnd([this](ui::TMessage& m) {
        if (m.Msg == ui::WM_TIMER) {
            try {
                Tick();
            } catch (const std::exception& e) {
                ui::Application().HandleException(e);
            }
            return;
        }
        m.Result = ui::DefWindowProc(window_, m.Msg, m.WParam, m.LParam);
    });
    RestartTimer();
}

TINetDetector::~TINetDetector() {
    enabled_ = false;
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
    const bool before = online_;
    const HostTestResult host = HostTest(probe_);
    host_entry_ = host.host_entry;
    local_address_ = host.local_address;
    // The dial-up link counts when there is one; otherwise the host test alone.
    const std::optional<bool> remote = RemoteConnection(probe_);
    online_ = remote ? (*remote || host.online) : host.online;
    if (online_ != before && OnChanged) {
        const ui::TNotifyEvent handler = OnChanged;
        handler(this);
    }
}

}  // namespace controls
