#include "controls/hh_funcs.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>

#include "controls/hh.hpp"
#include "framework/ui/forms.hpp"
#include "framework/ui/help.hpp"
#include "framework/ui/stdctrls.hpp"
#include "platform/msgbox.hpp"
#include "platform/process.hpp"
#include "tests/support/files.hpp"
#include "tests/support/temp_dir.hpp"

namespace controls {
namespace {

namespace fs = std::filesystem;

const std::string kHelpData = HELP_DATA_DIR;

// A program folder with the help file beside the program, a folder of
// viewer programs (empty files that are executable), a recording launcher
// and scripted message boxes.
class HelpHookTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(dir_ / "prog");
        fs::create_directories(dir_ / "bin");
        fs::create_directories(dir_ / "tmp");
        fs::copy_file(kHelpData + "/corvanta.chm", help_file_);
        previous_box_ = platform::InstallMessageBox(&box_);
        previous_launcher_ = platform::InstallProcessLauncher(&launcher_);
        ui::UiReset();  // no help event or engine, the help units not started
    }
    void TearDown() override {
        ui::UiReset();  // the help units shut down while the launcher records
        platform::InstallProcessLauncher(previous_launcher_);
        platform::InstallMessageBox(previous_box_);
    }

    void AddProgram(const std::string& name) {
        const std::string path = dir_ / ("bin/" + name);
        std::ofstream(path) << "#!/bin/sh\n";
        chmod(path.c_str(), 0755);
    }
    HelpEnvironment Env(std::vector<std::string> params = {}) const {
        return {dir_ / "prog/corvanta", std::move(params), dir_ / "tmp/", dir_ / "bin", kChmLibraryName};
    }
    void Start(std::vector<std::string> params = {}) { HelpUnitsStart(Env(std::move(params))); }
    // One help request through the application's help event, as F1 makes it.
    bool Request(uint16_t command, intptr_t data) { return ui::InvokeHelp(command, data); }
    std::vector<std::string> Messages() const {
        std::vector<std::string> texts;
        for (const auto& shown : box_.shown) texts.push_back(shown.text);
        return texts;
    }
    std::string Bin(const std::string& name) const { return dir_ / ("bin/" + name); }

    testing_support::TempDir dir_;
    const std::string help_file_ = dir_ / "prog/corvanta.chm";
    platform::ScriptedMessageBox box_;
    platform::RecordingLauncher launcher_;
    platform::MessageBoxService* previous_box_ = nullptr;
    platform::ProcessLauncher* previous_launcher_ = nullptr;
};

TEST_F(HelpHookTest, NamesAndTextsOfTheLog) {
    const std::pair<unsigned, const char*> commands[] = {
        {1, "1 (HELP_CONTEXT)"}, {3, "3 (HELP_INDEX or HELP_CONTENTS)"}, {515, "515 (HELP_SETWINPOS)"}, {6, "6 (?\?)"}};
    for (const auto& [command, name] : commands) EXPECT_EQ(HelpCommandName(command), name);
    const std::pair<int, const char*> starts[] = {
        {2, "[Error:2] File Not Found"}, {33, "[Error:33] File In Use"}, {7, "[Error:7] General Failure"}};
    for (const auto& [code, text] : starts) EXPECT_EQ(StartErrorText(code), text);
    EXPECT_EQ(HHErrorText(0), "");
}

TEST_F(HelpHookTest, TheDebugSwitch) {
    struct Case {
        std::vector<std::string> params;
        bool file, debug;
    };
    const Case cases[] = {
        {{}, false, false},          {{"-DEBUG"}, false, true}, {{"x", "/debug"}, false, true},
        {{"-Debug"}, false, true},   {{"debug"}, false, false}, {{"--debug"}, false, false},
        {{"/debugx"}, false, false}, {{}, true, true},
    };
    for (const Case& c : cases) {
        if (c.file) std::ofstream(dir_ / "prog/debug.debug");
        Start(c.params);
        EXPECT_EQ(HelpUnit().debug, c.debug) << (c.params.empty() ? "(none)" : c.params.back()) << c.file;
        fs::remove(dir_ / "prog/debug.debug");
        fs::remove(dir_ / "prog/HHDebug.txt");
    }
}

