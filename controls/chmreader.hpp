#pragma once
// A help file read in a child process. The chm library believes the file's
// structures, and one changed byte can make it fault or loop; so a forked
// child opens the file and answers requests over a socket, and the program
// only ever sees the answers. Every request has a time limit; a child that
// dies, answers out of form or is late is killed, and the reader is damaged
// from then on: every request fails at once.
#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace controls {

class ChmLibrary;

// How long one answer (an object read whole, the list of files) may take.
inline constexpr std::chrono::milliseconds kChmReplyLimit{3000};
// The most bytes one object may have: a damaged directory may claim any length.
inline constexpr size_t kChmObjectLimit = size_t(64) << 20;
// The most bytes the names of the files listed may have together.
inline constexpr size_t kChmNamesLimit = size_t(16) << 20;

class ChmReader {
public:
    enum class Opened { Yes, No, Damaged };
    // The child started with `utf8_path` opened; nullptr, with `how` saying
    // why, when the library refuses the file or the child fails to answer.
    static std::unique_ptr<ChmReader> Start(const ChmLibrary& library, const std::string& utf8_path,
                                            std::chrono::milliseconds limit, Opened& how);
    // Kills the child: it holds nothing but the open file.
    ~ChmReader();
    ChmReader(const ChmReader&) = delete;
    ChmReader& operator=(const ChmReader&) = delete;

    // The library resolves the name (the file's own records included).
    bool Exists(const std::string& name);
    bool Read(const std::string& name, std::vector<uint8_t>& bytes);
    // The names of the file's normal files, as the library lists them; false
    // when it fails or comes back to a name it listed already (a directory
    // whose chunks lead back into themselves is listed forever).
    bool Enumerate(std::vector<std::string>& names);
    bool Damaged() const { return pid_ <= 0; }

private:
    ChmReader(pid_t pid, int socket, std::chrono::milliseconds limit) : pid_(pid), socket_(socket), limit_(limit) {}
    struct Frame {
        char kind = 0;
        std::string payload;
    };
    // A request sets the deadline of its answer.
    bool Request(char op, const std::string& name);
    bool ReceiveHead(char& kind, size_t& size);
    bool Receive(Frame& frame, std::chrono::steady_clock::time_point deadline);
    bool ReceiveExactly(void* buffer, size_t size, std::chrono::steady_clock::time_point deadline);
    bool Fail();  // kills the child; false
    pid_t pid_;
    int socket_;
    std::chrono::milliseconds limit_;
    std::chrono::steady_clock::time_point deadline_;
};

}  // namespace controls
