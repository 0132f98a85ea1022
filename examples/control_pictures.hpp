#pragma once
// Pictures of the control library's controls in their states, written as
// "controls-*.png" into a folder (make demo).
#include <string>
#include <vector>

// Writes every picture; returns the names of those it could not write.
std::vector<std::string> WriteControlPictures(const std::string& folder);
