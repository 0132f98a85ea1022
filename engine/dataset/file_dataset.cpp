#include "engine/dataset/file_dataset.hpp"

#include <strings.h>

#include "engine/dbf/areas.hpp"
#include "engine/dbf/edit.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/dbf/files.hpp"
#include "engine/dbf/locks.hpp"
#include "engine/dbf/navigate.hpp"
#include "engine/dbf/settings.hpp"
#include "engine/dbf/strings.hpp"
#include "engine/index/index.hpp"
#include "engine/memo/memo.hpp"
#include "engine/ui/tzmsg.hpp"
#include "platform/paths.hpp"

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
    // Index problems are recorded; the table is open all the same.
    fresh_table_ = false;
    if (CreateIfNotFound && !FileExists(file_name)) {
        if (CreateTableFromFields(file_name))
            fresh_table_ = DropLeftoverIndex(file_name);
        else
            TzShowMessage("Could not create \"" + file_name + "\"");
    }
    UseOptions use;
    use.file_name = file_name;
    use.exclusive = exclusive_;
    use.alias = TzAllTrim(Name());
    use.command = file_name + (exclusive_ ? " EXCLUSIVE" : "") + (use.alias.empty() ? "" : " ALIAS " + use.alias);
    {
        EngineSettings& settings = Settings();
        SettingScope<bool> repair(settings.count_from_size, AutoFixRecCount);
        SettingScope<uint16_t> mode(
            settings.open_mode_override,
            ReadOnly ? (exclusive_ ? kReadDenyAll : kReadDenyNone) : settings.open_mode_override);
        SetLastErrorCode(0);
        UseTable(use);
    }
    if (LastErrorCode() != 0) return false;
    OpenProductionIndex();
    return true;
}

namespace {

std::vector<std::string> Lines(const ui::TStringList& list) {
    std::vector<std::string> lines;
    for (int i = 0; i < list.Count(); ++i) lines.push_back(list.Get(i));
    return lines;
}

// Opens the production index; a failure stays recorded instead of being
// raised, as an index problem does not keep the table from opening.
void OpenIndexQuietly() {
    try {
        SetIndexTo("");
    } catch (const EZurodError&) {
        // Recorded by the engine already.
    }
}

// Whether the index file holds exactly the tags of the list, names compared
// without regard to case.
bool SameTags(const std::vector<std::string>& stored, const std::vector<TagDescriptor>& wanted) {
    const std::vector<TagDescriptor> have = ParseIndexList(stored);
    if (have.size() != wanted.size()) return false;
    for (size_t i = 0; i < have.size(); ++i)
        if (strcasecmp(have[i].name.c_str(), wanted[i].name.c_str()) != 0) return false;
    return true;
}

// A value of Locate as the text Find takes.
std::string KeyText(const db::Variant& value) {
    return std::visit(
        [](const auto& v) -> std::string {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::monostate>)
                return {};
            else if constexpr (std::is_same_v<T, bool>)
                return v ? "T" : "F";
            else if constexpr (std::is_same_v<T, int64_t>)
                return std::to_string(v);
            else if constexpr (std::is_same_v<T, double>)
                return AllTrim(RealToStr(v, 30, 10));
            else if constexpr (std::is_same_v<T, std::string>)
                return v;
            else
                return EngineDateTextOf(v.value);
        },
        value);
}

}  // namespace

bool TTzFileDataSet::DropLeftoverIndex(const std::string& file_name) {
    // A production index left from a table of the same name that is gone
    // describes records this table never had.
    const std::string index_name = ForceExt(file_name, "MDX");
    if (!FileExists(index_name)) return false;
    platform::RemoveFile(index_name);
    return FileExists(index_name);
}