TEST_F(HelpHookTest, TheLogFolder) {
    struct Case {
        std::string module, temp, folder;
    };
    const Case cases[] = {
        {dir_ / "prog/corvanta", dir_ / "tmp/", dir_ / "prog"},
        {dir_ / "gone/corvanta", dir_ / "tmp/", dir_ / "tmp"},
        {dir_ / "gone/corvanta", dir_ / "gone-too/", "/"},
    };
    for (const Case& c : cases) {
        HelpEnvironment env = Env();
        env.module_path = c.module, env.temp_dir = c.temp;
        HelpUnitsStart(env);
        EXPECT_EQ(HelpUnit().log_dir, c.folder) << c.module;
        EXPECT_FALSE(fs::exists(dir_ / "prog/$_Temp_$.$$$")) << "the probe is removed";
    }
    EXPECT_EQ(HHLogFileName(), "/HHDebug.txt");
}

TEST_F(HelpHookTest, TheLogsHeaderAndEntries) {
    AddProgram("xdg-open");
    Start({"-debug", "two words"});
    HHDebugLog("!plain");
    HHDebugLog("-");
    HHDebugLog("an entry");
    const std::vector<std::string> log = testing_support::ReadFileLines(dir_ / "prog/HHDebug.txt");
    ASSERT_GE(log.size(), 26u);
    EXPECT_EQ(log[0], std::string(80, '-'));
    EXPECT_EQ(log[1], "Filename:             " + (dir_ / "prog/corvanta"));
    EXPECT_EQ(log[3].rfind("Operating System:      Linux ", 0), 0u) << log[3];
    EXPECT_EQ(log[4].rfind("SysLocale.DefaultLCID: 0x", 0), 0u) << log[4];
    EXPECT_EQ(log[9], "EXE Path =          " + (dir_ / "prog/corvanta"));
    EXPECT_EQ(log[10], "Cmdline Param(s) =  -debug | two words");
    EXPECT_EQ(log[13], "_ModuleDir =        " + (dir_ / "prog"));
    EXPECT_EQ(log[15], "_hhInstalled =      YES");
    EXPECT_EQ(log[16], "_hhVerStr =         1.0.0.0");
    EXPECT_EQ(log[19], "_ieInstalled =      YES");
    EXPECT_EQ(log[20], "_ieVerStr =         " + Bin("xdg-open"));
    EXPECT_EQ(log[21], "_ieFriendlyVerStr = xdg-open");
    EXPECT_EQ(log[22], std::string(80, '='));
    EXPECT_EQ(log[23], "plain");
    EXPECT_EQ(log[24], std::string(80, '-'));
    // A time stamp, then the entry.
    EXPECT_NE(log[25].find(':'), std::string::npos);
    EXPECT_EQ(log[25].substr(log[25].size() - 9), " an entry");

    HelpUnitsShutdown();
    Start();
    HHDebugLog("not written");
    EXPECT_EQ(testing_support::ReadFileLines(dir_ / "prog/HHDebug.txt").size(), log.size()) << "the switch is off";
}

