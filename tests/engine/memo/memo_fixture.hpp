#pragma once
// Memo tables in each layout for the memo unit's tests: a table with the
// fields ID N 4 and NOTE M 10 and its empty memo file, the unit attached.
#include <string>
#include <vector>

#include "engine/dbf/areas.hpp"
#include "engine/dbf/detail/memo_header.hpp"
#include "engine/dbf/edit.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/dbf/files.hpp"
#include "engine/dbf/navigate.hpp"
#include "engine/dbf/tables.hpp"
#include "engine/memo/memo.hpp"
#include "platform/paths.hpp"
#include "tests/support/engine_fixture.hpp"
#include "tests/support/files.hpp"

namespace memo_testing {

struct Layout {
    const char* label;
    uint8_t version;
    uint16_t block_size;
};

inline void PrintTo(const Layout& l, std::ostream* os) { *os << l.label; }

inline const Layout kLayouts[] = {
    {"Dbase3", zurod::kDbase3Memo, 512},
    {"Dbase4", zurod::kDbase4Memo, 512},
    {"FoxPro", zurod::kFoxProMemo, 64},
};

class MemoTest : public testing_support::EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        zurod::MemoInit();
    }

    // Creates "<name>.dbf" with ID N 4 and NOTE M 10 (and more fields when
    // given) in the layout of `version`, with an empty memo file.
    std::string MemoTable(const std::string& name, uint8_t version, uint16_t block_size,
                          std::vector<zurod::FieldDef> more = {}) {
        std::vector<zurod::FieldDef> fields = {{"ID", 'N', 4, 0}, {"NOTE", 'M', 10, 0}};
        fields.insert(fields.end(), more.begin(), more.end());
        const std::string path = CreateTable(name + ".dbf", fields);
        platform::RemoveFile(zurod::ForceExt(path, "DBT"));
        std::string bytes = testing_support::ReadFileBytes(path);
        bytes[0] = static_cast<char>(version);
        testing_support::WriteFileBytes(path, bytes);
        const zurod::Status s = zurod::MakeMemoFile(MemoPath(path, version), version, block_size, "test");
        EXPECT_TRUE(s.ok()) << s.message;
        return path;
    }

    static std::string MemoPath(const std::string& table, uint8_t version) {
        return zurod::ForceExt(table, version == zurod::kFoxProMemo ? "fpt" : "dbt");
    }

    // Opens the table exclusively; fails the test on an error.
    static void Open(const std::string& path, const std::string& words = " EXCLUSIVE") {
        zurod::USE(path + words);
        ASSERT_EQ(zurod::LastErrorCode(), 0) << zurod::LastErrorMessage();
    }

    // Appends a record with the id and a new memo of `text` (none when empty).
    static int32_t AppendWithMemo(int id, const std::string& text) {
        const int32_t block = text.empty() ? 0 : zurod::AddMemo(text);
        EXPECT_EQ(zurod::LastErrorCode(), 0) << zurod::LastErrorMessage();
        zurod::ClearRecord();
        zurod::PutFieldInteger(1, id);
        zurod::PutFieldMemo(2, block);
        zurod::Append();
        EXPECT_EQ(zurod::LastErrorCode(), 0) << zurod::LastErrorMessage();
        return block;
    }

    // The text of memo `block` through GetMemo: its lines, each followed by
    // its end ("\r\n" hard, "\x8D" soft, "" none).
    static std::string MemoText(int32_t block) {
        if (!zurod::GetMemo(block)) return "<error " + std::to_string(zurod::LastErrorCode()) + ">";
        std::string text;
        for (const zurod::MemoLine& line : zurod::MemoLineTable())
            text += line.text +
                (line.end == zurod::LineEnd::Hard       ? "\r\n"
                     : line.end == zurod::LineEnd::Soft ? "\x8D"
                                                        : "");
        return text;
    }

    // Stores bytes through a write stream (as they are unless `detect` finds
    // them text) and gives the new memo's block.
    static int32_t StoreBytes(std::string_view bytes, bool detect = false) {
        const int32_t block = zurod::CreateBlobDescriptor(detect, 0, 2);
        EXPECT_EQ(zurod::WriteBlobStream(bytes), static_cast<int32_t>(bytes.size()));
        zurod::DestroyBlobDescriptor();
        EXPECT_EQ(zurod::LastErrorCode(), 0) << zurod::LastErrorMessage();
        return block;
    }

    // The current record's memo through a read stream, as stored.
    static std::string StreamText(int32_t block) {
        zurod::CreateBlobDescriptor(false, block, 1);
        std::string text;
        char chunk[100];
        for (int32_t n; (n = zurod::ReadBlobStream(chunk)) > 0;) text.append(chunk, static_cast<size_t>(n));
        zurod::DestroyBlobDescriptor();
        return text;
    }
};

}  // namespace memo_testing
