// Filtered walks in record order test each record before it is translated
// into the engine's page: what a filter compares, what a walk shows and what
// the record buffer holds afterwards are the engine's page all the same.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "engine/dbf/strings.hpp"
#include "platform/codepage.hpp"
#include "tests/engine/expr/expr_fixture.hpp"

namespace {

using namespace zurod;
using testing_support::ExprTest;

// Texts in the ANSI page; the table stores them in the OEM page, where the
// accented letters are other bytes.
const std::vector<std::string> kNames = {"Caf\xE9",
                                         "M\xFCller",
                                         "Stra\xDF"
                                         "e",
                                         "plain",
                                         "\xC9"
                                         "COLE",
                                         "na\xEFve",
                                         "\xE9t\xE9",
                                         "zz"};

class FilterWalkTest : public ExprTest {
protected:
    void SetUp() override {
        ExprTest::SetUp();
        USE(CreateTable("names.dbf", {{"NAME", 'C', 12, 0}, {"N", 'N', 3, 0}}) + " EXCLUSIVE");
        for (size_t i = 0; i < kNames.size(); ++i) {
            ClearRecord();
            PutFieldString(1, kNames[i]);
            PutFieldNumber(2, static_cast<double>(i));
            Append();
        }
        ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    }
    static std::string Name() { return RTrim(FieldText(1)); }
};

TEST_F(FilterWalkTest, FiltersCompareAndWalksShowTheEnginesPage) {
    struct Case {
        const char* filter;
        std::function<bool(const std::string&)> holds;
    };
    const std::vector<Case> cases = {
        {"NAME = \"Caf\xE9\"", [](const std::string& n) { return n == "Caf\xE9"; }},
        {"\"\xFC\" $ NAME", [](const std::string& n) { return n.find('\xFC') != std::string::npos; }},
        {"UPPER(NAME) = \"CAF\xC9\"", [](const std::string& n) { return n == "Caf\xE9"; }},
        {"NAME > \"M\"", [](const std::string& n) { return n > "M"; }},
        {"LEFT(NAME, 1) = \"\xC9\"", [](const std::string& n) { return n[0] == '\xC9'; }},
        {"N > 2 .AND. .NOT. (NAME = \"plain\")",
         [](const std::string& n) {
             const auto i = std::find(kNames.begin(), kNames.end(), n) - kNames.begin();
             return i > 2 && n != "plain";
         }},
        {"NAME = \"nobody\"", [](const std::string&) { return false; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.filter);
        Set_Filter_To(c.filter);
        ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
        std::vector<std::string> expected;
        for (const std::string& n : kNames)
            if (c.holds(n)) expected.push_back(n);
        std::vector<std::string> forward, backward;
        for (GoTop(); !dEOF(); SKIP(1)) forward.push_back(Name());
        EXPECT_EQ(forward, expected);
        // The walk ran off the end: the buffers hold the blank record.
        EXPECT_EQ(Eval("NAME"), "C:" + std::string(12, ' '));
        for (GoBottom(); !dBOF(); SKIP(-1)) backward.push_back(Name());
        std::reverse(backward.begin(), backward.end());
        EXPECT_EQ(backward, expected);
        EXPECT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    }
}

// A filter that fails stops the walk on the record it failed on, which the
// record buffer then holds in the engine's page.
TEST_F(FilterWalkTest, AFailedFilterLeavesTheRecordTranslated) {
    // Shown for N < 2, hidden for 2 and 3, and 1 / 0 on record 5 (N = 4).
    Set_Filter_To("N < 2 .OR. 1 / (N - 4) > 0");
    ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    GoTop();
    SKIP(1);
    EXPECT_EQ(Name(), "M\xFCller");
    SKIP(1);
    EXPECT_EQ(LastErrorCode(), 358);
    const TWorkArea& a = *CurrentTable();
    EXPECT_EQ(std::string(a.record.data() + 1, 12),
              "\xC9"
              "COLE       ")
        << "record 5, where 1 / 0 failed";
}

}  // namespace
