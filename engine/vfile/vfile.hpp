#pragma once
// Virtual files: tables held in memory in a work area, appended in FIFO, LIFO,
// INSERTION (before the current record), ASCENDING or DESCENDING order (by a
// key the caller's keymaker builds from the record buffer).
#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "engine/dbf/tables.hpp"

namespace zurod {

enum VFileMode : uint8_t { kFifo = 0, kLifo = 1, kInsertion = 2, kAscending = 3, kDescending = 4 };

// Builds the key of the record that stands in the area's record buffer.
using KeyMaker = std::function<void(std::string& key)>;

// Installs the store in the engine's virtual-file hook (unit start-up).
void VFileInit();

// Operations on the current area, which must hold a virtual file.
void AddStru(std::span<FieldDef> fields);
void SnipRec();
void Set_VFileKey_To(KeyMaker keymaker);
uint8_t Get_VFileMode();
void Set_VFileMode_To(uint8_t mode);
void SortVFile(uint8_t mode);

}  // namespace zurod
