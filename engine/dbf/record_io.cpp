#include "engine/dbf/detail/record_io.hpp"

#include <algorithm>
#include <cstring>

#include "engine/dbf/detail/state.hpp"
#include "engine/dbf/detail/table_header.hpp"
#include "engine/dbf/settings.hpp"
#include "platform/codepage.hpp"

namespace zurod {

namespace {

Status ReadRecordBytes(TWorkArea& area, int32_t n, char* out) {
    const uint16_t rl = area.record_length;
    const int rc =
        area.file.ReadCached(RecordOffset(area, n), std::span(out, rl), RecordOffset(area, area.rec_count + 1));
    if (rc == 0) return {};
    return Fail(static_cast<uint16_t>(rc), "File:  " + area.file_name + "  [GetDbfRecord]");
}

}  // namespace

Status GetDbfRecord(TWorkArea& area, int32_t n) {
    if (area.is_virtual) return CallVirtualStore(area, VFileRequest::Read, n);
    if (n < 1 || n > area.rec_count)
        return Fail(212, "Invalid record number = " + std::to_string(n) + " (" + area.file_name + ")  [GetDbfRecord]");
    area.bof = area.eof = false;
    if (area.record_stored) area.record = area.record_home;
    area.record_stored = false;
    const uint16_t rl = area.record_length;
    if (!area.read_hook && rl > 0) {
        // Straight from the cached block into the buffer, translated on the way.
        int rc = 0;
        bool alone = false;
        const uint64_t at = RecordOffset(area, n);
        if (const char* raw = area.file.View(at, rl, RecordOffset(area, area.rec_count + 1), rc, alone)) {
            area.record[0] = raw[0];
            if (area.oem)
                platform::OemToAnsi(std::span(raw + 1, rl - 1u), area.record.data() + 1);
            else
                std::memcpy(area.record.data() + 1, raw + 1, rl - 1u);
            area.rec_no = n;
            return {};
        }
        if (alone) {
            size_t got = 0;
            rc = area.file.ReadAt(at, area.record.first(rl), got);
            if (rc == 0 && got < rl) rc = 213;
        }
        if (rc != 0) return Fail(static_cast<uint16_t>(rc), "File:  " + area.file_name + "  [GetDbfRecord]");
        if (!alone)
            if (Status s = ReadRecordBytes(area, n, area.record.data()); s.failed()) return s;
    } else if (Status s = ReadRecordBytes(area, n, area.record.data()); s.failed()) {
        return s;
    }
    area.rec_no = n;
    if (area.read_hook) {
        AreaPin pin(area);  // the hook is caller code
        TranslateRecord(Direction::Read, area.oem, area.read_hook, area.record, area.record_length);
    } else {
        TranslateRecord(Direction::Read, area.oem, nullptr, area.record, area.record_length);
    }
    return {};
}

void PrefetchRecord(const TWorkArea& area, int32_t n) {
    if (area.is_virtual || n < 1 || n > area.rec_count || area.record_length == 0) return;
    area.file.Prefetch(RecordOffset(area, n), area.record_length);
}

Status GetStoredRecord(TWorkArea& area, int32_t n) {
    if (area.record_stored) area.record = area.record_home;
    area.record_stored = false;
    if (area.is_virtual || area.read_hook || !area.oem) return GetDbfRecord(area, n);
    if (n < 1 || n > area.rec_count)
        return Fail(212, "Invalid record number = " + std::to_string(n) + " (" + area.file_name + ")  [GetDbfRecord]");
    area.bof = area.eof = false;
    const uint16_t rl = area.record_length;
    int rc = 0;
    bool alone = false;
    // Where the block cache holds it, the record is looked at in place.
    if (const char* raw =
            area.file.View(RecordOffset(area, n), rl, RecordOffset(area, area.rec_count + 1), rc, alone)) {
        area.record_home = area.record;
        area.record = {const_cast<char*>(raw), rl};
    } else if (rc != 0) {
        return Fail(static_cast<uint16_t>(rc), "File:  " + area.file_name + "  [GetDbfRecord]");
    } else if (alone) {
        size_t got = 0;
        rc = area.file.ReadAt(RecordOffset(area, n), area.record.first(rl), got);
        if (rc == 0 && got < rl) rc = 213;
        if (rc != 0) return Fail(static_cast<uint16_t>(rc), "File:  " + area.file_name + "  [GetDbfRecord]");
        area.record_home = area.record;
    } else {
        if (Status s = ReadRecordBytes(area, n, area.record.data()); s.failed()) return s;
        area.record_home = area.record;
    }
    area.rec_no = n;
    area.record_stored = true;
    return {};
}

void TranslateStoredRecord(TWorkArea& area) {
    if (!area.record_stored) return;
    area.record_stored = false;
    const std::span<char> from = area.record;
    area.record = area.record_home;
    if (from.data() == area.record.data()) {
        TranslateRecord(Direction::Read, area.oem, nullptr, area.record, area.record_length);
        return;
    }
    area.record[0] = from[0];
    platform::OemToAnsi(from.subspan(1), area.record.data() + 1);
}

Status PutDbfRecord(TWorkArea& area, int32_t n) {
    const bool append = n > area.rec_count;
    if (append && !area.is_virtual && area.rec_count >= (IsDbase2(area) ? kMaxDbase2Records : kMaxRecords))
        return Fail(212, "Too many records in " + area.file_name + " [Replace/Append/PutDbfRecord]");
    if (append) n = area.rec_count + 1;
    if (area.is_virtual) return CallVirtualStore(area, VFileRequest::Write, n);
    // Record 0 and below would land on the header.
    if (n < 1)
        return Fail(
            212,
            "Invalid record number = " + std::to_string(n) + " (" + area.file_name + ") [Replace/Append/PutDbfRecord]");
    const int32_t old_count = area.rec_count, old_no = area.rec_no;
    if (append) area.rec_count = area.rec_no = n;

    // The record and, for an append, the end mark behind it go out in one write.
    AreaPin pin(area);  // the write hook is caller code
    const uint16_t rl = area.record_length;
    std::vector<char>& io = area.scratch;
    io.resize(rl + 1u);
    std::memcpy(io.data(), area.record.data(), rl);
    io[rl] = static_cast<char>(Settings().eof_mark);
    TranslateRecord(Direction::Write, area.oem, area.write_hook, std::span(io.data(), rl), rl);
    int rc = area.file.WriteAt(RecordOffset(area, n), std::span(io.data(), append ? rl + 1u : rl));
    if (rc == 0 && append) rc = WriteHeaderCount(area);
    if (rc != 0) {
        if (append) area.rec_count = old_count, area.rec_no = old_no;
        return Fail(static_cast<uint16_t>(rc), "File:  " + area.file_name + " [Replace/Append/PutDbfRecord]");
    }
    if (area.read_hook) {
        // The buffer shows what the file now holds.
        std::memcpy(area.record.data(), io.data(), rl);
        TranslateRecord(Direction::Read, area.oem, area.read_hook, area.record, rl);
    }
    if (append) {
        area.header_state = HeaderState::Appended;
        area.whole_records = std::max(area.whole_records, n);
    } else if (area.header_state != HeaderState::Appended) {
        area.header_state = HeaderState::Changed;
    }
    if (Settings().write_through) {
        if (append) return FlushDbfHeader(area);
        if (int sync = area.file.Sync(); sync != 0)
            return Fail(static_cast<uint16_t>(sync), "Unable to flush file [FlushFile]");
    }
    return {};
}

Status AppendDbfRecord(TWorkArea& area) { return PutDbfRecord(area, area.rec_count + 1); }

Status WriteDeleteMark(TWorkArea& area, int32_t n) {
    // Only marks of existing records are written; a mark past the end would
    // leave a stray byte where the next record goes.
    if (n < 1 || n > area.rec_count) return {};
    const char mark = area.record[0];
    if (int rc = area.file.WriteAt(RecordOffset(area, n), std::span(&mark, 1)); rc != 0)
        return Fail(static_cast<uint16_t>(rc), "File:  " + area.file_name + " [DeleteRec/RecallRec]");
    if (area.header_state != HeaderState::Appended) area.header_state = HeaderState::Changed;
    if (Settings().write_through)
        if (int rc = area.file.Sync(); rc != 0)
            return Fail(static_cast<uint16_t>(rc), "Unable to flush file [FlushFile]");
    return {};
}

void TranslateRecord(Direction direction, bool oem, const RecordHook& hook, std::span<char> buffer,
                     uint16_t record_length) {
    if ((!oem && !hook) || record_length == 0) return;
    const size_t records = buffer.size() / record_length;
    for (size_t r = 0; r < records; ++r) {
        char* data = buffer.data() + r * record_length + 1;
        const size_t len = record_length - 1u;
        if (direction == Direction::Read) {
            if (hook) hook(data, len);
            if (oem) platform::OemToAnsi(std::span(data, len));
        } else {
            if (oem) platform::AnsiToOem(std::span(data, len));
            if (hook) hook(data, len);
        }
    }
}

RecordBlockReader::RecordBlockReader(const TWorkArea& area, int32_t first, int32_t last, size_t block_bytes)
    : area_(area), rl_(std::max<size_t>(area.record_length, 1)), next_(std::max(first, 1)), last_(last) {
    const size_t per_block = std::max<size_t>(1, block_bytes / rl_);
    const int32_t wanted = last_ >= next_ ? last_ - next_ + 1 : 0;
    block_.resize(std::min<size_t>(per_block, static_cast<size_t>(wanted)) * rl_);
}

bool RecordBlockReader::Next() {
    if (status_.failed() || next_ > last_ || block_.empty()) return false;
    const int32_t per_block = static_cast<int32_t>(block_.size() / rl_);
    count_ = std::min(per_block, last_ - next_ + 1);
    first_ = next_;
    const size_t bytes = static_cast<size_t>(count_) * rl_;
    size_t got = 0;
    int rc = area_.file.ReadAt(RecordOffset(area_, first_), std::span(block_.data(), bytes), got);
    if (rc == 0 && got < bytes) rc = 213;
    if (rc != 0) {
        status_.code = static_cast<uint16_t>(rc);
        count_ = 0;
        return false;
    }
    next_ += count_;
    return true;
}

}  // namespace zurod