TEST_F(HelpHookTest, WithoutTheViewerEveryRequestSaysSo) {
    struct Case {
        const char* name;
        bool library;
        std::vector<const char*> programs;
    };
    const Case cases[] = {
        {"no library", false, {"xdg-open", "xchm", "kchmviewer"}},
        {"nothing to show a page", true, {}},
    };
    for (const Case& c : cases) {
        for (const char* p : c.programs) AddProgram(p);
        HelpEnvironment env = Env();
        if (!c.library) env.library = "libcorvanta-no-such-library.so.1";
        HelpUnitsStart(env);
        EXPECT_FALSE(HelpUnit().hh_installed) << c.name;
        for (uint8_t mode : {0, 1, 2}) {
            box_.shown.clear();
            THookHelpSystem hook(help_file_, "", mode);
            EXPECT_TRUE(Request(ui::HELP_CONTEXT, 200));
            EXPECT_EQ(Messages(), std::vector<std::string>{"MS Html Help is not installed on this PC."}) << c.name;
            EXPECT_EQ(box_.shown[0].flags, platform::kMbOk | platform::kMbIconWarning);
        }
        EXPECT_TRUE(launcher_.started.empty()) << c.name;
        fs::remove_all(dir_ / "bin");
        fs::create_directories(dir_ / "bin");
    }
}

TEST_F(HelpHookTest, ModeZeroShowsTheTopic) {
    struct Case {
        const char* name;
        std::vector<const char*> programs;
        std::vector<std::string> argv;  // "<file>" is the help file
    };
    const Case cases[] = {
        {"the page viewer",
         {"kchmviewer", "xchm", "xdg-open"},
         {Bin("kchmviewer"), "-showPage", "/debit.htm", "<file>"}},
        {"the context viewer", {"xchm", "xdg-open"}, {Bin("xchm"), "--contextid=200", "<file>"}},
    };
    for (const Case& c : cases) {
        for (const char* p : c.programs) AddProgram(p);
        Start();
        launcher_.started.clear();
        launcher_.stopped.clear();
        {
            THookHelpSystem hook(help_file_, "", 0);
            EXPECT_TRUE(Request(ui::HELP_CONTEXT, 200));
        }
        std::vector<std::string> argv = c.argv;
        std::replace(argv.begin(), argv.end(), std::string("<file>"), help_file_);
        ASSERT_EQ(launcher_.started.size(), 1u) << c.name;
        EXPECT_EQ(launcher_.started[0], argv) << c.name;
        EXPECT_EQ(launcher_.stopped, std::vector<int>{1000 + int(&c - cases)}) << "closed with the hook: " << c.name;
        EXPECT_TRUE(box_.shown.empty()) << c.name;
        fs::remove_all(dir_ / "bin");
        fs::create_directories(dir_ / "bin");
    }
}

TEST_F(HelpHookTest, ModeZeroOpensTheExtractedPage) {
    AddProgram("xdg-open");
    Start();
    THookHelpSystem hook(help_file_, "", 0);
    for (int context : {3001, 200, 10}) EXPECT_TRUE(Request(ui::HELP_CONTEXT, context));
    ASSERT_EQ(launcher_.started.size(), 3u);
    const std::string folder = HHViewer::Instance().ExtractedFolder(help_file_);
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(launcher_.started[0], (std::vector<std::string>{Bin("xdg-open"), folder + "/topics/split payments.htm"}));
    EXPECT_EQ(launcher_.started[1], (std::vector<std::string>{Bin("xdg-open"), folder + "/debit.htm"}));
    EXPECT_EQ(testing_support::ReadFileBytes(folder + "/debit.htm"),
              testing_support::ReadFileBytes(kHelpData + "/debit.htm"));
    EXPECT_EQ(testing_support::ReadFileBytes(folder + "/style.css"),
              testing_support::ReadFileBytes(kHelpData + "/style.css"))
        << "the pages' style sheet came along";
    EXPECT_EQ(folder.rfind(dir_.path() + "/tmp/", 0), 0u) << "below the temporary folder";
    EXPECT_TRUE(box_.shown.empty());

    HelpUnitsShutdown();
    EXPECT_FALSE(fs::exists(folder)) << "removed at the end";
}

