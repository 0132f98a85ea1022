#include "controls/cvconst.hpp"

#include "framework/ui/forms.hpp"
#include "framework/ui/resources.hpp"

namespace controls {

namespace {

// A pointing hand, its finger tip the hot spot.
const std::vector<std::string> kHand = {
    ".....XX.........", "....X##X........", "....X##X........", "....X##X........",
    "....X##XXX......", "....X##X##XXX...", "....X##X##X##XX.", "XX..X##X##X##X#X",
    "X##XX########X#X", "X###X#########X.", ".X############X.", "..X###########X.",
    "..X##########X..", "...X#########X..", "....X#######X...", "....XXXXXXXXX...",
};
// An arrow carrying a sheet: dragging.
const std::vector<std::string> kDrag = {
    "X...............", "XX..............", "X#X.............", "X##X............",
    "X###X...........", "X####X..........", "X#####X.........", "X######X........",
    "X###XXXXX.......", "X##X.XXXXXXXX...", "X#X..X######X...", "XX...X######X...",
    "X....X######X...", ".....X######X...", ".....XXXXXXXX...", "................",
};

void RegisterCursor(const char* name, const std::vector<std::string>& art, ui::TPoint hotspot) {
    ui::RegisterCursorResource(
        name, {ui::BitmapFromArt(art, {{'X', 0}, {'#', 0xFFFFFF}}), ui::MaskFromArt(art, '.'), hotspot});
}

}  // namespace

void RegisterControlResources() {
    RegisterCursor("CV_HANDCUR", kHand, {5, 0});
    RegisterCursor("CV_DRAGCUR", kDrag, {0, 0});
    ui::Screen().SetCursors(crHandCursor, ui::LoadCursor("CV_HANDCUR"));
    ui::Screen().SetCursors(crDragCursor, ui::LoadCursor("CV_DRAGCUR"));
    ui::RegisterResourceString(SNotImplemented, "Function not yet implemented");
}

}  // namespace controls
