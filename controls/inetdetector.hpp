#pragma once
// TINetDetector tells whether the computer is on a network, polled on a
// timer of a hidden window (controls/netstate.hpp says how it judges). The
// host name and the interfaces are the machine's own and asked at each poll;
// the host name's look-up may wait on a name server, so it runs on a thread
// of its own and its answer is posted back: the user-interface thread never
// waits on the network, nor does the detector's end wait for a look-up.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "controls/netstate.hpp"
#include "framework/ui/classes.hpp"
#include "framework/ui/window.hpp"

namespace controls {

struct NetLookUp;

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

    // What the last judgement saw.
    const std::vector<std::string>& HostEntry() const { return host_entry_; }
    const std::string& LocalAddress() const { return local_address_; }
    // A look-up of the host name has not answered yet; no other starts meanwhile.
    bool LookingUp() const { return looking_up_; }

private:
    void RestartTimer();
    void Tick();
    void StartLookUp(const std::string& name);
    void TakeAnswer();
    void Judge();
    NetProbe probe_;
    std::shared_ptr<NetLookUp> shared_;
    ui::HWND window_ = 0;
    bool enabled_ = true;
    unsigned interval_ = 1000;
    bool online_ = false;
    bool looking_up_ = false;
    std::optional<std::string> name_;                // the host name of the last poll
    std::optional<std::vector<std::string>> entry_;  // its addresses, as the last answer gave them
    std::vector<std::string> host_entry_;
    std::string local_address_;
};

}  // namespace controls
