#pragma once
// Tables with indexes for the index tests: the expression and index units
// attached, American dates with the century, a small history layout, walks in
// the active order, and the structural checker run on every index built.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/dbf/areas.hpp"
#include "engine/dbf/dates.hpp"
#include "engine/dbf/edit.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/dbf/navigate.hpp"
#include "engine/expr/expr.hpp"
#include "engine/index/index.hpp"
#include "platform/paths.hpp"
#include "tests/support/engine_fixture.hpp"
#include "tests/support/mdx_checker.hpp"

namespace testing_support {

// One history line: DATE (MM/DD/YYYY or empty), NAME, AMOUNT, and whether it is deleted.
struct Line {
    std::string date;
    std::string name;
    double amount = 0;
    bool deleted = false;
};

class IndexTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        zurod::ExprInit();
        zurod::IndexInit();
        zurod::SetDateFormat(0);
        zurod::SetCentury(true);
    }

    // DATE D, NAME C20, AMOUNT N12.2, opened exclusively in the current area.
    std::string OpenHistory(const std::vector<Line>& lines, const std::string& name = "history.dbf") {
        const std::string path = CreateTable(name, {{"DATE", 'D', 8, 0}, {"NAME", 'C', 20, 0}, {"AMOUNT", 'N', 12, 2}});
        zurod::USE(path + " EXCLUSIVE");
        for (const Line& l : lines) Add(l);
        EXPECT_EQ(zurod::LastErrorCode(), 0) << zurod::LastErrorMessage();
        return path;
    }

    static void Add(const Line& l) {
        zurod::ClearRecord();
        zurod::PutFieldString(1, l.date);
        zurod::PutFieldString(2, l.name);
        zurod::PutFieldNumber(3, l.amount);
        zurod::Append();
        if (l.deleted) zurod::DeleteRec();
    }

    // Builds the tags as the production index and opens it.
    static bool Build(const std::vector<zurod::TagDescriptor>& tags) {
        zurod::SetLastErrorCode(0);
        return zurod::MakeIndexTags(tags, "");
    }

    std::string IndexPath() const { return IndexOfTable(zurod::AreaFileName()); }
    static std::string IndexOfTable(const std::string& table) {
        return platform::ResolveExisting(table.substr(0, table.rfind('.')) + ".MDX");
    }

    // The visible records in the active order, from the top and from the bottom.
    static std::vector<int32_t> Forward(size_t limit = 1'000'000) {
        std::vector<int32_t> order;
        for (zurod::GoTop(); !zurod::dEOF() && order.size() < limit; zurod::SKIP(1)) order.push_back(zurod::RecNo());
        return order;
    }
    static std::vector<int32_t> Backward(size_t limit = 1'000'000) {
        std::vector<int32_t> order;
        for (zurod::GoBottom(); !zurod::dBOF() && !zurod::dEOF() && order.size() < limit; zurod::SKIP(-1))
            order.insert(order.begin(), zurod::RecNo());
        return order;
    }

    static MdxReport ExpectSound(const std::string& path) {
        MdxReport r = MdxChecker::Check(path);
        EXPECT_TRUE(r.ok()) << path << ":\n" << r.Text();
        return r;
    }
};

}  // namespace testing_support