void TTzFileDataSet::OpenProductionIndex() {
    if (!NotDesigning()) return;
    const std::vector<TagDescriptor> tags = ParseIndexList(Lines(index_list_));
    TCreateIndexType mode = CreateIndex;
    if (!tags.empty()) {
        SetIndexFlag(true);
    } else {
        if (!GetIndexFlag()) return;
        mode = ciNever;
    }
    const std::string index_name = ForceExt(DbfFileName(), "MDX");
    if (mode == ciNever) {
        // Never an index older than the table.
        if (!fresh_table_) OpenIndexQuietly();
        return;
    }
    {
        ErrorHandlingScope quiet(false);
        if (fresh_table_ && FileExists(index_name)) {
            // A leftover index that could not be removed is built anew.
            mode = ciAlways;
        } else if (FileExists(index_name)) {
            // A semaphore that cannot be erased belongs to another process using the index.
            const std::string semaphore = ForceExt(DbfFileName(), "@S@");
            if (FileExists(semaphore)) platform::RemoveFile(semaphore);
            if ((mode == ciAlways || mode == ciVerifyHeader) && FileExists(semaphore)) mode = ciNotFound;
        } else {
            mode = ciAlways;
        }
        if (mode == ciVerifyHeader) {
            std::vector<std::string> stored;
            GetIndexTagNames(stored, AreaFileName());
            mode = SameTags(stored, tags) ? ciNotFound : ciAlways;
        }
        if (mode == ciNotFound) {
            OpenIndexQuietly();
            const uint16_t code = LastErrorCode();
            if (code == 2 || code == 222 || code == 223) {
                ClearLastError();
                mode = ciAlways;
            }
        }
    }
    if (mode != ciAlways) return;
    bool can_make = true;
    if (OnBeforeMakeIndex) {
        NestedDispatch nested(*this);
        OnBeforeMakeIndex(index_name, can_make);
    }
    if (!can_make) {
        SetIndexFlag(false);
        return;
    }
    {
        ui::Owned<TTzProgress100> window;
        if (ShowProgress) {
            window = ShowProgressWindow("Indexing " + index_name + "...");
            SetIndexProgressProc([w = window.get()] { UpdateProgress(w); }, 100);
        }
        struct Detach {
            ~Detach() { SetIndexProgressProc(nullptr, 0); }
        } detach;
        MakeIndex(tags, "");
    }
    if (OnAfterMakeIndex) {
        const KeepErrorScope keep;
        NestedDispatch nested(*this);
        OnAfterMakeIndex(index_name);
    }
    if (LastErrorCode() == 0) OpenIndexQuietly();
}

bool TTzFileDataSet::IsSequenced() {
    if (Filtered()) return false;
    return !SelectArea("IsSequenced") || AreaIndexBlock() == nullptr;
}

