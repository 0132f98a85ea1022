// A process killed in the middle of appends and replaces on an indexed
// table: what it leaves opens and walks without harm, and after a rebuild
// every record is in every tag exactly once.
#include <chrono>
#include <random>
#include <set>
#include <thread>

#include "tests/engine/index/index_fixture.hpp"
#include "tests/support/child_process.hpp"

namespace testing_support {
namespace {

using namespace zurod;

const std::vector<TagDescriptor> kTags = {
    {"NAME", "NAME", "", false, false},
    {"AMOUNT", "AMOUNT", "", true, false},
    {"DATE", "DATE", "", false, false},
    {"LONG", "NAME+SPACE(80)", "", false, false},
    {"POSITIVE", "AMOUNT", "AMOUNT > 0", false, false},
};

// Appends and replaces until it is killed.
void Work(const std::string& path, unsigned seed, const ChildProcess::Channel& ch) {
    USE(path + " EXCLUSIVE");
    SetIndexTo("");
    ch.Send(std::to_string(LastErrorCode()));
    std::mt19937 random(seed);
    for (;;) {
        const int32_t count = RecCount();
        const bool append = count == 0 || random() % 3 != 0;
        if (append) {
            ClearRecord();
        } else {
            GO(1 + static_cast<int32_t>(random() % static_cast<unsigned>(count)));
        }
        PutFieldString(1, "N" + std::to_string(random() % 300));
        PutFieldNumber(2, static_cast<double>(random() % 200) - 100);
        PutFieldString(3, "0" + std::to_string(1 + random() % 9) + "/1" + std::to_string(random() % 9) + "/2001");
        append ? Append() : Replace();
    }
}

class CrashTest : public IndexTest {};

TEST_F(CrashTest, EveryRecordInEveryTagAfterAKill) {
    const std::string path = CreateTable("t.dbf", {{"NAME", 'C', 20, 0}, {"AMOUNT", 'N', 12, 2}, {"DATE", 'D', 8, 0}});
    USE(path + " EXCLUSIVE");
    ASSERT_TRUE(MakeIndex(kTags, ""));
    CloseArea();
    std::mt19937 random(11);
    for (unsigned round = 0; round < 12; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        {
            ChildProcess child([&](const ChildProcess::Channel& ch) { Work(path, round, ch); });
            ASSERT_EQ(child.Receive(), "0");
            std::this_thread::sleep_for(std::chrono::milliseconds(5 + random() % 40));
            child.Kill();
        }
        USE(path + " EXCLUSIVE");
        ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
        // Whatever the kill left is read without harm (an error at most).
        try {
            if (SetIndexTo(""))
                for (const TagDescriptor& t : kTags) {
                    SetOrderToTag(t.name);
                    Forward(100'000);
                    Backward(100'000);
                }
        } catch (const EZurodError&) {}
        ASSERT_TRUE(MakeIndexTags(kTags, "")) << LastErrorMessage();
        const MdxReport r = ExpectSound(IndexPath());
        const int32_t count = RecCount();
        std::set<uint32_t> positive;
        for (int32_t n = 1; n <= count; ++n) {
            GO(n);
            if (GetFieldNumber(2) > 0) positive.insert(static_cast<uint32_t>(n));
        }
        for (const TagDescriptor& t : kTags) {
            std::vector<uint32_t> records = r.Records(t.name);
            std::sort(records.begin(), records.end());
            std::vector<uint32_t> expected;
            for (uint32_t n = 1; n <= static_cast<uint32_t>(count); ++n)
                if (t.condition.empty() || positive.count(n)) expected.push_back(n);
            EXPECT_EQ(records, expected) << t.name;
        }
        CloseArea();
    }
}

}  // namespace
}  // namespace testing_support
