#pragma once
// The dataset over a table file (TTzFileDataSet, published as TTzDbf): opens
// the table as USE does, creates it from DbfFields when it is missing, builds
// or opens its production index from IndexList at every open, and wraps the
// writes of the data-aware path (append, delete, restore, replace) in the
// engine's locks with a retry event.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "engine/dataset/command_dataset.hpp"

namespace zurod {

enum TCreateIndexType { ciNotFound, ciAlways, ciVerifyHeader, ciNever };

using TBeforeMakeIndexEvent = std::function<void(const std::string& name, bool& can_make)>;
using TAfterMakeIndexEvent = std::function<void(const std::string& name)>;
using TTzLockFailedEvent = std::function<void(ui::TObject* sender, bool& retry)>;

class TTzFileDataSet : public TTzCDataSet {
public:
    explicit TTzFileDataSet(ui::TComponent* owner) : TTzCDataSet(owner) {}
    std::string ClassName() const override { return "TTzFileDataSet"; }

    bool AutoFixRecCount = false;
    TCreateIndexType CreateIndex = ciNotFound;
    bool CreateIfNotFound = true;
    bool Exclusive() const { return exclusive_; }
    // An open dataset is closed and opened again.
    void SetExclusive(bool exclusive);
    // Two lines per tag: "NAME,D,U,KEY" (D and U are "T" or "F") and the FOR condition.
    ui::TStringList& IndexList() { return index_list_; }

    TBeforeMakeIndexEvent OnBeforeMakeIndex;
    TAfterMakeIndexEvent OnAfterMakeIndex;
    TTzLockFailedEvent OnALockFailedOnInsert, OnRLockFailedOnDelete, OnRLockFailedOnPost, OnRLockFailedOnRestore;

    bool ALock();
    bool RLock();
    void UnLock();
    void FlushDbf();
    // Seek `key` (its first 100 characters) in the active order; the dataset
    // goes to the record found, or to its last record when none.
    bool Find(const std::string& key);
    bool FindExact(const std::string& key);
    // The engine's result.
    int SetOrderToTag(const std::string& tag);
    void Reindex();

    bool IsSequenced() override;
    // With an open index and one field asked whose tag is the active order,
    // the value is sought in that order; otherwise the records are searched.
    bool Locate(const std::string& key_fields, const std::vector<db::Variant>& values,
                db::TLocateOptions options) override;
    std::unique_ptr<db::TStream> CreateBlobStream(db::TField* field, db::TBlobStreamMode mode) override;

protected:
    bool OpenTable(const std::string& file_name) override;
    bool AppendOp() override;
    bool DeleteOp() override;
    bool RestoreOp() override;
    bool ReplaceOp() override;

private:
    friend class TTzBlobStream;
    enum class LockKind { Append, Record };
    // Takes the lock, runs `write`, moves off a record it hid and releases
    // the lock it took; false when the lock was given up.
    bool LockedWrite(std::string_view label, LockKind kind, const std::function<void()>& write,
                     const TTzLockFailedEvent& event, const char* what);
    void OpenProductionIndex();
    // Removes the production index a table of this name left when the table
    // was just created; true when one is left that could not be removed.
    static bool DropLeftoverIndex(const std::string& file_name);
    // After a search: the record found, or the last one when the search ran off the end.
    void ShowFound();

    bool exclusive_ = false;
    // The table was created at this open beside an index it cannot trust.
    bool fresh_table_ = false;
    ui::TStringList index_list_;
};

// Byte access to a memo field of the active record through the memo unit.
// A write stream stores its bytes as a new memo of the record when it is
// closed (nothing written empties the memo).
class TTzBlobStream : public db::TStream {
public:
    TTzBlobStream(db::TField* field, TTzFileDataSet* dataset, db::TBlobStreamMode mode);
    ~TTzBlobStream() override;
    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, db::TSeekOrigin origin) override;
    void Close() override;

private:
    db::TField* field_;
    TTzFileDataSet* dataset_;
    bool write_;
    bool modified_ = false;
    bool closed_ = false;
};

class TTzDbf : public TTzFileDataSet {
public:
    explicit TTzDbf(ui::TComponent* owner) : TTzFileDataSet(owner) {}
    std::string ClassName() const override { return "TTzDbf"; }
};

}  // namespace zurod
