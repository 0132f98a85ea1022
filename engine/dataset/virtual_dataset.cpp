#include "engine/dataset/virtual_dataset.hpp"

#include <atomic>
#include <cmath>
#include <cstring>

#include "engine/dbf/areas.hpp"
#include "engine/dbf/dates.hpp"
#include "engine/dbf/edit.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/dbf/files.hpp"
#include "engine/dbf/locks.hpp"
#include "engine/dbf/navigate.hpp"
#include "engine/dbf/strings.hpp"
#include "engine/ui/tzmsg.hpp"
#include "engine/vfile/vfile.hpp"
#include "platform/bytes.hpp"
#include "platform/file.hpp"
#include "platform/numbers.hpp"
#include "platform/paths.hpp"

namespace zurod {

namespace {

std::vector<TDTField> SlotsOf(uint8_t area) {
    Select(area);
    return TypedLayout();
}

using platform::Load;
using platform::Store;

// Copies the current record of one area into the typed buffer of another:
// the whole typed image when both have the same fields, otherwise field by
// field by name, converting between the field types.
class RecordTransfer {
public:
    RecordTransfer(uint8_t from, uint8_t to) : to_(to) {
        const std::vector<TDTField> source = SlotsOf(from);
        src_ = SwapBuffer();
        const std::vector<TDTField> target = SlotsOf(to);
        dst_ = SwapBuffer();
        same_ = source == target && src_.size() == dst_.size();
        for (const TDTField& t : target)
            for (const TDTField& s : source)
                if (s.name == t.name) pairs_.emplace_back(t, s);
    }

    // Leaves the target area selected.
    void Copy() {
        Select(to_);
        if (same_) {
            std::memcpy(dst_.data(), src_.data(), dst_.size());
            return;
        }
        zurod::ClearRecord();
        dst_[0] = src_[0];
        for (const auto& [t, s] : pairs_) Convert(src_.data() + s.offset, s, dst_.data() + t.offset, t);
    }

private:
    static std::string_view Counted(const char* slot, size_t cap) {
        return {slot + 1, std::min<size_t>(static_cast<uint8_t>(slot[0]), cap)};
    }
    static double Number(const char* slot, const TDTField& s) {
        return RealSlot(s) ? Load<double>(slot) : static_cast<double>(Load<int64_t>(slot));
    }
    static std::string Text(const char* slot, const TDTField& s) {
        switch (s.type) {
        case 'C': return std::string(Counted(slot, static_cast<size_t>(s.length)));
        case 'D': return std::string(Counted(slot, 10));
        case 'N':
        case 'F': return platform::FormatFixed(Number(slot, s), s.decimals);
        case 'L': return slot[0] ? "T" : "F";
        case 'M': return std::to_string(Load<int32_t>(slot));
        default: return {};
        }
    }
    static double Value(const char* slot, const TDTField& s) {
        switch (s.type) {
        case 'N':
        case 'F': return Number(slot, s);
        case 'C': return NumTextToReal(Text(slot, s));
        case 'L': return slot[0] ? 1 : 0;
        case 'M': return Load<int32_t>(slot);
        default: return 0;
        }
    }
    static void PutText(char* slot, const std::string& text, size_t cap) {
        const size_t n = std::min(text.size(), cap);
        slot[0] = static_cast<char>(n);
        std::memcpy(slot + 1, text.data(), n);
    }

    static void Convert(const char* from, const TDTField& s, char* to, const TDTField& t) {
        switch (t.type) {
        case 'C': PutText(to, Text(from, s), static_cast<size_t>(t.length)); break;
        case 'D':
            if (s.type == 'D') {
                std::memcpy(to, from, 11);
            } else {
                std::string date = AllTrim(Text(from, s));
                if (s.type != 'C' || !DateValid(date)) date = BlankDateStr(DateCode());
                PutText(to, date, 10);
            }
            break;
        case 'N':
        case 'F': {
            const double v = Value(from, s);
            if (RealSlot(t))
                Store<double>(to, v);
            else
                Store<int64_t>(to, std::isfinite(v) && std::fabs(v) < 9.2e18 ? std::llround(v) : 0);
            break;
        }
        case 'L': {
            const std::string text = s.type == 'C' ? AllTrim(Text(from, s)) : std::string();
            to[0] = s.type == 'L' ? (from[0] != 0) : (!text.empty() && std::strchr("TtYy", text[0]) != nullptr);
            break;
        }
        case 'M': Store<int32_t>(to, s.type == 'M' ? Load<int32_t>(from) : 0); break;
        default: break;
        }
    }

