#include "examples/update_bar.hpp"

#include <algorithm>
#include <fstream>

namespace demo {

TUpdateBar::TUpdateBar(ui::TComponent* owner, std::function<std::string()> version_url, std::string version_file,
                       controls::NetProbe probe)
    : ui::TPanel(owner), version_url_(std::move(version_url)), version_file_(std::move(version_file)) {
    SetName("UpdateBar");
    SetHeight(31);
    SetBevelOuter(ui::bvNone);
    SetCaption("");

    detector_ = new controls::TINetDetector(this, std::move(probe));
    detector_->OnChanged = [this](ui::TObject*) { ShowOnline(); };
    download_ = new controls::THTTPGet(this);
    download_->FileName = version_file_;
    download_->BinaryData = false;
    download_->OnProgress = [this](ui::TObject*, int total, int read) {
        // A reply larger than any version file is not read to its end.
        if (int64_t(std::max(total, read)) > int64_t(kMostReplyBytes)) {
            too_large_ = true;
            download_->Stop();
            return;
        }
        Say("Checking for updates: " + std::to_string(read) + " of " + std::to_string(total) + " bytes");
    };
    download_->OnDoneFile = [this](ui::TObject*, const std::string&, int) { Done(); };
    download_->OnError = [this](ui::TObject*) { Say(too_large_ ? TooLarge() : "The update check failed."); };

    check_ = new ui::TButton(this);
    check_->SetName("CheckForUpdates");
    check_->SetParent(this);
    check_->SetCaption("Check for updates");
    check_->SetBounds(0, 4, 120, 23);
    check_->OnClick = [this](ui::TObject*) { CheckForUpdates(); };

    online_ = new ui::TLabel(this);
    online_->SetParent(this);
    status_ = new ui::TLabel(this);
    status_->SetParent(this);
    status_->Alignment = ui::taRightJustify;
    ShowOnline();
}

void TUpdateBar::SetBounds(int left, int top, int width, int height) {
    ui::TPanel::SetBounds(left, top, width, height);
    Arrange();
}

// The button at the right edge, the indicator before it and the outcome before
// that, ending where the indicator starts; on two lines when one is too short.
void TUpdateBar::Arrange() {
    if (!status_) return;
    constexpr int kMargin = 8, kGap = 10;
    check_->SetLeft(Width() - kMargin - check_->Width());
    online_->SetBounds(check_->Left() - kGap - online_->Width(), 9, online_->Width(), online_->Height());
    const int end = online_->Left() - kGap, room = std::max(end - 4, 0);
    status_->WordWrap = false;
    status_->SetAutoSize(true);
    if (status_->Width() <= room) {
        status_->SetBounds(end - status_->Width(), 9, status_->Width(), status_->Height());
        return;
    }
    status_->SetAutoSize(false);
    status_->WordWrap = true;
    status_->SetBounds(4, 2, room, Height() - 2);
}

void TUpdateBar::Say(const std::string& text) {
    status_->SetCaption(text);
    Arrange();
}

void TUpdateBar::ShowOnline() {
    online_->SetCaption(detector_->Online() ? "Online" : "Offline");
    Arrange();
}

void TUpdateBar::CheckForUpdates() {
    if (download_->Running()) return;
    const std::string url = VersionUrl();
    if (url.empty()) {
        Say(std::string("No update address is set (") + kUrlKey + " in section " + kSection +
            " of the settings file).");
        return;
    }
    if (!detector_->Online()) {
        Say("Not connected: the update check needs the network.");
        return;
    }
    Say("Checking for updates...");
    too_large_ = false;
    download_->URL = url;
    download_->GetFile();
}

std::string TUpdateBar::TooLarge() {
    return "The version file is too large (more than " + std::to_string(kMostReplyBytes) + " bytes).";
}

// The version file's first line is the version published. What the server
// sent is read only as far as a version file can go, and a line too long to
// be a version is shown cut short.
void TUpdateBar::Done() {
    std::ifstream in(version_file_, std::ios::binary);
    std::string reply(kMostReplyBytes + 1, '\0');
    in.read(reply.data(), std::streamsize(reply.size()));
    reply.resize(size_t(std::max<std::streamsize>(in.gcount(), 0)));
    if (reply.size() > kMostReplyBytes) {
        Say(TooLarge());
        return;
    }
    std::string version = reply.substr(0, reply.find_first_of("\r\n"));
    while (!version.empty() && version.back() == ' ') version.pop_back();
    if (version.empty())
        Say("The version file is empty.");
    else if (version.size() > kMostVersionChars)
        Say("The version file holds no version (\"" + version.substr(0, kMostVersionChars) + "...\").");
    else if (version == kProgramVersion)
        Say(std::string("This is the latest version (") + kProgramVersion + ").");
    else
        Say("Version " + version + " is published; this is version " + kProgramVersion + ".");
}

}  // namespace demo
