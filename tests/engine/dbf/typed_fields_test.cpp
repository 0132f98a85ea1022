// The typed field routines against fields of another type: a caller that
// expects a number where the file holds a logical must get an error and
// leave the swap buffer as it was, never a write past the field's slot.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "engine/dbf/areas.hpp"
#include "engine/dbf/errors.hpp"
#include "tests/support/engine_fixture.hpp"

namespace {

using namespace zurod;

class TypedFields : public testing_support::EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        // The logical field last: a write meant for a wider slot would run
        // past the end of the buffer.
        const std::string path = CreateTable("typed.dbf",
                                             {{"NAME", 'C', 12, 0},
                                              {"WHEN", 'D', 8, 0},
                                              {"AMOUNT", 'N', 10, 2},
                                              {"QTY", 'N', 6, 0},
                                              {"NOTE", 'M', 10, 0},
                                              {"OK", 'L', 1, 0}});
        USE(path + " EXCLUSIVE");
        ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
        ClearRecord();
    }
};

struct Routine {
    const char* name;
    std::string accepts;  // the field types it serves
    std::function<void(int)> call;
};

TEST_F(TypedFields, ATypeMismatchIsRefusedAndWritesNothing) {
    const std::vector<Routine> routines = {
        {"PutFieldString", "CD", [](int n) { PutFieldString(n, std::string(40, 'x')); }},
        {"PutFieldNumber", "NF", [](int n) { PutFieldNumber(n, 123.5); }},
        {"PutFieldInteger", "NF", [](int n) { PutFieldInteger(n, 987654); }},
        {"PutFieldLogical", "L", [](int n) { PutFieldLogical(n, true); }},
        {"PutFieldMemo", "M", [](int n) { PutFieldMemo(n, 77); }},
        {"GetFieldString", "CD", [](int n) { EXPECT_EQ(GetFieldString(n), ""); }},
        {"GetFieldNumber", "NF", [](int n) { EXPECT_EQ(GetFieldNumber(n), 0.0); }},
        {"GetFieldInteger", "NF", [](int n) { EXPECT_EQ(GetFieldInteger(n), 0); }},
        {"GetFieldLogical", "L", [](int n) { EXPECT_FALSE(GetFieldLogical(n)); }},
        {"GetFieldMemo", "M", [](int n) { EXPECT_EQ(GetFieldMemo(n), 0); }},
    };
    const std::span<char> swap = SwapBuffer();
    for (const Routine& r : routines) {
        for (int n = 1; n <= FieldCount(); ++n) {
            const char type = FieldType(n);
            if (r.accepts.find(type) != std::string::npos) continue;
            SCOPED_TRACE(std::string(r.name) + " on field " + std::to_string(n) + " of type " + type);
            const std::vector<char> before(swap.begin(), swap.end());
            SetLastErrorCode(0);
            r.call(n);
            EXPECT_EQ(LastErrorCode(), 220);
            EXPECT_NE(LastErrorMessage().find(std::string(r.name) + "(" + std::to_string(n) + ")"), std::string::npos)
                << LastErrorMessage();
            EXPECT_EQ(std::vector<char>(swap.begin(), swap.end()), before);
        }
    }
}

}  // namespace
