#include "platform/process.hpp"

#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "platform/codepage.hpp"

extern char** environ;

namespace platform {

namespace {

bool IsExecutableFile(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

SystemLauncher g_system;
ProcessLauncher* g_launcher = &g_system;

}  // namespace

std::string FindProgram(std::string_view name, std::string_view search_path) {
    if (name.empty()) return {};
    if (name.find('/') != std::string_view::npos)
        return IsExecutableFile(AnsiToUtf8(name)) ? std::string(name) : std::string();
    size_t start = 0;
    while (start <= search_path.size()) {
        size_t end = search_path.find(':', start);
        if (end == std::string_view::npos) end = search_path.size();
        // An empty entry is the current folder.
        std::string candidate(end > start ? search_path.substr(start, end - start) : std::string_view("."));
        candidate += '/';
        candidate += name;
        if (IsExecutableFile(AnsiToUtf8(candidate))) return candidate;
        start = end + 1;
    }
    return {};
}

std::string ProgramSearchPath() {
    const char* path = std::getenv("PATH");
    return path ? Utf8ToAnsi(path) : std::string("/usr/local/bin:/usr/bin:/bin");
}

int SystemErrorFromErrno(int err) {
    switch (err) {
    case ENOENT: return 2;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP: return 3;
    case EACCES:
    case EPERM: return 5;
    case ENOMEM:
    case E2BIG:
    case EAGAIN: return 8;
    case EROFS: return 19;
    case ENXIO:
    case ENODEV: return 21;
    case ETXTBSY: return 32;
    case ENOSPC: return 112;
    case ENOEXEC:
    case ELIBBAD: return 1151;
    case EIO: return 1392;
    default: return 31;
    }
}

int SystemLauncher::Start(const std::vector<std::string>& argv, int& error) {
    Reap();
    error = 0;
    if (argv.empty()) {
        error = SystemErrorFromErrno(ENOENT);
        return 0;
    }
    std::vector<std::string> args;
    args.reserve(argv.size());
    for (const std::string& a : argv) args.push_back(AnsiToUtf8(a));
    std::vector<char*> pointers;
    for (std::string& a : args) pointers.push_back(a.data());
    pointers.push_back(nullptr);

    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID);
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, pointers[0], nullptr, &attr, pointers.data(), environ);
    posix_spawnattr_destroy(&attr);
    if (rc != 0) {
        error = SystemErrorFromErrno(rc);
        return 0;
    }
    running_.push_back(pid);
    return pid;
}

bool SystemLauncher::Stop(int pid) {
    Reap();
    if (std::find(running_.begin(), running_.end(), pid) == running_.end()) return false;
    return kill(pid, SIGTERM) == 0;
}

bool SystemLauncher::Wait(int pid) {
    auto it = std::find(running_.begin(), running_.end(), pid);
    if (it == running_.end()) return false;
    running_.erase(it);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
    return true;
}

void SystemLauncher::Reap() {
    std::erase_if(running_, [](int pid) {
        int status = 0;
        return waitpid(pid, &status, WNOHANG) != 0;  // ended, or not a child any more
    });
}

int RecordingLauncher::Start(const std::vector<std::string>& argv, int& error) {
    started.push_back(argv);
    error = fail_with;
    return fail_with ? 0 : next_pid_++;
}

bool RecordingLauncher::Stop(int pid) {
    stopped.push_back(pid);
    return true;
}

ProcessLauncher* InstallProcessLauncher(ProcessLauncher* launcher) {
    ProcessLauncher* previous = g_launcher;
    g_launcher = launcher ? launcher : &g_system;
    return previous;
}

ProcessLauncher& Launcher() { return *g_launcher; }

}  // namespace platform
