#pragma once
// The lowest dataset class: the data-aware layer's record-buffer protocol in
// terms of 26 operations on an abstract store, which TZoVizuRez binds to a
// work area. A record buffer holds the store's record data, the calculated
// fields, a 4-byte slot per BLOB field, the record information (the signed
// 32-bit record number and, in its sixth byte, the bookmark flag) and the
// bookmark (the record number).
//
// Every operation returns 0 or an error code; a failure is raised as a plain
// exception: 1401 (the engine reported an error), 1402 (beginning of file)
// and 1403 (end of file) as "Dataset error: " and the number, 1404 as
// "Missing DbfFilename property", any other code as "Dataset error: " and
// the operation TziErrorText's text for it.
#include <cstdint>
#include <string>
#include <vector>

#include "framework/db/dataset.hpp"

namespace zurod {

inline constexpr int kTzEngineError = 1401;
inline constexpr int kTzAtBof = 1402;
inline constexpr int kTzAtEof = 1403;
inline constexpr int kTzNoFileName = 1404;

class TTzPrimDataset : public db::TDataSet {
public:
    explicit TTzPrimDataset(ui::TComponent* owner) : db::TDataSet(owner) {}
    std::string ClassName() const override { return "TTzPrimDataset"; }

    bool GetCurrentRecord(char* buffer) override;
    bool IsSequenced() override { return !Filtered(); }
    bool BookmarkValid(const db::TBookmark& bookmark) override;
    int CompareBookmarks(const db::TBookmark& a, const db::TBookmark& b) override;
    bool Locate(const std::string& key_fields, const std::vector<db::Variant>& values,
                db::TLocateOptions options) override;
    std::vector<db::Variant> Lookup(const std::string& key_fields, const std::vector<db::Variant>& values,
                                    const std::string& result_fields) override;
    bool GetFieldData(db::TField* field, void* buffer) override;
    void SetFieldData(db::TField* field, const void* buffer) override;

protected:
    // The store, in slot order.
    virtual std::string TziErrorText(int code) { return std::to_string(code); }
    virtual bool s_IsEmptyDbf() { return IsEmpty(); }
    virtual int TziSetToBegin() = 0;
    virtual int TziSetToEnd() = 0;
    virtual int TziOpen() = 0;
    virtual void TziClose() = 0;
    virtual int TziGetRecordCount() = 0;
    virtual int TziForceReread() = 0;
    virtual int TziAppendRecord(char* buffer) = 0;
    virtual int TziInsertRecord(char* buffer) = 0;
    virtual int TziDeleteRecord() = 0;
    virtual int TziInitRecord() = 0;
    virtual int TziPostRecord(char* buffer) = 0;
    virtual size_t TziGetRecordSize() = 0;
    virtual int TziGetKind() = 0;
    // `buffer` may be nullptr: the record number only.
    virtual int TziGetRecord(char* buffer, int32_t& rec_no) = 0;
    virtual int TziGetNextRecord(char* buffer, int32_t& rec_no) = 0;
    virtual int TziGetPriorRecord(char* buffer, int32_t& rec_no) = 0;
    virtual int TziGetFieldData(db::TField* field, const char* buffer, bool& is_blank, void* dest) = 0;
    virtual int TziSetFieldData(db::TField* field, char* buffer, const void* source) = 0;
    virtual int SafeGo(int32_t n) = 0;
    // Option bit 0 case-insensitive, bit 1 partial key; with `move` the store
    // stays on the record found.
    virtual bool TziLocateRecord(const std::string& fields, const std::vector<db::Variant>& values, bool move,
                                 db::TLocateOptions options) = 0;
    virtual int TziGetBookmarkSize() = 0;
    virtual int TziGotoBookmark(const char* bookmark) = 0;
    virtual int TziSetToBookmark(char* bookmark) = 0;
    virtual int TziCompareBookmarks(const char* a, const char* b, int& result) = 0;

    // Raises the exception of a failed operation's code.
    void Check(int code) {
        if (code != 0) Raise(code);
    }
    [[noreturn]] void Raise(int code);

    std::unique_ptr<char[]> AllocRecordBuffer() override;
    int GetRecordSize() override { return static_cast<int>(record_size_); }
    void ClearCalcFields(char* buffer) override;
    void InternalOpen() override;
    void InternalClose() override;
    void OpenCursor(bool info_query) override;
    void CloseCursor() override;
    bool IsCursorOpen() override { return cursor_open_; }
    void InternalFirst() override { Check(TziSetToBegin()); }
    void InternalLast() override { Check(TziSetToEnd()); }
    db::TGetResult GetRecord(char* buffer, db::TGetMode mode, bool do_check) override;
    void InternalInitRecord(char* buffer) override;
    void InternalAddRecord(char* buffer, bool append) override;
    void InternalPost() override;
    void InternalDelete() override { Check(TziDeleteRecord()); }
    void InternalEdit() override;
    void InternalRefresh() override { Check(TziForceReread()); }
    void InternalGotoBookmark(const char* bookmark) override { Check(TziGotoBookmark(bookmark)); }
    void InternalSetToRecord(char* buffer) override { InternalGotoBookmark(buffer + bookmark_offset_); }
    void InternalHandleException() override;
    void GetBookmarkData(char* buffer, char* data) override;
    void SetBookmarkData(char* buffer, const char* data) override;
    db::TBookmarkFlag GetBookmarkFlag(char* buffer) override;
    void SetBookmarkFlag(char* buffer, db::TBookmarkFlag flag) override;
    int GetRecordCount() override;
    int GetRecNo() override;
    void SetRecNoTo(int n) override;
    bool FindRecord(bool restart, bool go_forward) override;
    void DoOnNewRecord() override;

    // The record number kept in a buffer's record information.
    int32_t BufferRecNo(const char* buffer) const;
    size_t RecordDataSize() const { return record_size_; }

private:
    size_t record_size_ = 0;
    size_t blob_offset_ = 0;
    size_t info_offset_ = 0;
    size_t bookmark_offset_ = 0;
    size_t buffer_size_ = 0;
    int kind_ = 0;
    bool cursor_open_ = false;
    std::vector<char> scratch_;
};

}  // namespace zurod
