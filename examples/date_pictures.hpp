#pragma once
// Pictures of the date edit and the calendars, written as
// "controls-dateedit*.png" and "controls-calendar*.png" into a folder.
#include <string>
#include <vector>

// Writes every picture; returns the names of those it could not write.
std::vector<std::string> WriteDatePictures(const std::string& folder);
