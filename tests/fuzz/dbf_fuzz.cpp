// libFuzzer target: any bytes as a table file, opened shared and exclusive
// and put through the public engine API with error handling off: walks,
// searches, sums, copies both ways, edits (shared ones under their locks),
// pack (shared too, the share turned exclusive for it) and zap; then its
// records appended into a sorted virtual file of its structure, which is
// walked, searched, sorted, packed and copied out. Every input must end in
// an error code or a clean run; the sanitizers catch the rest.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/dbf/areas.hpp"
#include "engine/dbf/copy.hpp"
#include "engine/dbf/dates.hpp"
#include "engine/dbf/detail/area_table.hpp"
#include "engine/dbf/detail/record_io.hpp"
#include "engine/dbf/detail/swap_buffer.hpp"
#include "engine/dbf/detail/table_header.hpp"
#include "engine/dbf/edit.hpp"
#include "engine/dbf/engine.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/dbf/locate.hpp"
#include "engine/dbf/locks.hpp"
#include "engine/dbf/navigate.hpp"
#include "engine/dbf/settings.hpp"
#include "engine/dbf/tables.hpp"
#include "engine/vfile/vfile.hpp"
#include "tests/fuzz/fuzz_support.hpp"

namespace {

bool Ok() { return zurod::LastErrorCode() == 0; }

void Walk() {
    using namespace zurod;
    int steps = 0;
    for (GoTop(); Ok() && !dEOF() && steps < 64; SKIP()) ++steps;
    for (GoBottom(); Ok() && !dBOF() && steps < 128; SKIP(-1)) ++steps;
    GO(2);
    SKIP(0);
}

// Gives every field a new value, so that each slot is converted back.
void ChangeFields() {
    using namespace zurod;
    TWorkArea* a = CurrentTable();
    if (!a) return;
    for (const FieldInfo& f : a->fields) {
        switch (f.type) {
        case 'C': SetSwapString(*a, f, "\xE4x\x80"); break;
        case 'D': SetSwapString(*a, f, "01/02/03"); break;
        case 'N':
        case 'F': SetSwapNumber(*a, f, -1.5); break;
        case 'L': SetSwapLogical(*a, f, true); break;
        case 'M': SetSwapMemo(*a, f, 7); break;
        default: break;
        }
    }
}

// Searches and sums over the first fields, and a copy appended back.
void Scan(const std::string& copy) {
    using namespace zurod;
    const int fields = std::min<int>(FieldCount(), 3);
    for (int n = 1; n <= fields; ++n) {
        const std::string name = Field(n);
        Locate(name + " NOCASE CONTAINED", std::string("1"));
        Continue();
        if (FieldType(n) == 'N' || FieldType(n) == 'F') Sum(name);
    }
    uint8_t field = 0;
    Search("a", field, true);
    SetIgnoreDel(true);
    Sum(Field(1));
    SetIgnoreDel(false);
    CopyTo(copy);
    SetLastErrorCode(0);
}

// What a program sharing the table does: changes under the record lock,
// an append under the append lock, a flush, and a pack.
void SharedChanges() {
    using namespace zurod;
    GO(1);
    if (Ok() && RLock()) {
        ChangeFields();
        Replace();
        DeleteRec();
        RecallRec();
        Unlock();
    }
    if (ALock()) {
        ClearRecord();
        ChangeFields();
        Append();
        Unlock();
    }
    FlushDbf();
    GO(2);
    if (Ok() && RLock()) {
        DeleteRec();
        Unlock();
    }
    Pack();
    Walk();
    SetLastErrorCode(0);
}

void Run(const std::string& table, const std::string& copy, bool exclusive) {
    using namespace zurod;
    ResetErrorState();
    SetErrorHandling(false);
    USE(table + (exclusive ? " EXCLUSIVE" : ""));
    if (!Ok()) return;
    Walk();
    Scan(copy);
    if (exclusive) {
        GO(1);
        if (Ok()) {
            ChangeFields();
            Replace();
            DeleteRec();
            RecallRec();
            DeleteRec();
        }
        ClearRecord();
        ChangeFields();
        Append();
        AppendFrom(copy);
        FlushDbf();
        Pack();
        Walk();
        Zap();
    } else {
        SharedChanges();
    }
    CloseArea();
}

// The table's records in a virtual file of its structure, kept in the order
// of its first field.
void ThroughVirtualFile(const std::string& table, const std::string& copy) {
    using namespace zurod;
    static std::vector<char> buffer(size_t{1} << 16);
    ResetErrorState();
    SetErrorHandling(false);
    Select(1);
    USE(table + " EXCLUSIVE");
    if (!Ok()) return;
    std::vector<FieldDef> fields;
    for (int n = 1; n <= FieldCount(); ++n)
        fields.push_back({Field(n), FieldType(n), FieldType(n) == 'D' ? 8 : FieldLen(n), FieldDec(n)});
    Select(2);
    USE("FUZZV VIRTUAL FILE ASCENDING", buffer);
    if (Ok()) AddStru(fields);
    if (Ok()) {
        Set_VFileKey_To([](std::string& key) { key = FieldText(1); });
        AppendFromTable({table, false, ""});
        Walk();
        Scan(copy);
        SortVFile(kDescending);
        Walk();
        GO(2);
        DeleteRec();
        Pack();
        Walk();
        CopyTo(copy);
    }
    CloseArea();
    Select(1);
    CloseArea();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const fuzz_support::Scratch scratch;
    static const std::string table = scratch / "FUZZ.DBF";
    static const std::string copy = scratch / "COPY.DBF";
    zurod::EngineReset();
    // Shared areas read each record from the file; exclusive ones read ahead
    // and here also write, and the result is read back once more.
    fuzz_support::WriteBytes(table, data, size);
    Run(table, copy, false);
    fuzz_support::WriteBytes(table, data, size);
    Run(table, copy, true);
    fuzz_support::WriteBytes(table, data, size);
    Run(table, copy, false);
    zurod::VFileInit();
    fuzz_support::WriteBytes(table, data, size);
    ThroughVirtualFile(table, copy);
    return 0;
}
