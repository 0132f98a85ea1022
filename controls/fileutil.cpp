#include "controls/fileutil.hpp"

#include "platform/paths.hpp"

namespace controls {

bool DirExists(const std::string& path) {
    if (path.empty()) return false;
    return platform::IsDirectory(platform::ResolveExisting(path));
}

}  // namespace controls
