#include "controls/hh.hpp"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "controls/detail/state.hpp"
#include "platform/codepage.hpp"
#include "platform/msgbox.hpp"
#include "platform/paths.hpp"
#include "platform/process.hpp"

namespace controls {

namespace {

bool StartsWithNoCase(const std::string& s, std::string_view prefix) {
    return s.size() >= prefix.size() &&
        platform::AnsiUpper(std::string_view(s).substr(0, prefix.size())) == platform::AnsiUpper(prefix);
}

std::string Trim(std::string s) {
    while (!s.empty() && s.back() == ' ') s.pop_back();
    size_t start = 0;
    while (start < s.size() && s[start] == ' ') ++start;
    return s.substr(start);
}

// A file URL of a local path, for a page opened at an anchor.
std::string FileUrl(const std::string& utf8_path, const std::string& anchor) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string url = "file://";
    for (unsigned char c : utf8_path) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '/' ||
            c == '-' || c == '_' || c == '.' || c == '~';
        if (plain) {
            url += static_cast<char>(c);
        } else {
            url += '%';
            url += kHex[c >> 4];
            url += kHex[c & 15];
        }
    }
    return url + anchor;
}

bool WriteWhole(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "wb"), std::fclose);
    if (!f) return false;
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), f.get()) != bytes.size()) return false;
    return std::fflush(f.get()) == 0;
}

}  // namespace

std::string HelpFileOfPath(const std::string& path) {
    std::string file = path;
    if (StartsWithNoCase(file, "mk:@MSITStore:")) file.erase(0, 14);
    if (const size_t window = file.find('>'); window != std::string::npos) file.resize(window);
    if (const size_t topic = file.find("::"); topic != std::string::npos) file.resize(topic);
    return Trim(file);
}

HHViewer& HHViewer::Instance() { return *Controls().viewer; }

HHViewer::~HHViewer() {
    std::error_code ec;
    if (!temp_root_.empty()) std::filesystem::remove_all(platform::AnsiToUtf8(temp_root_), ec);
}

bool HHViewer::Start(const std::string& library, const std::string& search_path, const std::string& temp_dir) {
    Shutdown();
    search_path_ = search_path;
    temp_dir_ = temp_dir.empty() ? platform::TempDirectory() : temp_dir;
    if (temp_dir_.back() != '/') temp_dir_ += '/';
    return library_.Load(library);
}

void HHViewer::Shutdown() {
    for (int pid : viewers_) platform::Launcher().Stop(pid);
    viewers_.clear();
    if (!temp_root_.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(platform::AnsiToUtf8(temp_root_), ec);
    }
    temp_root_.clear();
    extracted_.clear();
    failure_ = {};
    library_.Free();
}

std::string HHViewer::Find(const char* program) const { return platform::FindProgram(program, search_path_); }

std::string HHViewer::Shower() const {
    for (const char* program : {kPageViewer, kContextViewer, kPageOpener})
        if (std::string found = Find(program); !found.empty()) return found;
    return {};
}

bool HHViewer::CanShow() const { return library_.Loaded() && !Shower().empty(); }

std::string HHViewer::ExtractedFolder(const std::string& file) const {
    for (const auto& [help, folder] : extracted_)
        if (help == file) return folder;
    return {};
}

intptr_t HHViewer::HtmlHelp(intptr_t, const std::string& path, unsigned command, uintptr_t data) {
    failure_ = {};
    switch (command) {
    case HH_HELP_CONTEXT: return ShowContext(HelpFileOfPath(path), static_cast<uint32_t>(data));
    case HH_CLOSE_ALL:
        for (int pid : viewers_) platform::Launcher().Stop(pid);
        viewers_.clear();
        return 0;
    default: return 0;
    }
}

intptr_t HHViewer::Fail(HHFailure failure, const std::string& message) {
    failure_ = std::move(failure);
    platform::ShowMessageBox(message, "Help", platform::kMbOk | platform::kMbIconWarning);
    return 0;
}

