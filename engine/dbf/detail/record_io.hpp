#pragma once
// Records of a table file: reading and writing one record, the delete mark,
// the code-page translation, and reading whole records in large blocks for
// the loops that walk a table straight from the file.
#include <cstdint>
#include <span>
#include <vector>

#include "engine/dbf/detail/workarea.hpp"
#include "engine/dbf/errors.hpp"

namespace zurod {

// Where record n starts in the file.
inline uint64_t RecordOffset(const TWorkArea& area, int32_t n) {
    return area.header_length + static_cast<uint64_t>(n - 1) * area.record_length;
}

// Reads record n into the record buffer (a virtual file asks its store).
Status GetDbfRecord(TWorkArea& area, int32_t n);
// Reads record n as stored, leaving the translation to the engine's page
// for later (record_stored), when only a filter is to see it first: most
// records a filtered walk passes over never need it. Tables with a read
// hook, ANSI tables and virtual files read as GetDbfRecord does.
Status GetStoredRecord(TWorkArea& area, int32_t n);
// Translates a record that GetStoredRecord left as stored.
void TranslateStoredRecord(TWorkArea& area);
// Writes the record buffer as record n; n past the end appends.
Status PutDbfRecord(TWorkArea& area, int32_t n);
Status AppendDbfRecord(TWorkArea& area);
// Writes byte 0 of the record buffer as the mark of record n (existing
// records only).
Status WriteDeleteMark(TWorkArea& area, int32_t n);

enum class Direction { Read, Write };
// Code-page translation and the hook over every whole record in `buffer`; the
// delete mark is never touched.
void TranslateRecord(Direction direction, bool oem, const RecordHook& hook, std::span<char> buffer,
                     uint16_t record_length);

// Brings record n towards the processor when the block cache holds it: a
// walk in key order calls it for a record a few steps ahead.
void PrefetchRecord(const TWorkArea& area, int32_t n);

// Reads records first..last of a table file straight from the file, a block
// of whole records at a time, as they are on disk:
//   for (RecordBlockReader r(area, 1, area.rec_count); r.Next();)
//       for (int32_t i = 0; i < r.Count(); ++i) use(r.Record(i));
//   if (r.status().failed()) ...
class RecordBlockReader {
public:
    static constexpr size_t kDefaultBlock = size_t{1} << 20;

    RecordBlockReader(const TWorkArea& area, int32_t first, int32_t last, size_t block_bytes = kDefaultBlock);
    // Reads the next block; false at the end or after a failure.
    bool Next();
    int32_t First() const { return first_; }  // record number of the block's first record
    int32_t Count() const { return count_; }
    std::span<char> Records() { return {block_.data(), static_cast<size_t>(count_) * rl_}; }
    std::span<char> Record(int32_t i) { return {block_.data() + static_cast<size_t>(i) * rl_, rl_}; }
    const Status& status() const { return status_; }

private:
    const TWorkArea& area_;
    size_t rl_;
    int32_t next_, last_;
    int32_t first_ = 0, count_ = 0;
    std::vector<char> block_;
    Status status_;
};

}  // namespace zurod
