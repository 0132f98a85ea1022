// The library's two cursors: a pointing hand for links and an arrow carrying
// a sheet for dragging. 'X' outline, '#' white, '.' transparent.
#include "framework/ui/resources.hpp"
#include "resources/resources.hpp"

namespace resources::detail {

namespace {

const std::vector<std::string> kHand = {
    ".....XX.........", "....X##X........", "....X##X........", "....X##X........",
    "....X##XXX......", "....X##X##XXX...", "....X##X##X##XX.", "XX..X##X##X##X#X",
    "X##XX########X#X", "X###X#########X.", ".X############X.", "..X###########X.",
    "..X##########X..", "...X#########X..", "....X#######X...", "....XXXXXXXXX...",
};
const std::vector<std::string> kDrag = {
    "X...............", "XX..............", "X#X.............", "X##X............",
    "X###X...........", "X####X..........", "X#####X.........", "X######X........",
    "X###XXXXX.......", "X##X.XXXXXXXX...", "X#X..X######X...", "XX...X######X...",
    "X....X######X...", ".....X######X...", ".....XXXXXXXX...", "................",
};

void Cursor(const char* name, const std::vector<std::string>& art, ui::TPoint hotspot) {
    ui::RegisterCursorResource(
        name, {ui::BitmapFromArt(art, {{'X', 0}, {'#', 0xFFFFFF}}), ui::MaskFromArt(art, '.'), hotspot});
}

}  // namespace

void RegisterCursors() {
    Cursor("CV_HANDCUR", kHand, {5, 0});
    Cursor("CV_DRAGCUR", kDrag, {0, 0});
}

}  // namespace resources::detail
