// The memo unit's attachment and its public commands on the current area.
#include <memory>

#include "engine/dbf/detail/area_table.hpp"
#include "engine/dbf/detail/memo_header.hpp"
#include "engine/dbf/detail/state.hpp"
#include "engine/dbf/files.hpp"
#include "engine/dbf/settings.hpp"
#include "engine/dbf/tables.hpp"
#include "engine/memo/detail/memo_file.hpp"
#include "engine/memo/detail/operations.hpp"
#include "engine/memo/memo.hpp"

namespace zurod {

Status MemoUnit::Open(TWorkArea& area) { return OpenMemoFile(area); }
Status MemoUnit::Close(TWorkArea& area) { return CloseMemoFile(area); }
Status MemoUnit::Pack(TWorkArea& area) { return PackMemoIn(area); }
Status MemoUnit::Recreate(TWorkArea& area) { return RecreateMemoIn(area, "Zap()"); }
Status MemoUnit::ShareAsTable(TWorkArea& area) { return ShareMemoAsTable(area); }

Status MemoUnit::Copy(TWorkArea& from, int32_t block, TWorkArea& to, int32_t& new_block) {
    return CopyMemoIn(from, block, to, new_block);
}

Status MemoUnit::Add(TWorkArea& to, std::string_view text, int32_t& block) {
    return AddMemoIn(to, text, block, "AppendFrom");
}

Status MemoUnit::ReadLines(TWorkArea& area, int32_t block, std::vector<std::string>& out) {
    std::vector<MemoLine> read;
    if (Status s = ReadMemoLines(area, block, LineLimit(0), read, "Locate"); s.failed()) return s;
    out.clear();
    out.reserve(read.size());
    for (MemoLine& line : read) out.push_back(std::move(line.text));
    return {};
}

Status MemoUnit::ReadText(TWorkArea& area, int32_t block, std::string& text) {
    std::vector<MemoLine> read;
    if (Status s = ReadMemoLines(area, block, LineLimit(0), read, "MemoText"); s.failed()) return s;
    text = DeviceText(read);
    return {};
}

MemoUnit& AttachedMemoUnit() {
    std::unique_ptr<MemoAttachment>& slot = Engine().attachments.memo;
    auto* unit = dynamic_cast<MemoUnit*>(slot.get());
    if (!unit) {
        auto fresh = std::make_unique<MemoUnit>();
        unit = fresh.get();
        slot = std::move(fresh);
    }
    return *unit;
}

void MemoInit() { AttachedMemoUnit(); }

TWorkArea* StartCommand(std::string_view label) {
    AttachedMemoUnit();
    SetLastErrorCode(0);
    return Guarded(label);
}

uint8_t GetMemoType() {
    const TWorkArea* a = CurrentTable();
    return a && !a->is_virtual ? MemoTypeOf(*a) : Settings().memo_type;
}

void CreateMemofile(const std::string& table_name) {
    SetLastErrorCode(0);
    const uint8_t type = GetMemoType();
    const std::string name = ForceExt(FExpand(table_name), MemoExtension(type));
    Report(MakeMemoFile(name, type, Settings().memo_block_size, "CreateMemofile()"));
}

std::vector<MemoLine>& MemoLineTable() { return AttachedMemoUnit().lines; }

bool GetMemo(int32_t block, int max_lines) {
    TWorkArea* a = StartCommand("GetMemo");
    MemoUnit& unit = AttachedMemoUnit();
    if (!a) return false;
    const Status s = ReadMemoLines(*a, block, LineLimit(max_lines), unit.lines, "GetMemo");
    Report(s);
    return s.ok();
}

int32_t AddMemo(std::string_view text) {
    TWorkArea* a = StartCommand("AddMemo");
    if (!a) return 0;
    int32_t block = 0;
    Report(AddMemoIn(*a, text, block, "AddMemo"));
    return block;
}

int32_t EditMemo(int32_t block) {
    TWorkArea* a = StartCommand("EditMemo");
    MemoUnit& unit = AttachedMemoUnit();
    if (!a) return 0;
    int32_t edited = 0;
    Report(EditMemoIn(*a, StoredText(*a, unit.lines), block, edited));
    return edited;
}

int32_t CopyMemo(uint8_t source_area, int32_t block) {
    TWorkArea* to = StartCommand("CopyMemo");
    if (!to) return 0;
    TWorkArea* from = source_area >= 1 && source_area <= kAreaCount ? AreaAt(source_area) : nullptr;
    if (!from) {
        RunError(215, "Area " + std::to_string(source_area) + " [AppendFrom/CopyTo]");
        return 0;
    }
    int32_t copied = 0;
    Report(CopyMemoIn(*from, block, *to, copied));
    return copied;
}

void PackMemofile() {
    TWorkArea* a = StartCommand("PackMemofile");
    if (!a) return;
    AreaPin pin(*a);
    Report(PackMemoIn(*a));
}

}  // namespace zurod
