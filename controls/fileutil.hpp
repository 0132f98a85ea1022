#pragma once
#include <string>

namespace controls {

// True when the path's attributes can be read and name a directory (the
// spelling is matched without regard to case, as file names are).
bool DirExists(const std::string& path);

}  // namespace controls
