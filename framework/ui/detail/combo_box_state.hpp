#pragma once
// What the combo box class keeps for each combo box (in Win::class_data),
// shared by its field and button (combo_box.cpp) and its drop-down list
// (combo_list.cpp).
#include "framework/ui/detail/desktop.hpp"

namespace ui::detail {

struct ComboState {
    HWND list = 0, edit = 0;
    SubclassToken edit_token = 0;
    FontPtr font;
    int field_height = 0;   // the selection field's item height
    int min_visible = 8;    // items the dropped list shows
    int dropped_width = 0;  // at least the combo box's width
    bool dropped = false;
    bool pressed = false;       // the button is drawn pushed in
    bool tracking = false;      // the press that opened the list is still held
    bool scrolling = false;     // the dropped list's scroll bar is being dragged
    bool filling_edit = false;  // the edit's text is being set from the selection
    bool sizing = false;
    int sel_at_drop = -1;  // what Escape goes back to
    int announced = -1;    // the selection the parent last heard of
};

constexpr int kComboEdge = 2;  // the sunken frame

ComboState* ComboStateOf(HWND combo);
uint32_t ComboType(HWND combo);  // CBS_SIMPLE, CBS_DROPDOWN or CBS_DROPDOWNLIST
void ComboNotify(HWND combo, WPARAM code);
// Puts the list's selection into the field (the edit's text, or a repaint).
void ComboShowSelection(HWND combo, ComboState& s);
// Tells the parent of a selection it has not heard of yet.
void ComboAnnounce(HWND combo, ComboState& s);
TRect ComboButtonRect(HWND combo);

// combo_list.cpp: opening and closing the list.
TRect ComboDroppedRect(HWND combo, const ComboState& s);  // screen
void ComboDropDown(HWND combo, ComboState& s);
// `ok`: the item is taken (CBN_SELENDOK); otherwise the selection goes back to
// what it was when the list opened (CBN_SELENDCANCEL).
void ComboCloseUp(HWND combo, ComboState& s, bool ok);
void RegisterComboListClass();

}  // namespace ui::detail
