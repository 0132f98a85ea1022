#pragma once
// Changing the records of the current area: append, replace, delete marks,
// flush, zap and pack, with the index kept in step and the locks a shared
// table needs.
#include <cstdint>
#include <string>

#include "engine/dbf/workarea.hpp"

namespace zurod {

void Append();
// Appends the area's record buffer as it stands (the swap buffer is refreshed
// from it): the lock rule, the write and the keys of every index tag.
void AppendRecord(TWorkArea& area);
void Replace();
void DeleteRec();
void RecallRec();
void FlushDbf();
bool Zap();
bool Pack();
// 0 or an error code; changes the area's share mode in place.
int ReopenTable(bool exclusive);
bool ConfirmAction(const std::string& text);

// True while Pack rebuilds the indexes.
bool EnginePacking();

}  // namespace zurod
