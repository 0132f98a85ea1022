#pragma once
// Accelerator tables: a key with its modifiers and the command it gives,
// handed out by handle (kept in the class library's state; made and read by
// the form frames of ole_frame.cpp).
#include <cstddef>
#include <cstdint>
#include <vector>

#include "framework/ole/com.hpp"

namespace ui {

struct ACCEL {
    uint8_t fVirt = 0;  // FSHIFT 4, FCONTROL 8, FALT 16, FVIRTKEY 1
    uint16_t key = 0;
    uint16_t cmd = 0;
};
ole::HACCEL CreateAcceleratorTable(const std::vector<ACCEL>& entries);
bool DestroyAcceleratorTable(ole::HACCEL table);
int AcceleratorCount(ole::HACCEL table);  // -1 for a table that is gone
size_t LiveAcceleratorTables();

}  // namespace ui
