#pragma once
// Pictures of the enhanced rich edit for the demo's folder: a report preview
// in a read-only rich edit with formats and an embedded object, and the
// object-properties and links dialogs of a linked object.
#include <string>

namespace controls {

// Writes "richedit-preview.png", "object-properties-dialog.png" and
// "links-dialog.png" into `folder`; false when one could not be written.
bool WriteRichEditPictures(const std::string& folder);

}  // namespace controls
