#pragma once
// A private directory for a fuzz target's files, removed when the run ends.
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/paths.hpp"

namespace fuzz_support {

class ScratchDir {
public:
    ScratchDir() {
        std::string pattern = platform::TempDirectory() + "corvanta-fuzz-XXXXXX";
        if (!mkdtemp(pattern.data())) std::abort();
        dir_ = pattern;
    }
    ~ScratchDir() {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    std::string Path(const std::string& name) const { return dir_ + "/" + name; }

private:
    std::string dir_;
};

}  // namespace fuzz_support
