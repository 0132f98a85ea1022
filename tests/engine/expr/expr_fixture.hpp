#pragma once
// A table for expression tests: one record a typical history line, one
// mostly blank and deleted, and the values of expressions rendered as text
// with their type ("C:text", "N:1.5", "L:T", "D:YYYYMMDD") or the error
// they give ("E:351").
#include <charconv>
#include <string>
#include <vector>

#include "engine/dbf/areas.hpp"
#include "engine/dbf/dates.hpp"
#include "engine/dbf/edit.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/dbf/navigate.hpp"
#include "engine/dbf/settings.hpp"
#include "engine/expr/expr.hpp"
#include "engine/expr/julian.hpp"
#include "tests/support/engine_fixture.hpp"

namespace testing_support {

class ExprTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        zurod::ExprInit();
        zurod::SetDateFormat(0);
        zurod::SetCentury(true);
        zurod::SetWindowStart(1950);
    }

    // NAME C10, AB C4, AMOUNT N12.2, QTY N5, BORN D, FLAG L, DATE D, NOTES M.
    void OpenPeople() {
        using zurod::FieldDef;
        const std::string path = CreateTable("people.dbf",
                                             {{"NAME", 'C', 10, 0},
                                              {"AB", 'C', 4, 0},
                                              {"AMOUNT", 'N', 12, 2},
                                              {"QTY", 'N', 5, 0},
                                              {"BORN", 'D', 8, 0},
                                              {"FLAG", 'L', 1, 0},
                                              {"DATE", 'D', 8, 0},
                                              {"NOTES", 'M', 10, 0}});
        zurod::USE(path + " EXCLUSIVE");
        Add("SMITH", "AB", 1234.5, 7, "05/17/1970", true, "02/29/2024");
        Add("jones", "", -12.25, 0, "", false, "01/01/2000");
        zurod::DeleteRec();
        zurod::GO(1);
        ASSERT_EQ(zurod::LastErrorCode(), 0) << zurod::LastErrorMessage();
    }

    void Add(const std::string& name, const std::string& ab, double amount, double qty, const std::string& born,
             bool flag, const std::string& date) {
        zurod::ClearRecord();
        zurod::PutFieldString(1, name);
        zurod::PutFieldString(2, ab);
        zurod::PutFieldNumber(3, amount);
        zurod::PutFieldNumber(4, qty);
        zurod::PutFieldString(5, born);
        zurod::PutFieldLogical(6, flag);
        zurod::PutFieldString(7, date);
        zurod::Append();
    }

    static std::string Show(const zurod::ExprValue& v) {
        switch (v.type) {
        case 'C':
        case 'M': return std::string(1, v.type) + ":" + std::string(v.text);
        case 'L': return v.logical ? "L:T" : "L:F";
        case 'D': return "D:" + zurod::DTOSFromJulian(v.number);
        default: {
            char text[32];
            const auto [end, ec] = std::to_chars(text, text + sizeof text, v.number);
            return "N:" + std::string(text, end);
        }
        }
    }

    // The value of `text` on the current record, or the error it gives.
    static std::string Eval(const std::string& text) {
        zurod::SetLastErrorCode(0);
        zurod::ExprProgramPtr program = zurod::AssignExpr(text);
        if (!program) return "E:" + std::to_string(zurod::LastErrorCode());
        const zurod::ExprValue* value = zurod::EvaluateProgram(program.get());
        if (zurod::LastErrorCode() != 0) return "E:" + std::to_string(zurod::LastErrorCode());
        return Show(*value);
    }
};

}  // namespace testing_support
