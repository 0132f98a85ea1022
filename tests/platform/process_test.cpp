#include "platform/process.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/support/files.hpp"
#include "tests/support/temp_dir.hpp"

namespace platform {
namespace {

void WriteFile(const std::string& path, const std::string& text, bool executable) {
    std::ofstream(path) << text;
    chmod(path.c_str(), executable ? 0755 : 0644);
}

TEST(ProcessTest, FindsProgramsInTheSearchPath) {
    testing_support::TempDir dir;
    std::filesystem::create_directories(dir / "a");
    std::filesystem::create_directories(dir / "b/viewer");
    WriteFile(dir / "a/plain", "", false);
    WriteFile(dir / "b/plain", "", true);
    WriteFile(dir / "b/tool", "", true);
    const std::string both = (dir / "a") + ":" + (dir / "b");
    struct Case {
        std::string name, search_path, found;
    };
    const Case cases[] = {
        {"tool", both, dir / "b/tool"},
        {"plain", both, dir / "b/plain"},  // not executable in a: passed over
        {"viewer", both, ""},              // a folder is no program
        {"missing", both, ""},
        {"tool", "", ""},
        {"tool", ":" + both + ":", dir / "b/tool"},
        {dir / "b/tool", "", dir / "b/tool"},
        {dir / "a/plain", both, ""},
        {"", both, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FindProgram(c.name, c.search_path), c.found) << c.name << " in " << c.search_path;
}

TEST(ProcessTest, ArgumentsReachTheProgramUnsplitAndUninterpreted) {
    testing_support::TempDir dir;
    const std::string script = dir / "record";
    const std::string out = dir / "args.txt";
    WriteFile(script, "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" + out + "'\n", true);
    const std::vector<std::string> args = {"/tmp/My Help Files/corvanta.chm", "a;b|c", "$HOME", "`id`",
                                           "'quoted' \"x\""};
    std::vector<std::string> argv = {script};
    argv.insert(argv.end(), args.begin(), args.end());

    SystemLauncher launcher;
    int error = -1;
    const int pid = launcher.Start(argv, error);
    ASSERT_GT(pid, 0);
    EXPECT_EQ(error, 0);
    ASSERT_TRUE(launcher.Wait(pid));
    EXPECT_EQ(testing_support::ReadFileLines(out), args);
    EXPECT_FALSE(launcher.Stop(pid)) << "an ended process is no longer ours";
}

TEST(ProcessTest, FailedStartsGiveTheirCodes) {
    testing_support::TempDir dir;
    WriteFile(dir / "not-a-program", "plain text\n", false);
    struct Case {
        std::vector<std::string> argv;
        int error;
    };
    const Case cases[] = {
        {{dir / "missing"}, 2},
        {{dir / "not-a-program"}, 5},
        {{}, 2},
    };
    SystemLauncher launcher;
    for (const Case& c : cases) {
        int error = 0;
        EXPECT_EQ(launcher.Start(c.argv, error), 0);
        EXPECT_EQ(error, c.error) << (c.argv.empty() ? "no program" : c.argv[0]);
    }
}

TEST(ProcessTest, StopsOnlyItsOwnProcesses) {
    SystemLauncher launcher;
    int error = 0;
    const int pid = launcher.Start({"sleep", "30"}, error);
    ASSERT_GT(pid, 0) << error;
    EXPECT_FALSE(launcher.Stop(1)) << "not started by this launcher";
    EXPECT_TRUE(launcher.Stop(pid));
    EXPECT_TRUE(launcher.Wait(pid));
}

TEST(ProcessTest, AnInstalledLauncherRecords) {
    RecordingLauncher recorder;
    ProcessLauncher* previous = InstallProcessLauncher(&recorder);
    int error = 0;
    EXPECT_GT(Launcher().Start({"xdg-open", "/tmp/a b.htm"}, error), 0);
    recorder.fail_with = 5;
    EXPECT_EQ(Launcher().Start({"xdg-open"}, error), 0);
    EXPECT_EQ(error, 5);
    EXPECT_EQ(InstallProcessLauncher(previous), &recorder);
    ASSERT_EQ(recorder.started.size(), 2u);
    EXPECT_EQ(recorder.started[0], (std::vector<std::string>{"xdg-open", "/tmp/a b.htm"}));
}

}  // namespace
}  // namespace platform
