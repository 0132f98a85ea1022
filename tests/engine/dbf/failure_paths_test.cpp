// What is left behind when a step fails half-way (a write, a truncation, a
// rename the file system refuses), when caller code tries to close an area
// the engine is walking, and when the engine shuts down with tables open.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "engine/dbf/areas.hpp"
#include "engine/dbf/copy.hpp"
#include "engine/dbf/edit.hpp"
#include "engine/dbf/engine.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/dbf/navigate.hpp"
#include "engine/vfile/vfile.hpp"
#include "platform/file.hpp"
#include "tests/support/engine_fixture.hpp"
#include "tests/support/fake_units.hpp"
#include "tests/support/files.hpp"

namespace {

using namespace zurod;
using namespace testing_support;
using platform::FileFaultScope;
using platform::FileOp;

class FailurePathTest : public EngineTest {
protected:
    // NAME C 6; a name starting with '*' is stored deleted.
    std::string Table(const std::vector<std::string>& names, const std::string& file = "T.DBF") {
        const std::string path = CreateTable(file, {{"NAME", 'C', 6, 0}});
        USE(path + " EXCLUSIVE");
        for (const std::string& n : names) {
            ClearRecord();
            PutFieldString(1, n[0] == '*' ? n.substr(1) : n);
            Append();
            if (n[0] == '*') DeleteRec();
        }
        CloseArea();
        EXPECT_EQ(LastErrorCode(), 0) << LastErrorMessage();
        return path;
    }
};

TEST_F(FailurePathTest, AFailedStepLeavesTheTableAsItWas) {
    struct Case {
        const char* name;
        FileOp op;
        int nth;
        std::function<bool()> run;  // the operation; false when it reported failure
    };
    const std::vector<Case> cases = {
        {"append: the record write", FileOp::Write, 1,
         [] {
             ClearRecord();
             PutFieldString(1, "NEW");
             Append();
             return LastErrorCode() == 0;
         }},
        {"zap: the new file", FileOp::Write, 1, [] { return Zap(); }},
        {"zap: the new header", FileOp::Write, 2, [] { return Zap(); }},
        {"zap: flushing the new file", FileOp::Sync, 1, [] { return Zap(); }},
        {"zap: the rename", FileOp::Rename, 1, [] { return Zap(); }},
        {"pack: the new file", FileOp::Write, 1, [] { return Pack(); }},
        {"pack: flushing the new file", FileOp::Sync, 1, [] { return Pack(); }},
        {"pack: the rename", FileOp::Rename, 1, [] { return Pack(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = Table({"ANN", "*BOB", "CAT"});
        const std::string before = ReadFileBytes(path);
        USE(path + " EXCLUSIVE");
        {
            FileFaultScope fault(c.op, c.nth, 29);
            EXPECT_FALSE(c.run());
        }
        EXPECT_EQ(LastErrorCode(), 29);
        EXPECT_EQ(RecCount(), 3);
        GO(3);
        EXPECT_EQ(GetFieldString(1), "CAT   ");
        CloseArea();
        EXPECT_EQ(LastErrorCode(), 0) << LastErrorMessage();
        // Header date bytes aside, every byte is as it was.
        std::string after = ReadFileBytes(path);
        ASSERT_EQ(after.size(), before.size());
        after.replace(1, 3, before.substr(1, 3));
        EXPECT_EQ(after, before);
        EXPECT_FALSE(std::filesystem::exists(path + ".TZP"));
    }
}

TEST_F(FailurePathTest, AFailedCopyLeavesNoHalfTable) {
    const std::string source = Table({"ANN", "BOB", "CAT"});
    const std::string target = dir_ / "COPY.DBF";
    USE(source + " EXCLUSIVE");
    for (int nth : {1, 2, 3}) {  // the new header, the records, the closing header
        SCOPED_TRACE(nth);
        {
            FileFaultScope fault(FileOp::Write, nth, 29);
            CopyTo(target);
        }
        EXPECT_EQ(LastErrorCode(), 29);
        EXPECT_FALSE(std::filesystem::exists(target));
        EXPECT_EQ(Alias(), "T") << "the source stays the current area";
    }
    CopyTo(target);
    EXPECT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    EXPECT_TRUE(std::filesystem::exists(target));
}

// Caller code that runs inside an engine operation (a condition, a record
// hook, a keymaker) cannot close the area the operation walks.
TEST_F(FailurePathTest, AnAreaInUseIsNotClosedUnderTheEngine) {
    const std::string path = Table({"ANN", "BOB", "CAT"});
    const std::string other = Table({"DAN"}, "O.DBF");
    USE(path);
    Select(2);
    USE(other);
    Select(1);
    std::vector<uint16_t> refused;
    const auto try_to = [&](const std::function<void()>& action) {
        action();
        refused.push_back(LastErrorCode());
    };

    CopyTo(dir_ / "C1", [&] {
        try_to([] { CloseArea(); });
        return true;
    });
    EXPECT_EQ(RecCount(), 3) << "the source is still open";
    CopyTo(dir_ / "C2", [&] {
        try_to([] { CloseAllAreas(); });
        try_to([&] { USE(other); });
        return true;
    });
    GoTop();  // appending with a condition starts at the source's record
    Select(2);
    EXPECT_EQ(AreaFileName(), other) << "CloseAllAreas closed nothing";
    AppendFrom(path, [&] {
        try_to([] { CloseArea(); });
        return false;
    });
    Select(1);
    EXPECT_EQ(refused, std::vector<uint16_t>(refused.size(), 254));
    EXPECT_EQ(refused.size(), 3u * 1 + 3u * 2 + 1);
    EXPECT_EQ(LastErrorCode(), 0);

    // The copies are whole.
    USE(dir_ / "C2");
    EXPECT_EQ(RecCount(), 3);

    // A record hook, during USE and after.
    refused.clear();
    UseWithOptions(path, {}, nullptr, [&](char*, size_t) { try_to([] { CloseArea(); }); });
    ASSERT_EQ(Alias(), "T");
    SKIP(1);
    EXPECT_EQ(refused, (std::vector<uint16_t>{254, 254}));
}

TEST_F(FailurePathTest, AKeymakerCannotCloseItsVirtualFile) {
    VFileInit();
    std::vector<char> buffer(16);
    USE("KEYS VIRTUAL FILE ASCENDING", buffer);
    std::vector<FieldDef> fields = {{"K", 'C', 4, 0}};
    AddStru(fields);
    uint16_t refused = 0;
    Set_VFileKey_To([&](std::string& key) {
        CloseArea();
        refused = LastErrorCode();
        key = GetFieldString(1);
    });
    PutFieldString(1, "B");
    Append();
    EXPECT_EQ(refused, 254);
    EXPECT_EQ(RecCount(), 1);
}

// Shutdown closes the areas while the units are still attached, and writes
// what the tables' headers lack.
TEST_F(FailurePathTest, ShutdownClosesEveryAreaWithItsUnitsStillThere) {
    const std::string path = CreateTable("M.DBF", {{"NAME", 'C', 6, 0}, {"NOTE", 'M', 10, 0}});
    int closed = 0;
    AttachMemo<FunctionMemo>().close = [&closed](TWorkArea&) {
        ++closed;
        return 0;
    };
    Select(7);
    USE(path + " EXCLUSIVE");
    ClearRecord();
    Append();
    Select(3);
    USE(Table({"ANN"}) + " EXCLUSIVE");
    EngineShutdown();
    EXPECT_FALSE(EngineRunning());
    EXPECT_EQ(closed, 1);
    EngineInit();
    USE(path);
    EXPECT_EQ(RecCount(), 1);
}

}  // namespace
