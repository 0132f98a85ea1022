#include "controls/hh_funcs.hpp"

#include <sched.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "controls/detail/state.hpp"
#include "controls/hh.hpp"
#include "framework/db/sysutils.hpp"
#include "platform/clock.hpp"
#include "platform/codepage.hpp"
#include "platform/locale.hpp"
#include "platform/msgbox.hpp"
#include "platform/paths.hpp"
#include "platform/process.hpp"

namespace controls {

namespace {

HelpUnitState& Unit() { return Controls().help; }

// printf-style entries, as the log's texts are written.
[[gnu::format(printf, 1, 2)]] std::string Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int n = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string text(n > 0 ? static_cast<size_t>(n) : 0, '\0');
    if (n > 0) std::vsnprintf(text.data(), text.size() + 1, format, again);
    va_end(again);
    return text;
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool FileExists(const std::string& path) { return access(platform::AnsiToUtf8(path).c_str(), F_OK) == 0; }

std::string WithoutTrailingSlash(std::string folder) {
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder;
}

// The module's folder when a file can be made there, else the temporary
// folder, else the root.
std::string LogFolder(const std::string& module_dir, const std::string& temp_dir) {
    const std::string probe = platform::AnsiToUtf8(module_dir + "/$_Temp_$.$$$");
    if (FILE* f = std::fopen(probe.c_str(), "wb")) {
        std::fclose(f);
        std::remove(probe.c_str());
        return module_dir;
    }
    if (!temp_dir.empty() && platform::IsDirectory(temp_dir)) return WithoutTrailingSlash(temp_dir);
    return "/";
}

bool DebugSwitch(const std::string& module_dir, const std::vector<std::string>& params) {
    if (FileExists(module_dir + "/debug.debug")) return true;
    for (const std::string& p : params) {
        const std::string upper = platform::AnsiUpper(p);
        if (upper == "/DEBUG" || upper == "-DEBUG") return true;
    }
    return false;
}

std::string VersionText(const std::array<int, 4>& v) { return Format("%d.%d.%d.%d", v[0], v[1], v[2], v[3]); }

std::string Now() {
    const platform::LocalDateTime t = platform::Now();
    db::TDateTime date = 0;
    const std::string day = db::TryEncodeDate(t.year, t.month, t.day, date) ? db::DateToStr(date) : std::string();
    return day + Format(" %02d:%02d:%02d", t.hour, t.minute, t.second);
}

void WriteHeader(const HelpEnvironment& env) {
    utsname os{};
    uname(&os);
    int major = 0, minor = 0, patch = 0;
    std::sscanf(os.release, "%d.%d.%d", &major, &minor, &patch);
    const uint16_t lcid = platform::UserDefaultLangID();
    std::string params;
    for (const std::string& p : env.params) params += (params.empty() ? "" : " | ") + p;
    const HelpUnitState& u = Unit();
    HHDebugLog("-");
    HHDebugLog(Format("!Filename:             %s", u.module_name.c_str()));
    HHDebugLog(Format("!Date:                 %s", Now().c_str()));
    HHDebugLog(Format("!Operating System:      %s %d.%d.%d", os.sysname, major, minor, patch));
    HHDebugLog(Format("!SysLocale.DefaultLCID: 0x%.4X", lcid));
    HHDebugLog(Format("!SysLocale.PriLangID:   0x%.2X", platform::PrimaryLangID(lcid)));
    HHDebugLog(Format("!SysLocale.SubLangID:   0x%.2X", platform::SubLangID(lcid)));
    HHDebugLog(Format("!DecimalSeparator:      %c", platform::NumberSettings().decimal_separator));
    HHDebugLog("-");
    HHDebugLog(Format("!EXE Path =          %s", env.module_path.c_str()));
    HHDebugLog(Format("!Cmdline Param(s) =  %s", params.c_str()));
    HHDebugLog(Format("!_RunDir =           %s", u.run_dir.c_str()));
    HHDebugLog(Format("!_ModuleName =       %s", u.module_name.c_str()));
    HHDebugLog(Format("!_ModuleDir =        %s", u.module_dir.c_str()));
    HHDebugLog("-");
    HHDebugLog(Format("!_hhInstalled =      %s", u.hh_installed ? "YES" : "NO"));
    HHDebugLog(Format("!_hhVerStr =         %s", u.hh_version.c_str()));
    HHDebugLog(Format("!_hhFriendlyVerStr = %s", u.hh_friendly_version.c_str()));
    HHDebugLog("-");
    HHDebugLog(Format("!_ieInstalled =      %s", u.ie_installed ? "YES" : "NO"));
    HHDebugLog(Format("!_ieVerStr =         %s", u.ie_version.c_str()));
    HHDebugLog(Format("!_ieFriendlyVerStr = %s", u.ie_friendly_version.c_str()));
    HHDebugLog("=");
}

void EnsureStarted() {
    if (!Unit().started) HelpUnitsStart();
}

std::string ReplaceBlanks(std::string text) {
    // Erase and set rather than replace: GCC 12 warns falsely on replace (-Wrestrict).
    for (size_t at = text.find("%20"); at != std::string::npos; at = text.find("%20", at + 1)) {
        text.erase(at + 1, 2);
        text[at] = ' ';
    }
    size_t start = 0;
    while (start < text.size() && text[start] == ' ') ++start;
    size_t end = text.size();
    while (end > start && text[end - 1] == ' ') --end;
    return text.substr(start, end - start);
}

// Starts an external viewer; its failure goes to the log.
void StartProgram(const std::vector<std::string>& argv) {
    int error = 0;
    if (platform::Launcher().Start(argv, error) != 0) return;
    std::string params;
    for (size_t i = 1; i < argv.size(); ++i) params += (i > 1 ? " " : "") + argv[i];
    HHDebugLog(Format("Function ShellExecute(%s)\rReturned: %s", (argv[0] + " " + params).c_str(),
                      StartErrorText(error).c_str()));
}

}  // namespace

HelpEnvironment ProcessHelpEnvironment() {
    HelpEnvironment env;
    std::error_code ec;
    env.module_path = platform::Utf8ToAnsi(std::filesystem::read_symlink("/proc/self/exe", ec).string());
    std::ifstream cmdline("/proc/self/cmdline", std::ios::binary);
    std::string arg;
    bool first = true;
    while (std::getline(cmdline, arg, '\0')) {
        if (!first) env.params.push_back(platform::Utf8ToAnsi(arg));
        first = false;
    }
    env.temp_dir = platform::TempDirectory();
    env.search_path = platform::ProgramSearchPath();
    env.library = kChmLibraryName;
    return env;
}

const HelpUnitState& HelpUnit() { return Unit(); }

void HelpUnitsStart(const HelpEnvironment& env) {
    HHViewer& viewer = HHViewer::Instance();
    viewer.Start(env.library, env.search_path, env.temp_dir);

    HelpUnitState& unit = Unit();
    unit = {};
    unit.started = true;
    unit.module_name = env.module_path;
    unit.module_dir = FolderOf(env.module_path);
    unit.run_dir = unit.module_dir;
    unit.log_dir = LogFolder(unit.module_dir, env.temp_dir);
    unit.debug = DebugSwitch(unit.module_dir, env.params);

    const ChmLibrary& library = viewer.Library();
    unit.hh_version = VersionText(library.Version());
    unit.hh_friendly_version =
        library.Loaded() ? Format("chm library %d.%d", library.Version()[0], library.Version()[1]) : "none";
    const std::string shower = viewer.Shower();
    unit.ie_installed = !shower.empty();
    unit.ie_version = shower;
    unit.ie_friendly_version = shower.empty() ? "none" : shower.substr(shower.find_last_of('/') + 1);
    unit.hh_installed = library.Loaded() && library.Version()[0] != 0 && unit.ie_installed;

    if (unit.debug) WriteHeader(env);
}

void HelpUnitsShutdown() {
    HHViewer::Instance().Shutdown();
    Unit() = {};
}

std::string HHLogFileName() {
    const std::string& folder = Unit().log_dir;
    return folder + (folder == "/" ? "" : "/") + "HHDebug.txt";
}

void HHDebugLog(const std::string& entry) {
    if (!Unit().debug) return;
    std::string line;
    if (entry == "-" || entry == "=")
        line.assign(80, entry[0]);
    else if (!entry.empty() && (entry[0] == '!' || entry[0] == '-' || entry[0] == '='))
        line = entry.substr(1);
    else
        line = Now() + " " + entry;
    // Opened and closed for every entry, so a crash keeps what was written.
    std::ofstream log(platform::AnsiToUtf8(HHLogFileName()), std::ios::app | std::ios::binary);
    log << line << '\n';
}

std::string HelpCommandName(unsigned command) {
    const char* name = "??";
    switch (command) {
    case ui::HELP_CONTEXT: name = "HELP_CONTEXT"; break;
    case ui::HELP_QUIT: name = "HELP_QUIT"; break;
    case ui::HELP_INDEX: name = "HELP_INDEX or HELP_CONTENTS"; break;
    case ui::HELP_HELPONHELP: name = "HELP_HELPONHELP"; break;
    case ui::HELP_SETINDEX: name = "HELP_SETINDEX or HELP_SETCONTENTS"; break;
    case ui::HELP_CONTEXTPOPUP: name = "HELP_CONTEXTPOPUP"; break;
    case ui::HELP_FORCEFILE: name = "HELP_FORCEFILE"; break;
    case ui::HELP_CONTEXTMENU: name = "HELP_CONTEXTMENU"; break;
    case ui::HELP_FINDER: name = "HELP_FINDER"; break;
    case ui::HELP_WM_HELP: name = "HELP_WM_HELP"; break;
    case ui::HELP_SETPOPUP_POS: name = "HELP_SETPOPUP_POS"; break;
    case ui::HELP_KEY: name = "HELP_KEY"; break;
    case ui::HELP_COMMAND: name = "HELP_COMMAND"; break;
    case ui::HELP_PARTIALKEY: name = "HELP_PARTIALKEY"; break;
    case ui::HELP_MULTIKEY: name = "HELP_MULTIKEY"; break;
    case ui::HELP_SETWINPOS: name = "HELP_SETWINPOS"; break;
    default: break;
    }
    return std::to_string(command) + " (" + name + ")";
}

std::string StartErrorText(int code) {
    const char* text = "General Failure";
    switch (code) {
    case 2: text = "File Not Found"; break;
    case 3: text = "Path Not Found"; break;
    case 5: text = "Access Denied"; break;
    case 8: text = "Insufficient Memory"; break;
    case 19: text = "Media Is Write Protected"; break;
    case 21: text = "Device Not Ready"; break;
    case 32:
    case 33: text = "File In Use"; break;
    case 39:
    case 112: text = "Disk Full"; break;
    case 1150: text = "Windows Version Incorrect"; break;
    case 1151: text = "Not A Windows Or MSDos Program"; break;
    case 276:
    case 1005:
    case 1392:
    case 1393: text = "Corrupt File Or Disk"; break;
    case 1009:
    case 1358: text = "Corrupt Registry"; break;
    default: break;
    }
    return "[Error:" + std::to_string(code) + "] " + text;
}

std::string HHErrorText(int result) {
    switch (result) {
    case 0: return {};
    case 1: return "MS Html Help is not installed on this PC.";
    case 2: return "System file KeyHH.EXE was not found in the Windows folder.";
    case 3: return "System file HH.EXE was not found in the Windows folder.";
    default: return "Unknown error returned by HHHelpContext";
    }
}

int HHHelpContext(const std::string& help_file, int context, const std::string& window_name, uint8_t mode) {
    HHDebugLog(Format("HHHelpContext(\"%s\", %d, \"%s\", %d)", help_file.c_str(), context, window_name.c_str(), mode));
    std::string path = ReplaceBlanks(help_file);
    const std::string window = ReplaceBlanks(window_name);
    if (!window.empty()) path += ">" + window;
    if (mode == 2) path.insert(0, "mk:@MSITStore:");
    return ShowContext(path, context, mode);
}

int ShowContext(const std::string& path, int context, uint8_t mode) {
    EnsureStarted();
    HHDebugLog(Format("ShowContext(\"%s\", %d)", path.c_str(), context));
    HHViewer& viewer = HHViewer::Instance();
    int result = 0;
    if (!Unit().hh_installed) {
        result = 1;
    } else if (mode == 0) {
        // The viewer tells the user itself when it cannot show the topic.
        if (viewer.HtmlHelp(0, path, HH_HELP_CONTEXT, static_cast<uint32_t>(context)) == 0) {
            const HHFailure& f = viewer.LastFailure();
            if (f.kind == HHFailure::CannotStart && !f.argv.empty())
                HHDebugLog(Format("Function ShellExecute(%s)\rReturned: %s", f.argv[0].c_str(),
                                  StartErrorText(f.error).c_str()));
            else
                HHDebugLog(Format("HtmlHelp(\"%s\", %d) showed nothing (%d)", path.c_str(), context, f.kind));
        }
    } else if (mode == 1) {
        const std::string program = viewer.Find(kKeyViewerProgram);
        if (program.empty())
            result = 2;
        else
            StartProgram({program, "--contextid=" + std::to_string(context), HelpFileOfPath(path)});
    } else if (mode == 2) {
        const std::string program = viewer.Find(kSystemViewerProgram);
        if (program.empty()) {
            result = 3;
        } else {
            // The program takes a page: the number's topic, when the file has one.
            const std::string file = HelpFileOfPath(path);
            std::optional<std::string> topic;
            if (const auto chm = ChmFile::Open(viewer.Library(), file)) topic = chm->TopicOfContext(context);
            if (topic)
                StartProgram({program, "-showPage", *topic, file});
            else
                StartProgram({program, file});
        }
    } else {
        result = -1;
    }
    HHDebugLog(Format("  returned - %d", result));
    return result;
}

void HHShowError(int result) {
    if (result == 0) return;
    const std::string text = HHErrorText(result);
    HHDebugLog(Format("HHShowError(%d), \"%s\"", result, text.c_str()));
    platform::ShowMessageBox(text, "Warning", platform::kMbOk | platform::kMbIconWarning);
}

void HHCloseAll() {
    HHViewer::Instance().HtmlHelp(0, "", HH_CLOSE_ALL, 0);
    sched_yield();
}

THookHelpSystem::THookHelpSystem(std::string help_file, std::string window_name, uint8_t mode)
    : help_file_(std::move(help_file)), window_name_(std::move(window_name)), mode_(mode) {
    EnsureStarted();
    previous_ = ui::ApplicationHelpEvent();
    ui::ApplicationHelpEvent() = [this](uint16_t command, intptr_t data, bool& call_help) {
        return HelpHook(command, data, call_help);
    };
    HHDebugLog(Format("THookHelpSystem.Create(\"%s\",\"%s\", %d)", help_file_.c_str(), window_name_.c_str(), mode_));
}

THookHelpSystem::~THookHelpSystem() {
    if (mode_ == 0) HHCloseAll();
    ui::ApplicationHelpEvent() = previous_;
    HHDebugLog("THookHelpSystem.Destroy");
}

bool THookHelpSystem::HelpHook(uint16_t command, intptr_t data, bool& call_help) {
    HHDebugLog(Format("THookHelpSystem.HelpHook(%s, %d)", HelpCommandName(command).c_str(), static_cast<int>(data)));
    call_help = false;
    const int context = static_cast<int>(data);
    const auto show = [&] {
        HHShowError(OnContext ? OnContext(context) : HHHelpContext(help_file_, context, window_name_, mode_));
    };
    switch (command) {
    case ui::HELP_CONTEXT: show(); break;
    case ui::HELP_CONTEXTPOPUP:
        if (OnPopup)
            OnPopup(context, popup_);
        else
            show();
        break;
    case ui::HELP_SETPOPUP_POS:
        // A packed point: x in the low word, y in the high one.
        popup_ = {static_cast<int16_t>(data & 0xFFFF), static_cast<int16_t>((data >> 16) & 0xFFFF)};
        break;
    default: call_help = true; break;
    }
    return true;
}

}  // namespace controls
