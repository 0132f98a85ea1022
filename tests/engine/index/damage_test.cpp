// Damaged index files: a tag whose tree leads into another tag's nodes, a
// tree that leads back into itself, and Find on a date order with texts that
// are no dates. Damage must read as 222, quickly, and never reach past a
// node or write what a node did not hold.
#include <fstream>
#include <functional>

#include "engine/index/detail/format.hpp"
#include "tests/engine/index/index_fixture.hpp"
#include "tests/support/files.hpp"

namespace testing_support {
namespace {

using namespace zurod;

// The bytes of an index file, patched in place.
class IndexBytes {
public:
    explicit IndexBytes(std::string path) : path_(std::move(path)), bytes_(ReadFileBytes(path_)) {}
    ~IndexBytes() { WriteFileBytes(path_, bytes_); }

    uint32_t Get(size_t at) const { return mdx::Get32(reinterpret_cast<const uint8_t*>(bytes_.data()) + at); }
    void Put(size_t at, uint32_t v) { mdx::Put32(reinterpret_cast<uint8_t*>(bytes_.data()) + at, v); }
    // The header block and the root of tag entry n.
    uint32_t HeaderOf(int n) const { return Get(mdx::kTagTableAt + mdx::kEntrySize * n); }
    uint32_t RootOf(int n) const { return Get(size_t{HeaderOf(n)} * mdx::kBlockSize); }
    void SetRoot(int n, uint32_t block) { Put(size_t{HeaderOf(n)} * mdx::kBlockSize, block); }
    uint32_t Count(uint32_t node) const { return Get(size_t{node} * mdx::kBlockSize); }
    size_t TrailingAt(uint32_t node, uint16_t item) const {
        return size_t{node} * mdx::kBlockSize + mdx::kEntriesAt + size_t{Count(node)} * item;
    }
    uint32_t Child(uint32_t node, uint16_t item, uint32_t i) const {
        return Get(size_t{node} * mdx::kBlockSize + mdx::kEntriesAt + size_t{i} * item);
    }

private:
    std::string path_;
    std::string bytes_;
};

class IndexDamage : public IndexTest {
protected:
    // `count` records with distinct names and dates; tags DATE (12-byte
    // items, 84 a node, the order an open starts in) and NAME (24-byte
    // items, 42 a node).
    void MakeIndexed(int count) {
        std::vector<Line> lines;
        for (int i = 0; i < count; ++i) {
            char date[16];  // room for any int the format could take
            std::snprintf(date, sizeof date, "%02d/%02d/%04d", 1 + i % 12, 1 + i % 28, 1990 + i % 30);
            lines.push_back({date, "N" + std::to_string(100000 + (i * 7919) % 100003), i * 1.5});
        }
        OpenHistory(lines);
        ASSERT_TRUE(Build({{"DATE", "DATE", "", false, false}, {"NAME", "NAME", "", false, false}}))
            << LastErrorMessage();
        path_ = IndexPath();
        CloseIndex();
    }
    bool Reopen() {
        SetLastErrorCode(0);
        try {
            return SetIndexTo("");
        } catch (const EZurodError&) {
            return false;
        }
    }
    // Runs a command that may raise; its code.
    static uint16_t CodeOf(const std::function<void()>& command) {
        SetLastErrorCode(0);
        try {
            command();
        } catch (const EZurodError&) {}
        return LastErrorCode();
    }
    std::string path_;
};

TEST_F(IndexDamage, ATagLedIntoAnotherTagsNodeIsRefusedWhateverReadTheNodeFirst) {
    MakeIndexed(70);  // DATE's root is one leaf of 70 entries; NAME's items fit 42
    {
        IndexBytes b(path_);
        b.SetRoot(2, b.RootOf(1));
    }
    // A failed change leaves its mark, and the next open repairs the index by
    // building it anew: each case starts from the damaged file again.
    const std::string damaged = ReadFileBytes(path_);
    struct Case {
        const char* what;
        std::function<void()> command;
        uint16_t code;  // a replace reports the damage found taking the old key out as 1
    };
    const std::vector<Case> cases = {
        {"a walk in the damaged order", [] { Set_Order_To(2), GoTop(); }, 222},
        {"an append, which splits the node",
         [] {
             ClearRecord();
             PutFieldString(2, "N1");
             Append();
         },
         222},
        {"a replace",
         [] {
             GO(5);
             PutFieldString(2, "N2");
             Replace();
         },
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteFileBytes(path_, damaged);
        ASSERT_TRUE(Reopen()) << LastErrorMessage();
        // The other tag reads the node first, so that the damaged one finds it cached.
        EXPECT_EQ(Forward().size(), 70u);
        ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
        const uint16_t code = CodeOf(c.command);
        EXPECT_TRUE(code == 222 || code == c.code) << code;
        EXPECT_NE(LastErrorMessage().find("Invalid node"), std::string::npos) << LastErrorMessage();
        CloseIndex();
    }
    // An append that the damage stopped half-way leaves its mark; the next
    // open cannot take the record's keys out of the damaged tree and builds
    // the index anew, so every order walks the whole table again.
    WriteFileBytes(path_, damaged);
    ASSERT_TRUE(Reopen()) << LastErrorMessage();
    EXPECT_NE(CodeOf(cases[1].command), 0);
    CloseIndex();
    ASSERT_TRUE(Reopen()) << LastErrorMessage();
    for (int order : {1, 2}) {
        Set_Order_To(order);
        EXPECT_EQ(Forward().size(), static_cast<size_t>(RecCount())) << "order " << order;
    }
    ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    CloseIndex();
    WriteFileBytes(path_, damaged);
    // Nothing past a node's entries was ever written: every node still
    // holds what fits it.
    const std::string bytes = ReadFileBytes(path_);
    for (size_t at = 4 * mdx::kBlockSize; at + mdx::kNodeSize <= bytes.size(); at += mdx::kNodeSize)
        EXPECT_LE(mdx::Get32(reinterpret_cast<const uint8_t*>(bytes.data()) + at), 127u) << "block " << at / 512;
}

TEST_F(IndexDamage, ATreeLeadingBackIntoItselfStopsBeforeAnyRecordShowsTwice) {
    MakeIndexed(3000);  // NAME: 72 leaves under two inner levels
    const uint16_t item = mdx::ItemLength(20);
    struct Case {
        const char* what;
        std::function<void(IndexBytes&)> damage;
    };
    const std::vector<Case> cases = {
        {"the root's trailing pointer to the root",
         [&](IndexBytes& b) { b.Put(b.TrailingAt(b.RootOf(2), item), b.RootOf(2)); }},
        {"an inner node's trailing pointer to the root",
         [&](IndexBytes& b) {
             const uint32_t inner = b.Child(b.RootOf(2), item, 0);
             b.Put(b.TrailingAt(inner, item), b.RootOf(2));
         }},
        {"an inner node's first child to itself",
         [&](IndexBytes& b) {
             const uint32_t inner = b.Child(b.RootOf(2), item, 0);
             b.Put(size_t{inner} * mdx::kBlockSize + mdx::kEntriesAt, inner);
         }},
    };
    const std::string good = ReadFileBytes(path_);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteFileBytes(path_, good);
        {
            IndexBytes b(path_);
            ASSERT_GT(b.Count(b.Child(b.RootOf(2), item, 0)), 0u);
            c.damage(b);
        }
        ASSERT_TRUE(Reopen()) << LastErrorMessage();
        size_t rows = 0;
        const uint16_t code = CodeOf([&] {
            Set_Order_To(2);
            for (GoTop(); LastErrorCode() == 0 && !dEOF(); SKIP(1)) ++rows;
        });
        EXPECT_EQ(code, 222) << LastErrorMessage();
        EXPECT_LE(rows, 3000u);
        rows = 0;
        CodeOf([&] {
            Set_Order_To(2);
            for (GoBottom(); LastErrorCode() == 0 && !dBOF(); SKIP(-1)) ++rows;
        });
        EXPECT_LE(rows, 3000u);
        CloseIndex();
    }
}

TEST_F(IndexDamage, FindOnADateOrderFindsNoDateInATextThatIsNone) {
    OpenHistory({{"03/15/2024", "A", 1}, {"", "B", 2}, {"01/02/2023", "C", 3}});
    ASSERT_TRUE(Build({{"DATE", "DATE", "", false, false}}));
    struct Case {
        const char* text;
        bool found;
        int32_t record;
    };
    const Case cases[] = {
        {"abc", false, 0},       {"02/30/2024", false, 0}, {"13/01/2024", false, 0},
        {"03/15/2024", true, 1}, {"  /  /    ", true, 2},  {" 01/02/2023 ", true, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        GO(1);
        EXPECT_EQ(Find(c.text), c.found);
        EXPECT_EQ(LastErrorCode(), 0) << LastErrorMessage();
        if (c.found)
            EXPECT_EQ(RecNo(), c.record);
        else
            EXPECT_TRUE(dEOF());
    }
}

}  // namespace
}  // namespace testing_support
