// "Back up to folder...": the tables copied through the engine into a folder
// chosen with the folder picker.
#include "examples/backup.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "controls/browsefolder.hpp"
#include "engine/dbf/errors.hpp"
#include "framework/ui/controls.hpp"
#include "platform/codepage.hpp"
#include "platform/msgbox.hpp"
#include "platform/paths.hpp"

namespace demo {

namespace fs = std::filesystem;

namespace {

constexpr const char* kCaption = "Back up to folder";

std::string Host(const std::string& ansi) { return platform::AnsiToUtf8(ansi); }

// The table file's name without its folder.
std::string BaseName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Why nothing can be written into the folder; empty when something can.
std::string Unwritable(const std::string& folder) {
    const std::string probe = Host(folder) + "/.corvanta-backup-probe";
    const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return platform::Utf8ToAnsi(std::strerror(errno));
    ::close(fd);
    ::unlink(probe.c_str());
    return {};
}

}  // namespace

BackupResult BackUpTables(const std::vector<zurod::TTzCDataSet*>& tables, const std::string& folder) {
    std::error_code ec;
    const std::string quoted = "\"" + folder + "\"";
    if (folder.empty() || !fs::is_directory(Host(folder), ec))
        return {false, "The folder " + quoted + " does not exist."};
    for (zurod::TTzCDataSet* t : tables) {
        const fs::path own = fs::absolute(Host(t->DbfFileName()), ec).parent_path();
        if (fs::equivalent(own, Host(folder), ec))
            return {false, "The tables are in " + quoted + " already. Choose another folder for the backup."};
    }
    if (const std::string why = Unwritable(folder); !why.empty())
        return {false, "The folder " + quoted + " cannot be written to:\r\n\r\n" + why + "."};

    // Every copy beside its final name first; none is put in place unless all were made.
    struct Made {
        std::string temporary, final_name;
    };
    std::vector<Made> made;
    auto discard = [&](size_t from) {
        for (size_t i = from; i < made.size(); ++i) fs::remove(Host(made[i].temporary), ec);
    };
    for (zurod::TTzCDataSet* t : tables) {
        const std::string name = BaseName(t->DbfFileName());
        const size_t dot = name.find_last_of('.');
        // Spelt as the engine will make it (the extension in the case of the name).
        Made m{platform::ResolveForCreate(folder + "/" + name.substr(0, dot) + ".TZB"), folder + "/" + name};
        fs::remove(Host(m.temporary), ec);  // what an earlier failure may have left
        made.push_back(m);
        std::string failure;
        try {
            t->CopyTo(m.temporary);
            if (zurod::LastErrorCode() != 0) failure = zurod::LastErrorText();
        } catch (const std::exception& e) {
            failure = e.what();
        }
        if (failure.empty() && !fs::exists(Host(m.temporary), ec)) failure = "The copy of " + name + " is missing.";
        if (!failure.empty()) {
            discard(0);
            return {false,
                    "The backup could not be written to " + quoted + ". Nothing was changed there.\r\n\r\n" + failure};
        }
    }
    for (size_t i = 0; i < made.size(); ++i) {
        fs::rename(Host(made[i].temporary), Host(made[i].final_name), ec);
        if (ec) {
            discard(i);
            return {false,
                    "The backup of " + BaseName(made[i].final_name) + " could not be put in place in " + quoted +
                        ":\r\n\r\n" + platform::Utf8ToAnsi(ec.message()) + "."};
        }
    }
    return {true, "The tables were backed up to " + quoted + "."};
}

bool BackUpToFolder(ui::TWinControl* owner, const std::vector<zurod::TTzCDataSet*>& tables, std::string& last_folder) {
    auto picker = ui::Make<controls::TBrowseFolder>(owner);
    picker->Title = "Choose the folder to back the tables up to.";
    picker->Flags = controls::bfFileSysDirsOnly | controls::bfStatusText;
    picker->ShowPathInStatusArea = true;
    picker->Directory = last_folder;
    if (!picker->Execute()) return false;
    last_folder = picker->Directory;
    const BackupResult result = BackUpTables(tables, picker->Directory);
    platform::ShowMessageBox(result.message, kCaption,
                             platform::kMbOk | (result.ok ? platform::kMbIconInformation : platform::kMbIconStop));
    return result.ok;
}

}  // namespace demo