// Past the bounds of one extraction a file is damaged, and nothing of it is
// left in the temporary folder.
TEST_F(HelpHookTest, ExtractingStaysWithinItsBounds) {
    AddProgram("xdg-open");
    const std::string damaged = "The help file \"" + help_file_ + "\" is damaged.";
    const auto extract = [&](ExtractLimits limits) {
        Start();
        HHViewer::Instance().SetExtractLimits(limits);
        box_.shown.clear();
        THookHelpSystem hook(help_file_, "", 0);
        EXPECT_TRUE(Request(ui::HELP_CONTEXT, 200));
        return HHViewer::Instance().ExtractedFolder(help_file_);
    };
    const std::string folder = extract({});
    ASSERT_FALSE(folder.empty());
    uint64_t pages = 0;  // the bytes of every page together
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file()) pages += entry.file_size();
    struct Case {
        const char* name;
        ExtractLimits limits;
        bool shown;
    };
    const Case cases[] = {
        {"just room for the pages", {ExtractLimits{}.time, pages}, true},
        {"a byte too few", {ExtractLimits{}.time, pages - 1}, false},
        {"no time", {std::chrono::milliseconds(0), pages}, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(extract(c.limits).empty(), !c.shown) << c.name;
        EXPECT_EQ(Messages(), c.shown ? std::vector<std::string>{} : std::vector<std::string>{damaged}) << c.name;
        size_t left = 0;  // extracted folders in the temporary folder
        for (const auto& entry : fs::recursive_directory_iterator(dir_ / "tmp"))
            left += entry.is_directory() && entry.path().parent_path().filename().string().starts_with("corvanta-help");
        EXPECT_EQ(left, c.shown ? 1u : 0u) << c.name;
    }
}

TEST_F(HelpHookTest, BlanksInTheHelpFileNameStayInOneArgument) {
    AddProgram("kchmviewer");
    AddProgram("xchm");
    fs::copy_file(help_file_, dir_ / "prog/My Help.chm");
    const std::string with_blank = dir_ / "prog/My Help.chm";
    const std::string escaped = " " + (dir_ / "prog/My%20Help.chm") + "  ";
    struct Case {
        uint8_t mode;
        const char* window;
        std::vector<std::string> argv;
    };
    const Case cases[] = {
        {0, "", {Bin("kchmviewer"), "-showPage", "/topics/transfer.htm", with_blank}},
        {0, "main%20window", {Bin("kchmviewer"), "-showPage", "/topics/transfer.htm", with_blank}},
        {1, "main", {Bin("xchm"), "--contextid=3000", with_blank}},
        {2, "", {Bin("kchmviewer"), "-showPage", "/topics/transfer.htm", with_blank}},
    };
    Start();
    for (const Case& c : cases) {
        launcher_.started.clear();
        THookHelpSystem hook(escaped, c.window, c.mode);
        EXPECT_TRUE(Request(ui::HELP_CONTEXT, 3000));
        ASSERT_EQ(launcher_.started.size(), 1u) << int(c.mode);
        EXPECT_EQ(launcher_.started[0], c.argv) << int(c.mode) << " " << c.window;
    }
    EXPECT_TRUE(box_.shown.empty());
}

