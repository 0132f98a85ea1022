// Tables written by independent dBASE writers, read here field by field,
// and written back unchanged byte for byte.
#include <gtest/gtest.h>
#include <shapefil.h>

#include <string>
#include <vector>

#include "engine/dbf/areas.hpp"
#include "engine/dbf/dates.hpp"
#include "engine/dbf/edit.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/dbf/navigate.hpp"
#include "engine/dbf/settings.hpp"
#include "platform/codepage.hpp"
#include "platform/numbers.hpp"
#include "tests/engine/peers/peer_support.hpp"
#include "tests/support/engine_fixture.hpp"
#include "tests/support/files.hpp"

namespace {

using peers::kNull;
using peers::Row;
using peers::TableData;

const std::string kN(kNull);

uint8_t ByteAt(const std::string& path, size_t at) {
    const std::string bytes = testing_support::ReadFileBytes(path);
    return at < bytes.size() ? static_cast<uint8_t>(bytes[at]) : 0;
}

// Every type a dBASE III table holds, with nulls where the peer has them.
// python-dbf keeps a digit's room for the sign of negative numbers.
TableData Dbase3Data(bool nulls) {
    const std::string n = nulls ? kN : "0";
    TableData d;
    d.columns = {{"ID", 'N', 5, 0},    {"NAME", 'C', 20, 0}, {"AMOUNT", 'N', 12, 2}, {"COUNT", 'N', 7, 0},
                 {"RATE", 'F', 12, 4}, {"WHEN", 'D', 8, 0},  {"OK", 'L', 1, 0}};
    d.rows = {
        {false, {"1", "M\xFCller \x80 \xE9t\xE9", "1234.50", "42", "3.1416", "20240229", "T"}},
        {true, {"2", "deleted", "-0.75", "-17", "-0.0001", "19991231", "F"}},
        {false, {"3", "trailing blanks   ", "999999999.99", "9999999", "9999999.9999", "19000101", "T"}},
        {false,
         {"4", nulls ? kN : "", nulls ? kN : "0.00", n, nulls ? kN : "0.0000", nulls ? kN : "", nulls ? kN : "F"}},
        {true, {"5", "\xC4\xD6\xDC\xDF\xE4\xF6\xFC", "-9999999.99", "-999999", "-99999.9999", "21001231", "T"}},
        {false, {"6", "ABCDEFGHIJKLMNOPQRST", "0.01", "1", "0.5000", "20000101", "F"}},
    };
    return d;
}

class PeerWrittenTest : public peers::PeerTest {
protected:
    // Writing every record back unchanged must leave the table and its memo
    // file as the peer wrote them, apart from the date of the last update.
    void ExpectUnchangedRoundTrip(const std::string& path, const std::string& memo_path, bool shared) {
        const std::string table = testing_support::ReadFileBytes(path);
        const std::string memo = memo_path.empty() ? std::string() : testing_support::ReadFileBytes(memo_path);
        peers::ReplaceEveryRecordUnchanged(path, shared);
        EXPECT_EQ(peers::DifferenceOutsideDate(table, testing_support::ReadFileBytes(path)), "");
        if (!memo_path.empty()) {
            EXPECT_EQ(testing_support::ReadFileBytes(memo_path), memo);
        }
    }

