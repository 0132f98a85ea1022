#pragma once
// TINetDetector tells whether the computer is on a network, polled on a
// timer of a hidden window (controls/netstate.hpp says how it judges).
#include <string>

#include "controls/netstate.hpp"
#include "framework/ui/classes.hpp"
#include "framework/ui/window.hpp"

namespace controls {

class TINetDetector : public ui::TComponent {
public:
    explicit TINetDetector(ui::TComponent* owner, NetProbe probe = SystemNetProbe());
    ~TINetDetector() override;
    std::string ClassName() const override { return "TINetDetector"; }

    bool Enabled() const { return enabled_; }
    void SetEnabled(bool value);
    // Milliseconds between polls; 0 stops polling.
    unsigned DispatchInterval() const { return interval_; }
    void SetDispatchInterval(unsigned value);
    bool Online() const { return online_; }
    // The state is the detector's own: assignments are ignored.
    void SetOnline(bool) {}
    ui::TNotifyEvent OnChanged;

    // What the last poll saw.
    const std::vector<std::string>& HostEntry() const { return host_entry_; }
    const std::string& LocalAddress() const { return local_address_; }

private:
    void RestartTimer();
    void Tick();
    NetProbe probe_;
    ui::HWND window_ = 0;
    bool enabled_ = true;
    unsigned interval_ = 1000;
    bool online_ = false;
    std::vector<std::string> host_entry_;
    std::string local_address_;
};

}  // namespace controls
