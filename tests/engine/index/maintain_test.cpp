// Tags kept current through appends, replaces, deletes, recalls and packs:
// a long random run against a model of every tag, node splits and emptied
// nodes at their edges, the four ways a replace meets a FOR condition, and
// an append whose keys cannot all be added.
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <numeric>
#include <random>

#include "engine/dbf/detail/area_table.hpp"
#include "engine/expr/julian.hpp"
#include "engine/expr/keys.hpp"
#include "platform/file.hpp"
#include "tests/engine/index/index_fixture.hpp"
#include "tests/support/files.hpp"

namespace testing_support {
namespace {

using namespace zurod;
using Records = std::vector<int32_t>;

// One record of the model: DATE (YYYYMMDD or blank), NAME, AMOUNT, deleted.
struct Values {
    std::string date;
    std::string name;
    double amount = 0;
    bool deleted = false;
};

std::string American(const std::string& yyyymmdd) {
    return yyyymmdd.empty() ? "" : yyyymmdd.substr(4, 2) + "/" + yyyymmdd.substr(6, 2) + "/" + yyyymmdd.substr(0, 4);
}
double JulianOf(const std::string& yyyymmdd) { return yyyymmdd.empty() ? kBlankDate : JulianFromDTOS(yyyymmdd); }

// The tags of the run and how the model orders and selects their records.
struct ModelTag {
    TagDescriptor tag;
    // Negative, 0 or positive as a's key comes before, with or after b's.
    int (*compare)(const Values& a, const Values& b);
    bool (*in)(const Values& v);
};

int ByName(const Values& a, const Values& b) { return a.name.compare(b.name); }
int ByAmount(const Values& a, const Values& b) { return a.amount < b.amount ? -1 : a.amount > b.amount ? 1 : 0; }
int ByDate(const Values& a, const Values& b) {
    const double x = JulianOf(a.date), y = JulianOf(b.date);
    return x < y ? -1 : x > y ? 1 : 0;
}
int ByLongDesc(const Values& a, const Values& b) { return -ByName(a, b); }
bool Always(const Values&) { return true; }
bool Positive(const Values& v) { return v.amount > 0; }

const ModelTag kTags[] = {
    {{"NAME", "NAME", "", false, false}, ByName, Always},
    {{"AMOUNT", "AMOUNT", "", false, false}, ByAmount, Always},
    {{"DATE", "DATE", "", false, false}, ByDate, Always},
    // 100-byte keys: nine a node, so a few hundred records make three levels.
    {{"LONGDESC", "NAME+SPACE(70)", "", true, false}, ByLongDesc, Always},
    {{"UNAME", "NAME", "", false, true}, ByName, Always},
    {{"POSITIVE", "AMOUNT", "AMOUNT > 0", false, false}, ByAmount, Positive},
};

class MaintainTest : public IndexTest {
protected:
    void OpenIndexed(const std::vector<TagDescriptor>& tags) {
        const std::string path =
            CreateTable("history.dbf", {{"DATE", 'D', 8, 0}, {"NAME", 'C', 30, 0}, {"AMOUNT", 'N', 12, 2}});
        USE(path + " EXCLUSIVE");
        ASSERT_TRUE(Build(tags)) << LastErrorMessage();
    }
    static void Put(const Values& v) {
        PutFieldString(1, American(v.date));
        PutFieldString(2, v.name);
        PutFieldNumber(3, v.amount);
    }
    static void AppendValues(const Values& v) {
        ClearRecord();
        Put(v);
        Append();
    }
};

// The model of a run: the records, and what each unique tag holds (which
// depends on the order of the changes).
class Model {
public:
    std::vector<Values> rows;
    std::map<std::string, std::map<std::string, int32_t>> unique;  // tag -> key -> record

    static std::string KeyOf(const ModelTag& t, const Values& v) {
        return t.tag.key == "AMOUNT" ? std::to_string(v.amount) : v.name;
    }

