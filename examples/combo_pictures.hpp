#pragma once
#include <string>

// Writes "colour-combo.png" (a colour combo box with its list open) and
// "folder-dialog.png" (the folder dialog over a few folders made for it in a
// temporary place) into `folder`; false when a picture could not be written.
bool WriteComboPictures(const std::string& folder);
