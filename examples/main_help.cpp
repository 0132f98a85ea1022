// Help in the main window: the help hook over the program's help file, and
// the launcher a test puts in the place of the viewers.
#include <cstdlib>
#include <fstream>

#include "examples/main_window_parts.hpp"
#include "framework/ui/inifiles.hpp"

namespace demo {

namespace {

// Writes what would be started to a file, one line a start, instead of starting it.
class LaunchLog final : public platform::ProcessLauncher {
public:
    explicit LaunchLog(std::string path) : path_(std::move(path)) {}
    int Start(const std::vector<std::string>& argv, int& error) override {
        std::ofstream out(path_, std::ios::app);
        for (size_t i = 0; i < argv.size(); ++i) out << (i ? "\t" : "") << argv[i];
        out << '\n';
        error = out ? 0 : 5;
        return out ? next_pid_++ : 0;
    }
    bool Stop(int) override { return false; }

private:
    std::string path_;
    int next_pid_ = 1000;
};

}  // namespace

THelpPart::THelpPart(ui::TForm* window, const std::string& help_file)
    : ui::TComponent(window), hook_(help_file, "", 0) {
    SetName(kHelpName);
}

THelpPart* AddHelp(ui::TForm* window, const std::string& help_file) {
    window->HelpContext = kMainHelpContext;
    return new THelpPart(window, help_file.empty() ? ui::ChangeFileExt(ui::ApplicationExeName(), ".CHM") : help_file);
}

std::unique_ptr<platform::ProcessLauncher> HelpLaunchLogFromEnvironment() {
    const char* path = std::getenv(kHelpLaunchLogVariable);
    if (!path || !*path) return nullptr;
    return std::make_unique<LaunchLog>(path);
}

}  // namespace demo
