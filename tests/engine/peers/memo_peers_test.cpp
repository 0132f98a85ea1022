// Memo files in each layout between the engine and independent writers and
// readers: dbfread (dBASE III, dBASE IV, FoxPro), python-dbf (dBASE III,
// FoxPro) and Perl's XBase (all three).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/dbf/areas.hpp"
#include "engine/dbf/dates.hpp"
#include "engine/dbf/edit.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/dbf/files.hpp"
#include "engine/dbf/navigate.hpp"
#include "engine/memo/memo.hpp"
#include "tests/engine/peers/peer_support.hpp"
#include "tests/support/engine_fixture.hpp"
#include "tests/support/files.hpp"

namespace {

using peers::Row;
using peers::TableData;

TableData Memos() {
    TableData d;
    d.columns = {{"ID", 'N', 4, 0}, {"TITLE", 'C', 10, 0}, {"NOTE", 'M', 10, 0}};
    d.rows = {
        {false,
         {"1", "accents",
          "Gr\xFC\xDF"
          "e \x80 \xE9t\xE9\r\nsecond line"}},
        {false, {"2", "empty", ""}},
        {true, {"3", "deleted", "a deleted record keeps its memo"}},
        {false, {"4", "long", std::string(1500, 'l') + " end"}},
        {false, {"5", "short", "y"}},
    };
    return d;
}

struct Layout {
    const char* label;
    uint8_t version;
    const char* peer_type;  // how a peer names the layout
    const char* memo_ext;
    bool python_dbf;  // python-dbf reads and writes it
};

void PrintTo(const Layout& l, std::ostream* os) { *os << l.label; }

const Layout kLayouts[] = {
    {"Dbase3", zurod::kDbase3Memo, "db3", "dbt", true},
    {"Dbase4", zurod::kDbase4Memo, "db4", "dbt", false},
    {"FoxPro", zurod::kFoxProMemo, "fp", "fpt", true},
};

class MemoPeerTest : public peers::PeerTest, public ::testing::WithParamInterface<Layout> {
protected:
    // An empty table of the layout: python-dbf makes dBASE III and FoxPro
    // ones, the engine itself dBASE IV ones.
    std::string EmptyTable(const std::string& name, const TableData& data) {
        const Layout& l = GetParam();
        const std::string path = dir_ / name;
        if (l.python_dbf) {
            TableData empty{data.columns, {}};
            peers::PythonDbfWrite(path, l.peer_type, 0x02, "cp858", empty, dir_.path());
        } else {
            std::vector<zurod::FieldDef> defs;
            for (const peers::Column& c : data.columns) defs.push_back({c.name, c.type, c.length, c.decimals});
            zurod::CreateDbf(path, defs);
        }
        return path;
    }

    // What each peer that knows the layout reads (Perl's XBase: `perl`, when
    // it reads otherwise).
    void ExpectPeersRead(const std::string& path, const std::string& dump, const std::string& perl = "") {
        const Layout& l = GetParam();
        // dbfread hands out 8 bytes too many of a dBASE IV memo; peers.py cuts them.
        EXPECT_EQ(peers::PeerDump("dbfread", "cp858", path, dir_.path()), dump) << "dbfread";
        if (l.python_dbf) {
            EXPECT_EQ(peers::PeerDump("dbf", "cp858", path, dir_.path()), dump) << "python-dbf";
        }
        EXPECT_EQ(peers::PerlDump("cp858", path, dir_.path()), perl.empty() ? dump : perl) << "Perl";
    }

