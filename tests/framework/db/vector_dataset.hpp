#pragma once
// A dataset over rows held in a vector: the tests' own store behind the
// data-aware layer's protocol. Each buffer holds per field a Null byte and
// the native value, then the calculated fields, a BLOB slot per memo field,
// the row number and the bookmark flag.
#include <cstring>
#include <string>
#include <vector>

#include "framework/db/dataset.hpp"

namespace testing_db {

struct Column {
    std::string name;
    db::TFieldType type;
    int size = 0;
};

class VectorDataSet : public db::TDataSet {
public:
    using Row = std::vector<db::Variant>;

    VectorDataSet(ui::TComponent* owner, std::vector<Column> columns)
        : db::TDataSet(owner), columns_(std::move(columns)) {}

    std::vector<Row> rows;
    // Set to make the next post fail with an EDatabaseError.
    int failing_posts = 0;
    // Set to make the next reads fail with an EDatabaseError.
    int failing_reads = 0;
    // Store calls, for tests that count them.
    int reads = 0;

    int RowOf(char* buffer) const { return Load<int32_t>(buffer + info_); }

    bool GetFieldData(db::TField* field, void* dest) override {
        char* buffer = State() == db::dsCalcFields ? CalcBuffer() : ActiveBuffer();
        if (!buffer || (State() == db::dsBrowse && IsEmpty())) return false;
        const char* slot =
            field->Calculated() ? buffer + calc_ + field->Offset() : buffer + offsets_[field->FieldNo() - 1];
        if (slot[0] == 0) return false;
        if (dest) std::memcpy(dest, slot + 1, static_cast<size_t>(field->DataSize()));
        return true;
    }

    void SetFieldData(db::TField* field, const void* src) override {
        char* buffer = State() == db::dsCalcFields ? CalcBuffer() : ActiveBuffer();
        if (!db::EditModes(State()) && State() != db::dsCalcFields)
            db::DatabaseError("Dataset not in edit or insert mode", this);
        field->Validate(src);
        char* slot = field->Calculated() ? buffer + calc_ + field->Offset() : buffer + offsets_[field->FieldNo() - 1];
        slot[0] = src ? 1 : 0;
        if (src) std::memcpy(slot + 1, src, static_cast<size_t>(field->DataSize()));
        if (State() != db::dsCalcFields) DataEvent(db::deFieldChange, reinterpret_cast<intptr_t>(field));
    }

    std::unique_ptr<db::TStream> CreateBlobStream(db::TField* field, db::TBlobStreamMode mode) override;
    int CompareBookmarks(const db::TBookmark& a, const db::TBookmark& b) override {
        const int x = Load<int32_t>(a.data()), y = Load<int32_t>(b.data());
        return x < y ? -1 : x > y ? 1 : 0;
    }

protected:
    template <class T>
    static T Load(const char* p) {
        T v;
        std::memcpy(&v, p, sizeof v);
        return v;
    }
    template <class T>
    static void Store(char* p, T v) {
        std::memcpy(p, &v, sizeof v);
    }