TEST_F(HelpHookTest, ExternalViewerPrograms) {
    struct Case {
        uint8_t mode;
        const char* program;  // the one installed, besides the opener
        int context;
        std::vector<std::string> argv;
        std::vector<std::string> messages;
    };
    const Case cases[] = {
        {1, nullptr, 200, {}, {"System file KeyHH.EXE was not found in the Windows folder."}},
        {1, "kchmviewer", 200, {}, {"System file KeyHH.EXE was not found in the Windows folder."}},
        {1, "xchm", 200, {Bin("xchm"), "--contextid=200", "<file>"}, {}},
        {2, nullptr, 200, {}, {"System file HH.EXE was not found in the Windows folder."}},
        {2, "xchm", 200, {}, {"System file HH.EXE was not found in the Windows folder."}},
        {2, "kchmviewer", 10, {Bin("kchmviewer"), "-showPage", "/index.htm", "<file>"}, {}},
        {2, "kchmviewer", 999, {Bin("kchmviewer"), "<file>"}, {}},  // no such topic: the file's first page
        {3, nullptr, 200, {}, {"Unknown error returned by HHHelpContext"}},
    };
    for (const Case& c : cases) {
        fs::remove_all(dir_ / "bin");
        fs::create_directories(dir_ / "bin");
        AddProgram("xdg-open");
        if (c.program) AddProgram(c.program);
        Start();
        launcher_.started.clear();
        box_.shown.clear();
        {
            THookHelpSystem hook(help_file_, "", c.mode);
            EXPECT_TRUE(Request(ui::HELP_CONTEXT, c.context));
        }
        std::vector<std::string> argv = c.argv;
        std::replace(argv.begin(), argv.end(), std::string("<file>"), help_file_);
        if (argv.empty()) {
            EXPECT_TRUE(launcher_.started.empty()) << int(c.mode);
        } else {
            EXPECT_EQ(launcher_.started, std::vector<std::vector<std::string>>{argv}) << int(c.mode);
        }
        EXPECT_EQ(Messages(), c.messages) << int(c.mode) << " " << (c.program ? c.program : "-");
        EXPECT_TRUE(launcher_.stopped.empty()) << "only the viewer's own windows are closed";
    }
}

TEST_F(HelpHookTest, TheViewerSaysWhatItCannotShow) {
    AddProgram("xdg-open");
    Start();
    struct Case {
        std::string file;
        int context;
        std::string message;
    };
    const Case cases[] = {
        {help_file_, 999, "The help file \"" + help_file_ + "\" has no topic for context number 999."},
        {dir_ / "prog/none.chm", 10, "Cannot open the help file \"" + (dir_ / "prog/none.chm") + "\"."},
        {kHelpData + "/index.htm", 10, "Cannot open the help file \"" + kHelpData + "/index.htm\"."},
    };
    for (const Case& c : cases) {
        box_.shown.clear();
        THookHelpSystem hook(c.file, "", 0);
        EXPECT_TRUE(Request(ui::HELP_CONTEXT, c.context));
        EXPECT_EQ(Messages(), std::vector<std::string>{c.message});
    }
    EXPECT_TRUE(launcher_.started.empty());
}

TEST_F(HelpHookTest, DamagedHelpFilesGiveAMessageNotACrash) {
    AddProgram("xdg-open");  // the mode that reads most: the map, the topic and every page
    Start();
    const std::string whole = testing_support::ReadFileBytes(help_file_);
    // The library reads a damaged file differently from run to run: any of
    // these is a clean answer.
    const std::vector<std::string> clean = {
        "The help file \"" + help_file_ + "\" is damaged.",
        "Cannot open the help file \"" + help_file_ + "\".",
        "The help file \"" + help_file_ + "\" has no topic for context number 200.",
    };
    using Damage = std::function<std::string(std::string)>;
    const auto set = [](size_t at, unsigned char value) -> Damage {
        return [=](std::string b) { return b[at] = char(value), b; };
    };
    const auto fill = [](size_t from, size_t to, char value) -> Damage {
        return [=](std::string b) { return std::fill(b.begin() + from, b.begin() + to, value), b; };
    };
    const auto cut = [](size_t size) -> Damage { return [=](std::string b) { return b.resize(size), b; }; };
    const std::pair<const char*, Damage> cases[] = {
        {"a fault in the library reading the context map", set(8739, 0x28)},
        {"a division by zero in the library opening the file", set(578, 0xd7)},
        {"another fault reading the map", set(8741, 0x22)},
        {"a fault opening the file", set(577, 0x29)},
        {"another fault opening the file", set(884, 0x53)},
        {"the directory's header wiped", fill(120, 600, '\xff')},
        {"the compressed content wiped", fill(8600, 9000, '\0')},
        {"cut in the content", cut(9000)},
        {"cut in the directory", cut(1000)},
        {"a directory that leads back into itself (the library lists it forever)", fill(220, 224, '\0')},
    };
    for (const auto& [name, damage] : cases) {
        testing_support::WriteFileBytes(help_file_, damage(whole));
        box_.shown.clear();
        THookHelpSystem hook(help_file_, "", 0);
        EXPECT_TRUE(Request(ui::HELP_CONTEXT, 200)) << name;
        ASSERT_EQ(box_.shown.size(), 1u) << name;
        EXPECT_NE(std::find(clean.begin(), clean.end(), box_.shown[0].text), clean.end()) << box_.shown[0].text;
    }
    EXPECT_TRUE(launcher_.started.empty());
    testing_support::WriteFileBytes(help_file_, whole);
    THookHelpSystem hook(help_file_, "", 0);
    EXPECT_TRUE(Request(ui::HELP_CONTEXT, 200));
    EXPECT_EQ(launcher_.started.size(), 1u) << "the intact file shows again";
}

