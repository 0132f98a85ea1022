// Building tags: the shape of the trees at the sizes where nodes fill up,
// key order against a model, unique, descending and FOR tags, the build's
// refusals, its progress calls, the merge of sorted runs and the rule that
// only a complete new file replaces the old one.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numeric>

#include "engine/dbf/detail/state.hpp"
#include "engine/index/detail/unit.hpp"
#include "platform/file.hpp"
#include "tests/engine/index/index_fixture.hpp"
#include "tests/support/files.hpp"

namespace testing_support {
namespace {

using namespace zurod;

// Values of record i (1-based), with plenty of duplicates.
std::string DateOf(int i) {
    using namespace std::chrono;
    const year_month_day d{sys_days{year{2000} / 1 / 1} + days{(i * 37) % 400}};
    char text[16];
    std::snprintf(text, sizeof text, "%02u/%02u/%04d", static_cast<unsigned>(d.month()), static_cast<unsigned>(d.day()),
                  static_cast<int>(d.year()));
    return text;
}
std::string StoredDateOf(int i) {
    const std::string d = DateOf(i);
    return d.substr(6, 4) + d.substr(0, 2) + d.substr(3, 2);
}
double AmountOf(int i) { return ((i * 7919) % 1000 - 500) / 4.0; }
std::string TextOf(int i) {
    char text[16];
    std::snprintf(text, sizeof text, "K%03d", (i * 13) % 500);
    return text;
}

class BuildTest : public IndexTest {
protected:
    // DATE D, AMOUNT N12.2, LONG C100, NAME C30 with the values above.
    void OpenValues(int count) {
        const std::string path = CreateTable(
            "values.dbf", {{"DATE", 'D', 8, 0}, {"AMOUNT", 'N', 12, 2}, {"LONG", 'C', 100, 0}, {"NAME", 'C', 30, 0}});
        USE(path + " EXCLUSIVE");
        for (int i = 1; i <= count; ++i) {
            ClearRecord();
            PutFieldString(1, DateOf(i));
            PutFieldNumber(2, AmountOf(i));
            PutFieldString(3, TextOf(i));
            PutFieldString(4, TextOf(i + 1));
            Append();
        }
        ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    }

