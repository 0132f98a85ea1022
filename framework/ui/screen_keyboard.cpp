#include "framework/ui/screen_keyboard.hpp"

#include <utility>

namespace ui {

bool ScreenKeyboard::Key(UINT vk, bool down, unsigned modifiers, bool repeat, bool focus_leaves) {
    vk &= 0xFF;
    if (down && !repeat && restoring_ && kept_[vk]) {
        kept_.reset(vk);
        return false;
    }
    EndRestoring();
    if (!down && focus_leaves) return false;
    held_.set(vk, down);
    InjectKey(vk, down, modifiers);
    return true;
}

void ScreenKeyboard::FocusTaken() {
    EndRestoring();
    kept_ = held_;
    restoring_ = true;
}

void ScreenKeyboard::Other() { EndRestoring(); }

void ScreenKeyboard::EndRestoring() {
    if (!std::exchange(restoring_, false)) return;
    // The keys not pressed again went up while the focus moved. They go up
    // for the program now, with the modifiers still held, except Alt: its
    // release would count as Alt pressed alone and open the menu bar (Alt
    // held while the focus left the program, for another program's window).
    // The next input's modifiers put Alt's state right.
    held_ &= ~kept_;
    unsigned modifiers = 0;
    if (held_[VK_SHIFT]) modifiers |= kShift;
    if (held_[VK_CONTROL]) modifiers |= kControl;
    if (held_[VK_MENU]) modifiers |= kAlt;
    for (UINT vk = 0; vk < kept_.size(); ++vk)
        if (kept_[vk] && vk != VK_MENU) InjectKey(vk, false, modifiers);
    kept_.reset();
}

}  // namespace ui
