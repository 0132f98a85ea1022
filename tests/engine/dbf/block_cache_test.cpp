// The cache of table blocks: what a read returns is what the file holds,
// whatever this process wrote, whatever another process wrote while it
// could, and however little room the cache has.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "engine/dbf/areas.hpp"
#include "engine/dbf/detail/block_cache.hpp"
#include "engine/dbf/edit.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/dbf/locks.hpp"
#include "engine/dbf/navigate.hpp"
#include "engine/dbf/settings.hpp"
#include "tests/support/engine_fixture.hpp"
#include "tests/support/engine_peer.hpp"
#include "tests/support/table_image.hpp"

namespace {

using namespace zurod;
using testing_support::EnginePeer;
using testing_support::TableImage;

// Records of 201 bytes: 2,000 of them fill several blocks, and records
// straddle block ends.
constexpr int kRecords = 2000;

std::string IdOf(int n) { return "record " + std::to_string(n); }

// The current record's ID without its trailing blanks.
std::string Id() {
    std::string text = FieldText(1);
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

class BlockCacheTest : public testing_support::EngineTest {
protected:
    std::string Table() {
        const std::string path = CreateTable("C.DBF", {{"ID", 'C', 200, 0}});
        USE(path + " EXCLUSIVE");
        for (int n = 1; n <= kRecords; ++n) {
            ClearRecord();
            PutFieldString(1, IdOf(n));
            Append();
        }
        CloseArea();
        EXPECT_EQ(LastErrorCode(), 0) << LastErrorMessage();
        return path;
    }

    // Every record of the current area, read through the engine in the
    // order given, against the file as it stands.
    static void ExpectFileSeen(const std::string& path, const std::vector<int32_t>& order) {
        const TableImage image = TableImage::Read(path);
        ASSERT_EQ(static_cast<int32_t>(image.Counted().size()), RecCount());
        for (const int32_t n : order) {
            GO(n);
            ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
            EXPECT_EQ(Id(), TableImage::Field(image.records[static_cast<size_t>(n - 1)], 1, 200)) << "record " << n;
        }
    }

    static std::vector<int32_t> Scattered(int32_t count) {
        std::vector<int32_t> order;
        for (int32_t n = 1; n <= count; ++n) order.push_back(static_cast<int32_t>((int64_t{n} * 7919) % count + 1));
        return order;
    }

    static void Walk() {
        for (GoTop(); !dEOF(); SKIP(1)) {}
    }
};

// Another process changes records while this one has the table open, and
// this one must see each change on its next read of the record.
TEST_F(BlockCacheTest, ChangesOfOtherProcessesAreSeen) {
    struct Case {
        const char* name;
        std::function<void()> before;  // what this process does with the table open, before the peer writes
    };
    const std::vector<Case> cases = {
        {"shared, walked", [] { Walk(); }},
        {"shared, read all over",
         [] {
             for (const int32_t n : Scattered(kRecords)) GO(n);
         }},
        {"shared after a pack held it exclusively",
         [] {
             GO(5);
             ASSERT_TRUE(RLock());
             DeleteRec();
             Unlock();
             ASSERT_TRUE(Pack());
             Walk();
         }},
        {"shared after an index-free zap and appends",
         [] {
             ASSERT_TRUE(Zap());
             ASSERT_TRUE(ALock());
             for (int n = 1; n <= kRecords; ++n) {
                 ClearRecord();
                 PutFieldString(1, IdOf(n));
                 Append();
             }
             Unlock();
             Walk();
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EnginePeer peer;
        const std::string path = Table();
        USE(path);
        ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
        c.before();
        ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
        const int32_t count = RecCount();
        ASSERT_EQ(peer("use " + path), "0");
        for (const int32_t n : {1, 300, 301, count / 2, count}) {
            ASSERT_EQ(peer("go " + std::to_string(n)), "0");
            ASSERT_EQ(peer("rlock"), "1");
            ASSERT_EQ(peer("replace changed by the peer " + std::to_string(n)), "0");
            ASSERT_EQ(peer("unlock"), "0");
            GO(n);
            EXPECT_EQ(Id(), "changed by the peer " + std::to_string(n));
        }
        ASSERT_EQ(peer("close"), "0");
        ExpectFileSeen(path, Scattered(count));
        // Held exclusively again, the blocks of an earlier spell must not come back.
        ASSERT_EQ(ReopenTable(true), 0);
        ExpectFileSeen(path, Scattered(count));
        ASSERT_EQ(ReopenTable(false), 0);
        CloseArea();
        std::filesystem::remove(path);
    }
}

// This process's own writes, truncations and renames show on every later
// read, in a cache of any size.
TEST_F(BlockCacheTest, OwnWritesAreSeen) {
    struct Case {
        const char* name;
        size_t cache;
        const char* open;
        std::function<void()> change;
    };
    const auto replace = [](int32_t n, const std::string& text) {
        GO(n);
        ASSERT_TRUE(RLock());
        PutFieldString(1, text);
        Replace();
        Unlock();
    };
    const std::vector<Case> cases = {
        {"replaces", size_t{32} << 20, " EXCLUSIVE",
         [&] {
             for (const int32_t n : Scattered(kRecords))
                 if (n % 97 == 0) replace(n, "replaced " + std::to_string(n));
         }},
        {"appends behind a partly filled block", size_t{32} << 20, " EXCLUSIVE",
         [] {
             for (int n = 0; n < 500; ++n) {
                 ClearRecord();
                 PutFieldString(1, "appended " + std::to_string(n));
                 Append();
             }
         }},
        {"delete marks and a pack", size_t{32} << 20, " EXCLUSIVE",
         [] {
             for (int32_t n = 3; n <= kRecords; n += 7) {
                 GO(n);
                 DeleteRec();
             }
             ASSERT_TRUE(Pack());
         }},
        {"a pack with nothing deleted trims the end", size_t{32} << 20, " EXCLUSIVE", [] { ASSERT_TRUE(Pack()); }},
        {"two blocks of cache for the whole table", size_t{128} << 10, " EXCLUSIVE",
         [&] {
             for (const int32_t n : Scattered(kRecords))
                 if (n % 13 == 0) replace(n, "small cache " + std::to_string(n));
         }},
        {"no room for any block", 0, " EXCLUSIVE", [&] { replace(1000, "uncached"); }},
        {"shared", size_t{32} << 20, "", [&] { replace(1500, "shared " + std::to_string(1500)); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Settings().table_cache_size = c.cache;
        const std::string path = Table();
        USE(path + c.open);
        ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
        // Warm: every block read once, then in an order all over the file.
        Walk();
        for (const int32_t n : Scattered(kRecords)) GO(n);
        c.change();
        ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
        ExpectFileSeen(path, Scattered(RecCount()));
        std::vector<int32_t> forward;
        for (int32_t n = 1; n <= RecCount(); ++n) forward.push_back(n);
        ExpectFileSeen(path, forward);
        CloseArea();
        std::filesystem::remove(path);
    }
}

// The cache's own bookkeeping: blocks of one file never answer for another,
// a write behind what a block holds drops it, a truncation cuts blocks short.
TEST(BlockCacheBookkeeping, BlocksFollowTheirFile) {
    size_t budget = BlockCache::kBlockSize * 4;
    BlockCache cache(budget);
    const uint64_t a = cache.NewFileId(), b = cache.NewFileId();
    const auto fill = [&](uint64_t file, uint64_t index, size_t valid, char c) {
        BlockCache::Block* block = cache.Insert(file, index);
        ASSERT_NE(block, nullptr);
        std::memset(block->bytes.get(), c, valid);
        block->valid = valid;
    };
    fill(a, 0, BlockCache::kBlockSize, 'a');
    fill(a, 1, 100, 'a');
    fill(b, 0, BlockCache::kBlockSize, 'b');
    EXPECT_EQ(cache.Find(a, 0)->bytes[5], 'a');
    EXPECT_EQ(cache.Find(b, 0)->bytes[5], 'b');

    // Over the end of what block 1 holds: it grows; past a gap: it goes.
    const std::string more(50, 'x');
    cache.Update(a, BlockCache::kBlockSize + 100, more);
    ASSERT_NE(cache.Find(a, 1), nullptr);
    EXPECT_EQ(cache.Find(a, 1)->valid, 150u);
    EXPECT_EQ(cache.Find(a, 1)->bytes[120], 'x');
    cache.Update(a, BlockCache::kBlockSize + 200, more);
    EXPECT_EQ(cache.Find(a, 1), nullptr);

    // A write across a block end reaches both blocks' bytes.
    fill(a, 1, BlockCache::kBlockSize, 'a');
    cache.Update(a, BlockCache::kBlockSize - 10, more);
    EXPECT_EQ(cache.Find(a, 0)->bytes[BlockCache::kBlockSize - 1], 'x');
    EXPECT_EQ(cache.Find(a, 1)->bytes[39], 'x');
    EXPECT_EQ(cache.Find(a, 1)->bytes[40], 'a');

    // Truncation inside block 0: block 0 shorter, block 1 gone, b untouched.
    cache.Drop(a, 10);
    EXPECT_EQ(cache.Find(a, 0)->valid, 10u);
    EXPECT_EQ(cache.Find(a, 1), nullptr);
    EXPECT_EQ(cache.Find(b, 0)->valid, BlockCache::kBlockSize);

    // The least recently used goes first once the budget is full; a smaller
    // budget takes effect at the next insertion.
    fill(a, 5, 10, 'a');
    fill(a, 6, 10, 'a');
    (void)cache.Find(b, 0);
    fill(a, 7, 10, 'a');
    EXPECT_EQ(cache.Find(a, 0), nullptr);
    EXPECT_NE(cache.Find(b, 0), nullptr);
    EXPECT_LE(cache.Used(), budget);
    budget = BlockCache::kBlockSize;
    EXPECT_EQ(cache.Insert(a, 8), nullptr);
    EXPECT_EQ(cache.Used(), 0u);
    EXPECT_FALSE(cache.Holds(a));
}

// A walk through a file larger than the cache: its passing blocks take the
// place of the one next to them, forward or back, and never drive out the
// blocks of other files; a passing block of another file stays, and a full
// budget takes the coldest block first.
TEST(BlockCacheBookkeeping, PassingBlocksReplaceTheirNeighbour) {
    size_t budget = BlockCache::kBlockSize * 4;
    BlockCache cache(budget);
    const uint64_t kept = cache.NewFileId(), big = cache.NewFileId(), other = cache.NewFileId();
    for (uint64_t index : {0, 1}) ASSERT_NE(cache.Insert(kept, index), nullptr);
    ASSERT_NE(cache.Insert(other, 9, true), nullptr);
    struct Step {
        uint64_t index;
        std::vector<uint64_t> held;  // big's blocks afterwards
    };
    const std::vector<Step> walk = {
        {10, {10}}, {11, {11}}, {12, {12}}, {11, {11}}, {10, {10}}, {20, {20}}, {21, {21}},
    };
    for (const Step& step : walk) {
        SCOPED_TRACE(step.index);
        BlockCache::Block* block = cache.Insert(big, step.index, true);
        ASSERT_NE(block, nullptr);
        EXPECT_TRUE(block->passing);
        for (uint64_t index = 0; index < 30; ++index) {
            const bool held = std::find(step.held.begin(), step.held.end(), index) != step.held.end();
            EXPECT_EQ(cache.Find(big, index) != nullptr, held) << index;
        }
        EXPECT_NE(cache.Find(kept, 0), nullptr);
        EXPECT_NE(cache.Find(kept, 1), nullptr);
        EXPECT_LE(cache.Used(), budget);
    }
    // Once the budget is full, the cold end (passing blocks) goes first.
    ASSERT_NE(cache.Insert(kept, 2), nullptr);
    EXPECT_NE(cache.Find(kept, 0), nullptr);
    EXPECT_NE(cache.Find(kept, 2), nullptr);
    EXPECT_LE(cache.Used(), budget);
}

}  // namespace

// A look ahead (Peek) finds what Find finds but leaves the order alone:
// the block it saw still goes first when the budget is full.
TEST(BlockCacheBookkeeping, PeekLeavesTheOrder) {
    struct Case {
        const char* name;
        bool find;         // Find block 0 (else Peek it) before the budget runs out
        bool first_stays;  // block 0 is still held afterwards
    };
    const std::vector<Case> cases = {
        {"peeked", false, false},
        {"found", true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        size_t budget = 3 * BlockCache::kBlockSize;
        BlockCache cache(budget);
        const uint64_t file = cache.NewFileId();
        for (uint64_t index : {0, 1, 2}) ASSERT_NE(cache.Insert(file, index), nullptr);
        EXPECT_EQ(cache.Peek(file, 7), nullptr);
        const BlockCache::Block* seen = c.find ? cache.Find(file, 0) : cache.Peek(file, 0);
        ASSERT_NE(seen, nullptr);
        EXPECT_EQ(seen->index, 0u);
        ASSERT_NE(cache.Insert(file, 3), nullptr);
        EXPECT_EQ(cache.Peek(file, 0) != nullptr, c.first_stays);
        EXPECT_EQ(cache.Peek(file, 1) != nullptr, !c.first_stays);
    }
}