    void Append(const Values& v) {
        rows.push_back(v);
        for (const ModelTag& t : kTags)
            if (t.tag.unique && t.in(v)) unique[t.tag.name].emplace(KeyOf(t, v), static_cast<int32_t>(rows.size()));
    }
    void Replace(int32_t n, const Values& v) {
        const Values old = rows[static_cast<size_t>(n - 1)];
        rows[static_cast<size_t>(n - 1)] = v;
        for (const ModelTag& t : kTags) {
            if (!t.tag.unique) continue;
            auto& held = unique[t.tag.name];
            const bool was = t.in(old), is = t.in(v);
            if (was && is && KeyOf(t, old) == KeyOf(t, v)) continue;
            if (was) {
                auto it = held.find(KeyOf(t, old));
                if (it != held.end() && it->second == n) held.erase(it);
            }
            if (is) held.emplace(KeyOf(t, v), n);
        }
    }
    void Pack() {
        std::erase_if(rows, [](const Values& v) { return v.deleted; });
        unique.clear();
        for (size_t i = 0; i < rows.size(); ++i)
            for (const ModelTag& t : kTags)
                if (t.tag.unique && t.in(rows[i]))
                    unique[t.tag.name].emplace(KeyOf(t, rows[i]), static_cast<int32_t>(i + 1));
    }

    // The records a tag must hold, in its order.
    std::vector<uint32_t> Expected(const ModelTag& t) const {
        std::vector<uint32_t> order;
        if (t.tag.unique) {
            std::vector<std::pair<std::string, int32_t>> held(unique.count(t.tag.name) ? unique.at(t.tag.name).size()
                                                                                       : 0);
            if (unique.count(t.tag.name)) held.assign(unique.at(t.tag.name).begin(), unique.at(t.tag.name).end());
            for (const auto& [key, n] : held) order.push_back(static_cast<uint32_t>(n));
        } else {
            for (size_t i = 0; i < rows.size(); ++i)
                if (t.in(rows[i])) order.push_back(static_cast<uint32_t>(i + 1));
        }
        std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
            const int c = t.compare(rows[a - 1], rows[b - 1]);
            return c != 0 ? c < 0 : a < b;
        });
        return order;
    }
};

