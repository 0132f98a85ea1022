// Memo files: adding and reading 100,000 memos of 1 KiB, the engine against
// xbase64, and packing a memo file of about 100 MB with half of it dead
// against copying the live bytes with cp.
//
// xbase64 (the packaged 3.1.2) cannot append records to memo tables on
// 64-bit systems and fails on dBASE IV memo files, so its cases work on a
// dBASE III table: its adds store each memo into the blank memo field of one
// record (which appends the memo at the end of the file, as AddMemo does).
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <xbase64/xbase64.h>

#include "bench/cases.hpp"
#include "bench/transactions.hpp"
#include "engine/dbf/areas.hpp"
#include "engine/dbf/detail/memo_header.hpp"
#include "engine/dbf/edit.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/dbf/files.hpp"
#include "engine/dbf/navigate.hpp"
#include "engine/dbf/tables.hpp"
#include "engine/memo/memo.hpp"
#include "platform/file.hpp"
#include "platform/paths.hpp"

namespace bench {

namespace {

constexpr int kMemos = 100'000;
constexpr size_t kMemoSize = 1024;
// The pack case: records with one live and one dead memo of 1 KiB each.
constexpr int kPackRecords = 35'000;

bool Ok(benchmark::State& state) {
    if (zurod::LastErrorCode() == 0) return true;
    state.SkipWithError(zurod::LastErrorMessage().c_str());
    zurod::CloseArea();
    return false;
}

std::string MemoPathOf(const std::string& table, uint8_t version) {
    return zurod::ForceExt(table, version == zurod::kFoxProMemo ? "fpt" : "dbt");
}

// An empty table with ID N 8 and NOTE M 10 in the layout of `version`.
void CreateMemoTable(const std::string& path, uint8_t version) {
    PrepareEngine();
    zurod::MemoInit();
    RemoveTable(path);
    std::remove(MemoPathOf(path, version).c_str());
    std::vector<zurod::FieldDef> fields = {{"ID", 'N', 8, 0}, {"NOTE", 'M', 10, 0}};
    zurod::CreateDbf(path, fields);
    if (version == zurod::kDbase4Memo) return;
    std::remove(zurod::ForceExt(path, "DBT").c_str());
    platform::File table;
    char byte = static_cast<char>(version);
    if (table.Open(path, platform::Access::ReadWrite, platform::Share::Exclusive) == 0) table.WriteAt(0, {&byte, 1});
    table.Close();
    zurod::Report(zurod::MakeMemoFile(MemoPathOf(path, version), version, 512, "bench"));
}

void OpenExclusive(const std::string& path) {
    zurod::UseOptions use;
    use.file_name = path;
    use.exclusive = true;
    zurod::UseTable(use);
}

// A table of `records` records, each with its own 1 KiB memo; with `dead`
// the memo file holds a memo no record refers to before each live one.
std::string BuildMemoTable(const std::string& name, uint8_t version, int records, bool dead) {
    const std::string path = PathIn(name);
    CreateMemoTable(path, version);
    OpenExclusive(path);
    for (int n = 1; n <= records; ++n) {
        if (dead) zurod::AddMemo(MemoText(n + records));
        zurod::ClearRecord();
        zurod::PutFieldInteger(1, n);
        zurod::PutFieldMemo(2, zurod::AddMemo(MemoText(n)));
        zurod::Append();
    }
    zurod::CloseArea();
    return path;
}

const std::string& MemoMaster() {
    static const std::string path = BuildMemoTable("memos.dbf", zurod::kDbase3Memo, kMemos, false);
    return path;
}

const std::string& PackMaster() {
    static const std::string path = BuildMemoTable("packmemos.dbf", zurod::kDbase4Memo, kPackRecords, true);
    return path;
}

void CopyFile(const std::string& from, const std::string& to) {
    const std::string command = "cp '" + from + "' '" + to + "'";
    if (std::system(command.c_str()) != 0) std::abort();
}

// The pack master's table and memo file under another name.
void CopyPackMaster(const std::string& path) {
    const std::string& master = PackMaster();
    CopyFile(master, path);
    CopyFile(MemoPathOf(master, zurod::kDbase4Memo), MemoPathOf(path, zurod::kDbase4Memo));
}

// False, after marking the run failed, unless every memo was read whole.
std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool ReadAll(benchmark::State& state, size_t bytes, const char* who) {
    if (bytes == kMemoSize * kMemos) return true;
    state.SkipWithError((std::string(who) + " read " + std::to_string(bytes) + " bytes").c_str());
    return false;
}

// Memo `block` of the current area through a stream.
std::string ReadStream(int32_t block, std::vector<char>& buffer) {
    std::string text;
    zurod::CreateBlobDescriptor(false, block, 1);
    for (int32_t n; (n = zurod::ReadBlobStream(buffer)) > 0;) text.append(buffer.data(), static_cast<size_t>(n));
    zurod::DestroyBlobDescriptor();
    return text;
}

// False, after marking the run failed, unless record n's memo of the table
// at `path` is MemoText(n) for every record.
bool CheckMemos(benchmark::State& state, const std::string& path) {
    OpenExclusive(path);
    if (!Ok(state)) return false;
    std::vector<char> buffer(kMemoSize * 2);
    for (zurod::GoTop(); !zurod::dEOF(); zurod::SKIP(1)) {
        const int32_t n = zurod::RecNo();
        if (!IsMemoText(n, ReadStream(zurod::GetFieldMemo(2), buffer))) {
            state.SkipWithError(("the memo of record " + std::to_string(n) + " is not as written").c_str());
            zurod::CloseArea();
            return false;
        }
    }
    zurod::CloseArea();
    return Ok(state);
}

}  // namespace

void OursMemoAdd(benchmark::State& state) {
    const auto version = static_cast<uint8_t>(state.range(0));
    const std::string path = PathIn("memoadd.dbf");
    std::vector<std::string> texts;
    for (int n = 0; n < kMemos; ++n) texts.push_back(MemoText(n));
    std::vector<int32_t> blocks;
    for (auto _ : state) {
        state.PauseTiming();
        CreateMemoTable(path, version);
        state.ResumeTiming();
        OpenExclusive(path);
        if (!Ok(state)) break;
        blocks.clear();
        for (const std::string& text : texts) blocks.push_back(zurod::AddMemo(text));
        zurod::CloseArea();
        if (!Ok(state)) break;
    }
    // Every memo of the last run read back, untimed.
    if (!state.error_occurred()) {
        OpenExclusive(path);
        std::vector<char> buffer(kMemoSize * 2);
        for (int n = 0; n < kMemos && Ok(state); ++n)
            if (!IsMemoText(n, ReadStream(blocks[static_cast<size_t>(n)], buffer))) {
                state.SkipWithError(("memo " + std::to_string(n) + " is not as written").c_str());
                break;
            }
        zurod::CloseArea();
    }
    CountRecords(state, kMemos);
}

void XbaseMemoAdd(benchmark::State& state) {
    const std::string path = PathIn("memoadd_xbase64.dbf");
    std::vector<std::string> texts;
    for (int n = 0; n < kMemos; ++n) texts.push_back(MemoText(n));
    for (auto _ : state) {
        state.PauseTiming();
        // One record to hang the memos on; the engine writes it.
        CreateMemoTable(path, zurod::kDbase3Memo);
        OpenExclusive(path);
        zurod::ClearRecord();
        zurod::Append();
        zurod::CloseArea();
        state.ResumeTiming();

        xbXBase base;
        xbDbf d(&base);
        if (d.OpenDatabase(path.c_str()) != XB_NO_ERROR || d.GetRecord(1) != XB_NO_ERROR) {
            state.SkipWithError("xbase64 cannot open the table");
            break;
        }
        d.AutoLockOff();
        bool ok = true;
        for (const std::string& text : texts) {
            d.PutField(static_cast<xbShort>(1), "");
            if (d.UpdateMemoData(1, static_cast<xbLong>(text.size()), text.c_str(), 0) != XB_NO_ERROR) {
                state.SkipWithError("xbase64 cannot store a memo");
                ok = false;
                break;
            }
        }
        // The record keeps the block of the last memo.
        if (ok && d.PutRecord() != XB_NO_ERROR) {
            state.SkipWithError("xbase64 cannot write the record");
            ok = false;
        }
        d.CloseDatabase();
        if (!ok) break;
    }
    // The record holds the last memo stored, untimed: read by the engine.
    if (!state.error_occurred()) {
        OpenExclusive(path);
        std::vector<char> buffer(kMemoSize * 2);
        zurod::GoTop();
        const int32_t block = zurod::GetFieldMemo(2);
        const std::string text = ReadStream(block, buffer);
        if (Ok(state) && !IsMemoText(kMemos - 1, text))
            state.SkipWithError((std::string(kWrongBytes) + "the record's memo (block " + std::to_string(block) +
                                 ") reads \"" + Excerpt(text) + "\"")
                                    .c_str());
        zurod::CloseArea();
    }
    CountRecords(state, kMemos);
}

void OursMemoRead(benchmark::State& state) {
    const std::string& path = MemoMaster();
    const bool as_lines = state.range(0) == 1;
    std::vector<char> buffer(kMemoSize * 2);
    std::string text;
    for (auto _ : state) {
        OpenExclusive(path);
        if (!Ok(state)) break;
        size_t bytes = 0;
        int32_t wrong = 0;
        for (zurod::GoTop(); !zurod::dEOF(); zurod::SKIP(1)) {
            const int32_t block = zurod::GetFieldMemo(2);
            text.clear();
            if (as_lines) {
                zurod::GetMemo(block);
                for (const zurod::MemoLine& line : zurod::MemoLineTable()) text += line.text;
            } else {
                zurod::CreateBlobDescriptor(false, block, 1);
                for (int32_t n; (n = zurod::ReadBlobStream(buffer)) > 0;)
                    text.append(buffer.data(), static_cast<size_t>(n));
                zurod::DestroyBlobDescriptor();
            }
            bytes += text.size();
            if (wrong == 0 && !IsMemoText(zurod::RecNo(), text)) wrong = zurod::RecNo();
        }
        zurod::CloseArea();
        if (!Ok(state) || !ReadAll(state, bytes, "the engine")) break;
        if (wrong != 0) {
            state.SkipWithError(("the memo of record " + std::to_string(wrong) + " is not as written").c_str());
            break;
        }
    }
    CountRecords(state, kMemos);
}

void XbaseMemoRead(benchmark::State& state) {
    const std::string& path = MemoMaster();
    std::vector<char> buffer(kMemoSize * 4);
    for (auto _ : state) {
        xbXBase base;
        xbDbf d(&base);
        if (d.OpenDatabase(path.c_str()) != XB_NO_ERROR) {
            state.SkipWithError("xbase64 cannot open the table");
            break;
        }
        d.AutoLockOff();
        size_t bytes = 0;
        xbULong wrong = 0;
        std::string seen;
        for (xbULong n = 1; n <= static_cast<xbULong>(kMemos); ++n) {
            d.GetRecord(n);
            const xbLong length = std::min<xbLong>(d.GetMemoFieldLen(1), static_cast<xbLong>(buffer.size()));
            if (d.GetMemoField(1, length, buffer.data(), 0) != XB_NO_ERROR) continue;
            bytes += static_cast<size_t>(length);
            if (wrong == 0 && !IsMemoText(static_cast<int>(n), {buffer.data(), static_cast<size_t>(length)})) {
                wrong = n;
                seen = Excerpt({buffer.data(), static_cast<size_t>(length)});
            }
        }
        d.CloseDatabase();
        if (wrong != 0) {
            state.SkipWithError(
                (std::string(kWrongBytes) + "the memo of record " + std::to_string(wrong) + " reads \"" + seen + "\"")
                    .c_str());
            break;
        }
        if (!ReadAll(state, bytes, "xbase64")) break;
    }
    CountRecords(state, kMemos);
}

void OursMemoPack(benchmark::State& state) {
    const std::string path = PathIn("packed.dbf");
    for (auto _ : state) {
        state.PauseTiming();
        CopyPackMaster(path);
        state.ResumeTiming();
        OpenExclusive(path);
        if (!Ok(state)) break;
        zurod::PackMemofile();
        zurod::CloseArea();
        if (!Ok(state)) break;
    }
    if (!state.error_occurred()) CheckMemos(state, path);
    CountRecords(state, kPackRecords);
}

// What the pack is measured against: cp of a file as large as the packed
// memo file (the live bytes), and the same followed by a sync as the pack
// syncs its files.
void CopyLiveBytes(benchmark::State& state) {
    const bool sync = state.range(0) == 1;
    const std::string packed = PathIn("live.dbf");
    CopyPackMaster(packed);
    OpenExclusive(packed);
    zurod::PackMemofile();
    zurod::CloseArea();
    const std::string live = MemoPathOf(packed, zurod::kDbase4Memo);
    const std::string target = PathIn("copied.dbt");
    const std::string command = "cp '" + live + "' '" + target + "'" + (sync ? " && sync '" + target + "'" : "");
    for (auto _ : state) {
        state.PauseTiming();
        std::remove(target.c_str());
        state.ResumeTiming();
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("cp failed");
            break;
        }
    }
    // What cp wrote against what it read, untimed.
    if (!state.error_occurred() && ReadFileBytes(target) != ReadFileBytes(live))
        state.SkipWithError((std::string(kWrongBytes) + "the copy differs from the live memos").c_str());
    CountRecords(state, kPackRecords);
}

}  // namespace bench