// A file that ends the reader while the library opens it is damaged, not
// a file that cannot be opened.
TEST_F(HelpHookTest, AFileThatEndsTheReaderAtOpenIsDamaged) {
    AddProgram("xdg-open");
    HelpEnvironment env = Env();
    env.library = FAULTING_CHM_LIBRARY;
    HelpUnitsStart(env);
    THookHelpSystem hook(help_file_, "", 0);
    EXPECT_TRUE(Request(ui::HELP_CONTEXT, 200));
    EXPECT_EQ(Messages(), std::vector<std::string>{"The help file \"" + help_file_ + "\" is damaged."});
    EXPECT_EQ(HHViewer::Instance().LastFailure().kind, HHFailure::Damaged);
    EXPECT_TRUE(launcher_.started.empty());
}

TEST_F(HelpHookTest, AFailedStartIsLogged) {
    AddProgram("xchm");
    AddProgram("xdg-open");
    Start({"/debug"});
    launcher_.fail_with = 2;
    for (uint8_t mode : {1, 0}) {
        THookHelpSystem hook(help_file_, "", mode);
        EXPECT_TRUE(Request(ui::HELP_CONTEXT, 200));
    }
    const std::string log = testing_support::ReadFileBytes(dir_ / "prog/HHDebug.txt");
    const std::string mode1 = "Function ShellExecute(" + Bin("xchm") + " --contextid=200 " + help_file_ +
        ")\rReturned: [Error:2] File Not Found";
    EXPECT_NE(log.find(mode1), std::string::npos) << log;
    EXPECT_NE(log.find("HHHelpContext(\"" + help_file_ + "\", 200, \"\", 1)"), std::string::npos);
    EXPECT_NE(log.find("THookHelpSystem.HelpHook(1 (HELP_CONTEXT), 200)"), std::string::npos);
    EXPECT_NE(log.find("  returned - 0"), std::string::npos);
    EXPECT_NE(log.find("THookHelpSystem.Destroy"), std::string::npos);
    EXPECT_EQ(Messages(), std::vector<std::string>{"Cannot start \"" + Bin("xchm") + "\"."}) << "mode 0's viewer tells";
}

TEST_F(HelpHookTest, CommandsTheHookLeavesToTheFramework) {
    AddProgram("xdg-open");
    Start();
    std::vector<std::pair<uint16_t, intptr_t>> engine;
    ui::FrameworkHelpEngine() = [&](uint16_t command, intptr_t data) {
        engine.emplace_back(command, data);
        return true;
    };
    THookHelpSystem hook(help_file_, "", 0);
    for (uint16_t command :
         std::initializer_list<uint16_t>{ui::HELP_QUIT, ui::HELP_INDEX, ui::HELP_KEY, ui::HELP_SETWINPOS, 99})
        EXPECT_TRUE(Request(command, 7));
    EXPECT_EQ(engine.size(), 5u);
    bool call_help = false;
    EXPECT_TRUE(hook.HelpHook(ui::HELP_FINDER, 0, call_help));
    EXPECT_TRUE(call_help);
    EXPECT_TRUE(hook.HelpHook(ui::HELP_CONTEXT, 10, call_help));
    EXPECT_FALSE(call_help);
    EXPECT_TRUE(launcher_.started.size() == 1u);
}