    // Records 1..n in the order a tag on `field` must give them.
    static std::vector<uint32_t> ModelOrder(const std::string& field, int n, bool descending) {
        std::vector<uint32_t> order(static_cast<size_t>(n));
        std::iota(order.begin(), order.end(), 1u);
        const auto before = [&](uint32_t a, uint32_t b) {
            const int x = static_cast<int>(a), y = static_cast<int>(b);
            if (field == "DATE") return StoredDateOf(x) < StoredDateOf(y);
            if (field == "AMOUNT") return AmountOf(x) < AmountOf(y);
            if (field == "LONG") return TextOf(x) < TextOf(y);
            return TextOf(x + 1) < TextOf(y + 1);
        };
        std::stable_sort(order.begin(), order.end(),
                         [&](uint32_t a, uint32_t b) { return descending ? before(b, a) : before(a, b); });
        return order;
    }
};

struct Shape {
    const char* field;
    int per_node;  // keys per node of the field's key
    std::vector<int> counts;
};

// Counts around full leaves, a full second level and (for the long key) a
// full third level.
const Shape kShapes[] = {
    {"DATE", 84, {0, 1, 83, 84, 85, 168, 7055, 7056, 7057}},
    {"AMOUNT", 63, {62, 63, 64, 126, 3968, 3969, 3970}},
    {"LONG", 9, {8, 9, 10, 18, 80, 81, 82, 90, 91, 728, 729, 730}},
    {"NAME", 28, {27, 28, 29, 56, 783, 784, 785}},
};

TEST_F(BuildTest, FullNodesAtEverySize) {
    OpenValues(7057);
    for (const Shape& shape : kShapes) {
        for (const bool descending : {false, true}) {
            for (const int n : shape.counts) {
                SCOPED_TRACE(std::string(shape.field) + (descending ? " descending " : " ") + std::to_string(n));
                const std::string condition = "RECNO() <= " + std::to_string(n);
                ASSERT_TRUE(MakeIndex({{"T", shape.field, condition, descending, false}}, "")) << LastErrorMessage();
                const MdxReport r = ExpectSound(IndexPath());
                const MdxTag* t = r.Tag("T");
                ASSERT_TRUE(t);
                EXPECT_EQ(t->max_keys, shape.per_node);
                EXPECT_EQ(r.Records("T"), ModelOrder(shape.field, n, descending));
                // Full leaves but the last; as few levels as the count allows.
                const int leaves = std::max(1, (n + shape.per_node - 1) / shape.per_node);
                ASSERT_EQ(t->leaves, leaves);
                EXPECT_EQ(t->keyless_inner, 0);
                for (int i = 0; i + 1 < leaves; ++i) EXPECT_EQ(t->leaf_counts[static_cast<size_t>(i)], shape.per_node);
                int depth = 1;
                for (int c = leaves; c > 1; c = (c + shape.per_node) / (shape.per_node + 1)) ++depth;
                EXPECT_EQ(t->depth, depth);
            }
        }
    }
}

TEST_F(BuildTest, UniqueKeepsTheLowestRecordOfEachKey) {
    OpenValues(300);
    ASSERT_TRUE(MakeIndex({{"U", "NAME", "", false, true}, {"UD", "AMOUNT", "", true, true}}, ""));
    const MdxReport r = ExpectSound(IndexPath());
    for (const auto& [tag, field, descending] : {std::tuple{"U", "NAME", false}, std::tuple{"UD", "AMOUNT", true}}) {
        std::vector<uint32_t> expected;
        const std::vector<uint32_t> all = ModelOrder(field, 300, descending);
        for (size_t i = 0; i < all.size(); ++i) {
            const int x = static_cast<int>(all[i]);
            const bool same = i > 0 &&
                (std::string(field) == "NAME" ? TextOf(x + 1) == TextOf(static_cast<int>(all[i - 1]) + 1)
                                              : AmountOf(x) == AmountOf(static_cast<int>(all[i - 1])));
            if (!same) expected.push_back(all[i]);
        }
        EXPECT_EQ(r.Records(tag), expected) << tag;
    }
}

TEST_F(BuildTest, ForConditions) {
    OpenValues(200);
    ASSERT_TRUE(MakeIndex({{"POS", "AMOUNT", "AMOUNT > 0", false, false},
                           {"NONE", "NAME", "AMOUNT > 1000", false, false},
                           {"EMPTYTAB", "DATE", "", false, false}},
                          ""));
    const MdxReport r = ExpectSound(IndexPath());
    std::vector<uint32_t> positive;
    for (uint32_t rec : ModelOrder("AMOUNT", 200, false))
        if (AmountOf(static_cast<int>(rec)) > 0) positive.push_back(rec);
    EXPECT_EQ(r.Records("POS"), positive);
    EXPECT_TRUE(r.Tag("POS")->for_satisfied);
    // No record qualifies: an empty root, marked as never satisfied.
    EXPECT_TRUE(r.Records("NONE").empty());
    EXPECT_FALSE(r.Tag("NONE")->for_satisfied);
    EXPECT_EQ(r.Tag("NONE")->leaves, 1);
    SetIndexTo("");
    SetOrderToTag("NONE");
    EXPECT_TRUE(Forward().empty());
    EXPECT_TRUE(dEOF());
}

TEST_F(BuildTest, AnEmptyTableGivesASingleEmptyLeaf) {
    OpenValues(0);
    ASSERT_TRUE(Build({{"D", "DATE", "", false, false}, {"T", "TRIM(NAME)+'X'", "", false, false}}));
    const MdxReport r = ExpectSound(IndexPath());
    EXPECT_EQ(r.Tag("D")->leaves, 1);
    EXPECT_EQ(r.Tag("D")->inner, 0);
    EXPECT_TRUE(r.Tag("D")->entries.empty());
    GoTop();
    EXPECT_TRUE(dEOF());
    EXPECT_TRUE(dBOF());
}

struct Refusal {
    const char* name;
    TagDescriptor tag;
    uint16_t code;
    const char* text;
};

TEST_F(BuildTest, RefusedTagsLeaveTheOthersBuilt) {
    OpenValues(20);
    const std::string long_key = "NAME+" + std::string(215, ' ') + "+NAME";  // 221 characters
    const Refusal refusals[] = {
        {"expression too long", {"X", long_key, "", false, false}, 300, "Expression length exceeds 100 bytes"},
        {"key too long", {"X", "LONG+'X'", "", false, false}, 266, "Incorrect key length: Must be 1 to 100."},
        {"logical key", {"X", "AMOUNT > 0", "", false, false}, 254, "Wrong parser return type"},
        {"bad key", {"X", "NAME +", "", false, false}, 351, "Error in expression"},
        {"FOR not logical", {"X", "NAME", "AMOUNT", false, false}, 362, "Invalid FOR expression for X"},
        {"FOR does not compile", {"X", "NAME", "AMOUNT >", false, false}, 351, "Invalid FOR expression for X"},
    };
    for (const Refusal& c : refusals) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(MakeIndex({{"A", "NAME", "", false, false}, c.tag, {"B", "AMOUNT", "", false, false}}, ""));
        EXPECT_EQ(LastErrorCode(), c.code);
        EXPECT_NE(LastErrorMessage().find(c.text), std::string::npos) << LastErrorMessage();
        const MdxReport r = ExpectSound(IndexPath());
        ASSERT_EQ(r.tags.size(), 2u);
        EXPECT_EQ(r.tags[0].name, "A");
        EXPECT_EQ(r.tags[1].name, "B");
    }
}

TEST_F(BuildTest, AFortyEighthTagIsRefused) {
    OpenValues(5);
    std::vector<TagDescriptor> tags;
    for (int i = 1; i <= 48; ++i)
        tags.push_back({"T" + std::to_string(i), i % 2 ? "NAME" : "AMOUNT", "", false, false});
    EXPECT_FALSE(MakeIndex(tags, ""));
    EXPECT_EQ(LastErrorCode(), 220);
    EXPECT_NE(LastErrorMessage().find("T48"), std::string::npos);
    const MdxReport r = ExpectSound(IndexPath());
    EXPECT_EQ(r.tags.size(), 47u);
    // The same name again replaces its tag and needs no room.
    tags.pop_back();
    tags.push_back({"T1", "DATE", "", false, false});
    EXPECT_TRUE(MakeIndex(tags, "")) << LastErrorMessage();
    EXPECT_EQ(ExpectSound(IndexPath()).tags.size(), 47u);
}

TEST_F(BuildTest, ATagReplacesOnlyItsOwnName) {
    OpenValues(10);
    ASSERT_TRUE(MakeIndexTags({{"NAMEX", "NAME", "", false, false},
                               {"NAME", "LONG", "", false, false},
                               {"AMOUNT", "AMOUNT", "", false, false},
                               {"NAME", "DATE", "", true, false}},
                              ""));
    std::vector<std::string> lines;
    GetIndexTagNames(lines, AreaFileName());
    // The replaced tag's entry goes to the last tag; the new one comes last.
    EXPECT_EQ(lines, (std::vector<std::string>{"NAMEX,F,F,NAME", "", "AMOUNT,F,F,AMOUNT", "", "NAME,T,F,DATE", ""}));
    ExpectSound(IndexPath());
}

TEST_F(BuildTest, ProgressCallsPerTag) {
    struct Case {
        int records, steps, calls;
    };
    for (const Case c : {Case{1000, 10, 10}, Case{5, 10, 10}, Case{19, 10, 18}, Case{100, 0, 0}}) {
        EngineReset();
        SetErrorHandling(false);
        ExprInit();
        IndexInit();
        OpenValues(c.records);
        int calls = 0;
        SetIndexProgressProc([&calls] { ++calls; }, c.steps);
        ASSERT_TRUE(MakeIndex({{"A", "AMOUNT", "", false, false}}, ""));
        EXPECT_EQ(calls, c.calls) << c.records << " records, " << c.steps << " steps";
        CloseArea();
    }
}

// Keys beyond the memory budget go through sorted runs of a work file, merged
// in more passes when the budget cannot buffer every run: whatever the
// budget, the index file comes out byte for byte the same, and no work file
// is left behind.
TEST_F(BuildTest, EveryMemoryBudgetBuildsTheSameFile) {
    OpenValues(6000);
    const std::vector<TagDescriptor> tags = {{"N", "NAME", "", false, false},
                                             {"A", "AMOUNT", "", true, false},
                                             {"U", "DATE", "", false, true},
                                             {"L", "NAME+DTOS(DATE)", "AMOUNT > 0", false, false}};
    ASSERT_TRUE(MakeIndex(tags, ""));
    const std::string in_memory = ReadFileBytes(IndexPath());
    const MdxReport report = ExpectSound(IndexPath());
    const std::string temp = dir_ / "tmp";
    std::filesystem::create_directory(temp);
    struct Case {
        const char* name;
        size_t budget;
    };
    const std::vector<Case> cases = {
        {"a few runs", size_t{512} << 10},
        {"more runs than buffers: merged in passes", 1},
        {"all in memory", size_t{64} << 20},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        setenv("TMPDIR", temp.c_str(), 1);
        IndexEngine().build.memory_budget = c.budget;
        const bool built = MakeIndex(tags, "");
        unsetenv("TMPDIR");
        ASSERT_TRUE(built) << LastErrorMessage();
        EXPECT_TRUE(ReadFileBytes(IndexPath()) == in_memory) << "the file differs";
        const MdxReport again = ExpectSound(IndexPath());
        for (const char* tag : {"N", "A", "U", "L"})
            EXPECT_EQ(again.Tag(tag)->entries, report.Tag(tag)->entries) << tag;
        EXPECT_TRUE(std::filesystem::is_empty(temp)) << "work files left behind";
    }
}

TEST_F(BuildTest, NoRoomOnTheDisk) {
    OpenValues(100);
    std::vector<std::string> asked;
    IndexEngine().build.free_space = [&asked](const std::string& path, uint64_t& bytes) {
        asked.push_back(path);
        bytes = 2048;
        return 0;
    };
    EXPECT_FALSE(MakeIndex({{"A", "AMOUNT", "", false, false}}, ""));
    EXPECT_EQ(LastErrorCode(), 227);
    EXPECT_NE(LastErrorMessage().find("Available disk space: 2 KBytes;needed: "), std::string::npos);
    // The index's own folder is asked, not the current one.
    ASSERT_FALSE(asked.empty());
    EXPECT_EQ(std::filesystem::path(asked[0]).lexically_normal(), std::filesystem::path(dir_.path() + "/"));
}

TEST_F(BuildTest, AFailedBuildLeavesTheOldIndex) {
    OpenValues(500);
    ASSERT_TRUE(MakeIndex({{"A", "AMOUNT", "", false, false}}, ""));
    const std::string before = testing_support::ReadFileBytes(IndexPath());
    for (const int nth : {1, 2, 3}) {
        platform::FileFaultScope fault(platform::FileOp::Write, nth, 101);
        EXPECT_FALSE(MakeIndex({{"A", "NAME", "", false, false}, {"B", "LONG", "", false, false}}, ""));
        EXPECT_EQ(LastErrorCode(), 101);
        EXPECT_EQ(testing_support::ReadFileBytes(IndexPath()), before) << "write " << nth;
    }
    for (const auto& entry : std::filesystem::directory_iterator(dir_.path()))
        EXPECT_NE(entry.path().extension(), ".tzx") << entry.path();
}

TEST_F(BuildTest, NoIndexForAClosedArea) {
    EXPECT_FALSE(MakeIndex({{"A", "NAME", "", false, false}}, ""));
    EXPECT_EQ(LastErrorCode(), 215);
}

}  // namespace
}  // namespace testing_support
