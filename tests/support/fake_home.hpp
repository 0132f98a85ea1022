#pragma once
// A home folder of the test's own: HOME, XDG_CONFIG_HOME and XDG_DATA_HOME
// point into a fresh directory for the object's life, with the XDG user
// directories file written as asked.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "tests/support/temp_dir.hpp"

namespace testing_support {

class FakeHome {
public:
    FakeHome() : home_(dir_ / "home") {
        for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME"}) {
            const char* v = std::getenv(name);
            saved_[Index(name)] = v ? std::optional<std::string>(v) : std::nullopt;
        }
        std::filesystem::create_directories(home_ + "/.config");
        setenv("HOME", home_.c_str(), 1);
        unsetenv("XDG_CONFIG_HOME");
        unsetenv("XDG_DATA_HOME");
    }
    ~FakeHome() {
        for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME"}) {
            const auto& v = saved_[Index(name)];
            if (v)
                setenv(name, v->c_str(), 1);
            else
                unsetenv(name);
        }
    }
    FakeHome(const FakeHome&) = delete;
    FakeHome& operator=(const FakeHome&) = delete;

    const std::string& Home() const { return home_; }
    // Makes a folder below home (with its parents); its path.
    std::string Folder(const std::string& relative) const {
        const std::string p = home_ + "/" + relative;
        std::filesystem::create_directories(p);
        return p;
    }
    void WriteUserDirs(const std::string& text) const { std::ofstream(home_ + "/.config/user-dirs.dirs") << text; }

private:
    static size_t Index(const std::string& name) { return name == "HOME" ? 0 : name == "XDG_CONFIG_HOME" ? 1 : 2; }
    TempDir dir_;
    std::string home_;
    std::optional<std::string> saved_[3];
};

}  // namespace testing_support