TEST_F(HelpHookTest, PopupsAndTheirPosition) {
    AddProgram("xdg-open");
    Start();
    static std::vector<std::pair<int, ui::TPoint>> popups;
    popups.clear();
    THookHelpSystem hook(help_file_, "", 0);
    EXPECT_TRUE(Request(ui::HELP_SETPOPUP_POS, (intptr_t(300) << 16) | 120));
    EXPECT_EQ(hook.PopupPosition(), (ui::TPoint{120, 300}));
    EXPECT_TRUE(Request(ui::HELP_SETPOPUP_POS, intptr_t(0xFFF6FFFB)));  // a point left of and above the screen
    EXPECT_EQ(hook.PopupPosition(), (ui::TPoint{-5, -10}));
    EXPECT_TRUE(Request(ui::HELP_CONTEXTPOPUP, 200));
    EXPECT_EQ(launcher_.started.size(), 1u) << "without a popup handler a popup is a topic";
    hook.OnPopup = [](int context, ui::TPoint at) { popups.emplace_back(context, at); };
    EXPECT_TRUE(Request(ui::HELP_CONTEXTPOPUP, 10));
    ASSERT_EQ(popups.size(), 1u);
    EXPECT_EQ(popups[0].first, 10);
    EXPECT_EQ(popups[0].second, (ui::TPoint{-5, -10}));
    EXPECT_EQ(launcher_.started.size(), 1u);
}

TEST_F(HelpHookTest, AContextHandlerTakesTheRequest) {
    AddProgram("xdg-open");
    Start();
    THookHelpSystem hook(help_file_, "", 0);
    hook.OnContext = [](int context) { return context == 1 ? 0 : 2; };
    EXPECT_TRUE(Request(ui::HELP_CONTEXT, 1));
    EXPECT_TRUE(Request(ui::HELP_CONTEXT, 5));
    EXPECT_TRUE(launcher_.started.empty());
    EXPECT_EQ(Messages(), std::vector<std::string>{"System file KeyHH.EXE was not found in the Windows folder."});
}

TEST_F(HelpHookTest, TheHookGivesTheEventBack) {
    AddProgram("xdg-open");
    Start();
    int earlier = 0;
    ui::ApplicationHelpEvent() = [&](uint16_t, intptr_t, bool& call_help) {
        ++earlier;
        call_help = false;
        return false;
    };
    {
        THookHelpSystem hook(help_file_, "", 1);
        EXPECT_TRUE(Request(ui::HELP_CONTEXT, 200));
        EXPECT_EQ(earlier, 0);
    }
    EXPECT_FALSE(Request(ui::HELP_CONTEXT, 200));
    EXPECT_EQ(earlier, 1);
    ui::ApplicationHelpEvent() = nullptr;
    EXPECT_FALSE(Request(ui::HELP_CONTEXT, 200)) << "nothing serves it";
}

TEST_F(HelpHookTest, F1OnAControlOpensItsTopic) {
    AddProgram("xchm");
    Start();
    {
        THookHelpSystem hook(help_file_, "", 0);
        auto form = ui::Make<ui::TForm>(nullptr);
        form->HelpContext = 200;  // the button has none of its own
        auto* button = new ui::TButton(form.get());
        button->SetParent(form.get());
        button->SetBounds(10, 10, 75, 25);
        form->Show();
        button->SetFocus();
        ui::InjectKey(ui::VK_F1, true);
        ui::InjectKey(ui::VK_F1, false);
        ui::Application().ProcessMessages();
        ASSERT_EQ(launcher_.started.size(), 1u);
        EXPECT_EQ(launcher_.started[0], (std::vector<std::string>{Bin("xchm"), "--contextid=200", help_file_}));
        EXPECT_TRUE(box_.shown.empty());
    }
}

}  // namespace
}  // namespace controls
