// Tables written here, read by independent dBASE readers: every reader must
// see the values, delete marks and record counts the engine reads.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "engine/dbf/areas.hpp"
#include "engine/dbf/dates.hpp"
#include "engine/dbf/edit.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/dbf/navigate.hpp"
#include "engine/dbf/settings.hpp"
#include "platform/codepage.hpp"
#include "tests/engine/peers/peer_support.hpp"
#include "tests/support/engine_fixture.hpp"

namespace {

using peers::Column;
using peers::DumpStyle;
using peers::Row;
using peers::TableData;

std::vector<zurod::FieldDef> Definitions(const TableData& data) {
    std::vector<zurod::FieldDef> defs;
    for (const Column& c : data.columns) defs.push_back({c.name, c.type, c.length, c.decimals});
    return defs;
}

// Every field type at its limits: full-width numbers of both signs, a name
// that fills its field, blank values, leading blanks and accented text.
TableData EveryType(bool euro) {
    const std::string e = euro ? "\x80" : "E";
    TableData d;
    d.columns = {{"ID", 'N', 5, 0},    {"NAME", 'C', 24, 0}, {"AMOUNT", 'N', 12, 2}, {"COUNT", 'N', 9, 0},
                 {"RATE", 'F', 10, 3}, {"QTY", 'F', 6, 0},   {"WHEN", 'D', 8, 0},    {"OK", 'L', 1, 0}};
    d.rows = {
        {false, {"1", "M\xFCller & S\xF6hne", "1234.56", "42", "3.125", "7", "20240229", "T"}},
        {true, {"2", "Caf\xE9 " + e + " 5,00", "-0.75", "-17", "-0.001", "-3", "19991231", "F"}},
        {false, {"3", "", "0.00", "0", "0.000", "0", "", "F"}},
        {false,
         {"4", "  indented \xC4\xD6\xDC\xDF", "999999999.99", "999999999", "999999.999", "999999", "19000101", "T"}},
        {true, {"5", "ABCDEFGHIJKLMNOPQRSTUVWX", "-99999999.99", "-99999999", "-99999.999", "-99999", "21001231", "T"}},
        {false,
         {"6", "\xE0\xE1\xE2 \xE8\xE9\xEA \xF1\xD1 \xE7 \xA3 \xBF\xA1 \xB0\xB1", "0.01", "1", "0.500", "12", "20000101",
          "F"}},
        {false, {"7", "tab\there | pipe \\ back", "100.00", "-1", "-0.010", "1", "19700101", "T"}},
    };
    return d;
}

struct Pages {
    const char* label;
    platform::CodePages pages;
    bool ansi;             // the table holds ANSI text
    const char* encoding;  // the Python codec of the bytes on disk
    bool euro;             // the page has the euro
};

void PrintTo(const Pages& p, std::ostream* os) { *os << p.label; }

class EngineWrittenTest : public peers::PeerTest {
protected:
    // Creates the table and fills it through USE: most rows are appended
    // directly; every third one is appended blank and deleted first, then
    // filled in with Replace and recalled when it is meant to stay.
    std::string Write(const std::string& name, const TableData& data) {
        const std::string path = CreateTable(name, Definitions(data));
        zurod::USE(path + " EXCLUSIVE");
        EXPECT_EQ(zurod::LastErrorCode(), 0) << zurod::LastErrorMessage();
        for (size_t i = 0; i < data.rows.size(); ++i) {
            if (i % 3 == 2) {
                peers::AppendThroughEngine({true, {}});
            } else {
                peers::AppendThroughEngine(data.rows[i]);
            }
        }
        for (size_t i = 2; i < data.rows.size(); i += 3) {
            zurod::GO(static_cast<int32_t>(i + 1));
            for (size_t f = 0; f < data.columns.size(); ++f)
                peers::SetFieldValue(static_cast<int>(f + 1), data.rows[i].values[f]);
            zurod::Replace();
            EXPECT_EQ(zurod::LastErrorCode(), 0) << zurod::LastErrorMessage();
            if (!data.rows[i].deleted) zurod::RecallRec();
            EXPECT_EQ(zurod::LastErrorCode(), 0) << zurod::LastErrorMessage();
        }
        zurod::CloseArea();
        EXPECT_EQ(zurod::LastErrorCode(), 0) << zurod::LastErrorMessage();
        return path;
    }

