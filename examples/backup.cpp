// "Back up to folder...": the tables' files copied through the engine into a
// folder chosen with the folder picker.
#include "examples/backup.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <span>
#include <vector>

#include "controls/browsefolder.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/dbf/files.hpp"
#include "framework/ui/controls.hpp"
#include "platform/codepage.hpp"
#include "platform/file.hpp"
#include "platform/msgbox.hpp"
#include "platform/paths.hpp"

namespace demo {

namespace fs = std::filesystem;

namespace {

constexpr const char* kCaption = "Back up to folder";
constexpr size_t kCopyBlock = 1 << 20;

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

// The files a table is stored in: the table, and its memo file and production
// index where it has them (spelt as they are on disk).
std::vector<std::string> TableFiles(const std::string& table) {
    std::vector<std::string> files = {platform::ResolveExisting(table)};
    const size_t dot = table.find_last_of('.'), slash = table.find_last_of('/');
    const bool extension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    const std::string stem = table.substr(0, extension ? dot : table.size());
    for (const char* ext : {".DBT", ".FPT", ".MDX"}) {
        const std::string beside = platform::ResolveExisting(stem + ext);
        if (zurod::FileExists(beside)) files.push_back(beside);
    }
    return files;
}

// Copies a file of a table the program holds: its own share mode refuses a
// second open through the engine's files, and nobody else can write it while
// it is held. The copy is on disk before it is put in place.
std::string CopyHeldFile(const std::string& source, const std::string& target) {
    const int in = ::open(Host(source).c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return "Error reading " + source + ": " + platform::Utf8ToAnsi(std::strerror(errno)) + ".";
    platform::File out;
    int code =
        out.Open(target, platform::Access::Write, platform::Share::Exclusive, platform::Disposition::CreateAlways);
    std::string failure = code == 0 ? "" : "Error " + std::to_string(code) + " creating " + target + ".";
    std::vector<char> block(kCopyBlock);
    for (uint64_t offset = 0; failure.empty();) {
        const ssize_t got = ::pread(in, block.data(), block.size(), off_t(offset));
        if (got < 0) failure = "Error reading " + source + ": " + platform::Utf8ToAnsi(std::strerror(errno)) + ".";
        if (got <= 0) break;
        code = out.WriteAt(offset, std::span<const char>(block.data(), size_t(got)));
        if (code != 0) failure = "Error " + std::to_string(code) + " writing " + target + ".";
        offset += uint64_t(got);
    }
    ::close(in);
    if (failure.empty() && (code = out.Sync()) != 0)
        failure = "Error " + std::to_string(code) + " writing " + target + ".";
    return failure;
}

// The copy the engine made on disk before it is put in place.
std::string Synced(const std::string& path) {
    platform::File file;
    int code = file.Open(path, platform::Access::Read, platform::Share::DenyNone);
    if (code == 0) code = file.Sync();
    return code == 0 ? "" : "Error " + std::to_string(code) + " writing " + path + ".";
}

struct Made {
    std::string temporary, final_name;
    std::string replaced, aside;  // what stood under the final name, and where it was moved aside
    bool placed = false;
};

// Puts every copy under its final name, or none: what stands there is moved
// aside first and comes back when a copy cannot be put in place (a new table
// file beside an old memo file would point into the wrong blocks). 0, or the
// code of the failure with `failed` the name it was for (empty when the
// folder itself could not be put on disk).
int PutInPlace(std::vector<Made>& made, const std::string& folder, std::string& failed) {
    std::error_code ec;
    int code = 0;
    for (Made& m : made) {
        failed = m.final_name;
        const std::string existing = platform::ResolveExisting(m.final_name);
        if (fs::exists(fs::symlink_status(Host(existing), ec))) {
            const std::string aside = platform::ResolveForCreate(existing + ".TZO");
            fs::remove(Host(aside), ec);  // what an earlier failure may have left
            if ((code = platform::RenameNoReplace(existing, aside)) != 0) break;
            m.replaced = existing;
            m.aside = aside;
        }
        if ((code = platform::RenameNoReplace(m.temporary, m.final_name)) != 0) break;
        m.placed = true;
    }
    if (code == 0 && (code = platform::SyncFolder(folder)) != 0) failed.clear();
    for (Made& m : made) {
        if (code != 0 && m.placed) fs::remove(Host(platform::ResolveExisting(m.final_name)), ec);
        if (code != 0) fs::remove(Host(m.temporary), ec);
        if (m.replaced.empty()) continue;
        if (code != 0)
            platform::RenameNoReplace(m.aside, m.replaced);
        else
            fs::remove(Host(m.aside), ec);
    }
    return code;
}

}  // namespace

BackupResult BackUpTables(const std::vector<zurod::TTzFileDataSet*>& tables, const std::string& folder) {
    std::error_code ec;
    const std::string quoted = "\"" + folder + "\"";
    if (folder.empty() || !fs::is_directory(Host(folder), ec))
        return {false, "The folder " + quoted + " does not exist."};
    for (zurod::TTzFileDataSet* t : tables) {
        const fs::path own = fs::absolute(Host(t->DbfFileName()), ec).parent_path();
        if (fs::equivalent(own, Host(folder), ec))
            return {false, "The tables are in " + quoted + " already. Choose another folder for the backup."};
    }
    if (const std::string why = Unwritable(folder); !why.empty())
        return {false, "The folder " + quoted + " cannot be written to:\r\n\r\n" + why + "."};

    // The files as they are stored (record numbers and memo references stay
    // what they were, whatever order or filter the program shows them in),
    // every copy beside its final name first; none is put in place unless
    // all were made.
    std::vector<Made> made;
    for (zurod::TTzFileDataSet* t : tables) {
        std::string failure;
        try {
            // The count and date still due go to the header first.
            t->FlushDbf();
            if (zurod::LastErrorCode() != 0) failure = zurod::LastErrorText();
            for (const std::string& file : TableFiles(t->DbfFileName())) {
                if (!failure.empty()) break;
                Made m;
                m.temporary = platform::ResolveForCreate(folder + "/" + BaseName(file) + ".TZB");
                m.final_name = folder + "/" + BaseName(file);
                fs::remove(Host(m.temporary), ec);  // what an earlier failure may have left
                made.push_back(m);
                if (t->Exclusive()) {
                    failure = CopyHeldFile(file, m.temporary);
                } else {
                    zurod::CopyFile(file, m.temporary);
                    failure = zurod::LastErrorCode() != 0 ? zurod::LastErrorText() : Synced(m.temporary);
                }
            }
        } catch (const std::exception& e) {
            failure = e.what();
        }
        if (!failure.empty()) {
            for (const Made& m : made) fs::remove(Host(m.temporary), ec);
            return {false,
                    "The backup could not be written to " + quoted + ". Nothing was changed there.\r\n\r\n" + failure};
        }
    }
    std::string failed;
    if (const int code = PutInPlace(made, folder, failed); code != 0)
        return {false,
                "The backup could not be put in place in " + quoted + ". Nothing was changed there.\r\n\r\n" +
                    (failed.empty() ? "" : BaseName(failed) + ": ") + zurod::ErrorCodeText(uint16_t(code)) + "."};
    return {true, "The tables were backed up to " + quoted + "."};
}

bool BackUpToFolder(ui::TWinControl* owner, const std::vector<zurod::TTzFileDataSet*>& tables,
                    std::string& last_folder) {
    auto picker = ui::Make<controls::TBrowseFolder>(owner);
    picker->Title = "Choose the folder to back the tables up to.";
    picker->Flags = controls::bfFileSysDirsOnly | controls::bfStatusText;
    picker->ShowPathInStatusArea = true;
    picker->Directory = last_folder;
    if (!picker->Execute()) return false;
    const BackupResult result = BackUpTables(tables, picker->Directory);
    // A folder that could not take the backup is not offered again.
    if (result.ok) last_folder = picker->Directory;
    platform::ShowMessageBox(result.message, kCaption,
                             platform::kMbOk | (result.ok ? platform::kMbIconInformation : platform::kMbIconStop));
    return result.ok;
}

}  // namespace demo
