#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>

#include "framework/db/dataset.hpp"
#include "platform/locale.hpp"
#include "tests/framework/db/vector_dataset.hpp"

namespace {

using testing_db::VectorDataSet;

// Puts the process's formats back after each test.
class FormatTest : public ::testing::Test {
protected:
    void SetUp() override {
        dates_ = platform::FormatSettings();
        numbers_ = platform::NumberSettings();
        platform::FormatSettings() = {"dd/MM/yyyy", '/'};
        platform::NumberSettings() = {'.', ','};
    }
    void TearDown() override {
        platform::FormatSettings() = dates_;
        platform::NumberSettings() = numbers_;
    }
    platform::DateFormatSettings dates_;
    platform::NumberFormatSettings numbers_;
};

using FieldsTest = FormatTest;
using ConversionsTest = FormatTest;

TEST_F(FieldsTest, TextAssignmentFollowsEachTypesRules) {
    auto ds = ui::Make<VectorDataSet>(nullptr,
                                      std::vector<testing_db::Column>{{"NAME", db::ftString, 5},
                                                                      {"QTY", db::ftInteger, 0},
                                                                      {"PRICE", db::ftFloat, 0},
                                                                      {"PAID", db::ftBoolean, 0},
                                                                      {"DAY", db::ftDate, 0}});
    ds->rows.push_back({{}, {}, {}, {}, {}});
    ds->Open();
    auto* qty = static_cast<db::TIntegerField*>(ds->FieldByName("QTY"));
    enum Outcome { kText, kConvert, kRange, kDatabase };
    struct Case {
        const char* field;
        const char* text;
        Outcome outcome;
        const char* result;  // the field's text afterwards, or the message
    };
    const Case cases[] = {
        {"NAME", "abcdefg", kText, "abcde"},
        {"QTY", " 7 ", kText, "7"},
        {"QTY", "", kText, ""},
        {"QTY", "1.5", kConvert, "'1.5' is not a valid integer value"},
        {"QTY", "11", kRange, "11 is not a valid value for field 'QTY'. The allowed range is 1 to 10"},
        {"PRICE", "12.50", kText, "12.5"},
        {"PRICE", "1e20", kText, "1E20"},
        {"PRICE", "12,5", kConvert, "'12,5' is not a valid floating point value"},
        {"PAID", "t", kText, "True"},
        {"PAID", "FALSE", kText, "False"},
        {"PAID", "maybe", kDatabase, "'maybe' is not a valid boolean value for field 'PAID'"},
        {"DAY", "31/12/2024", kText, "31/12/2024"},
        {"DAY", "1/2/24", kText, "01/02/2024"},
        {"DAY", "31/02/2024", kConvert, "'31/02/2024' is not a valid date"},
    };
    qty->MinValue = 1;
    qty->MaxValue = 10;
    ds->Edit();
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.field) + " <- '" + c.text + "'");
        db::TField* f = ds->FieldByName(c.field);
        std::string message;
        Outcome outcome = kText;
        try {
            f->SetText(c.text);
            message = f->Text();
        } catch (const ui::EConvertError& e) {
            outcome = kConvert, message = e.what();
        } catch (const db::ERangeError& e) {
            outcome = kRange, message = e.what();
        } catch (const db::EDatabaseError& e) {
            outcome = kDatabase, message = e.what();
        }
        EXPECT_EQ(outcome, c.outcome);
        EXPECT_EQ(message, c.result);
    }
    // Values in, typed values out.
    ds->FieldByName("PRICE")->SetValue(int64_t{3});
    EXPECT_EQ(ds->FieldByName("PRICE")->AsFloat(), 3.0);
    ds->FieldByName("QTY")->SetValue(db::Variant{});
    EXPECT_TRUE(ds->FieldByName("QTY")->IsNull());
    EXPECT_TRUE(db::VarIsNull(ds->FieldByName("QTY")->Value()));
    EXPECT_THROW(ds->FieldByName("PAID")->AsDateTime(), db::EDatabaseError);
}

TEST_F(FieldsTest, ValidationSeesTheNewValueAndCanRefuseIt) {
    auto ds = ui::Make<VectorDataSet>(nullptr, std::vector<testing_db::Column>{{"QTY", db::ftInteger, 0}});
    ds->rows.push_back({int64_t{4}});
    ds->Open();
    db::TField* qty = ds->FieldByName("QTY");
    std::vector<int> seen;
    qty->OnValidate = [&](db::TField* f) {
        seen.push_back(f->AsInteger());
        if (f->AsInteger() < 0) throw db::EDatabaseError("no negatives");
    };
    int changes = 0;
    qty->OnChange = [&](db::TField*) { ++changes; };
    ds->Edit();
    qty->SetAsInteger(9);
    EXPECT_THROW(qty->SetAsInteger(-1), db::EDatabaseError);
    EXPECT_EQ(qty->AsInteger(), 9);
    EXPECT_EQ(seen, (std::vector<int>{9, -1}));
    EXPECT_EQ(changes, 1);
    // Outside edit state nothing is stored.
    ds->Cancel();
    EXPECT_THROW(qty->SetAsInteger(3), db::EDatabaseError);
}

