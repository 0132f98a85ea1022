#pragma once
// What the fuzz targets share: a scratch directory and putting the fuzzer's
// bytes into a file.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace fuzz_support {

inline void WriteBytes(const std::string& path, const uint8_t* data, size_t size) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) std::abort();
    if (size > 0 && std::fwrite(data, 1, size, f) != size) std::abort();
    std::fclose(f);
}

// A directory for a target's files, removed with them at exit. It lies in
// memory (/dev/shm) where there is one: the engine syncs every file it
// rewrites (packs, index builds, memo packs), and a disk's syncs would set
// the pace of the whole run.
class Scratch {
public:
    Scratch() {
        const std::filesystem::path memory = "/dev/shm";
        std::error_code ec;
        const std::filesystem::path root = std::filesystem::is_directory(memory, ec) && ::access("/dev/shm", W_OK) == 0
            ? memory
            : std::filesystem::temp_directory_path();
        std::string pattern = (root / "corvanta-fuzz-XXXXXX").string();
        if (!mkdtemp(pattern.data())) std::abort();
        path_ = pattern;
    }
    ~Scratch() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;

    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

}  // namespace fuzz_support