bool TTzFileDataSet::LockedWrite(std::string_view label, LockKind kind, const std::function<void()>& write,
                                 const TTzLockFailedEvent& event, const char* what) {
    if (ReadOnly) return true;
    if (!SelectArea(label)) return false;
    for (;;) {
        const int32_t record = zurod::RecNo();
        const bool held = kind == LockKind::Append ? IsAppendLocked() : IsLocked(record);
        if (kind == LockKind::Append ? zurod::ALock() : zurod::RLock()) {
            const bool moved = WriteThenSkipHidden(write);
            // The write's own error outlives the unlocking.
            const KeepErrorScope keep;
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
    return LockedWrite(
        "s_AppendWithLock", LockKind::Append, [] { zurod::Append(); }, OnALockFailedOnInsert, "Insert");
}

bool TTzFileDataSet::DeleteOp() {
    return LockedWrite(
        "s_DeleteWithLock", LockKind::Record, [] { zurod::DeleteRec(); }, OnRLockFailedOnDelete, "Delete");
}

bool TTzFileDataSet::RestoreOp() {
    return LockedWrite(
        "s_RestoreWithLock", LockKind::Record, [] { zurod::RecallRec(); }, OnRLockFailedOnRestore, "Restore");
}

bool TTzFileDataSet::ReplaceOp() {
    return LockedWrite(
        "s_ReplaceWithLock", LockKind::Record, [this] { ReplaceUnlessChanged(); }, OnRLockFailedOnPost, "Post");
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

bool TTzFileDataSet::Find(const std::string& key) {
    ClearLastError();
    if (!SelectArea("Find")) return false;
    const bool found = zurod::Find(key.substr(0, 100));
    ShowFound();
    return found;
}

void TTzFileDataSet::ShowFound() {
    if (!dEOF())
        TzResync();
    else
        Last();
}

bool TTzFileDataSet::FindExact(const std::string& key) {
    ClearLastError();
    if (!SelectArea("FindExact")) return false;
    struct Exact {
        bool was = SetFindExact();
        ~Exact() {
            if (!was) ClearFindExact();
        }
    };
    bool found = false;
    {
        const Exact exact;
        found = zurod::Find(key.substr(0, 100));
    }
    ShowFound();
    return found;
}

int TTzFileDataSet::SetOrderToTag(const std::string& tag) {
    ClearLastError();
    if (!SelectArea("SetOrderToTag")) return 0;
    PushPosition();
    SelectArea("SetOrderToTag");
    const bool done = zurod::SetOrderToTag(tag.substr(0, 10));
    TzResync();
    return done ? 1 : 0;
}

void TTzFileDataSet::Reindex() {
    ClearLastError();
    if (!SelectArea("Reindex")) return;
    zurod::Reindex();
    TzResync();
}

bool TTzFileDataSet::Locate(const std::string& key_fields, const std::vector<db::Variant>& values,
                            db::TLocateOptions options) {
    // The index serves only a search of the very field its active tag is built on.
    bool by_index = values.size() == 1 && key_fields.find(';') == std::string::npos && SelectArea("Locate") &&
        AreaIndexBlock() != nullptr && CurrentOrder() > 0;
    if (by_index) {
        std::vector<std::string> stored;
        GetIndexTagNames(stored, AreaFileName());
        const std::vector<TagDescriptor> tags = ParseIndexList(stored);
        const size_t order = static_cast<size_t>(CurrentOrder());
        by_index =
            order <= tags.size() && strcasecmp(AllTrim(tags[order - 1].key).c_str(), AllTrim(key_fields).c_str()) == 0;
    }
    if (!by_index) return TTzCDataSet::Locate(key_fields, values, options);
    CheckBrowseMode();
    DoBeforeScroll();
    const std::string key = KeyText(values[0]);
    const bool found = (options & db::loPartialKey) ? Find(key) : FindExact(key);
    if (found) DoAfterScroll();
    return found;
}

std::unique_ptr<db::TStream> TTzFileDataSet::CreateBlobStream(db::TField* field, db::TBlobStreamMode mode) {
    if (WorkArea() == 0) {
        RunError(1103, "DataSet must be active. " + Name());
        return nullptr;
    }
    return std::make_unique<TTzBlobStream>(field, this, mode);
}

// ---------------------------------------------------------------- BLOB streams

TTzBlobStream::TTzBlobStream(db::TField* field, TTzFileDataSet* dataset, db::TBlobStreamMode mode)
    : field_(field), dataset_(dataset), write_(mode != db::bmRead) {
    if (write_ && !db::EditModes(dataset_->State())) dataset_->Edit();
    if (!dataset_->SelectArea("CreateBlobStream")) return;
    if (write_)
        dataset_->SetMemoReference(field_, CreateBlobDescriptor(true, 0, 2));
    else
        CreateBlobDescriptor(true, dataset_->MemoReference(field_), 1);
}

TTzBlobStream::~TTzBlobStream() {
    try {
        Close();
    } catch (...) {
        // Whoever ends a stream without closing it hears of nothing.
    }
}

int64_t TTzBlobStream::Read(void* buffer, int64_t count) {
    if (closed_ || count <= 0 || !dataset_->SelectArea("ReadBlobStream")) return 0;
    return ReadBlobStream(std::span<char>(static_cast<char*>(buffer), static_cast<size_t>(count)));
}

int64_t TTzBlobStream::Write(const void* buffer, int64_t count) {
    if (closed_ || count <= 0 || !dataset_->SelectArea("WriteBlobStream")) return 0;
    const int32_t n =
        WriteBlobStream(std::span<const char>(static_cast<const char*>(buffer), static_cast<size_t>(count)));
    if (n > 0) modified_ = true;
    return n;
}

int64_t TTzBlobStream::Seek(int64_t offset, db::TSeekOrigin origin) {
    if (closed_ || !dataset_->SelectArea("SeekBlobStream")) return 0;
    return BlobSeek(offset, static_cast<int>(origin));
}

void TTzBlobStream::Close() {
    if (closed_) return;
    closed_ = true;
    if (!dataset_->SelectArea("DestroyBlobStream")) return;
    if (write_) {
        // Nothing written: the record's memo is emptied.
        if (!modified_) {
            dataset_->SetMemoReference(field_, 0);
            modified_ = true;
        }
        dataset_->ActiveBufferToEngine();
    }
    DestroyBlobDescriptor();
    if (modified_) dataset_->DataEvent(db::deFieldChange, reinterpret_cast<intptr_t>(field_));
}

}  // namespace zurod