TEST_F(FieldsTest, DisplayWidthsAndTexts) {
    auto ds = ui::Make<VectorDataSet>(nullptr,
                                      std::vector<testing_db::Column>{{"NAME", db::ftString, 12},
                                                                      {"QTY", db::ftInteger, 0},
                                                                      {"PRICE", db::ftFloat, 0},
                                                                      {"PAID", db::ftBoolean, 0},
                                                                      {"DAY", db::ftDate, 0}});
    ds->rows.push_back({std::string("x"), int64_t{1}, 2.0, true, db::DateValue{db::EncodeDate(2024, 3, 9)}});
    ds->Open();
    auto* paid = static_cast<db::TBooleanField*>(ds->FieldByName("PAID"));
    paid->SetDisplayValues("Yes;No");
    const std::pair<const char*, int> widths[] = {{"NAME", 12}, {"QTY", 11}, {"PRICE", 10}, {"PAID", 3}, {"DAY", 10}};
    for (auto [name, width] : widths) EXPECT_EQ(ds->FieldByName(name)->DisplayWidth(), width) << name;
    EXPECT_EQ(paid->DisplayText(), "Yes");
    ds->FieldByName("DAY")->OnGetText = [](db::TField* f, std::string& text, bool display) {
        text = display ? "day " + f->AsString() : f->AsString();
    };
    EXPECT_EQ(ds->FieldByName("DAY")->DisplayText(), "day 09/03/2024");
    EXPECT_EQ(ds->FieldByName("DAY")->Text(), "09/03/2024");
    ds->FieldByName("NAME")->DisplayLabel = "Customer";
    EXPECT_EQ(ds->FieldByName("NAME")->DisplayName(), "Customer");
    EXPECT_THROW(ds->FieldByName("NOPE"), db::EDatabaseError);
}

TEST_F(ConversionsTest, DatesInEachShortFormat) {
    struct Case {
        platform::DateFormatSettings format;
        const char* text;
        int y, m, d;
        const char* shown;
    };
    const Case cases[] = {
        {{"M/d/yyyy", '/'}, "2/3/2024", 2024, 2, 3, "2/3/2024"},
        {{"dd.MM.yyyy", '.'}, "03.02.24", 2024, 2, 3, "03.02.2024"},
        {{"yyyy-MM-dd", '-'}, "2024-02-03", 2024, 2, 3, "2024-02-03"},
        {{"dd/MM/yy", '/'}, " 3/2/2024 ", 2024, 2, 3, "03/02/24"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        platform::FormatSettings() = c.format;
        const db::TDateTime date = db::StrToDate(c.text);
        int y = 0, m = 0, d = 0;
        db::DecodeDate(date, y, m, d);
        EXPECT_EQ(y * 10000 + m * 100 + d, c.y * 10000 + c.m * 100 + c.d);
        EXPECT_EQ(db::DateToStr(date), c.shown);
    }
    for (const char* bad : {"", "2/30/2024", "1/2/3/4", "a/b/c", "1-2-2024"}) {
        platform::FormatSettings() = {"M/d/yyyy", '/'};
        db::TDateTime date = 0;
        EXPECT_FALSE(db::TryStrToDate(bad, date)) << bad;
    }
    EXPECT_EQ(db::EncodeDate(1899, 12, 30), 0.0);
    EXPECT_EQ(db::EncodeDate(1, 1, 1) + db::kDateDelta, 1.0);
}

TEST_F(ConversionsTest, NumbersWithEitherDecimalSeparator) {
    const std::pair<double, const char*> texts[] = {{12.5, "12.5"}, {0.1 + 0.2, "0.3"},
                                                    {1e20, "1E20"}, {1.5e-7, "1.5E-7"},
                                                    {-42, "-42"},   {123456789.125, "123456789.125"}};
    for (auto [value, text] : texts) EXPECT_EQ(db::FloatToStr(value), text);
    platform::NumberSettings() = {',', '.'};
    EXPECT_EQ(db::FloatToStr(12.5), "12,5");
    EXPECT_EQ(db::StrToFloat(" 12,5 "), 12.5);
    double v = 0;
    EXPECT_FALSE(db::TryStrToFloat("12.5", v));
    EXPECT_FALSE(db::TryStrToFloat("inf", v));
    int32_t i = 0;
    EXPECT_TRUE(db::TryStrToInt("+17", i));
    EXPECT_EQ(i, 17);
    EXPECT_FALSE(db::TryStrToInt("2147483648", i));
}

}  // namespace
