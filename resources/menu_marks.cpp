// The menus' check and radio marks, 12 by 12 pixels: black on white, white
// being the transparent colour where they are drawn.
#include "framework/ui/resources.hpp"
#include "resources/resources.hpp"

namespace resources::detail {

namespace {

using Art = std::vector<std::string>;

// clang-format off
const Art kCheckMark = {
    "............", "............", "..........#.", ".........##.",
    "..#.....###.", "..##...###..", "..###.###...", "...#####....",
    "....###.....", ".....#......", "............", "............"};
const Art kRadioMark = {
    "............", "............", "............", "............",
    ".....##.....", "....####....", "....####....", ".....##.....",
    "............", "............", "............", "............"};
// clang-format on

void Mark(const char* name, const Art& art) {
    ui::RegisterBitmapResource(name, ui::BitmapFromArt(art, {{'#', ui::RGB(0, 0, 0)}, {'.', ui::RGB(255, 255, 255)}}));
}

}  // namespace

void RegisterMenuMarks() {
    Mark("CheckMark", kCheckMark);
    Mark("RadioMark", kRadioMark);
}

}  // namespace resources::detail
