// libFuzzer target: any bytes as the memo file of a small memo table, read
// and written through the public memo API with error handling off: shared
// (writes under record and append locks), then exclusively (edits, streams,
// PackMemofile and Pack, each read back). The first input byte picks the
// layout and the block size, the next four a block one record points at;
// the rest is the memo file. Every input must end in error codes or clean
// runs; the sanitizers catch the rest.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "engine/dbf/areas.hpp"
#include "engine/dbf/edit.hpp"
#include "engine/dbf/engine.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/dbf/locate.hpp"
#include "engine/dbf/locks.hpp"
#include "engine/dbf/navigate.hpp"
#include "engine/dbf/settings.hpp"
#include "engine/memo/memo.hpp"
#include "tests/fuzz/fuzz_support.hpp"
#include "tests/fuzz/table_fixtures.hpp"

namespace {

void ReadEveryMemo() {
    using namespace zurod;
    for (int32_t r = 1; r <= RecCount(); ++r) {
        GO(r);
        const int32_t block = GetFieldMemo(2);
        GetMemo(block);
        CreateBlobDescriptor(true, block, 1);
        char chunk[300];
        for (int i = 0; i < 64 && ReadBlobStream(chunk) > 0; ++i) {}
        BlobSeek(0, 2);
        DestroyBlobDescriptor();
        MemoTextFile device(2);
        std::string line;
        if (device.Reset() == 0)
            for (int i = 0; i < 64 && !device.Eof(); ++i) device.ReadLn(line);
        SetLastErrorCode(0);
    }
    Locate("NOTE", std::string("A"), true);
}

void WriteMemos() {
    using namespace zurod;
    for (int32_t r = 1; r <= RecCount(); ++r) {
        GO(r);
        MemoLineTable() = {{std::string(static_cast<size_t>(r) * 300, 'e'), LineEnd::Hard}};
        PutFieldMemo(2, EditMemo(GetFieldMemo(2)));
        Replace();
        SetLastErrorCode(0);
    }
    const int32_t streamed = CreateBlobDescriptor(false, 0, 2);
    WriteBlobStream(std::string_view("streamed bytes"));
    DestroyBlobDescriptor();
    GO(1);
    PutFieldMemo(2, streamed);
    Replace();
    AddMemo("added");
    SetLastErrorCode(0);
}

// What programs sharing the table do: edits under the record lock, an
// append under the append lock; PackMemofile refuses a shared table.
void SharedWrites() {
    using namespace zurod;
    for (int32_t r = 1; r <= 3 && r <= RecCount(); ++r) {
        GO(r);
        if (!RLock()) continue;
        MemoLineTable() = {{"shared edit " + std::to_string(r), LineEnd::Hard}};
        PutFieldMemo(2, EditMemo(GetFieldMemo(2)));
        Replace();
        Unlock();
        SetLastErrorCode(0);
    }
    if (ALock()) {
        ClearRecord();
        PutFieldMemo(2, AddMemo("appended while shared"));
        Append();
        Unlock();
    }
    PackMemofile();
    SetLastErrorCode(0);
}

void Run(const std::string& table, bool exclusive) {
    using namespace zurod;
    ResetErrorState();
    SetErrorHandling(false);
    USE(table + (exclusive ? " EXCLUSIVE" : ""));
    if (LastErrorCode() != 0) return;
    ReadEveryMemo();
    if (exclusive) {
        WriteMemos();
        ReadEveryMemo();
        PackMemofile();
        ReadEveryMemo();
        Pack();
        ReadEveryMemo();
    } else {
        SharedWrites();
        ReadEveryMemo();
    }
    SetLastErrorCode(0);
    CloseArea();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const fuzz_support::Scratch scratch;
    if (size < 5) return 0;
    constexpr uint8_t kVersions[] = {0x83, 0x8B, 0xF5};
    const uint8_t version = kVersions[data[0] % 3];
    const int32_t extra = static_cast<int32_t>(data[1] | data[2] << 8 | data[3] << 16 | uint32_t{data[4]} << 24);
    zurod::EngineReset();
    zurod::MemoInit();
    zurod::Settings().memo_block_size = (data[0] & 0x80) ? 1024 : 512;

    table_fixtures::Table t;
    t.version = version;
    t.fields = {{"ID", 'N', 4}, {"NOTE", 'M', 10}};
    for (const std::string& block : {std::string("1"), std::string("2"), std::string("8"), std::to_string(extra),
                                     std::string(""), std::string("-3")})
        t.records.push_back(table_fixtures::Row(t.fields, {"1", block}, block == "8"));
    const std::string table = scratch / "FUZZ.DBF";
    const std::string memo_path = scratch / (version == 0xF5 ? "FUZZ.FPT" : "FUZZ.DBT");
    for (bool exclusive : {false, true}) {
        const std::string bytes = table_fixtures::Build(t);
        fuzz_support::WriteBytes(table, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        fuzz_support::WriteBytes(memo_path, data + 5, size - 5);
        Run(table, exclusive);
    }
    return 0;
}