    std::unique_ptr<char[]> AllocRecordBuffer() override {
        auto b = std::make_unique<char[]>(static_cast<size_t>(size_));
        std::memset(b.get(), 0, static_cast<size_t>(size_));
        return b;
    }
    int GetRecordSize() override { return calc_; }
    bool IsCursorOpen() override { return open_; }
    void InternalOpen() override {
        InitFieldDefs();
        if (FieldCount() == 0) CreateFields();
        BindFields(true);
        offsets_.clear();
        int at = 0;
        for (const Column& c : columns_) {
            offsets_.push_back(at);
            at += 1 + NativeSize(c);
        }
        calc_ = at;
        info_ = calc_ + CalcFieldsSize();
        size_ = info_ + 5;
        BookmarkSize = 4;
        cursor_ = -1;
        open_ = true;
    }
    void InternalClose() override {
        BindFields(false);
        if (DefaultFields()) DestroyFields();
        open_ = false;
    }
    void InternalInitFieldDefs() override {
        for (const Column& c : columns_) FieldDefs().Add(c.name, c.type, c.size);
    }
    void InternalFirst() override { cursor_ = -1; }
    void InternalLast() override { cursor_ = static_cast<int>(rows.size()); }
    db::TGetResult GetRecord(char* buffer, db::TGetMode mode, bool) override {
        ++reads;
        if (failing_reads > 0) {
            --failing_reads;
            db::DatabaseError("The read failed", this);
        }
        const int n = static_cast<int>(rows.size());
        if (mode == db::gmNext) {
            if (cursor_ >= n - 1) {
                cursor_ = n;
                return db::grEOF;
            }
            ++cursor_;
        } else if (mode == db::gmPrior) {
            if (cursor_ <= 0) {
                cursor_ = -1;
                return db::grBOF;
            }
            --cursor_;
        } else if (cursor_ < 0 || cursor_ >= n) {
            return cursor_ < 0 ? db::grBOF : db::grEOF;
        }
        FromRow(rows[static_cast<size_t>(cursor_)], buffer);
        Store<int32_t>(buffer + info_, cursor_);
        buffer[info_ + 4] = db::bfCurrent;
        GetCalcFields(buffer);
        return db::grOK;
    }
    void InternalInitRecord(char* buffer) override { std::memset(buffer, 0, static_cast<size_t>(calc_)); }
    void InternalAddRecord(char* buffer, bool append) override {
        const int at = append ? static_cast<int>(rows.size()) : std::max(cursor_, 0);
        rows.insert(rows.begin() + at, ToRow(buffer));
        cursor_ = at;
    }
    void InternalPost() override {
        if (failing_posts > 0) {
            --failing_posts;
            db::DatabaseError("Post refused", this);
        }
        char* buffer = ActiveBuffer();
        if (State() == db::dsInsert) {
            InternalAddRecord(
                buffer, buffer[info_ + 4] == db::bfEOF || cursor_ < 0 || cursor_ >= static_cast<int>(rows.size()));
        } else {
            rows[static_cast<size_t>(cursor_)] = ToRow(buffer);
        }
    }
    void InternalDelete() override { rows.erase(rows.begin() + cursor_); }
    void InternalGotoBookmark(const char* bookmark) override { cursor_ = Load<int32_t>(bookmark); }
    void InternalSetToRecord(char* buffer) override { InternalGotoBookmark(buffer + info_); }
    void InternalHandleException() override {}
    void GetBookmarkData(char* buffer, char* data) override { std::memcpy(data, buffer + info_, 4); }
    void SetBookmarkData(char* buffer, const char* data) override { std::memcpy(buffer + info_, data, 4); }
    db::TBookmarkFlag GetBookmarkFlag(char* buffer) override {
        return static_cast<db::TBookmarkFlag>(buffer[info_ + 4]);
    }
    void SetBookmarkFlag(char* buffer, db::TBookmarkFlag flag) override { buffer[info_ + 4] = static_cast<char>(flag); }
    void ClearCalcFields(char* buffer) override {
        std::memset(buffer + calc_, 0, static_cast<size_t>(CalcFieldsSize()));
    }
    int GetRecordCount() override { return static_cast<int>(rows.size()); }
    int GetRecNo() override {
        char* buffer = State() == db::dsCalcFields ? CalcBuffer() : ActiveBuffer();
        return IsEmpty() || !buffer ? 0 : RowOf(buffer) + 1;
    }
    void SetRecNoTo(int n) override {
        CheckBrowseMode();
        cursor_ = n - 1;
        Resync(db::rmExact | db::rmCenter);
    }

private:
    static int NativeSize(const Column& c) {
        switch (c.type) {
        case db::ftString: return c.size + 1;
        case db::ftInteger:
        case db::ftDate:
        case db::ftMemo: return 4;
        case db::ftFloat: return 8;
        case db::ftBoolean: return 2;
        default: return 0;
        }
    }
    void FromRow(const Row& row, char* buffer) {
        for (size_t i = 0; i < columns_.size(); ++i) {
            char* slot = buffer + offsets_[i];
            std::memset(slot, 0, static_cast<size_t>(1 + NativeSize(columns_[i])));
            const db::Variant& v = row[i];
            if (db::VarIsNull(v)) continue;
            slot[0] = 1;
            switch (columns_[i].type) {
            case db::ftString: {
                const std::string& s = std::get<std::string>(v);
                std::memcpy(slot + 1, s.data(), std::min<size_t>(s.size(), static_cast<size_t>(columns_[i].size)));
                break;
            }
            case db::ftInteger: Store<int32_t>(slot + 1, static_cast<int32_t>(std::get<int64_t>(v))); break;
            case db::ftFloat: Store<double>(slot + 1, std::get<double>(v)); break;
            case db::ftBoolean: Store<int16_t>(slot + 1, std::get<bool>(v) ? 1 : 0); break;
            case db::ftDate:
                Store<int32_t>(slot + 1, static_cast<int32_t>(std::get<db::DateValue>(v).value) + db::kDateDelta);
                break;
            case db::ftMemo:
                blobs_.push_back(std::get<std::string>(v));
                Store<int32_t>(slot + 1, static_cast<int32_t>(blobs_.size() - 1));
                break;
            default: break;
            }
        }
    }
    Row ToRow(const char* buffer) const {
        Row row(columns_.size());
        for (size_t i = 0; i < columns_.size(); ++i) {
            const char* slot = buffer + offsets_[i];
            if (slot[0] == 0) continue;
            switch (columns_[i].type) {
            case db::ftString: row[i] = std::string(slot + 1); break;
            case db::ftInteger: row[i] = int64_t{Load<int32_t>(slot + 1)}; break;
            case db::ftFloat: row[i] = Load<double>(slot + 1); break;
            case db::ftBoolean: row[i] = Load<int16_t>(slot + 1) != 0; break;
            case db::ftDate:
                row[i] = db::DateValue{static_cast<double>(Load<int32_t>(slot + 1) - db::kDateDelta)};
                break;
            case db::ftMemo: row[i] = blobs_[static_cast<size_t>(Load<int32_t>(slot + 1))]; break;
            default: break;
            }
        }
        return row;
    }