    uint8_t to_;
    std::span<char> src_, dst_;
    bool same_ = false;
    std::vector<std::pair<TDTField, TDTField>> pairs_;
};

// Engine names of virtual files: never the same twice in a process, so that
// two files opened in a row are told apart without waiting for the clock.
uint32_t NextVirtualName() {
    static std::atomic<uint32_t> names{0};
    return (names.fetch_add(1) + 1) & 0x7FFFFFFF;
}

size_t SlotSizeOf(const FieldDef& d) {
    switch (d.type) {
    case 'C': return static_cast<size_t>(std::max(d.length, 0)) + 1;
    case 'D': return 11;
    case 'N':
    case 'F':
    case 'M': return 8;
    case 'L': return 1;
    default: return 0;
    }
}

// A progress window that moves a step every `step` records; none for
// fewer than 100 records or when progress is not shown.
class Progress {
public:
    Progress(bool show, int32_t records, const std::string& caption) : step_(records / 100) {
        if (show && step_ >= 1) window_ = ShowProgressWindow(caption);
    }
    void At(int32_t record) {
        if (window_ && record % step_ == 0) UpdateProgress(window_.get());
    }

private:
    int32_t step_;
    ui::Owned<TTzProgress100> window_;
};

}  // namespace

bool TTzLLDataSet::OpenTable(const std::string&) {
    if (DbfFields().Count() <= 0) {
        TzShowMessage("FieldList.Count is <= 0 trying to create a database");
        return false;
    }
    std::optional<std::vector<FieldDef>> defs = ParseDbfFields();
    if (!defs) return false;
    if (defs->size() > 255) defs->resize(255);
    size_t size = 1;
    for (const FieldDef& d : *defs) size += SlotSizeOf(d);

    ErrorHandlingScope quiet(false);
    structure_.assign(size, 0);
    // Built by appending: GCC 12 warns falsely (-Wrestrict) on a literal + a temporary string.
    std::string command = "*";
    command += std::to_string(NextVirtualName());
    command += "* VIRTUAL FILE";
    if (mode_ == ASCENDING) command += " ASCENDING";
    if (mode_ == DESCENDING) command += " DESCENDING";
    UseOptions use = ParseUseCommand(command);
    use.buffer = structure_;
    SetLastErrorCode(0);
    UseTable(use);
    if (LastErrorCode() != 0) return false;
    AddStru(*defs);
    if (LastErrorCode() == 0) return true;
    const KeepErrorScope keep;
    CloseArea();
    return false;
}

void TTzLLDataSet::DoAfterOpen() {
    TTzCDataSet::DoAfterOpen();
    if (!NotDesigning() || !SelectArea("DoAfterOpen")) return;
    if (mode_ == ASCENDING || mode_ == DESCENDING) Set_VFileMode_To(mode_);
    Set_VFileKey_To([this](std::string& key) { MakeKey(key); });
    if (PopulateFromDisk) DoPopulateFromDisk();
    if (!SelectArea("DoAfterOpen")) return;
    if (mode_ == LIFO || mode_ == INSERTION) Set_VFileMode_To(mode_);
    TzResync();
}

void TTzLLDataSet::SetAppendMode(LStatusType mode) {
    mode_ = mode;
    if (!Active() || !NotDesigning() || !SelectArea("SetAppendMode")) return;
    if (mode <= INSERTION) {
        Set_VFileMode_To(mode);
        return;
    }
    Set_VFileKey_To([this](std::string& key) { MakeKey(key); });
    SortVFile(mode);
    TzResync();
}

void TTzLLDataSet::MakeKey(std::string& key) {
    if (!KeyMaker) {
        key = FieldText(1);
        return;
    }
    NestedDispatch nested(*this);
    char* buffer = ActiveBuffer();
    if (!buffer) {
        key.clear();
        return;
    }
    // The handler reads the record being keyed through the dataset's fields.
    std::vector<char> saved(buffer, buffer + RecordDataSize());
    struct Restore {
        char* buffer;
        const std::vector<char>& saved;
        ~Restore() { std::memcpy(buffer, saved.data(), saved.size()); }
    } restore{buffer, saved};
    ReadRecord(buffer);
    key = KeyMaker(this);
}

bool TTzLLDataSet::AppendOp() {
    if (!SelectArea("s_AppendWithLock")) return false;
    // At the end of an INSERTION file the new record goes last.
    const bool at_end = mode_ == INSERTION && Eof();
    if (at_end) Set_VFileMode_To(kFifo);
    zurod::Append();
    {
        const KeepErrorScope keep;
        if (at_end) Set_VFileMode_To(kInsertion);
        if (keep.Code() == 0) SkipIfHidden();
    }
    modified_ = true;
    return true;
}

bool TTzLLDataSet::DirectWrite(std::string_view label, void (*write)(), bool skip_hidden) {
    if (!SelectArea(label)) return false;
    if (skip_hidden)
        WriteThenSkipHidden(write);
    else
        write();
    modified_ = true;
    return true;
}

bool TTzLLDataSet::DeleteOp() { return DirectWrite("s_DeleteWithLock", zurod::DeleteRec, true); }
// A restored record stays where it is.
bool TTzLLDataSet::RestoreOp() { return DirectWrite("s_RestoreWithLock", zurod::RecallRec, false); }
bool TTzLLDataSet::ReplaceOp() { return DirectWrite("s_ReplaceWithLock", zurod::Replace, true); }

void TTzLLDataSet::BeforeCloseHook() {
    if (SaveToDisk && modified_) DoSaveToDisk();
}

void TTzLLDataSet::TziClose() {
    TTzCDataSet::TziClose();
    structure_.clear();
    structure_.shrink_to_fit();
}

void TTzLLDataSet::DoPopulateFromDisk() {
    if (DbfFileName().empty() || !FileExists(DbfFileName()) || !SelectArea("DoPopulateFromDisk")) return;
    const uint8_t own = WorkArea();
    Select(0);
    if (LastErrorCode() == 0) {
        UseOptions use;
        use.file_name = DbfFileName();
        UseTable(use);
    }
    if (LastErrorCode() != 0) {
        const KeepErrorScope keep;
        Select(own);
        return;
    }
    const uint8_t source = CurrentArea();
    {
        RecordTransfer transfer(source, own);
        Select(source);
        zurod::GoTop();
        Progress progress(ShowProgress, zurod::RecCount(), "Reading from disk...");
        while (!dEOF() && LastErrorCode() == 0) {
            if (!(HideDeletedRecs() && Deleted())) {
                transfer.Copy();
                zurod::Append();
                if (LastErrorCode() != 0) break;
                Select(source);
            }
            progress.At(zurod::RecNo());
            SKIP(1);
        }
    }
    const KeepErrorScope keep;
    Select(source);
    CloseArea();
    Select(own);
    zurod::GoTop();
    CursorPosChanged();
    modified_ = false;
}

bool TTzLLDataSet::DoSaveToDisk() {
    if (DbfFileName().empty()) return true;
    if (!SelectArea("DoSaveToDisk")) return false;
    const uint8_t own = WorkArea();
    const std::string target = FExpand(DbfFileName());
    if (CheckFileInUse(target, "DoSaveToDisk")) return false;
    // The records go into a new file first; the old one is replaced only by a whole new one.
    const std::string fresh = ForceExt(target, "TZS");
    platform::RemoveFile(fresh);
    if (!CreateTableFromFields(fresh)) {
        if (LastErrorCode() == 0) RunError(220, "Cannot create " + fresh + " [DoSaveToDisk]");
        Select(own);
        return false;
    }
    Select(0);
    if (LastErrorCode() == 0) {
        UseOptions use;
        use.file_name = fresh;
        use.exclusive = true;
        UseTable(use);
    }
    if (LastErrorCode() != 0) {
        const KeepErrorScope keep;
        platform::RemoveFile(fresh);
        Select(own);
        return false;
    }
    const uint8_t copy = CurrentArea();
    bool ok = true;
    {
        RecordTransfer transfer(own, copy);
        Select(own);
        const int32_t count = zurod::RecCount();
        Progress progress(ShowProgress, count, "Writing to disk...");
        // Every record is written, whatever the filter shows.
        for (int32_t n = 1; n <= count && ok; ++n) {
            Select(own);
            Dbf4RawGo(n);
            if (HideDeletedRecs() && Deleted()) continue;
            transfer.Copy();
            ok = zurod::ALock();
            if (ok) {
                zurod::Append();
                ok = LastErrorCode() == 0;
                const KeepErrorScope keep;
                Unlock();
            } else if (LastErrorCode() == 0) {
                RunError(1100, "Lock failed writing " + fresh + " [DoSaveToDisk]");
            }
            progress.At(n);
        }
    }
    {
        const KeepErrorScope keep;
        Select(copy);
        CloseArea();
        ok = ok && LastErrorCode() == 0;
    }
    if (ok) {
        platform::File file;
        int rc = file.Open(fresh, platform::Access::ReadWrite, platform::Share::Exclusive);
        if (rc == 0) rc = file.RenameOver(target);
        file.Close();
        if (rc != 0) {
            RunError(static_cast<uint16_t>(rc), "Cannot replace " + target + " [DoSaveToDisk]");
            ok = false;
        }
    }
    const KeepErrorScope keep;
    if (!ok) platform::RemoveFile(fresh);
    Select(own);
    CursorPosChanged();
    if (ok) modified_ = false;
    return ok;
}

}  // namespace zurod