TEST_F(MaintainTest, LongRandomRunAgainstAModel) {
    std::vector<TagDescriptor> tags;
    for (const ModelTag& t : kTags) tags.push_back(t.tag);
    OpenIndexed(tags);
    std::mt19937 random(20240601);
    const auto pick = [&random](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    const auto values = [&] {
        Values v;
        if (pick(20) > 0) {
            char date[40];
            std::snprintf(date, sizeof date, "%04d%02d%02d", 1990 + pick(40), 1 + pick(12), 1 + pick(28));
            v.date = date;
        }
        v.name = "N" + std::to_string(pick(400));
        v.amount = (pick(4001) - 2000) / 4.0;
        return v;
    };
    Model model;
    const auto check = [&](int op) {
        const MdxReport r = ExpectSound(IndexPath());
        for (const ModelTag& t : kTags) {
            ASSERT_EQ(r.Records(t.tag.name), model.Expected(t)) << t.tag.name << " after operation " << op;
        }
    };
    constexpr int kOperations = 10'000;
    for (int op = 1; op <= kOperations; ++op) {
        const int what = pick(100);
        const int32_t count = static_cast<int32_t>(model.rows.size());
        if (what < 45 || count == 0) {
            const Values v = values();
            AppendValues(v);
            model.Append(v);
            EXPECT_EQ(RecNo(), count + 1);
        } else if (what < 88) {
            // Some fields change, some stay: keys move in some tags only.
            const int32_t n = 1 + pick(count);
            GO(n);
            if (RecNo() != n) continue;  // not in the active FOR order: past its end
            Values v = model.rows[static_cast<size_t>(n - 1)];
            const Values fresh = values();
            if (pick(2)) v.name = fresh.name;
            if (pick(2)) v.amount = fresh.amount;
            if (pick(3) == 0) v.date = fresh.date;
            Put(v);
            Replace();
            model.Replace(n, v);
            // The cursor stays on the record, unless it left the active order.
            if (!dEOF()) {
                EXPECT_EQ(RecNo(), n);
            }
        } else if (what < 98) {
            const int32_t n = 1 + pick(count);
            GO(n);
            if (RecNo() != n) continue;
            const bool deleted = pick(2) == 0;
            deleted ? DeleteRec() : RecallRec();
            model.rows[static_cast<size_t>(n - 1)].deleted = deleted;
        } else if (what < 99) {
            SetOrderToTag(kTags[pick(static_cast<int>(std::size(kTags)))].tag.name);
        } else if (pick(4) == 0) {
            ASSERT_TRUE(Pack());
            model.Pack();
        }
        ASSERT_EQ(LastErrorCode(), 0) << "operation " << op << ": " << LastErrorMessage();
        if (op % 100 == 0) check(op);
        if (HasFatalFailure()) return;
    }
    // Navigation agrees too: every order walked both ways, deleted records hidden.
    SetIgnoreDel(true);
    for (const ModelTag& t : kTags) {
        SetOrderToTag(t.tag.name);
        Records visible;
        for (uint32_t n : model.Expected(t))
            if (!model.rows[n - 1].deleted) visible.push_back(static_cast<int32_t>(n));
        EXPECT_EQ(Forward(), visible) << t.tag.name;
        EXPECT_EQ(Backward(), visible) << t.tag.name;
    }
    const MdxReport r = ExpectSound(IndexPath());
    EXPECT_GE(r.Tag("LONGDESC")->depth, 3) << "the run should have grown a third level";
}

TEST_F(MaintainTest, AFullLeafSplitsAndTheRootMovesUp) {
    OpenIndexed({{"DATE", "DATE", "", false, false}});
    for (int i = 0; i < 84; ++i)
        AppendValues({"2000" + std::string(i < 40 ? "01" : "02") + "1" + std::to_string(i % 10), "x", 1});
    MdxReport r = ExpectSound(IndexPath());
    ASSERT_EQ(r.Tag("DATE")->leaf_counts, (std::vector<int>{84}));
    const uint32_t root = r.Tag("DATE")->root;
    AppendValues({"20000115", "x", 1});
    r = ExpectSound(IndexPath());
    EXPECT_EQ(r.Tag("DATE")->leaf_counts, (std::vector<int>{43, 42}));
    EXPECT_EQ(r.Tag("DATE")->depth, 2);
    EXPECT_NE(r.Tag("DATE")->root, root);
    // The new key went after its equals, in record order.
    const Records order = Forward();
    const auto at = std::find(order.begin(), order.end(), 85);
    ASSERT_NE(at, order.end());
    EXPECT_EQ(*(at - 1), 36);  // the last of records 6, 16, 26 and 36 on that day
}

TEST_F(MaintainTest, DeletingTheOnlyKeyEmptiesTheTag) {
    OpenIndexed({{"POSITIVE", "AMOUNT", "AMOUNT > 0", false, false}, {"NAME", "NAME", "", false, false}});
    AppendValues({"", "a", -1});
    AppendValues({"", "b", 5});
    MdxReport r = ExpectSound(IndexPath());
    EXPECT_TRUE(r.Tag("POSITIVE")->for_satisfied);
    GO(2);
    PutFieldNumber(3, -5);
    Replace();
    r = ExpectSound(IndexPath());
    EXPECT_TRUE(r.Tag("POSITIVE")->entries.empty());
    EXPECT_FALSE(r.Tag("POSITIVE")->for_satisfied);
    EXPECT_EQ(r.Tag("NAME")->entries.size(), 2u);
    // A leaf emptied below the root leaves the tree; keys of lower records
    // are never shown where a trailing pointer belongs.
    for (int i = 0; i < 200; ++i) AppendValues({"", "n" + std::to_string(1000 + i), 1});
    for (int32_t n = 3; n <= 202; n += 1) {
        GO(n);
        PutFieldNumber(3, -1);
        Replace();
        if (n % 40 == 0) ExpectSound(IndexPath());
    }
    r = ExpectSound(IndexPath());
    EXPECT_TRUE(r.Tag("POSITIVE")->entries.empty());
    EXPECT_EQ(LastErrorCode(), 0) << LastErrorMessage();
}

TEST_F(MaintainTest, AReplaceMeetsTheForConditionFourWays) {
    OpenIndexed({{"POSITIVE", "AMOUNT", "AMOUNT > 0", false, false}, {"NAME", "NAME", "", false, false}});
    for (double amount : {1.0, 2.0, -3.0, -4.0, 5.0}) AppendValues({"", "x", amount});
    struct Case {
        const char* name;
        int32_t record;
        double amount;
        Records positive;  // what the tag then holds
    };
    const Case cases[] = {
        {"in to in, key moves", 1, 9, {2, 5, 1}}, {"in to out", 2, -2, {5, 1}},
        {"out to in", 3, 3, {3, 5, 1}},           {"out to out", 4, -7, {3, 5, 1}},
        {"in to in, same key", 5, 5, {3, 5, 1}},
    };
    SetOrderToTag("NAME");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GO(c.record);
        PutFieldNumber(3, c.amount);
        Replace();
        EXPECT_EQ(LastErrorCode(), 0) << LastErrorMessage();
        EXPECT_EQ(RecNo(), c.record);
        const MdxReport r = ExpectSound(IndexPath());
        EXPECT_EQ(r.Records("POSITIVE"), std::vector<uint32_t>(c.positive.begin(), c.positive.end()));
    }
}