    // Writes `data` with shapelib as a dBASE III table in the OEM page.
    std::string WriteWithShapelib(const std::string& name, const TableData& data) {
        const std::string path = dir_ / name;
        DBFHandle h = DBFCreateEx(path.c_str(), "LDID/2");
        if (!h) {
            ADD_FAILURE() << "shapelib cannot create " << path;
            return path;
        }
        for (const peers::Column& c : data.columns) {
            const int at = c.type == 'C' ? DBFAddField(h, c.name.c_str(), FTString, c.length, 0)
                                         : DBFAddNativeFieldType(h, c.name.c_str(), c.type, c.length, c.decimals);
            EXPECT_GE(at, 0) << c.name;
        }
        for (size_t r = 0; r < data.rows.size(); ++r) {
            const int rec = static_cast<int>(r);
            for (size_t f = 0; f < data.columns.size(); ++f) {
                const peers::Column& c = data.columns[f];
                const std::string& v = data.rows[r].values[f];
                const int field = static_cast<int>(f);
                int ok = 0;
                if (v == kNull) {
                    ok = DBFWriteNULLAttribute(h, rec, field);
                } else if (c.type == 'C') {
                    ok = DBFWriteStringAttribute(h, rec, field, platform::AnsiToOem(v).c_str());
                } else if (c.type == 'N' || c.type == 'F') {
                    double d = 0;
                    EXPECT_TRUE(platform::ParseDouble(v, d)) << v;
                    ok = DBFWriteDoubleAttribute(h, rec, field, d);
                } else if (c.type == 'L') {
                    ok = DBFWriteLogicalAttribute(h, rec, field, v[0]);
                } else {
                    // shapelib formats whatever goes into a date field as a number.
                    std::string date = v.empty() ? std::string(8, ' ') : v;
                    ok = DBFWriteAttributeDirectly(h, rec, field, date.data());
                }
                EXPECT_TRUE(ok) << "record " << r << " field " << c.name;
            }
            if (data.rows[r].deleted) {
                EXPECT_TRUE(DBFMarkRecordDeleted(h, rec, 1));
            }
        }
        DBFClose(h);
        return path;
    }
};

TEST_F(PeerWrittenTest, PythonDbfDbase3InOemPage) {
    const TableData data = Dbase3Data(true);
    const std::string path = dir_ / "pydb3.dbf";
    // 0x02 names code page 850; the bytes are 850 with the euro at 0xD5.
    peers::PythonDbfWrite(path, "db3", 0x02, "cp858", data, dir_.path());
    ASSERT_EQ(ByteAt(path, 0), 0x03);
    ASSERT_EQ(ByteAt(path, 29), 0x02);

    EXPECT_EQ(EngineDumpOf(path), peers::ExpectedDump(0x03, data));
    ExpectUnchangedRoundTrip(path, "", false);
}

TEST_F(PeerWrittenTest, PythonDbfDbase3WithMemoInAnsiPage) {
    zurod::Settings().ansi = true;
    TableData data = Dbase3Data(true);
    data.columns.push_back({"NOTE", 'M', 10, 0});
    const std::vector<std::string> notes = {
        "Memo \x80 \xE4\xF6\xFC\r\nline two", "", "deleted memo", std::string(700, 'm'), kN, "\xE9"};
    for (size_t i = 0; i < data.rows.size(); ++i) data.rows[i].values.push_back(notes[i]);
    const std::string path = dir_ / "pydb3m.dbf";
    peers::PythonDbfWrite(path, "db3", 0x57, "cp1252", data, dir_.path());
    ASSERT_EQ(ByteAt(path, 0), 0x83);
    ASSERT_EQ(ByteAt(path, 29), 0x57);

    EXPECT_EQ(EngineDumpOf(path), peers::ExpectedDump(0x83, data));
    ExpectUnchangedRoundTrip(path, dir_ / "pydb3m.dbt", false);
}

TEST_F(PeerWrittenTest, PythonDbfFoxProInOem437) {
    platform::SelectCodePages(platform::CodePages::Cp437_1252);
    TableData data;
    data.columns = {{"ID", 'N', 4, 0},   {"NAME", 'C', 16, 0}, {"PRICE", 'F', 10, 2}, {"BOUGHT", 'D', 8, 0},
                    {"PAID", 'L', 1, 0}, {"NOTE", 'M', 10, 0}, {"PIC", 'G', 10, 0}};
    data.rows = {
        {false,
         {"1",
          "\xC7"
          "a \xE7"
          "a \xF1",
          "12.34", "20231105", "T", "FoxPro memo \xE0 la carte", "picture"}},
        {true, {"2", "gone", "-5.00", "19991231", "F", "deleted", kN}},
        {false, {"3", kN, kN, kN, kN, kN, kN}},
        {false, {"4", "\xC5ngstr\xF6m", "9999999.99", "19700101", "T", std::string(300, 'f'), "\xB0\xB1\xB2"}},
    };
    const std::string path = dir_ / "pyfox.dbf";
    peers::PythonDbfWrite(path, "fp", 0x01, "cp437", data, dir_.path());
    ASSERT_EQ(ByteAt(path, 0), 0xF5);
    ASSERT_EQ(ByteAt(path, 29), 0x01);

    EXPECT_EQ(EngineDumpOf(path), peers::ExpectedDump(0xF5, data));
    // Shared: every record is read from the file, not from the read-ahead block.
    ExpectUnchangedRoundTrip(path, dir_ / "pyfox.fpt", true);
}

TEST_F(PeerWrittenTest, ShapelibDbase3WithNulls) {
    const TableData data = Dbase3Data(true);
    const std::string path = WriteWithShapelib("shp.dbf", data);
    ASSERT_EQ(ByteAt(path, 0), 0x03);

    // shapelib fills a null date with zeros, which is not a blank date.
    EXPECT_EQ(EngineDumpOf(path), peers::ExpectedDump(0x03, data, "00000000"));
    ExpectUnchangedRoundTrip(path, "", false);
    ExpectUnchangedRoundTrip(path, "", true);
}

TEST_F(PeerWrittenTest, EngineChangesToPeerTablesReadBackInThePeers) {
    TableData data = Dbase3Data(false);
    const std::string path = dir_ / "mixed.dbf";
    peers::PythonDbfWrite(path, "db3", 0x02, "cp858", data, dir_.path());

    zurod::USE(path + " EXCLUSIVE");
    ASSERT_EQ(zurod::LastErrorCode(), 0) << zurod::LastErrorMessage();
    const Row added[] = {{false, {"7", "added \x80", "-1.25", "3", "2.5000", "20250101", "T"}},
                         {true, {"8", "added, deleted", "0.10", "0", "0.0000", "", "F"}}};
    for (const Row& r : added) {
        peers::AppendThroughEngine(r);
        data.rows.push_back(r);
    }
    zurod::GO(1);
    zurod::DeleteRec();
    data.rows[0].deleted = true;
    zurod::GO(2);
    zurod::RecallRec();
    data.rows[1].deleted = false;
    zurod::GO(3);
    peers::SetFieldValue(2, "replaced \xE9");
    zurod::Replace();
    data.rows[2].values[1] = "replaced \xE9";
    EXPECT_EQ(zurod::LastErrorCode(), 0) << zurod::LastErrorMessage();
    zurod::CloseArea();

    const std::string engine = EngineDumpOf(path);
    EXPECT_EQ(engine, peers::ExpectedDump(0x03, data));
    EXPECT_EQ(peers::PeerDump("dbf", "cp858", path, dir_.path()), engine);
    EXPECT_EQ(peers::PeerDump("dbfread", "cp858", path, dir_.path()), engine);
}

TEST_F(PeerWrittenTest, PackedFoxProTableReadsInThePeers) {
    // A FoxPro header carries a 263-byte block after the descriptors; the
    // packed file must keep it and the kept records' memo pointers.
    TableData data;
    data.columns = {{"ID", 'N', 4, 0}, {"NAME", 'C', 10, 0}, {"NOTE", 'M', 10, 0}};
    for (int i = 1; i <= 6; ++i)
        data.rows.push_back(
            {i % 3 == 2, {std::to_string(i), "n\xE9 " + std::to_string(i), "memo \x80 " + std::to_string(i)}});
    const std::string path = dir_ / "packfox.dbf";
    peers::PythonDbfWrite(path, "fp", 0x02, "cp858", data, dir_.path());

    zurod::USE(path + " EXCLUSIVE");
    ASSERT_EQ(zurod::LastErrorCode(), 0) << zurod::LastErrorMessage();
    EXPECT_TRUE(zurod::Pack()) << zurod::LastErrorMessage();
    zurod::CloseArea();
    std::erase_if(data.rows, [](const Row& r) { return r.deleted; });

    const std::string engine = EngineDumpOf(path);
    EXPECT_EQ(engine, peers::ExpectedDump(0xF5, data));
    EXPECT_EQ(peers::PeerDump("dbf", "cp858", path, dir_.path()), engine);
    EXPECT_EQ(peers::PeerDump("dbfread", "cp858", path, dir_.path()), engine);
}

TEST_F(PeerWrittenTest, RecordsAppendedToPeerMemoTablesStayReadable) {
    // A record appended here without a memo leaves its memo field blank, as
    // dBASE and FoxPro writers do; python-dbf fails on a 0 pointer.
    for (const char* type : {"db3", "fp"}) {
        SCOPED_TRACE(type);
        TableData data;
        data.columns = {{"ID", 'N', 4, 0}, {"NOTE", 'M', 10, 0}};
        data.rows = {{false, {"1", "peer memo"}}};
        const std::string path = dir_ / (std::string(type) + "memo.dbf");
        peers::PythonDbfWrite(path, type, 0x02, "cp858", data, dir_.path());

        zurod::USE(path + " EXCLUSIVE");
        ASSERT_EQ(zurod::LastErrorCode(), 0) << zurod::LastErrorMessage();
        const Row added{false, {"2", ""}};
        peers::AppendThroughEngine(added);
        data.rows.push_back(added);
        zurod::CloseArea();

        const std::string engine = EngineDumpOf(path);
        EXPECT_EQ(engine, peers::ExpectedDump(ByteAt(path, 0), data));
        EXPECT_EQ(peers::PeerDump("dbfread", "cp858", path, dir_.path()), engine);
        EXPECT_EQ(peers::PeerDump("dbf", "cp858", path, dir_.path()), engine);
    }
}

}  // namespace
