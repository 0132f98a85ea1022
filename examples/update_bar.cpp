#include "examples/update_bar.hpp"

#include <fstream>

namespace demo {

TUpdateBar::TUpdateBar(ui::TComponent* owner, std::function<std::string()> version_url, std::string version_file,
                       controls::NetProbe probe)
    : ui::TPanel(owner), version_url_(std::move(version_url)), version_file_(std::move(version_file)) {
    SetName("UpdateBar");
    SetHeight(29);
    SetBevelOuter(ui::bvNone);
    SetCaption("");

    detector_ = new controls::TINetDetector(this, std::move(probe));
    detector_->OnChanged = [this](ui::TObject*) { ShowOnline(); };
    download_ = new controls::THTTPGet(this);
    download_->FileName = version_file_;
    download_->BinaryData = false;
    download_->OnProgress = [this](ui::TObject*, int total, int read) {
        status_->SetCaption("Checking for updates: " + std::to_string(read) + " of " + std::to_string(total) +
                            " bytes");
    };
    download_->OnDoneFile = [this](ui::TObject*, const std::string&, int) { Done(); };
    download_->OnError = [this](ui::TObject*) { status_->SetCaption("The update check failed."); };

    check_ = new ui::TButton(this);
    check_->SetName("CheckForUpdates");
    check_->SetParent(this);
    check_->SetCaption("Check for updates");
    check_->SetBounds(4, 2, 120, 25);
    check_->OnClick = [this](ui::TObject*) { CheckForUpdates(); };

    online_ = new ui::TLabel(this);
    online_->SetParent(this);
    online_->SetLeft(136);
    online_->SetTop(8);
    status_ = new ui::TLabel(this);
    status_->SetParent(this);
    status_->SetLeft(200);
    status_->SetTop(8);
    ShowOnline();
}

void TUpdateBar::ShowOnline() { online_->SetCaption(detector_->Online() ? "Online" : "Offline"); }

void TUpdateBar::CheckForUpdates() {
    if (download_->Running()) return;
    const std::string url = VersionUrl();
    if (url.empty()) {
        status_->SetCaption(std::string("No update address is set (") + kUrlKey + " in section " + kSection +
                            " of the settings file).");
        return;
    }
    if (!detector_->Online()) {
        status_->SetCaption("Not connected: the update check needs the network.");
        return;
    }
    status_->SetCaption("Checking for updates...");
    download_->URL = url;
    download_->GetFile();
}

// The version file's first line is the version published.
void TUpdateBar::Done() {
    std::ifstream in(version_file_);
    std::string version;
    std::getline(in, version);
    while (!version.empty() && (version.back() == '\r' || version.back() == ' ')) version.pop_back();
    if (version.empty())
        status_->SetCaption("The version file is empty.");
    else if (version == kProgramVersion)
        status_->SetCaption(std::string("This is the latest version (") + kProgramVersion + ").");
    else
        status_->SetCaption("Version " + version + " is published; this is version " + kProgramVersion + ".");
}

}  // namespace demo