TEST_F(MaintainTest, AReplaceThatChangesNoKeyWritesNoIndex) {
    const std::string path = CreateTable("t.dbf", {{"NAME", 'C', 10, 0}, {"NOTE", 'C', 10, 0}});
    USE(path + " EXCLUSIVE");
    ASSERT_TRUE(Build({{"NAME", "NAME", "", false, false}, {"UNAME", "NAME", "", false, true}}));
    for (const char* name : {"b", "a", "b"}) {
        ClearRecord();
        PutFieldString(1, name);
        Append();
    }
    const std::string before = testing_support::ReadFileBytes(IndexPath());
    for (int32_t n = 1; n <= 3; ++n) {
        GO(n);
        PutFieldString(2, "changed");
        Replace();
        EXPECT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    }
    EXPECT_EQ(testing_support::ReadFileBytes(IndexPath()), before);
    // Two non-unique tags and a unique one: each finds the record by its
    // old key, whichever order is active.
    for (const char* order : {"NAME", "UNAME", ""}) {
        SetOrderToTag(order);
        GO(3);
        PutFieldString(1, "c");
        Replace();
        EXPECT_EQ(LastErrorCode(), 0) << order << ": " << LastErrorMessage();
        GO(3);
        PutFieldString(1, "b");
        Replace();
        EXPECT_EQ(LastErrorCode(), 0) << order << ": " << LastErrorMessage();
    }
    const MdxReport r = ExpectSound(IndexPath());
    EXPECT_EQ(r.Records("NAME"), (std::vector<uint32_t>{2, 1, 3}));
    // Record 1 held "b" in the unique tag all along.
    EXPECT_EQ(r.Records("UNAME"), (std::vector<uint32_t>{2, 1}));
}

TEST_F(MaintainTest, AUniqueTagTakesAKeyOnce) {
    OpenIndexed({{"UNAME", "NAME", "", false, true}});
    AppendValues({"", "same", 1});
    AppendValues({"", "same", 2});
    EXPECT_EQ(LastErrorCode(), 0);
    EXPECT_EQ(RecNo(), 2);
    GO(2);  // its key is there, under record 1
    EXPECT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    EXPECT_EQ(ExpectSound(IndexPath()).Records("UNAME"), (std::vector<uint32_t>{1}));
}

TEST_F(MaintainTest, AnAppendWhoseKeysCannotAllBeAdded) {
    OpenIndexed({{"NAME", "NAME", "", false, false}, {"AMOUNT", "AMOUNT", "", false, false}});
    for (int i = 0; i < 3; ++i) AppendValues({"", "n" + std::to_string(i), static_cast<double>(i)});
    struct Case {
        const char* name;
        int failing;  // writes in a row that fail, from the first tag's leaf on
        std::vector<uint32_t> names, amounts;
    };
    const Case cases[] = {
        // The disk works again at once: the change is repaired before the
        // append returns, and the record is in every tag.
        {"one write fails", 1, {4, 1, 2, 3}, {1, 2, 3, 4}},
        // The disk keeps failing: no tag holds the new record (5) yet.
        {"the disk keeps failing", 40, {4, 1, 2, 3}, {1, 2, 3, 4}},
    };
    int32_t count = 3;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        {
            // The change's mark and the table's record go out; the first tag's leaf fails.
            for (int i = 0; i < c.failing; ++i) platform::InjectFileFault(platform::FileOp::Write, 3, 101);
            AppendValues({"", "late", 9});
            platform::ClearFileFaults();
        }
        EXPECT_EQ(LastErrorCode(), 101);
        EXPECT_EQ(RecCount(), ++count);
        const MdxReport r = ExpectSound(IndexPath());
        EXPECT_EQ(r.Records("NAME"), c.names);
        EXPECT_EQ(r.Records("AMOUNT"), c.amounts);
    }
    // The next change puts the record whose keys are missing in every tag.
    AppendValues({"", "later", 10});
    EXPECT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    const MdxReport r = ExpectSound(IndexPath());
    EXPECT_EQ(r.Records("NAME"), (std::vector<uint32_t>{4, 5, 6, 1, 2, 3}));
    EXPECT_EQ(r.Records("AMOUNT"), (std::vector<uint32_t>{1, 2, 3, 4, 5, 6}));
}

}  // namespace
}  // namespace testing_support
