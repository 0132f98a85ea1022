// What a caller puts in is what the file gets, or the operation refuses and
// changes nothing: dates, wide numbers, copies between layouts, foreign field
// layouts, and the switches of Locate.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/dbf/areas.hpp"
#include "engine/dbf/copy.hpp"
#include "engine/dbf/dates.hpp"
#include "engine/dbf/edit.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/dbf/locate.hpp"
#include "engine/dbf/navigate.hpp"
#include "engine/vfile/vfile.hpp"
#include "tests/fuzz/table_fixtures.hpp"
#include "tests/support/engine_fixture.hpp"
#include "tests/support/fake_units.hpp"
#include "tests/support/files.hpp"

namespace {

using namespace zurod;
using namespace testing_support;
namespace fx = table_fixtures;

class AsMeantTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        VFileInit();
        SetDateFormat(2);  // DD/MM/YY
        SetWindowStart(1960);
    }
    std::string Fixture(const std::string& name, const fx::Table& t) {
        const std::string path = dir_ / name;
        WriteFileBytes(path, fx::Build(t));
        return path;
    }
    std::vector<char> buffer_ = std::vector<char>(64);
};

TEST_F(AsMeantTest, DatesAreStoredAsWrittenOrRefused) {
    struct Case {
        bool century;
        const char* text;
        const char* stored;  // nullptr: refused
    };
    const std::vector<Case> cases = {
        {true, "31/02/2024", nullptr},     {true, "2024-11-05", nullptr},   {true, "ab/cd/efgh", nullptr},
        {true, "29/02/2024", "20240229"},  {true, "05/11/60", "19601105"},  {false, "05/11/1950", "19501105"},
        {false, "05/11/2060", "20601105"}, {false, "05/11/60", "19601105"}, {false, "05/11/59", "20591105"},
        {false, "  /  /  ", "        "},
    };
    const std::string path = CreateTable("D.DBF", {{"WHEN", 'D', 8, 0}});
    USE(path + " EXCLUSIVE");
    int32_t count = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.text) + (c.century ? " century on" : " century off"));
        SetCentury(c.century);
        ClearRecord();
        PutFieldString(1, c.text);
        Append();
        if (!c.stored) {
            EXPECT_EQ(LastErrorCode(), 201);
            EXPECT_EQ(
                LastErrorMessage(),
                "Invalid date \"" + std::string(c.text) + "\" for field WHEN of " + path + " [SwapBufferToRecord]");
            EXPECT_EQ(RecCount(), count) << "nothing written";
            continue;
        }
        ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
        EXPECT_EQ(Stored(1, ++count), c.stored);
    }
}

TEST_F(AsMeantTest, DateFromKeepsAFourDigitYearAndRefusesOthers) {
    SetCentury(false);
    EXPECT_EQ(DateFrom(1950, 11, 5), "05/11/1950");
    EXPECT_EQ(LastErrorCode(), 0);
    for (int year : {999, 100, 10000, -1}) {
        SetLastErrorCode(0);
        DateFrom(year, 1, 1);
        EXPECT_EQ(LastErrorCode(), 220) << year;
    }
}

// Through a virtual file and back, and from text, a date keeps its century
// while the century setting is off.
TEST_F(AsMeantTest, DatesTravelByValue) {
    SetCentury(false);
    const std::string path = CreateTable("H.DBF", {{"WHEN", 'D', 8, 0}, {"TEXT", 'C', 10, 0}});
    USE(path + " EXCLUSIVE");
    for (const char* date : {"11/05/1950", "01/01/2060"}) {
        ClearRecord();
        PutFieldString(1, date);
        PutFieldString(2, date);
        Append();
    }
    ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    Select(2);
    USE("MEM VIRTUAL FILE", buffer_);
    std::vector<FieldDef> fields = {{"WHEN", 'D', 8, 0}};
    AddStru(fields);
    AppendFrom(path);
    ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    ASSERT_EQ(RecCount(), 2);

    const std::string back = CreateTable("B.DBF", {{"WHEN", 'D', 8, 0}});
    CopyTo(dir_ / "C.DBF");
    ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    Select(3);
    USE(back + " EXCLUSIVE");
    AppendFrom("MEM VIRTUAL FILE");
    ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    const std::string from_text = CreateTable("T.DBF", {{"TEXT", 'D', 8, 0}});
    Select(4);
    USE(from_text + " EXCLUSIVE");
    AppendFrom(path);
    ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    Select(5);
    USE(dir_ / "C.DBF");
    for (uint8_t area : {3, 4, 5}) {
        Select(area);
        EXPECT_EQ(Stored(1, 1), "19500511") << Alias();
        EXPECT_EQ(Stored(1, 2), "20600101") << Alias();
    }
}

