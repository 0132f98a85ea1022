#pragma once
// The push button's standard class ("BUTTON"), and its check boxes.
#include "framework/ui/window.hpp"

namespace ui {

enum ButtonStyle : uint32_t { BS_PUSHBUTTON = 0x0, BS_DEFPUSHBUTTON = 0x1, BS_CHECKBOX = 0x2, BS_AUTOCHECKBOX = 0x3 };
// clang-format off
enum ButtonMessage : UINT {
    BM_GETCHECK = 0xF0, BM_SETCHECK = 0xF1, BM_GETSTATE = 0xF2, BM_SETSTATE = 0xF3, BM_SETSTYLE = 0xF4, BM_CLICK = 0xF5,
};
// clang-format on
enum : LRESULT { BST_UNCHECKED = 0x0, BST_CHECKED = 0x1, BST_PUSHED = 0x4 };
enum : WPARAM { BN_CLICKED = 0 };

}  // namespace ui
