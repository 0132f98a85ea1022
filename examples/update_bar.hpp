#pragma once
// The update check: whether the computer is online, and "Check for updates",
// which fetches the published version file with its progress shown. The
// button keeps to the strip's right edge, whatever its width.
#include <cstddef>
#include <functional>
#include <string>

#include "controls/httpget.hpp"
#include "controls/inetdetector.hpp"
#include "framework/ui/controls.hpp"
#include "framework/ui/stdctrls.hpp"

namespace demo {

class TUpdateBar : public ui::TPanel {
public:
    // `version_url` reads the version file's address from the settings each
    // time; the file is fetched into `version_file`.
    TUpdateBar(ui::TComponent* owner, std::function<std::string()> version_url, std::string version_file,
               controls::NetProbe probe = controls::SystemNetProbe());
    std::string ClassName() const override { return "TUpdateBar"; }

    static constexpr const char* kProgramVersion = "4.0";
    static constexpr const char* kSection = "UPDATE CHECK";
    static constexpr const char* kUrlKey = "VERSION URL";
    // A version file is one short line: a reply larger than this is stopped
    // and refused, a first line longer than a version is shown cut short.
    static constexpr size_t kMostReplyBytes = 64 * 1024;
    static constexpr size_t kMostVersionChars = 64;

    controls::TINetDetector* Detector() const { return detector_; }
    controls::THTTPGet* Download() const { return download_; }
    ui::TButton* CheckButton() const { return check_; }
    ui::TLabel* OnlineLabel() const { return online_; }
    ui::TLabel* StatusLabel() const { return status_; }
    void CheckForUpdates();
    std::string VersionUrl() const { return version_url_ ? version_url_() : ""; }
    void SetBounds(int left, int top, int width, int height) override;

private:
    void Arrange();
    void Say(const std::string& text);
    void ShowOnline();
    void Done();
    static std::string TooLarge();
    std::function<std::string()> version_url_;
    std::string version_file_;
    controls::TINetDetector* detector_ = nullptr;
    controls::THTTPGet* download_ = nullptr;
    ui::TButton* check_ = nullptr;
    ui::TLabel* online_ = nullptr;
    ui::TLabel* status_ = nullptr;
    bool too_large_ = false;  // the running check's reply passed kMostReplyBytes
};

}  // namespace demo