TEST_F(AsMeantTest, WideWholeNumbersKeepTheirValue) {
    fx::Table t;
    t.fields = {{"ACCNO", 'N', 20}, {"NAME", 'C', 4}};
    t.records = {fx::Row(t.fields, {"40817810099910004312", "a"}), fx::Row(t.fields, {"1", "b"})};
    const std::string path = Fixture("W.DBF", t);
    const std::string bytes = ReadFileBytes(path);
    USE(path + " EXCLUSIVE");
    EXPECT_NEAR(GetFieldNumber(1), 4.0817810099910004e19, 1e5);
    EXPECT_NEAR(Sum("ACCNO"), 4.0817810099910004e19, 1e5);
    EXPECT_EQ(FieldText(1).size(), 20u);
    EXPECT_EQ(FieldText(1).substr(0, 15), "408178100999100");
    // Left alone, the field goes back byte for byte.
    PutFieldString(2, "c");
    Replace();
    CloseArea();
    std::string after = ReadFileBytes(path);
    after[fx::HeaderLength(t) + 21] = 'a';
    after.replace(1, 3, bytes.substr(1, 3));
    EXPECT_EQ(after, bytes);
}

TEST_F(AsMeantTest, AnAppendWhoseValuesDoNotFitAppendsNothing) {
    fx::Table t;
    t.fields = {{"NAME", 'C', 4}, {"QTY", 'N', 6}};
    t.records = {fx::Row(t.fields, {"A", "1"}), fx::Row(t.fields, {"B", "22"}), fx::Row(t.fields, {"C", "99999"}),
                 fx::Row(t.fields, {"D", "4"})};
    const std::string source = Fixture("S.DBF", t);
    const std::string target = CreateTable("T.DBF", {{"QTY", 'N', 3, 0}, {"NAME", 'C', 4, 0}});
    USE(target + " EXCLUSIVE");
    AppendFrom(source);
    EXPECT_EQ(LastErrorCode(), 201);
    EXPECT_TRUE(LastErrorMessage().starts_with("Record 3 of " + source + ": Value")) << LastErrorMessage();
    EXPECT_NE(LastErrorMessage().find("field QTY"), std::string::npos) << LastErrorMessage();
    EXPECT_EQ(RecCount(), 0);
    // The retry after the fault is fixed appends every record once.
    Select(2);
    USE(source + " EXCLUSIVE");
    GO(3);
    PutFieldNumber(2, 3);
    Replace();
    Select(1);
    AppendFrom(source);
    EXPECT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    EXPECT_EQ(RecCount(), 4);
}

// Records longer than their fields (other writers pad them) are mapped field
// by field, never copied whole into a shorter record.
TEST_F(AsMeantTest, AppendFromARecordLongerThanItsFields) {
    fx::Table t;
    t.fields = {{"NAME", 'C', 4}, {"PAD", 'C', 12}};
    t.records = {fx::Row(t.fields, {"ANN", "xxxxxxxxxxxx"})};
    std::string bytes = fx::Build(t);
    // Drop the PAD descriptor: the record keeps its 17 bytes, the fields cover 5.
    bytes.erase(64, 32);
    bytes[8] = static_cast<char>(bytes[8] - 32);
    bytes[32 + 32] = 0x0D;
    const std::string source = dir_ / "L.DBF";
    WriteFileBytes(source, bytes);
    const std::string target = CreateTable("T.DBF", {{"NAME", 'C', 4, 0}});
    USE(target + " EXCLUSIVE");
    AppendFrom(source);
    ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    EXPECT_EQ(Stored(1, 1), "ANN ");
    EXPECT_EQ(ReadFileBytes(target).size(), 65u + 5 + 1);
}

