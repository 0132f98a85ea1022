#pragma once
// The keys a screen reports, made into the window system's input. A screen
// that moves its keyboard focus from one of the program's windows to another
// (a drop-down or a dialog shown) reports the move as every held key
// released before it and pressed again after it. For the program the keys
// stayed down, as they do when its own focus moves: neither half of that
// reaches it, so Alt held across a drop-down opening neither closes the menu
// nor counts as Alt pressed alone.
#include <bitset>

#include "framework/ui/window.hpp"

namespace ui {

class ScreenKeyboard {
public:
    // A key went down or up (`repeat`: still held, the screen repeats it),
    // with the modifiers as they stand. `focus_leaves`: the screen takes its
    // focus from the program's window right after this release. True when
    // the key went on to the window system.
    bool Key(UINT vk, bool down, unsigned modifiers, bool repeat = false, bool focus_leaves = false);
    // One of the program's windows took the screen's focus.
    void FocusTaken();
    // Anything else the screen reports (it ends the presses that follow a focus move).
    void Other();

private:
    void EndRestoring();

    std::bitset<256> held_;   // down as far as the program knows
    std::bitset<256> kept_;   // held across a focus move and not pressed again yet
    bool restoring_ = false;  // the screen is pressing the held keys again
};

}  // namespace ui
