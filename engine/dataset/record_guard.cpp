// What keeps the engine's record honest around the data-aware path: a post
// replaces a record only while it is stored as the edit found it, and a row
// that a data link shows in the typed buffer never stays there for a write.
#include <algorithm>
#include <cstring>

#include "engine/dataset/engine_dataset.hpp"
#include "engine/dbf/areas.hpp"
#include "engine/dbf/edit.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/dbf/navigate.hpp"

namespace zurod {

// ---------------------------------------------------------------- posts

void TZoVizuRez::InternalEdit() {
    TTzPrimDataset::InternalEdit();
    // The lock is taken only at the post: what the edit began from is kept,
    // so that the post can tell whether another program changed the record.
    const char* buffer = ActiveBuffer();
    edit_origin_.assign(buffer, buffer + record_size_);
    edit_origin_rec_ = last_read_;
}

void TZoVizuRez::ReplaceUnlessChanged() {
    if (!field_props_) return;
    const std::span<char> typed = field_props_->typed;
    edit_values_.assign(typed.begin(), typed.end());
    // The record as it is stored now (the lock is held).
    SKIP(0);
    if (LastErrorCode() != 0) return;
    const int32_t record = zurod::RecNo();
    if (record == edit_origin_rec_ && edit_origin_.size() == record_size_) {
        stored_now_.resize(record_size_);
        ReadRecord(stored_now_.data());
        if (std::memcmp(stored_now_.data(), edit_origin_.data(), record_size_) != 0) {
            std::copy(edit_values_.begin(), edit_values_.end(), typed.begin());
            RunError(1203,
                     "Record " + std::to_string(record) + " of " + AreaFileName() +
                         " was changed elsewhere since the edit began; reload it [Post]");
            return;
        }
    }
    // Deleting and recalling are the delete mark's only writers.
    edit_values_[0] = typed[0];
    std::copy(edit_values_.begin(), edit_values_.end(), typed.begin());
    zurod::Replace();
}

// ---------------------------------------------------------------- rows shown from a data link

void TZoVizuRez::ShowRowInEngine() {
    char* buffer = ActiveBuffer();
    if (!field_props_ || !buffer) return;
    // The typed buffer as the first row shown found it is what comes back.
    if (!typed_is_kept_) typed_kept_.assign(field_props_->typed.begin(), field_props_->typed.end());
    typed_is_kept_ = false;
    WriteRecord(buffer);
    typed_is_kept_ = true;
}

void TZoVizuRez::RestoreTypedBuffer() {
    if (!typed_is_kept_) return;
    typed_is_kept_ = false;
    if (field_props_ && field_props_->typed.size() == typed_kept_.size())
        std::copy(typed_kept_.begin(), typed_kept_.end(), field_props_->typed.begin());
}

}  // namespace zurod