    // The engine's own reading in both dump styles.
    std::pair<std::string, std::string> EngineDumps(const std::string& path, bool exclusive = true) {
        zurod::USE(path + (exclusive ? " EXCLUSIVE" : ""));
        EXPECT_EQ(zurod::LastErrorCode(), 0) << zurod::LastErrorMessage();
        std::pair<std::string, std::string> dumps{peers::EngineDump(), peers::EngineDump(DumpStyle::Shapelib)};
        zurod::CloseArea();
        return dumps;
    }
};

class CodePageTest : public EngineWrittenTest, public ::testing::WithParamInterface<Pages> {};

TEST_P(CodePageTest, EveryFieldTypeReadsAlikeInEveryPeer) {
    const Pages& p = GetParam();
    platform::SelectCodePages(p.pages);
    zurod::Settings().ansi = p.ansi;
    const TableData data = EveryType(p.euro);
    const std::string path = Write("types.dbf", data);

    const auto [engine, engine_shapelib] = EngineDumps(path);
    EXPECT_EQ(engine, peers::ExpectedDump(0x03, data));
    EXPECT_EQ(peers::PeerDump("dbfread", p.encoding, path, dir_.path()), engine);
    EXPECT_EQ(peers::PeerDump("dbf", p.encoding, path, dir_.path()), engine);
    EXPECT_EQ(peers::ShapelibDump(path, !p.ansi), engine_shapelib);
}

INSTANTIATE_TEST_SUITE_P(EngineWritten, CodePageTest,
                         ::testing::Values(Pages{"Oem850", platform::CodePages::Cp850_1252, false, "cp858", true},
                                           Pages{"Ansi", platform::CodePages::Cp850_1252, true, "cp1252", true},
                                           Pages{"Oem437", platform::CodePages::Cp437_1252, false, "cp437", false}),
                         [](const ::testing::TestParamInfo<Pages>& info) { return std::string(info.param.label); });

TEST_F(EngineWrittenTest, MemoTableReadsAlike) {
    // python-dbf only knows dBASE III and FoxPro tables, so it is not asked.
    TableData data;
    data.columns = {{"ID", 'N', 4, 0}, {"TITLE", 'C', 12, 0}, {"NOTE", 'M', 10, 0}};
    data.rows = {
        {false,
         {"1",
          "Gr\xFC\xDF"
          "e",
          "Memo \xE4\xF6\xFC \x80\r\nsecond line"}},
        {false, {"2", "no memo", ""}},
        {true, {"3", "gone", "a deleted record keeps its memo"}},
        {false, {"4", "long", std::string(600, 'x') + " end"}},
        {false, {"5", "short", "y"}},
    };
    const std::string path = Write("memo.dbf", data);

    const auto [engine, engine_shapelib] = EngineDumps(path);
    EXPECT_EQ(engine, peers::ExpectedDump(0x8B, data));
    EXPECT_EQ(peers::PeerDump("dbfread", "cp858", path, dir_.path()), engine);
    EXPECT_EQ(peers::ShapelibDump(path, true), engine_shapelib);
}

TEST_F(EngineWrittenTest, ManyRecordsReadAlikeAcrossReadAheadBlocks) {
    TableData data;
    data.columns = {
        {"ID", 'N', 6, 0}, {"NAME", 'C', 20, 0}, {"AMOUNT", 'N', 11, 2}, {"WHEN", 'D', 8, 0}, {"OK", 'L', 1, 0}};
    // Far more than one 64 KiB read-ahead block of records.
    for (int i = 1; i <= 2500; ++i) {
        const int cents = (i * 7919) % 2000000 - 1000000;
        std::string amount = std::to_string(std::abs(cents) / 100) + "." + std::to_string(std::abs(cents) % 100 / 10) +
            std::to_string(std::abs(cents) % 10);
        if (cents < 0) amount = "-" + amount;
        char date[16];
        std::snprintf(date, sizeof date, "%04d%02d%02d", 1990 + i % 40, 1 + i % 12, 1 + i % 28);
        data.rows.push_back({i % 7 == 3,
                             {std::to_string(i),
                              "R\xE9"
                              "cord " +
                                  std::to_string(i) + " \x80",
                              amount, date, i % 2 ? "T" : "F"}});
    }
    const std::string path = Write("many.dbf", data);

    const auto [engine, engine_shapelib] = EngineDumps(path);
    EXPECT_EQ(engine, peers::ExpectedDump(0x03, data));
    EXPECT_EQ(EngineDumps(path, false).first, engine) << "a shared area reads each record from the file";
    EXPECT_EQ(peers::PeerDump("dbfread", "cp858", path, dir_.path()), engine);
    EXPECT_EQ(peers::PeerDump("dbf", "cp858", path, dir_.path()), engine);
    EXPECT_EQ(peers::ShapelibDump(path, true), engine_shapelib);
}

TEST_F(EngineWrittenTest, OpenTableReadsAlikeBeforeItIsClosed) {
    // Appends write the header's count and the end mark at once, deletes
    // their mark: another program sees every change while the table is open.
    const TableData data = EveryType(true);
    const std::string path = CreateTable("open.dbf", Definitions(data));
    zurod::USE(path + " EXCLUSIVE");
    ASSERT_EQ(zurod::LastErrorCode(), 0) << zurod::LastErrorMessage();
    for (const Row& row : data.rows) peers::AppendThroughEngine(row);

    const std::string engine = peers::EngineDump();
    EXPECT_EQ(engine, peers::ExpectedDump(0x03, data));
    EXPECT_EQ(peers::PeerDump("dbfread", "cp858", path, dir_.path()), engine);
    EXPECT_EQ(peers::PeerDump("dbf", "cp858", path, dir_.path()), engine);
    EXPECT_EQ(peers::ShapelibDump(path, true), peers::EngineDump(DumpStyle::Shapelib));
    zurod::CloseArea();
}

}  // namespace
