// libFuzzer target: any bytes as the production index of a small table,
// opened shared and exclusively, every tag walked both ways, keys sought and
// records gone to. Shared, records are then changed and appended under their
// locks and the table packed (its share turned exclusive for it);
// exclusively, records are appended and replaced, the index rebuilt, the
// table packed and zapped, so that keys are added to and taken from the
// damaged trees and every rebuild (Reindex shared too) starts from one. Every input must end in
// an error code or a clean run; the sanitizers catch the rest, and the
// fuzzer's timeout catches a walk that never ends.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/dbf/areas.hpp"
#include "engine/dbf/dates.hpp"
#include "engine/dbf/edit.hpp"
#include "engine/dbf/engine.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/dbf/locks.hpp"
#include "engine/dbf/navigate.hpp"
#include "engine/dbf/tables.hpp"
#include "engine/expr/expr.hpp"
#include "engine/index/index.hpp"
#include "tests/fuzz/fuzz_support.hpp"

namespace {

bool Ok() { return zurod::LastErrorCode() == 0; }

// The layout the seed files' tags were made for: NAME, AMOUNT, DATE, CODE.
void MakeTable(const std::string& path) {
    using namespace zurod;
    std::vector<FieldDef> fields = {
        {"NAME", 'C', 20, 0}, {"AMOUNT", 'N', 12, 2}, {"DATE", 'D', 8, 0}, {"CODE", 'C', 4, 0}};
    CreateDbf(path, fields);
    USE(path + " EXCLUSIVE");
    for (int i = 1; i <= 40; ++i) {
        ClearRecord();
        PutFieldString(1, "Name" + std::to_string((i * 7) % 13));
        PutFieldNumber(2, (i * 31) % 50 - 25.5);
        PutFieldString(3, "0" + std::to_string(1 + i % 9) + "/15/20" + std::to_string(10 + i % 9));
        PutFieldString(4, std::string(1, static_cast<char>('A' + i % 5)));
        Append();
        if (i % 6 == 0) DeleteRec();
    }
    CloseArea();
}

void Walk() {
    using namespace zurod;
    int steps = 0;
    for (GoTop(); Ok() && !dEOF() && steps < 64; SKIP(1)) ++steps;
    for (GoBottom(); Ok() && !dBOF() && !dEOF() && steps < 128; SKIP(-1)) ++steps;
    GO(3);
    SKIP(1);
    SKIP(-2);
    Find("Name1");
    SetFindExact();
    Find("12");
    ClearFindExact();
    Find("05/15/2013");
    Find("02/30/2024");
}

// Changes to records 2, 7 and 40 and a new record, in the first order.
void Change(bool shared) {
    using namespace zurod;
    Set_Order_To(1);
    for (int32_t n : {2, 7, 40}) {
        GO(n);
        if (shared && !RLock()) continue;
        PutFieldString(1, "Moved" + std::to_string(n));
        PutFieldNumber(2, n - 20.5);
        Replace();
        if (n == 7) DeleteRec();
        if (shared) Unlock();
    }
    if (shared && !ALock()) return;
    ClearRecord();
    PutFieldString(1, "Name3");
    PutFieldString(4, "B");
    Append();
    if (shared) Unlock();
}

void Run(const std::string& table, bool exclusive) {
    using namespace zurod;
    ResetErrorState();
    SetErrorHandling(false);
    USE(table + (exclusive ? " EXCLUSIVE" : ""));
    if (!Ok()) return;
    // A file that is no index says so with the index's own codes (raised
    // at once while error handling is off).
    bool opened = false;
    try {
        opened = SetIndexTo("");
    } catch (const zurod::EZurodError&) {
        const uint16_t code = LastErrorCode();
        if (code != 222 && code != 223 && code != 266) std::abort();
    }
    if (opened) {
        try {
            for (int n = 1; n <= 47; ++n) {
                Set_Order_To(n);  // raises 220 past the last tag
                Walk();
            }
        } catch (const zurod::EZurodError&) {}
        try {
            Set_Order_To(0);
            Walk();
            Change(!exclusive);
            Walk();
            Reindex();
            Walk();
            Pack();
            Walk();
            if (exclusive) Zap();
        } catch (const zurod::EZurodError&) {}
    }
    CloseArea();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const fuzz_support::Scratch scratch;
    static const std::string table = scratch / "FUZZ.DBF";
    static const std::string index = scratch / "FUZZ.MDX";
    // The table as made, put back before each input (a run may change it).
    static const std::string made = [] {
        zurod::EngineReset();
        zurod::SetErrorHandling(false);
        MakeTable(table);
        std::FILE* f = std::fopen(table.c_str(), "rb");
        std::string bytes;
        for (int c; f && (c = std::fgetc(f)) != EOF;) bytes += static_cast<char>(c);
        if (f) std::fclose(f);
        return bytes;
    }();
    // Each run starts from the table as made and the input's bytes: a
    // rebuild in one would leave the next nothing damaged to work on.
    for (bool exclusive : {false, true}) {
        fuzz_support::WriteBytes(table, reinterpret_cast<const uint8_t*>(made.data()), made.size());
        fuzz_support::WriteBytes(index, data, size);
        zurod::EngineReset();
        zurod::ExprInit();
        zurod::IndexInit();
        zurod::SetDateFormat(0);
        zurod::SetCentury(true);
        Run(table, exclusive);
    }
    return 0;
}
