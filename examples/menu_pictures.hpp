#pragma once
// Pictures of the owner-drawn menus, open: a popup menu with its banner, a
// main menu's bar with a drop-down, and the bar of flat buttons standing in
// for it, written as "menus-*.png" into a folder (make demo).
#include <string>
#include <vector>

// Writes every picture; returns the names of those it could not write.
std::vector<std::string> WriteMenuPictures(const std::string& folder);
