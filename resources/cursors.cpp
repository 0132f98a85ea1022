// The library's two cursors: a pointing hand for links and an arrow carrying
// a sheet for dragging. 'X' outline, '#' white, '.' transparent.
#include <array>
#include <string>
#include <vector>

#include "framework/ui/resources.hpp"
#include "resources/resources.hpp"

namespace resources::detail {

namespace {

// Constant arrays: the control library registers the cursors while the
// program's statics are still being made, in no order across files.
using Art = std::array<const char*, 16>;

constexpr Art kHand = {
    ".....XX.........", "....X##X........", "....X##X........", "....X##X........",
    "....X##XXX......", "....X##X##XXX...", "....X##X##X##XX.", "XX..X##X##X##X#X",
    "X##XX########X#X", "X###X#########X.", ".X############X.", "..X###########X.",
    "..X##########X..", "...X#########X..", "....X#######X...", "....XXXXXXXXX...",
};
constexpr Art kDrag = {
    "X...............", "XX..............", "X#X.............", "X##X............",
    "X###X...........", "X####X..........", "X#####X.........", "X######X........",
    "X###XXXXX.......", "X##X.XXXXXXXX...", "X#X..X######X...", "XX...X######X...",
    "X....X######X...", ".....X######X...", ".....XXXXXXXX...", "................",
};

void Cursor(const char* name, const Art& rows, ui::TPoint hotspot) {
    const std::vector<std::string> art(rows.begin(), rows.end());
    ui::RegisterCursorResource(
        name, {ui::BitmapFromArt(art, {{'X', 0}, {'#', 0xFFFFFF}}), ui::MaskFromArt(art, '.'), hotspot});
}

}  // namespace

void RegisterCursors() {
    Cursor("CV_HANDCUR", kHand, {5, 0});
    Cursor("CV_DRAGCUR", kDrag, {0, 0});
}

}  // namespace resources::detail
