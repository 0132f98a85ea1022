// The date edit's button glyph and the calendar's arrows, on a fuchsia
// ground: '#' black, 'r' red, 'w' white, 'g' grey, 'd' dark grey, 'h' white
// highlight of the disabled cell, anything else the ground.
#include "framework/ui/resources.hpp"
#include "resources/resources.hpp"

namespace resources::detail {

namespace {

using Art = std::vector<std::string>;

void Register(const char* name, const Art& art) {
    ui::RegisterBitmapResource(name,
                               ui::BitmapFromArt(art,
                                                 {{'#', ui::RGB(0, 0, 0)},
                                                  {'r', ui::RGB(192, 0, 0)},
                                                  {'w', ui::RGB(255, 255, 255)},
                                                  {'d', ui::RGB(128, 128, 128)},
                                                  {'h', ui::RGB(255, 255, 255)},
                                                  {'.', ui::RGB(255, 0, 255)}}));
}

}  // namespace

// The pictures live in the function: it may run while the program's static
// objects are still being made (the control library registers its resources
// at start-up), so it may use none of them.
void RegisterDateGlyphs() {
    // clang-format off
    // A leaf of a wall calendar: a red binding, the day grid; then the same
    // embossed, as a disabled button shows it.
    const Art kDateEdit = {
        "................................",
        "..############....dddddddddddd..",
        "..#rrrrrrrrrr#....dhhhhhhhhhhdh.",
        "..#rrrrrrrrrr#....dhhhhhhhhhhdh.",
        "..############....dddddddddddhh.",
        "..#wwwwwwwwww#....dhhhhhhhhhhdh.",
        "..#w#w#w#w#ww#....dhdhdhdhdhhdh.",
        "..#wwwwwwwwww#....dhhhhhhhhhhdh.",
        "..#w#w#w#w#ww#....dhdhdhdhdhhdh.",
        "..#wwwwwwwwww#....dhhhhhhhhhhdh.",
        "..#w#w#w#w#ww#....dhdhdhdhdhhdh.",
        "..#wwwwwwwwww#....dhhhhhhhhhhdh.",
        "..############....dddddddddddhh.",
        "...................hhhhhhhhhhhh.",
        "................................",
        "................................"};
    const Art kPrev1 = {
        "........",
        ".....#..",
        "....##..",
        "...###..",
        "..####..",
        "...###..",
        "....##..",
        ".....#..",
        "........"};
    const Art kNext1 = {
        "........",
        "..#.....",
        "..##....",
        "..###...",
        "..####..",
        "..###...",
        "..##....",
        "..#.....",
        "........"};
    const Art kPrev2 = {
        "..........",
        "....#...#.",
        "...##..##.",
        "..###.###.",
        ".#######..",
        "..###.###.",
        "...##..##.",
        "....#...#.",
        ".........."};
    const Art kNext2 = {
        "..........",
        ".#...#....",
        ".##..##...",
        ".###.###..",
        "..#######.",
        ".###.###..",
        ".##..##...",
        ".#...#....",
        ".........."};
    // clang-format on

    Register("DEDITBMP", kDateEdit);
    Register("PREV1", kPrev1);
    Register("PREV2", kPrev2);
    Register("NEXT1", kNext1);
    Register("NEXT2", kNext2);
}

}  // namespace resources::detail