TEST_F(AsMeantTest, LongCharacterFieldsAreRefusedNotMisread) {
    fx::Table t;
    t.fields = {{"LONG", 'C', 44, 1}, {"AFTER", 'C', 3}};  // 44 + 256 characters
    std::string bytes = fx::Build(t);
    bytes[10] = static_cast<char>((1 + 300 + 3) & 0xFF);
    bytes[11] = static_cast<char>((1 + 300 + 3) >> 8);
    const std::string path = dir_ / "LONG.DBF";
    WriteFileBytes(path, bytes);
    USE(path);
    EXPECT_EQ(LastErrorCode(), 211);
    EXPECT_EQ(LastErrorMessage(), "Field: LONG [C] in " + path + " is longer than 255 characters [USE/OpenDBF]");
    EXPECT_EQ(ReadFileBytes(path), bytes);

    // A decimals byte on a character field whose plain lengths add up is no length.
    fx::Table plain;
    plain.fields = {{"NAME", 'C', 5, 2}, {"AFTER", 'C', 3}};
    plain.records = {fx::Row(plain.fields, {"ABCDE", "xyz"})};
    USE(Fixture("PLAIN.DBF", plain));
    ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    EXPECT_EQ(GetFieldString(2), "xyz");
}

TEST_F(AsMeantTest, LocateKeepsItsSwitchesAndReadsKeywordsFirst) {
    const std::string path = CreateTable("P.DBF", {{"NAME", 'C', 10, 0}, {"AMOUNT", 'N', 6, 2}});
    USE(path + " EXCLUSIVE");
    for (const char* n : {"Smith", "jones", "SMITHSON", "Joneses"}) {
        ClearRecord();
        PutFieldString(1, n);
        PutFieldNumber(2, 1);
        Append();
    }
    EXPECT_TRUE(Locate("NAME", std::string("JONES"), true));
    EXPECT_EQ(RecNo(), 2);
    EXPECT_DOUBLE_EQ(Sum("AMOUNT"), 4);
    EXPECT_TRUE(Continue()) << "Sum left the case switch alone";
    EXPECT_EQ(RecNo(), 4);

    EXPECT_TRUE(Locate("NAME CONTAINED", std::string("MITH"), true));
    EXPECT_EQ(RecNo(), 1);
    EXPECT_TRUE(Continue());
    EXPECT_EQ(RecNo(), 3);
}

TEST_F(AsMeantTest, AppendFromTakesAPathAsItIs) {
    const std::string folder = dir_ / "My Virtual Linked files";
    std::filesystem::create_directories(folder);
    std::vector<FieldDef> fields = {{"NAME", 'C', 4, 0}};
    const std::string source = folder + "/S.DBF";
    CreateDbf(source, fields);
    USE(source + " EXCLUSIVE");
    ClearRecord();
    PutFieldString(1, "ANN");
    Append();
    CloseArea();
    USE(CreateTable("T.DBF", {{"NAME", 'C', 4, 0}}) + " EXCLUSIVE");
    AppendSource from;
    from.name = source;
    AppendFromTable(from);
    ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    EXPECT_EQ(RecCount(), 1);
    EXPECT_EQ(Stored(1, 1), "ANN ");
}

// A zap that cannot re-create the memo file is refused before it empties the table.
TEST_F(AsMeantTest, ZapOfAMemoTableWithoutTheMemoUnitChangesNothing) {
    const std::string path = CreateTable("M.DBF", {{"NAME", 'C', 4, 0}, {"NOTE", 'M', 10, 0}});
    USE(path + " EXCLUSIVE");
    ClearRecord();
    Append();
    const std::string before = ReadFileBytes(path);
    EXPECT_FALSE(Zap());
    EXPECT_EQ(LastErrorCode(), 220);
    EXPECT_EQ(RecCount(), 1);
    EXPECT_EQ(ReadFileBytes(path), before);
}

}  // namespace
