#include "controls/chmreader.hpp"

#include <chm_lib.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <set>

#include "controls/chmfile.hpp"

namespace controls {

namespace {

using Clock = std::chrono::steady_clock;

// Frames both ways: a kind, a 32-bit length and that many bytes. Requests
// are 'E' (exists), 'R' (read) and 'L' (list) with a name; answers are 'D'
// (a piece of data or one name) followed by 'Y' or 'N'.
constexpr size_t kHead = 5;
constexpr size_t kPiece = size_t(64) * 1024;
constexpr size_t kMostNames = size_t(1) << 20;
constexpr int kChildSocket = 3;

void PutHead(char* head, char kind, uint32_t size) {
    head[0] = kind;
    std::memcpy(head + 1, &size, 4);
}

// ------------------------------------------------------------------ the child

bool SendAll(int fd, const void* data, size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size) {
        const ssize_t n = send(fd, p, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n, size -= size_t(n);
    }
    return true;
}

bool ReadAll(int fd, void* data, size_t size) {
    char* p = static_cast<char*>(data);
    while (size) {
        const ssize_t n = recv(fd, p, size, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n, size -= size_t(n);
    }
    return true;
}

// A lost parent ends the child where it stands.
void Send(int fd, char kind, const void* data = nullptr, size_t size = 0) {
    char head[kHead];
    PutHead(head, kind, uint32_t(size));
    if (!SendAll(fd, head, kHead) || (size && !SendAll(fd, data, size))) _exit(0);
}

// The address space the child has, and room for the library's working
// memory beyond it (under the address sanitizer the first is terabytes of
// shadow, reserved already).
void LimitMemory() {
    constexpr rlim_t kChildMemory = rlim_t(1) << 30;
    char text[64] = {};
    const int fd = open("/proc/self/statm", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    const ssize_t n = read(fd, text, sizeof text - 1);
    close(fd);
    const long pages = n > 0 ? std::strtol(text, nullptr, 10) : 0;
    rlimit limit{};
    if (pages <= 0 || getrlimit(RLIMIT_AS, &limit) != 0) return;
    const rlim_t want = rlim_t(pages) * rlim_t(sysconf(_SC_PAGESIZE)) + kChildMemory;
    if (limit.rlim_max != RLIM_INFINITY && limit.rlim_max < want) return;
    limit.rlim_cur = limit.rlim_max = want;
    setrlimit(RLIMIT_AS, &limit);
}

bool SendObject(const ChmLibrary& library, chmFile* file, const std::string& name, int fd) {
    chmUnitInfo info{};
    if (library.resolve(file, name.c_str(), &info) != CHM_RESOLVE_SUCCESS || info.length > kChmObjectLimit)
        return false;
    std::vector<unsigned char> piece(kPiece);
    for (unsigned long long at = 0; at < info.length;) {
        const long long want = static_cast<long long>(std::min<unsigned long long>(kPiece, info.length - at));
        const long long got = library.retrieve(file, &info, piece.data(), at, want);
        if (got <= 0 || got > want) return false;
        Send(fd, 'D', piece.data(), size_t(got));
        at += static_cast<unsigned long long>(got);
    }
    return true;
}

struct Listing {
    int fd;
    std::set<std::string> listed;
    bool again = false;  // a name came twice
};

int SendName(chmFile*, chmUnitInfo* info, void* context) {
    Listing& listing = *static_cast<Listing*>(context);
    std::string name(info->path, strnlen(info->path, sizeof info->path));
    if (!listing.listed.insert(name).second) {
        listing.again = true;
        return CHM_ENUMERATOR_FAILURE;
    }
    Send(listing.fd, 'D', name.data(), name.size());
    return CHM_ENUMERATOR_CONTINUE;
}

// The child's whole life: open the file, then answer until the socket
// closes. It only ever leaves by _exit (or a signal): nothing of the
// program's state is its to tidy.
[[noreturn]] void Serve(const ChmLibrary& library, const char* path, int fd, pid_t parent) {
    // A fault ends the child plainly, whatever handlers the program set.
    for (int sig : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGPIPE, SIGTERM, SIGINT, SIGALRM}) signal(sig, SIG_DFL);
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(0);
    // The socket alone stays open: the program's windows, files and locks are none of the child's.
    if (fd != kChildSocket && dup2(fd, kChildSocket) < 0) _exit(0);
    fd = kChildSocket;
    close_range(kChildSocket + 1, ~0U, 0);
    LimitMemory();

    chmFile* file = library.open(path);
    Send(fd, file ? 'Y' : 'N');
    if (!file) _exit(0);
    std::string name;
    for (;;) {
        char head[kHead];
        uint32_t size = 0;
        if (!ReadAll(fd, head, kHead)) _exit(0);
        std::memcpy(&size, head + 1, 4);
        if (size > kPiece) _exit(0);
        name.resize(size);
        if (size && !ReadAll(fd, name.data(), size)) _exit(0);
        bool ok = false;
        chmUnitInfo info{};
        switch (head[0]) {
        case 'E': ok = library.resolve(file, name.c_str(), &info) == CHM_RESOLVE_SUCCESS; break;
        case 'R': ok = SendObject(library, file, name, fd); break;
        case 'L': {
            Listing listing{fd, {}, false};
            ok = library.enumerate(file, CHM_ENUMERATE_NORMAL | CHM_ENUMERATE_FILES, SendName, &listing) != 0 &&
                !listing.again;
            break;
        }
        default: _exit(0);
        }
        Send(fd, ok ? 'Y' : 'N');
    }
}

}  // namespace

// ------------------------------------------------------------------ the program

std::unique_ptr<ChmReader> ChmReader::Start(const ChmLibrary& library, const std::string& utf8_path,
                                            std::chrono::milliseconds limit, Opened& how) {
    how = Opened::No;
    if (!library.Loaded() || utf8_path.find('\0') != std::string::npos) return nullptr;
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) return nullptr;
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid == 0) {
        close(ends[0]);
        Serve(library, utf8_path.c_str(), ends[1], parent);
    }
    close(ends[1]);
    if (pid < 0) {
        close(ends[0]);
        return nullptr;
    }
    std::unique_ptr<ChmReader> reader(new ChmReader(pid, ends[0], limit));
    Frame answer;
    if (!reader->Receive(answer, Clock::now() + limit) || !answer.payload.empty() || answer.kind == 'D') {
        reader->Fail();
        how = Opened::Damaged;
        return nullptr;
    }
    if (answer.kind != 'Y') return nullptr;
    how = Opened::Yes;
    return reader;
}

