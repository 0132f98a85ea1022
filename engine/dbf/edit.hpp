#pragma once
// Changing the records of the current area: append, replace, delete marks,
// flush, zap and pack, with the index kept in step and the locks a shared
// table needs.
#include <cstdint>
#include <string>

namespace zurod {

void Append();
void Replace();
void DeleteRec();
void RecallRec();
void FlushDbf();
bool Zap();
bool Pack();
// 0 or an error code; changes the area's share mode in place.
int ReopenTable(bool exclusive);
// Asks before a destructive operation when confirmation is on.
bool ConfirmAction(const std::string& text);

// True while Pack rebuilds the indexes.
bool EnginePacking();

}  // namespace zurod