intptr_t HHViewer::ShowContext(const std::string& file, uint32_t context) {
    if (!library_.Loaded())
        return Fail({HHFailure::NoLibrary, file, context, {}, 0}, "The help viewer's library is not installed.");
    const auto damaged = [&] {
        return Fail({HHFailure::Damaged, file, context, {}, 0}, "The help file \"" + file + "\" is damaged.");
    };
    ChmReader::Opened how = ChmReader::Opened::No;
    const std::unique_ptr<ChmFile> chm = ChmFile::Open(library_, file, kChmReplyLimit, &how);
    if (how == ChmReader::Opened::Damaged) return damaged();  // the reader died or was late opening it
    if (!chm) return Fail({HHFailure::CannotOpen, file, context, {}, 0}, "Cannot open the help file \"" + file + "\".");
    const std::optional<std::string> topic = chm->TopicOfContext(context);
    if (chm->Damaged()) return damaged();
    if (!topic)
        return Fail({HHFailure::NoTopic, file, context, {}, 0},
                    "The help file \"" + file + "\" has no topic for context number " + std::to_string(context) + ".");

    std::vector<std::string> argv;
    bool viewer = true;
    if (std::string program = Find(kPageViewer); !program.empty()) {
        argv = {program, "-showPage", *topic, file};
    } else if (program = Find(kContextViewer); !program.empty()) {
        argv = {program, "--contextid=" + std::to_string(context), file};
    } else if (program = Find(kPageOpener); !program.empty()) {
        viewer = false;
        std::string folder;
        const Extracted extracted = Extract(*chm, file, folder);
        if (extracted == Extracted::Damaged) return damaged();
        if (extracted == Extracted::CannotWrite)
            return Fail({HHFailure::CannotExtract, file, context, {}, 0},
                        "Cannot write the pages of the help file \"" + file + "\" to a temporary folder.");
        const size_t hash = topic->find('#');
        const std::string page = folder + topic->substr(0, hash);
        // An anchor needs a URL; a URL is plain ASCII, the same in either page.
        argv = {program, hash == std::string::npos ? page : FileUrl(platform::AnsiToUtf8(page), topic->substr(hash))};
    } else {
        return Fail({HHFailure::CannotStart, file, context, {kPageOpener}, 2},
                    "No program to show help topics was found.");
    }
    int error = 0;
    const int pid = platform::Launcher().Start(argv, error);
    if (pid == 0)
        return Fail({HHFailure::CannotStart, file, context, argv, error}, "Cannot start \"" + argv[0] + "\".");
    if (viewer) viewers_.push_back(pid);
    return pid;
}

HHViewer::Extracted HHViewer::Extract(const ChmFile& chm, const std::string& file, std::string& folder) {
    folder = ExtractedFolder(file);
    if (!folder.empty()) return Extracted::Yes;
    const auto deadline = std::chrono::steady_clock::now() + extract_limits_.time;
    namespace fs = std::filesystem;
    // A file the library cannot list, or whose listed files it cannot read
    // within the bounds of one extraction, is damaged.
    const std::optional<std::vector<std::string>> names = chm.ContentFiles();
    if (!names) return Extracted::Damaged;
    if (temp_root_.empty()) {
        std::string pattern = platform::AnsiToUtf8(temp_dir_) + "corvanta-help-XXXXXX";
        if (!mkdtemp(pattern.data())) return Extracted::CannotWrite;  // private to this user: 0700
        temp_root_ = platform::Utf8ToAnsi(pattern);
    }
    const std::string target = temp_root_ + "/" + std::to_string(extracted_.size() + 1);
    const fs::path root = platform::AnsiToUtf8(target);
    std::error_code ec;
    fs::create_directory(root, ec);
    if (ec) return Extracted::CannotWrite;
    const auto give_up = [&](Extracted why) {
        fs::remove_all(root, ec);  // nothing half-written is left behind
        return why;
    };
    std::vector<uint8_t> bytes;
    uint64_t total = 0;
    for (const std::string& name : *names) {
        if (std::chrono::steady_clock::now() >= deadline) return give_up(Extracted::Damaged);
        const fs::path path = root / name.substr(1);
        fs::create_directories(path.parent_path(), ec);
        if (ec) return give_up(Extracted::CannotWrite);
        if (!chm.Read(name, bytes)) return give_up(Extracted::Damaged);
        total += bytes.size();
        if (total > extract_limits_.bytes) return give_up(Extracted::Damaged);
        if (!WriteWhole(path, bytes)) return give_up(Extracted::CannotWrite);
    }
    extracted_.emplace_back(file, target);
    folder = target;
    return Extracted::Yes;
}

}  // namespace controls
