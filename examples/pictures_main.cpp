// corvanta-pictures <folder>: writes only the control pictures (make demo
// writes them too, beside its tables).
#include <cstdio>
#include <filesystem>

#include "examples/control_pictures.hpp"

int main(int argc, char** argv) {
    const std::string folder = argc > 1 ? argv[1] : "demo-data";
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    const auto failed = WriteControlPictures(folder);
    for (const std::string& name : failed) std::fprintf(stderr, "corvanta-pictures: cannot write %s\n", name.c_str());
    return failed.empty() ? 0 : 1;
}
