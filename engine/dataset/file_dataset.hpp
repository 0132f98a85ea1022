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

    bool IsSequenced() override;

protected:
    bool OpenTable(const std::string& file_name) override;
    bool AppendOp() override;
    bool DeleteOp() override;
    bool RestoreOp() override;
    bool ReplaceOp() override;

private:
    enum class LockKind { Append, Record };
    // Takes the lock, runs `write`, moves off a record it hid and releases
    // the lock it took; false when the lock was given up.
    bool LockedWrite(std::string_view label, LockKind kind, void (*write)(), const TTzLockFailedEvent& event,
                     const char* what);
    void OpenProductionIndex();

    bool exclusive_ = false;
    ui::TStringList index_list_;
};

class TTzDbf : public TTzFileDataSet {
public:
    explicit TTzDbf(ui::TComponent* owner) : TTzFileDataSet(owner) {}
    std::string ClassName() const override { return "TTzDbf"; }
};

}  // namespace zurod
