#pragma once
// The cursors and resource strings of the control library. They are in the
// screen's tables from start-up on; controls use the numbers only.
namespace controls {

constexpr int crHandCursor = 14000;
constexpr int crDragCursor = 14001;

constexpr int SNotImplemented = 61257;

// Loads "CV_HANDCUR" and "CV_DRAGCUR" into the screen's slots 14000 and 14001,
// registers the library's strings and, the first time, makes the shadowed
// hint window the hint window class. Runs at start-up; again only after a
// test emptied the tables.
void RegisterControlResources();

}  // namespace controls