    friend class VectorBlobStream;
    std::vector<Column> columns_;
    std::vector<int> offsets_;
    std::vector<std::string> blobs_;
    int calc_ = 0, info_ = 0, size_ = 0;
    int cursor_ = -1;
    bool open_ = false;
};

// Reads the memo of the active buffer; a write stream stores its bytes as a
// new memo of the buffer when it is closed.
class VectorBlobStream final : public db::TStream {
public:
    VectorBlobStream(VectorDataSet* ds, db::TField* field, db::TBlobStreamMode mode)
        : ds_(ds), field_(field), mode_(mode) {
        char* slot = ds_->ActiveBuffer() + ds_->offsets_[static_cast<size_t>(field->FieldNo() - 1)];
        if (mode_ == db::bmRead && slot[0] != 0)
            data_ = db::TMemoryStream(ds_->blobs_[static_cast<size_t>(VectorDataSet::Load<int32_t>(slot + 1))]);
    }
    int64_t Read(void* b, int64_t n) override { return data_.Read(b, n); }
    int64_t Write(const void* b, int64_t n) override { return data_.Write(b, n); }
    int64_t Seek(int64_t o, db::TSeekOrigin origin) override { return data_.Seek(o, origin); }
    void Close() override {
        if (mode_ != db::bmWrite || closed_) return;
        closed_ = true;
        char* slot = ds_->ActiveBuffer() + ds_->offsets_[static_cast<size_t>(field_->FieldNo() - 1)];
        ds_->blobs_.push_back(data_.Data());
        slot[0] = 1;
        VectorDataSet::Store<int32_t>(slot + 1, static_cast<int32_t>(ds_->blobs_.size() - 1));
        ds_->DataEvent(db::deFieldChange, reinterpret_cast<intptr_t>(field_));
    }

private:
    VectorDataSet* ds_;
    db::TField* field_;
    db::TBlobStreamMode mode_;
    db::TMemoryStream data_;
    bool closed_ = false;
};

inline std::unique_ptr<db::TStream> VectorDataSet::CreateBlobStream(db::TField* field, db::TBlobStreamMode mode) {
    if (mode != db::bmRead && !db::EditModes(State())) db::DatabaseError("Dataset not in edit or insert mode", this);
    return std::make_unique<VectorBlobStream>(this, field, mode);
}

}  // namespace testing_db
