// The dataset's window of record buffers: as many as the largest buffer count
// among its links, plus a spare one the next record is read into; buffers
// rotate by pointer, and the store's cursor is put on the buffer an operation
// needs before it runs.
#include <algorithm>

#include "framework/db/dataset.hpp"
#include "framework/db/datasource.hpp"

namespace db {

char* TDataSet::ActiveBuffer() const {
    if (buffers_.empty()) return nullptr;
    return Buffer(active_record_);
}

void TDataSet::UpdateBufferCount() {
    if (!IsCursorOpen()) return;
    int count = 1;
    for (const TDataSource* s : data_sources_)
        for (const TDataLink* l : s->links_) count = std::max(count, l->BufferCount());
    if (count == buffer_count_) return;
    SetBufferCount(count);
    if (Active()) DataEvent(deDataSetChange, 0);
}

void TDataSet::SetBufferCount(int count) {
    if (count == buffer_count_) return;
    if (count == 0) {
        buffers_.clear();
        buffer_count_ = 0;
        ClearBuffers();
        return;
    }
    if (count < buffer_count_ && record_count_ > 0) {
        // Records before the active one leave the window first.
        const int drop = std::max(0, active_record_ - (count - 1));
        if (drop > 0) {
            std::rotate(buffers_.begin(), buffers_.begin() + drop, buffers_.end());
            active_record_ -= drop;
            record_count_ -= drop;
        }
        record_count_ = std::min(record_count_, count);
    }
    const size_t old = buffers_.size();
    buffers_.resize(static_cast<size_t>(count) + 1);
    for (size_t i = old; i < buffers_.size(); ++i) buffers_[i] = AllocRecordBuffer();
    buffer_count_ = count;
    CursorPosChanged();
    if (internal_open_complete_) {
        GetNextRecords();
        GetPriorRecords();
    }
}

void TDataSet::MoveBuffer(int from, int to) {
    if (from == to) return;
    auto at = [this](int i) { return buffers_.begin() + i; };
    if (from < to)
        std::rotate(at(from), at(from + 1), at(to + 1));
    else
        std::rotate(at(to), at(from), at(from + 1));
}

void TDataSet::ClearBuffers() {
    record_count_ = 0;
    active_record_ = 0;
    current_record_ = -1;
    bof_ = eof_ = true;
}

void TDataSet::ActivateBuffers() {
    record_count_ = 1;
    active_record_ = 0;
    current_record_ = 0;
    bof_ = eof_ = false;
}

void TDataSet::SetCurrentRecord(int index) {
    if (current_record_ == index) return;
    char* buffer = Buffer(index);
    switch (GetBookmarkFlag(buffer)) {
    case bfCurrent:
    case bfInserted: InternalSetToRecord(buffer); break;
    case bfBOF: InternalFirst(); break;
    case bfEOF: InternalLast(); break;
    }
    current_record_ = index;
}

void TDataSet::UpdateCursorPos() {
    if (record_count_ > 0) SetCurrentRecord(active_record_);
}

bool TDataSet::GetNextRecord() {
    TGetMode mode = gmNext;
    if (record_count_ > 0) {
        SetCurrentRecord(record_count_ - 1);
        if (state_ == dsInsert && current_record_ == active_record_ && GetBookmarkFlag(ActiveBuffer()) == bfCurrent)
            mode = gmCurrent;
    }
    if (GetRecord(SpareBuffer(), mode, true) != grOK) {
        CursorPosChanged();
        return false;
    }
    if (record_count_ == 0)
        ActivateBuffers();
    else if (record_count_ < buffer_count_)
        ++record_count_;
    else
        MoveBuffer(0, record_count_);
    current_record_ = record_count_ - 1;
    return true;
}

bool TDataSet::GetPriorRecord() {
    if (record_count_ > 0) SetCurrentRecord(0);
    if (GetRecord(SpareBuffer(), gmPrior, true) != grOK) {
        CursorPosChanged();
        return false;
    }
    if (record_count_ == 0) {
        ActivateBuffers();
    } else {
        MoveBuffer(record_count_, 0);
        if (record_count_ < buffer_count_) {
            ++record_count_;
            ++active_record_;
        }
    }
    current_record_ = 0;
    return true;
}

int TDataSet::GetNextRecords() {
    int n = 0;
    while (record_count_ < buffer_count_ && GetNextRecord()) ++n;
    return n;
}

int TDataSet::GetPriorRecords() {
    int n = 0;
    while (record_count_ < buffer_count_ && GetPriorRecord()) ++n;
    return n;
}

}  // namespace db
