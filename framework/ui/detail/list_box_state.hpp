#pragma once
// What the list box class keeps for each list window (in Win::class_data),
// shared with the combo box class, whose drop-down list is such a window.
#include <cstdint>
#include <string>
#include <vector>

#include "framework/ui/detail/desktop.hpp"

namespace ui::detail {

struct ListItem {
    std::string text;
    uintptr_t data = 0;
};

struct ListBoxState {
    std::vector<ListItem> items;
    int sel = -1;   // the selected item
    int caret = 0;  // the item with the focus rectangle
    int top = 0;    // the first item shown
    int hot = -1;   // a dropped list: the item under the pointer, drawn as selected (-1: the selection)
    int item_height = 0;
    FontPtr font;
    HWND combo = 0;           // the combo box a drop-down list belongs to
    bool tracking = false;    // the left button is held in the list
    bool scroll_bar = false;  // made with WS_VSCROLL: the bar shows while there is something to scroll
};

ListBoxState* ListState(HWND list);
// The item at a client point; with `clamp` the nearest visible item, else -1
// outside the items.
int ListItemAt(HWND list, const ListBoxState& s, TPoint client, bool clamp);
int ListVisibleCount(HWND list, const ListBoxState& s);
// Selects `index` (-1: none), shows it and repaints what changed; tells the
// notified window when `notify` and the selection moved.
void ListSelect(HWND list, ListBoxState& s, int index, bool notify);
void ListSetHot(HWND list, ListBoxState& s, int index);
// Keys of a list: moves the selection; false for a key it does not take.
bool ListKey(HWND list, ListBoxState& s, UINT vk, bool notify);
// A character: the next item starting with it.
void ListChar(HWND list, ListBoxState& s, char c, bool notify);
void ListScrollTo(HWND list, ListBoxState& s, int top);
// The owner-draw measure of an item's height, asked of the list's owner.
int ListMeasure(HWND list, const ListBoxState& s, UINT item, int fallback);

}  // namespace ui::detail
