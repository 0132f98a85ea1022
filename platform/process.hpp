#pragma once
// Starting other programs: always by an argument vector, never through a
// shell, so an argument with blanks or quotes stays one argument. Tests
// install a launcher that records instead of starting.
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The program `name` in the folders of `search_path` (":"-separated, as
// PATH), or "" when none of them holds an executable file of that name. A
// name with a '/' is taken as a path.
std::string FindProgram(std::string_view name, std::string_view search_path);
// The folders of $PATH.
std::string ProgramSearchPath();

// The original platform's system error code for an errno value of a failed
// start: 2 file not found, 3 path not found, 5 access denied, 8 no memory,
// 19 write-protected, 21 not ready, 32 in use, 112 disk full, 1151 not a
// program, 1392 corrupt file, 31 anything else.
int SystemErrorFromErrno(int err);

class ProcessLauncher {
public:
    virtual ~ProcessLauncher() = default;
    // Starts argv[0] with the arguments argv[1..]; the process id, or 0 with
    // `error` set to a system error code (above).
    virtual int Start(const std::vector<std::string>& argv, int& error) = 0;
    // Asks a process this launcher started to end; true when it was running.
    virtual bool Stop(int pid) = 0;
};

// Real processes, each in its own session so that it outlives a terminal;
// finished ones are reaped at the next call.
class SystemLauncher final : public ProcessLauncher {
public:
    int Start(const std::vector<std::string>& argv, int& error) override;
    bool Stop(int pid) override;
    // Waits until the process has ended (tests); false when it is not ours.
    bool Wait(int pid);

private:
    void Reap();
    std::vector<int> running_;
};

class RecordingLauncher final : public ProcessLauncher {
public:
    std::vector<std::vector<std::string>> started;
    std::vector<int> stopped;
    int fail_with = 0;  // a system error code every start fails with; 0 none
    int Start(const std::vector<std::string>& argv, int& error) override;
    bool Stop(int pid) override;

private:
    int next_pid_ = 1000;
};

// The launcher in use (real processes until one is installed). Installing
// returns the previous one; the caller keeps ownership of both.
ProcessLauncher* InstallProcessLauncher(ProcessLauncher* launcher);
ProcessLauncher& Launcher();

}  // namespace platform
