// USE and closing: opening a table or a virtual file in the current area,
// USE's command grammar, and closing one area or all of them.
#include <algorithm>
#include <cstring>
#include <memory>

#include "engine/dbf/areas.hpp"
#include "engine/dbf/detail/area_table.hpp"
#include "engine/dbf/detail/locking.hpp"
#include "engine/dbf/detail/navigation.hpp"
#include "engine/dbf/detail/swap_buffer.hpp"
#include "engine/dbf/detail/table_header.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/dbf/files.hpp"
#include "engine/dbf/reentry.hpp"
#include "engine/dbf/settings.hpp"
#include "engine/dbf/strings.hpp"
#include "platform/codepage.hpp"

namespace zurod {

namespace {

constexpr size_t kAliasLength = 64;

// A keyword followed by one of these is part of a longer word or of a path
// that goes on ("EXCLUSIVE_1", "SHARED/X").
bool WordCharacter(char c) {
    return platform::AnsiIsAlpha(c) || (c >= '0' && c <= '9') || c == '\\' || c == '/' || c == '_';
}

// Removes every whole-word occurrence of `keyword` (upper case, with its
// leading blank) from `text`, found in its upper-case twin `upper`.
bool RemoveWord(std::string& text, std::string& upper, std::string_view keyword) {
    bool found = false;
    size_t at = 0;
    while ((at = upper.find(keyword, at)) != std::string::npos) {
        const size_t end = at + keyword.size();
        if (end < upper.size() && WordCharacter(upper[end])) {
            at = end;
            continue;
        }
        text.erase(at, keyword.size());
        upper.erase(at, keyword.size());
        found = true;
    }
    return found;
}

std::string WordAfter(const std::string& text, size_t from) {
    const size_t end = text.find(' ', from);
    std::string word = text.substr(from, end == std::string::npos ? std::string::npos : end - from);
    if (word.size() > kAliasLength) word.resize(kAliasLength);
    return word;
}

// A virtual file's default alias: its first word up to the first '.'.
std::string VirtualAlias(const std::string& upper) {
    const std::string first = WordAfter(LTrim(upper), 0);
    return first.substr(0, first.find('.'));
}

bool AliasInUse(const std::string& alias, uint8_t except) {
    for (uint8_t n = 1; n <= kCallerAreas; ++n) {
        if (n == except) continue;
        const TWorkArea* a = AreaAt(n);
        if (a && a->alias == alias) return true;
    }
    return false;
}

Status AliasInUseError(const std::string& alias) {
    return Fail(220, "Alias name \"" + alias + "\" already in use. [USE]");
}

Status PinnedError(const TWorkArea& a, std::string_view label) {
    return Fail(254,
                "Table " + a.alias + " is in use by an operation that is still running and cannot be closed [" +
                    std::string(label) + "]");
}

// Closes the current area before a new table goes into it; false, after
// reporting, when an operation still walks it.
bool CloseCurrentForUse() {
    const uint8_t current = CurrentArea();
    if (TWorkArea* a = AreaAt(current); a && a->pins > 0) {
        Report(PinnedError(*a, "USE"));
        return false;
    }
    Report(CloseSlot(current));
    return true;
}

// Empties the slot of a USE that did not complete, also when caller code
// (a record hook) raised an exception out of it.
class EmptySlotUnlessDone {
public:
    explicit EmptySlotUnlessDone(uint8_t slot) : slot_(slot) {}
    ~EmptySlotUnlessDone() {
        if (!done_) (void)CloseSlot(slot_, true);
    }
    void Done() { done_ = true; }
    EmptySlotUnlessDone(const EmptySlotUnlessDone&) = delete;
    EmptySlotUnlessDone& operator=(const EmptySlotUnlessDone&) = delete;

private:
    uint8_t slot_;
    bool done_ = false;
};

Status OpenVirtual(UseOptions& o) {
    if (!Engine().attachments.vfile) return Fail(1101, "[USE(" + o.command + ",<@Buffer>,<size>)]");
    if (o.buffer.data() == nullptr) return Fail(220, "NIL buffer pointer [USE(" + o.command + ",Nil,<size>)]");
    const uint8_t current = CurrentArea();
    if (AliasInUse(o.alias, current)) return AliasInUseError(o.alias);
    std::memset(o.buffer.data(), 0, o.buffer.size());
    auto area = std::make_unique<TWorkArea>();
    area->file_name = o.file_name;
    area->alias = o.alias;
    area->number = current;
    area->is_virtual = true;
    area->record_length = static_cast<uint16_t>(std::min<size_t>(o.buffer.size(), 0xFFFF));
    area->record = o.buffer;
    area->swap = o.buffer;
    area->bof = area->eof = true;
    area->storage_class = o.storage_class;
    area->vfile_mode = o.vfile_mode;
    area->exclusive = true;
    area->oem = false;
    std::unique_ptr<TWorkArea>& slot = Engine().areas[current];
    slot = std::move(area);
    // A store that refuses the open, or raises, leaves no area behind; there
    // is no list of its to close then.
    struct DropUnlessOpened {
        std::unique_ptr<TWorkArea>& slot;
        bool opened = false;
        ~DropUnlessOpened() {
            if (!opened) slot.reset();
        }
    } drop{slot};
    if (Status s = CallVirtualStore(*slot, VFileRequest::Open, 0); s.failed()) return s;
    drop.opened = true;
    return {};
}

// A table whose header counts more records than the file holds was cut short.
Status HoldsItsRecords(TWorkArea& a) {
    uint64_t size = 0;
    if (a.file.Size(size) != 0) return {};  // the reads will report it
    if (CountFromSize(a, size) >= a.rec_count) return {};
    return Fail(210, a.file_name + " is not a dBASE database. (File is shorter than its records) [USE]");
}

Status OpenTableFile(UseOptions& o) {
    const EngineSettings& settings = Settings();
    bool exclusive = o.exclusive || settings.default_open_mode == kOpenExclusive;
    uint8_t mode = exclusive ? kOpenExclusive : settings.default_open_mode;
    if (!settings.network_mode) {
        mode = kOpenReadWrite;
        exclusive = true;
    }
    mode = EffectiveOpenMode(mode);

    auto area = std::make_unique<TWorkArea>();
    area->file_name = o.file_name;
    area->oem = !settings.ansi;
    {
        FileModeScope file_mode(mode);
        if (Status s = OpenDbf(*area); s.failed()) return s;
    }
    if (Status s = HoldsItsRecords(*area); s.failed()) {
        (void)CloseDbf(*area);
        return s;
    }
    RemoveStaleRewrite(*area);

    area->alias = o.alias.empty() ? platform::AnsiUpper(JustFilename(area->file_name)) : o.alias;
    if (area->alias.size() > kAliasLength) area->alias.resize(kAliasLength);
    area->exclusive = exclusive;

    const size_t size = SwapBufferSize(*area);
    if (o.buffer.empty()) {
        area->owned_swap.assign(size, 0);
        area->swap = area->owned_swap;
        area->owns_swap = true;
    } else if (o.buffer.size() != size) {
        (void)CloseDbf(*area);
        return Fail(266,
                    "Database record/buffer size mismatch: " + o.command + " [USE()]\n\rRecord Size=" +
                        std::to_string(size) + ", Buffer Size=" + std::to_string(o.buffer.size()));
    } else {
        area->swap = o.buffer;
    }

    const uint8_t current = CurrentArea();
    area->number = current;
    const std::string alias = area->alias;
    Engine().areas[current] = std::move(area);
    TWorkArea& a = *Engine().areas[current];
    EmptySlotUnlessDone guard(current);
    if (AliasInUse(alias, current)) return AliasInUseError(alias);
    a.write_hook = std::move(o.write_hook);
    a.read_hook = std::move(o.read_hook);
    if (a.rec_count < 1) {
        std::memset(a.swap.data(), 0, a.swap.size());
        BlankRecord(a);
        a.bof = a.eof = true;
    } else if (Status s = GoTopIn(a); s.failed()) {
        return s;
    }
    a.old_record.assign(size, 0);
    if (MemoAttachment* memo = Engine().attachments.memo.get(); a.memo && memo) {
        if (Status s = memo->Open(a); s.failed())
            return Fail(s.code,
                        "Problem opening memo file [USE(" + o.command + ",<@Buffer>," + std::to_string(size) + ")]");
    }
    guard.Done();
    return {};
}

}  // namespace

Status CloseSlot(uint8_t n, bool force) {
    TWorkArea* a = AreaAt(n);
    if (!a) return {};
    if (a->pins > 0 && !force) return PinnedError(*a, "CloseArea");
    // The slot is emptied whatever happens on the way, also when caller code raises.
    struct Release {
        std::unique_ptr<TWorkArea>& slot;
        ~Release() { slot.reset(); }
    } release{Engine().areas[n]};

    Status status;
    const auto keep_first = [&status](Status s) {
        if (status.ok() && s.failed()) status = std::move(s);
    };
    Attachments& units = Engine().attachments;
    // The index unit's watch goes too when no index is open.
    if (units.index && (a->index_watch || units.index->Active(*a))) keep_first(units.index->Close(*a));
    RefreshRecCount(*a);
    // Closing the file releases whatever an unlock could not.
    if (!a->is_virtual) (void)ReleaseLocks(*a);
    a->old_record.clear();
    if (a->memo && units.memo) keep_first(units.memo->Close(*a));
    if (a->filter && units.expression) units.expression->Release(a->filter);
    a->filter.reset();
    keep_first(CloseDbf(*a));
    return status;
}

UseOptions ParseUseCommand(const std::string& command) {
    UseOptions o;
    o.command = command;
    std::string text = AllTrim(command) + " ";
    std::string upper = platform::AnsiUpper(text);

    if (upper.find("LINKED LIST") != std::string::npos || upper.find("VIRTUAL FILE") != std::string::npos) {
        o.is_virtual = true;
        RemoveWord(text, upper, " LINKED LIST");
        RemoveWord(text, upper, " VIRTUAL FILE");
        if (size_t at = upper.find(" ALIAS "); at != std::string::npos) {
            o.alias = WordAfter(upper, at + 7);
        } else {
            o.alias = VirtualAlias(upper);
        }
        if (o.alias.size() > kAliasLength) o.alias.resize(kAliasLength);
        const std::pair<std::string_view, uint8_t> storage[] = {
            {" TO EMS", 2}, {" TO EXT", 3}, {" TO XMS", 3}, {" TO HEAP", 1}, {" TO BIGGEST", 5}};
        for (auto [word, cls] : storage)
            if (RemoveWord(text, upper, word)) o.storage_class = cls;
        const std::pair<std::string_view, uint8_t> modes[] = {
            {" FIFO", 0}, {" LIFO", 1}, {" INSERTION", 2}, {" ASCENDING", 3}, {" DESCENDING", 4}};
        for (auto [word, mode] : modes)
            if (RemoveWord(text, upper, word)) o.vfile_mode = mode;
        o.file_name = RTrim(upper);
        return o;
    }

    o.exclusive = RemoveWord(text, upper, " EXCLUSIVE");
    if (size_t at = upper.find(" ALIAS "); at != std::string::npos) {
        o.alias = WordAfter(upper, at + 7);
        text.resize(at);
    }
    const std::string name = AllTrim(text);
    if (!name.empty()) o.file_name = AddDefaultExt(FExpand(name), "DBF");
    return o;
}

void USE(const std::string& command, std::span<char> buffer) { UseWithOptions(command, buffer, nullptr, nullptr); }

void UseWithOptions(const std::string& command, std::span<char> buffer, RecordHook write_hook, RecordHook read_hook) {
    SetLastErrorCode(0);
    if (RefuseNestedCall("USE")) return;
    if (!CloseCurrentForUse()) return;
    if (AllTrim(command).empty()) return;
    UseOptions o = ParseUseCommand(command);
    if (!o.is_virtual && (buffer.data() == nullptr) != buffer.empty()) {
        RunError(220, "Buffer is NIL or size is zero, attempting to open " + command + " [USE]");
        return;
    }
    o.buffer = buffer;
    o.write_hook = std::move(write_hook);
    o.read_hook = std::move(read_hook);
    UseTable(std::move(o));
}

Status OpenInCurrentArea(UseOptions options) {
    if (options.command.empty()) options.command = options.file_name;
    options.alias = platform::AnsiUpper(options.alias);
    if (options.alias.size() > kAliasLength) options.alias.resize(kAliasLength);
    if (options.is_virtual) {
        if (options.alias.empty()) options.alias = VirtualAlias(platform::AnsiUpper(options.file_name));
        return OpenVirtual(options);
    }
    const std::string name = AllTrim(options.file_name);
    if (name.empty()) return {};
    // The name is taken as it is: no keyword in it means anything here.
    options.file_name = AddDefaultExt(FExpand(name), "DBF");
    return OpenTableFile(options);
}

void UseTable(UseOptions options) {
    SetLastErrorCode(0);
    if (RefuseNestedCall("USE")) return;
    if (!CloseCurrentForUse()) return;
    Report(OpenInCurrentArea(std::move(options)));
}

void CloseArea() {
    if (RefuseNestedCall("CloseArea")) return;
    Report(CloseSlot(CurrentArea()));
}

void CloseAllAreas() {
    if (RefuseNestedCall("CloseAllAreas")) return;
    for (uint8_t n = 1; n <= kCallerAreas; ++n) {
        if (const TWorkArea* a = AreaAt(n); a && a->pins > 0) {
            Report(PinnedError(*a, "CloseAllAreas"));
            return;
        }
    }
    Status first;
    for (uint8_t n = 1; n <= kCallerAreas; ++n)
        if (Status s = CloseSlot(n); s.failed() && first.ok()) first = std::move(s);
    Engine().current = 1;
    Report(first);
}

void ShutdownAreas() {
    for (uint8_t n : {uint8_t{34}, uint8_t{35}}) (void)CloseSlot(n, true);
    for (uint8_t n = 1; n <= kCallerAreas; ++n) (void)CloseSlot(n, true);
    Engine().current = 1;
}

}  // namespace zurod