ChmReader::~ChmReader() { Fail(); }

bool ChmReader::Fail() {
    if (socket_ >= 0) close(socket_);
    socket_ = -1;
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        while (waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {}
    }
    pid_ = -1;
    return false;
}

bool ChmReader::Request(char op, const std::string& name) {
    if (Damaged() || name.size() > kPiece || name.find('\0') != std::string::npos) return false;
    const auto deadline = Clock::now() + limit_;
    std::string frame(kHead, '\0');
    PutHead(frame.data(), op, uint32_t(name.size()));
    frame += name;
    const char* p = frame.data();
    size_t left = frame.size();
    while (left) {
        const ssize_t n = send(socket_, p, left, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            p += n, left -= size_t(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) return Fail();
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        pollfd out{socket_, POLLOUT, 0};
        if (ms <= 0 || poll(&out, 1, int(ms)) == 0) return Fail();
    }
    deadline_ = deadline;
    return true;
}

bool ChmReader::ReceiveExactly(void* buffer, size_t size, Clock::time_point deadline) {
    char* p = static_cast<char*>(buffer);
    while (size) {
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (ms <= 0) return Fail();
        pollfd in{socket_, POLLIN, 0};
        const int ready = poll(&in, 1, int(std::min<long long>(ms, 60000)));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) {
            if (ready < 0) return Fail();
            continue;  // the deadline is looked at again
        }
        const ssize_t n = recv(socket_, p, size, MSG_DONTWAIT);
        if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
        if (n <= 0) return Fail();  // the child died
        p += n, size -= size_t(n);
    }
    return true;
}

bool ChmReader::ReceiveHead(char& kind, size_t& size) {
    char head[kHead];
    if (Damaged() || !ReceiveExactly(head, kHead, deadline_)) return false;
    uint32_t length = 0;
    std::memcpy(&length, head + 1, 4);
    kind = head[0];
    size = length;
    const bool answer = (kind == 'Y' || kind == 'N') && size == 0;
    if (!answer && !(kind == 'D' && size <= kPiece)) return Fail();  // out of form
    return true;
}

bool ChmReader::Receive(Frame& frame, Clock::time_point deadline) {
    deadline_ = deadline;
    size_t size = 0;
    if (!ReceiveHead(frame.kind, size)) return false;
    frame.payload.resize(size);
    return size == 0 || ReceiveExactly(frame.payload.data(), size, deadline_);
}

bool ChmReader::Exists(const std::string& name) {
    char kind = 0;
    size_t size = 0;
    if (!Request('E', name) || !ReceiveHead(kind, size)) return false;
    if (kind == 'D') return Fail();
    return kind == 'Y';
}

bool ChmReader::Read(const std::string& name, std::vector<uint8_t>& bytes) {
    bytes.clear();
    if (!Request('R', name)) return false;
    for (;;) {
        char kind = 0;
        size_t size = 0;
        if (!ReceiveHead(kind, size)) break;
        if (kind != 'D') {
            if (kind == 'Y') return true;
            break;
        }
        const size_t old = bytes.size();
        if (old + size > kChmObjectLimit) {
            Fail();
            break;
        }
        bytes.resize(old + size);
        if (!ReceiveExactly(bytes.data() + old, size, deadline_)) break;
    }
    bytes.clear();
    return false;
}

bool ChmReader::Enumerate(std::vector<std::string>& names) {
    names.clear();
    if (!Request('L', "")) return false;
    Frame frame;
    size_t total = 0;
    while (Receive(frame, deadline_)) {
        if (frame.kind != 'D') return frame.kind == 'Y';
        total += frame.payload.size();
        if (names.size() == kMostNames || total > kChmNamesLimit) {
            Fail();
            break;
        }
        names.push_back(std::move(frame.payload));
    }
    names.clear();
    return false;
}

}  // namespace controls