    // A table the Perl peer writes in the layout. Perl marks a table with
    // dBASE IV memos 0x84, a version the engine does not open; the test
    // gives it the usual 0x8B.
    std::string PerlTable(const std::string& name, const TableData& data) {
        const Layout& l = GetParam();
        const std::string path = dir_ / name;
        peers::PerlWrite(path, l.peer_type, "cp858", data, dir_.path());
        std::string bytes = testing_support::ReadFileBytes(path);
        EXPECT_EQ(static_cast<uint8_t>(bytes[0]), l.version == zurod::kDbase4Memo ? 0x84 : l.version);
        bytes[0] = static_cast<char>(l.version);
        testing_support::WriteFileBytes(path, bytes);
        return path;
    }
};

TEST_P(MemoPeerTest, MemosWrittenHereReadAlikeInThePeers) {
    const TableData data = Memos();
    const std::string path = EmptyTable("ours.dbf", data);
    zurod::USE(path + " EXCLUSIVE");
    ASSERT_EQ(zurod::LastErrorCode(), 0) << zurod::LastErrorMessage();
    for (const Row& row : data.rows) peers::AppendThroughEngine(row);
    // One memo written through a stream, one edited through the text device.
    zurod::GO(5);
    const int32_t streamed = zurod::CreateBlobDescriptor(true, 0, 2);
    zurod::WriteBlobStream(std::string_view("y"));
    zurod::DestroyBlobDescriptor();
    zurod::PutFieldMemo(3, streamed);
    zurod::Replace();
    zurod::GO(1);
    zurod::MemoTextFile device(3);
    ASSERT_EQ(device.Rewrite(), 0);
    ASSERT_EQ(device.Write(data.rows[0].values[2]), 0);
    ASSERT_EQ(device.Close(), 0);
    zurod::Replace();
    ASSERT_EQ(zurod::LastErrorCode(), 0) << zurod::LastErrorMessage();
    zurod::CloseArea();

    const std::string dump = EngineDumpOf(path);
    EXPECT_EQ(dump, peers::ExpectedDump(GetParam().version, data));
    ExpectPeersRead(path, dump);
}

// Lengths at every edge of a block (the dBASE III end marks split across
// two blocks at 511 mod 512), each memo followed by another that a reader
// running past the end would take in. The engine, dbfread and python-dbf read
// every text byte for byte. Perl's XBase looks for the pair of end marks
// inside one block and hands out what comes before it: where the pair splits,
// the first mark ends the text's last block and comes out with the text (no
// layout can keep it out), but the next block holds a pair, so it never reads
// on into the following memo.
TEST_P(MemoPeerTest, EveryLengthReadsBackAlikeInThePeers) {
    TableData data;
    data.columns = {{"ID", 'N', 4, 0}, {"TITLE", 'C', 10, 0}, {"NOTE", 'M', 10, 0}};
    int id = 0;
    for (size_t length : {1,    55,   56,   57,   63,   64,   503,  504,  505,  510,  511,  512, 513,
                          1022, 1023, 1024, 1025, 1534, 1535, 1536, 2047, 2048, 4095, 4096, 4097}) {
        ++id;
        data.rows.push_back({false,
                             {std::to_string(id), "len" + std::to_string(length),
                              std::string(length, static_cast<char>('a' + id % 26))}});
        data.rows.push_back({false, {std::to_string(100 + id), "next", "after " + std::to_string(length)}});
    }
    // The last memo of the file splits its pair too.
    data.rows.push_back({false, {"999", "last", std::string(1023, 'z')}});
    const std::string path = EmptyTable("lengths.dbf", data);
    zurod::USE(path + " EXCLUSIVE");
    ASSERT_EQ(zurod::LastErrorCode(), 0) << zurod::LastErrorMessage();
    for (const Row& row : data.rows) peers::AppendThroughEngine(row);
    ASSERT_EQ(zurod::LastErrorCode(), 0) << zurod::LastErrorMessage();
    zurod::CloseArea();
    const std::string dump = EngineDumpOf(path);
    EXPECT_EQ(dump, peers::ExpectedDump(GetParam().version, data));
    TableData perl = data;
    if (GetParam().version == zurod::kDbase3Memo)
        for (Row& row : perl.rows)
            if (row.values[2].size() % 512 == 511) row.values[2] += '\x1A';
    ExpectPeersRead(path, dump, peers::ExpectedDump(GetParam().version, perl));
}

TEST_P(MemoPeerTest, MemosThePeersWroteReadHere) {
    const Layout& l = GetParam();
    const TableData data = Memos();
    EXPECT_EQ(EngineDumpOf(PerlTable("perl.dbf", data)), peers::ExpectedDump(l.version, data)) << "Perl";
    if (l.python_dbf) {
        const std::string path = dir_ / "python.dbf";
        peers::PythonDbfWrite(path, l.peer_type, 0x02, "cp858", data, dir_.path());
        EXPECT_EQ(EngineDumpOf(path), peers::ExpectedDump(l.version, data)) << "python-dbf";
    }
}

TEST_P(MemoPeerTest, EditingOneMemoLeavesEveryOtherMemoAsItWas) {
    const Layout& l = GetParam();
    TableData data = Memos();
    const std::string path = PerlTable("edit.dbf", data);
    const std::string memo_path = zurod::ForceExt(path, l.memo_ext);
    const std::string before = testing_support::ReadFileBytes(memo_path);

    zurod::USE(path + " EXCLUSIVE");
    ASSERT_EQ(zurod::LastErrorCode(), 0) << zurod::LastErrorMessage();
    zurod::GO(4);
    const int32_t old_block = zurod::GetFieldMemo(3);
    zurod::MemoTextFile device(3);
    ASSERT_EQ(device.Rewrite(), 0);
    ASSERT_EQ(device.Write("edited here"), 0);
    ASSERT_EQ(device.Close(), 0);
    zurod::Replace();
    ASSERT_EQ(zurod::LastErrorCode(), 0) << zurod::LastErrorMessage();
    zurod::CloseArea();
    data.rows[3].values[2] = "edited here";

    const std::string dump = EngineDumpOf(path);
    EXPECT_EQ(dump, peers::ExpectedDump(l.version, data));
    ExpectPeersRead(path, dump);
    // Past the header, the old bytes stay; only a freed dBASE IV run gets
    // its chain header in the edited memo's old first block.
    const std::string after = testing_support::ReadFileBytes(memo_path);
    ASSERT_GE(after.size(), before.size());
    const size_t header = l.version == zurod::kFoxProMemo ? 512 : 512, freed = size_t(old_block) * 512;
    for (size_t i = header; i < before.size(); ++i) {
        if (l.version == zurod::kDbase4Memo && i >= freed && i < freed + 8) continue;
        ASSERT_EQ(before[i], after[i]) << "byte " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Peers, MemoPeerTest, ::testing::ValuesIn(kLayouts),
                         [](const ::testing::TestParamInfo<Layout>& info) { return std::string(info.param.label); });

}  // namespace
