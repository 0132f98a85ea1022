#pragma once
// Multiple-index files: up to 47 tags in one file beside the table (the
// production index has the table's name and the extension "MDX"), each a
// B+ tree of keys that an expression computes from the records, optionally
// only of the records a FOR condition admits.
//
// IndexInit attaches the unit; from then on navigation follows the active
// order of an area's open index and appends and replaces keep every tag
// current. Every command works on the current area. Errors of opening an
// index and of choosing an order are raised at once when automatic error
// handling is off, so they never pass unnoticed.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace zurod {

// One tag to build. Index lists hold a tag as two lines: "NAME,D,U,KEY"
// (D and U "T" or "F" for descending and unique) and the FOR condition.
struct TagDescriptor {
    std::string name;       // at most 10 characters
    std::string key;        // at most 220 characters
    std::string condition;  // empty for none
    bool descending = false;
    bool unique = false;
    friend bool operator==(const TagDescriptor&, const TagDescriptor&) = default;
};

// The descriptors of index-list lines, taken by position as the dataset's
// IndexList holds them; a last odd line is ignored.
std::vector<TagDescriptor> ParseIndexList(const std::vector<std::string>& lines);

// The unit's start-up: attaches the index engine. A second call reports 254.
void IndexInit();
// Closes the indexes of every area and detaches the unit (program end).
void IndexEngineClose();

// Opens an index file for the current area's table, closing the one it had:
// an empty name opens the production index; a name without extension gets
// "MDX", one without folder the table's folder. The first tag becomes the
// active order and the area goes to its first visible record.
bool SetIndexTo(const std::string& name);
bool OpenIndex(const std::string& name);
void CloseIndex();

// 0 chooses the natural record order (the tags stay open and maintained).
void Set_Order_To(int n);
// By name, case-insensitive: the tag of exactly that name, else the first
// whose name begins with it; an empty name chooses the natural order.
bool SetOrderToTag(const std::string& name);
// The active tag's number, 0 in natural order or without an index.
int CurrentOrder();
// Rebuilds every tag of the open index; the active order stays.
void Reindex();
// The tags stored in a table's index file as index-list lines (two per tag);
// empty when it has none.
void GetIndexTagNames(std::vector<std::string>& list, const std::string& table);
// From now on every tag-header write is flushed to disk.
void SetIndexFlushOn();

// Builds a new index file (empty name: the production index) with every tag
// of the list and leaves it closed; false when a tag failed (the others are
// built). The old file is replaced only by a complete new one.
bool MakeIndex(const std::vector<TagDescriptor>& tags, const std::string& name);
// MakeIndex, then SetIndexTo with the same name.
bool MakeIndexTags(const std::vector<TagDescriptor>& tags, const std::string& name);
// Adds (or replaces) one tag of the area's open index; every tag is rebuilt.
// `reopen` lets a shared table be taken exclusively for the build.
bool AddIndexTag(const TagDescriptor& tag, bool reopen);
// Called `steps` times per tag built (0 or no callback: never).
void SetIndexProgressProc(std::function<void()> callback, int steps);

// Seeks `key` (at most 100 characters) in the active order and makes the
// first visible record with that key current; past the end when none. Without
// exact matching a text shorter than a character key finds the first key
// that begins with it; dates are texts in the current date style.
bool Find(const std::string& key);
// Switch exact matching of Find on / off; each returns the previous setting.
bool SetFindExact();
bool ClearFindExact();

// The record of the first / last / next / prior key of the active order (the
// cursor moves); record count + 1 when the order is empty.
int32_t FindFirstKey();
int32_t FindLastKey();
int32_t FindNextKey();
int32_t FindPriorKey();
// Puts the cursor on the first key not before `key` (the key's stored
// bytes); true when that key equals it.
bool SeekKey(std::string_view key);
// Sets a floor under the keys of `tag`: from now on the walks of every order
// of the current area's index (GoTop, GoBottom, SKIP, the Find...Key steps)
// pass over the records whose key in that tag comes before `low` (the key's
// stored bytes; a shorter text is the keys' beginning) without reading them.
// For a filter that hides those records anyway, set beside it: a filter on
// DTOS(DATE) over a tag whose key starts with DTOS(DATE) then costs what
// the records it shows cost. The floor follows this process's changes of
// keys and stays until it is cleared, replaced or the index is closed; in
// natural order, and in other orders while the table is shared, the walks
// read every record and the filter alone decides. A tag that does not exist
// or has a FOR condition reports 220.
bool SetKeyFloor(const std::string& tag, std::string_view low);
void ClearKeyFloor();
// Puts the cursor of the active order (or of every tag) on the current record.
void SyncIndex(bool all_tags);
void SoftSyncIndex();
// Remembers the current record's key of the active tag (or of every tag).
void TakeKeys(bool all_tags);

// The index semaphore of the current area's shared table: 0 LOGIN, 1 LOGOUT,
// 2 INCREAD, 3 DECREAD, 4 LOCKSEMAPHORE, 5 UNLOCKSEMAPHORE.
void HandleSemafore(int action);
// Take (true) or release the read / write side; nested takes count.
void SetReadSemaphoreProc(bool take);
void SetLockSemaphoreProc(bool take);
// Whether another process changed the index since this one last looked.
bool RevalidateIndex();
void RevalidateCursor();

}  // namespace zurod
