#include "engine/dataset/file_dataset.hpp"

#include "engine/dbf/areas.hpp"
#include "engine/dbf/edit.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/dbf/files.hpp"
#include "engine/dbf/locks.hpp"
#include "engine/dbf/navigate.hpp"
#include "engine/dbf/settings.hpp"

namespace zurod {

namespace {

// Open modes of a read-only open: reading, denying nothing (or everything
// when exclusive).
constexpr uint8_t kReadDenyNone = 0x40;
constexpr uint8_t kReadDenyAll = 0x10;

// Puts an engine setting back when the scope ends.
template <class T>
class SettingScope {
public:
    SettingScope(T& setting, T value) : setting_(setting), previous_(setting) { setting_ = value; }
    ~SettingScope() { setting_ = previous_; }
    SettingScope(const SettingScope&) = delete;
    SettingScope& operator=(const SettingScope&) = delete;

private:
    T& setting_;
    T previous_;
};

}  // namespace

void TTzFileDataSet::SetExclusive(bool exclusive) {
    exclusive_ = exclusive;
    if (Active()) {
        Close();
        Open();
    }
}

bool TTzFileDataSet::OpenTable(const std::string& file_name) {
    if (CreateIfNotFound && !FileExists(file_name) && !CreateTableFromFields(file_name))
        TzShowMessage("Could not create \"" + file_name + "\"");
    UseOptions use;
    use.file_name = file_name;
    use.exclusive = exclusive_;
    use.alias = TzAllTrim(Name());
    use.command = file_name + (exclusive_ ? " EXCLUSIVE" : "") + (use.alias.empty() ? "" : " ALIAS " + use.alias);
    {
        EngineSettings& settings = Settings();
        SettingScope<bool> repair(settings.count_from_size, AutoFixRecCount);
        SettingScope<uint16_t> mode(settings.open_mode_override,
                                    ReadOnly ? (exclusive_ ? kReadDenyAll : kReadDenyNone) : settings.open_mode_override);
        SetLastErrorCode(0);
        UseTable(use);
    }
    if (LastErrorCode() != 0) return false;
    OpenProductionIndex();
    return LastErrorCode() == 0;
}

void TTzFileDataSet::OpenProductionIndex() {}

bool TTzFileDataSet::IsSequenced() {
    if (Filtered()) return false;
    return !SelectArea("IsSequenced") || AreaIndexBlock() == nullptr;
}

bool TTzFileDataSet::LockedWrite(std::string_view label, LockKind kind, void (*write)(),
                                 const TTzLockFailedEvent& event, const char* what) {
    if (ReadOnly) return true;
    if (!SelectArea(label)) return false;
    for (;;) {
        const int32_t record = zurod::RecNo();
        const bool held = kind == LockKind::Append ? IsAppendLocked() : IsLocked(record);
        if (kind == LockKind::Append ? zurod::ALock() : zurod::RLock()) {
            write();
            // The write's own error outlives the unlocking.
            const KeepErrorScope keep;
            const bool moved = keep.Code() == 0 && SkipIfHidden();
            // Only the lock this write took is released; a move released them all.
            if (!moved && !held) {
                if (kind == LockKind::Append)
                    Unlock();
                else
                    UnlockRec(record);
            }
            return true;
        }
        bool retry = false;
        if (event) {
            NestedDispatch nested(*this);
            event(this, retry);
        } else {
            TzShowMessage("Lock failed [" + std::string(what) + "]");
        }
        if (!retry) return false;
        if (!SelectArea(label)) return false;
    }
}

bool TTzFileDataSet::AppendOp() {
    return LockedWrite("s_AppendWithLock", LockKind::Append, [] { zurod::Append(); }, OnALockFailedOnInsert,
                       "Insert");
}

bool TTzFileDataSet::DeleteOp() {
    return LockedWrite("s_DeleteWithLock", LockKind::Record, [] { zurod::DeleteRec(); }, OnRLockFailedOnDelete,
                       "Delete");
}

bool TTzFileDataSet::RestoreOp() {
    return LockedWrite("s_RestoreWithLock", LockKind::Record, [] { zurod::RecallRec(); }, OnRLockFailedOnRestore,
                       "Restore");
}

bool TTzFileDataSet::ReplaceOp() {
    return LockedWrite("s_ReplaceWithLock", LockKind::Record, [] { zurod::Replace(); }, OnRLockFailedOnPost, "Post");
}

bool TTzFileDataSet::ALock() { return SelectArea("ALock") && zurod::ALock(); }

bool TTzFileDataSet::RLock() {
    if (!SelectArea("RLock")) return false;
    PushPosition();
    return SelectArea("RLock") && zurod::RLock();
}

void TTzFileDataSet::UnLock() {
    if (SelectArea("UnLock")) Unlock();
}

void TTzFileDataSet::FlushDbf() {
    if (SelectArea("FlushDbf")) zurod::FlushDbf();
}

}  // namespace zurod
