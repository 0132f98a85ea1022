// Reading memos while the file changes: what a read returns is what the file
// holds now, through the size the memo file remembers and the block it
// reads ahead, after this process's own writes and after another process's
// appends to a shared table.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>

#include "engine/memo/memo.hpp"
#include "tests/engine/memo/memo_fixture.hpp"
#include "tests/support/engine_peer.hpp"

namespace memo_testing {
namespace {

using namespace zurod;
using testing_support::EnginePeer;

// Record `id`'s first text: lengths from a few bytes to past the block read
// ahead, one line each.
std::string TextOf(int id, const std::string& kind = "first") {
    std::string text = kind + "_memo_of_" + std::to_string(id) + ":";
    const size_t length = id % 7 == 0 ? 100'000 : static_cast<size_t>(id * 131 % 3000);
    text.append(length, static_cast<char>('a' + id % 26));
    return text;
}

// A new text for record r's memo through the line table; what is stored.
std::string Rewrite(int32_t r, const std::string& text) {
    GO(r);
    EXPECT_TRUE(GetMemo(GetFieldMemo(2)));
    MemoLineTable().assign(1, MemoLine{text, LineEnd::Hard});
    PutFieldMemo(2, EditMemo(GetFieldMemo(2)));
    Replace();
    EXPECT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    return text + "\r\n";
}

// The other process: "memos N" appends records N.. with their memos to the
// shared table it has open, "rewrite R" gives record R a new memo.
std::string MemoPeer(const std::string& verb, const std::string& arg) {
    MemoInit();
    if (verb == "rewrite") {
        SetLastErrorCode(0);
        GO(std::stoi(arg));
        if (!RLock()) return "lock";
        Rewrite(std::stoi(arg), "peer's_" + arg);
        Unlock();
        return std::to_string(LastErrorCode());
    }
    if (verb != "memos") return EnginePeer::Run(verb, arg);
    SetLastErrorCode(0);
    if (!ALock()) return "lock";
    for (int id = std::stoi(arg); id < std::stoi(arg) + 10; ++id) {
        const int32_t block = AddMemo(TextOf(id, "peer's"));
        ClearRecord();
        PutFieldInteger(1, id);
        PutFieldMemo(2, block);
        Append();
    }
    Unlock();
    return std::to_string(LastErrorCode());
}

class MemoReadTest : public MemoTest, public ::testing::WithParamInterface<Layout> {
protected:
    // Every record's memo, as stored through a stream and as lines through
    // GetMemo, against `texts` (the stored bytes by id).
    static void ExpectTexts(const std::map<int, std::string>& texts) {
        ASSERT_EQ(static_cast<size_t>(RecCount()), texts.size());
        for (int32_t r = 1; r <= RecCount(); ++r) {
            GO(r);
            const int id = static_cast<int>(GetFieldInteger(1));
            std::string text = texts.at(id);
            EXPECT_EQ(StreamText(GetFieldMemo(2)), text) << "record " << r;
            ASSERT_TRUE(GetMemo(GetFieldMemo(2)));
            std::string lines;
            for (const MemoLine& line : MemoLineTable()) lines += line.text;
            if (text.ends_with("\r\n")) text.resize(text.size() - 2);
            EXPECT_EQ(lines, text) << "record " << r;
        }
        EXPECT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    }

    // A rewrite read back at once: the new memo may stand where a block was
    // read ahead before it was written.
    static std::string RewriteAndRead(int32_t r, const std::string& text) {
        const std::string stored = Rewrite(r, text);
        EXPECT_EQ(StreamText(GetFieldMemo(2)), stored) << "record " << r << " read back";
        return stored;
    }
};

TEST_P(MemoReadTest, ReadsFollowTheFile) {
    const Layout& layout = GetParam();
    struct Case {
        const char* name;
        const char* open;
        std::function<void(std::map<int, std::string>&)> change;
    };
    const std::vector<Case> cases = {
        {"memos rewritten, freed and taken again", " EXCLUSIVE",
         [](std::map<int, std::string>& texts) {
             // More than the 32 replaced memos that wait to be freed.
             for (int round = 0; round < 5; ++round)
                 for (int32_t r = 2; r <= RecCount(); r += 3) {
                     GO(r);
                     const int id = static_cast<int>(GetFieldInteger(1));
                     texts[id] = RewriteAndRead(r, TextOf(id + round * 1000, "rewritten"));
                 }
         }},
        {"memos added behind the end", " EXCLUSIVE",
         [](std::map<int, std::string>& texts) {
             for (int id = 100; id < 110; ++id) {
                 texts[id] = TextOf(id, "added");
                 AppendWithMemo(id, texts[id]);
             }
         }},
        {"another process adds memos to the shared table", "",
         [](std::map<int, std::string>& texts) {
             for (int id = 200; id < 210; ++id) texts[id] = TextOf(id, "peer's");
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EnginePeer peer(&MemoPeer);
        const std::string path = MemoTable("reads", layout.version, layout.block_size);
        std::map<int, std::string> texts;
        Open(path);
        for (int id = 1; id <= 30; ++id) AppendWithMemo(id, texts[id] = TextOf(id));
        CloseArea();
        Open(path, c.open);
        ExpectTexts(texts);  // every memo read once: sizes and blocks ahead known
        if (std::string(c.open).empty()) {
            ASSERT_EQ(peer("use " + path), "0");
            ASSERT_EQ(peer("memos 200"), "0");
            ASSERT_EQ(peer("close"), "0");
            GoBottom();  // the new records are counted
        }
        c.change(texts);
        ExpectTexts(texts);
        CloseArea();
        Open(path);
        ExpectTexts(texts);
        CloseArea();
    }
}

// In a shared file, another process may write a memo into a run that a
// block read ahead here once held free: such a file is always read anew.
TEST_F(MemoTest, ASharedMemoFileIsReadAnew) {
    EnginePeer peer(&MemoPeer);
    const std::string path = MemoTable("shared", kDbase4Memo, 512);
    std::map<int, std::string> texts;
    Open(path);
    for (int id = 1; id <= 6; ++id) AppendWithMemo(id, texts[id] = TextOf(id * 7 % 5 + 1));
    texts[3] = Rewrite(3, "short");  // record 3's first memo is freed at the close
    CloseArea();
    Open(path, "");
    for (int32_t r = 1; r <= 6; ++r) {
        GO(r);
        (void)StreamText(GetFieldMemo(2));
    }
    ASSERT_EQ(peer("use " + path), "0");
    ASSERT_EQ(peer("rewrite 5"), "0");
    ASSERT_EQ(peer("close"), "0");
    texts[5] = "peer's_5\r\n";  // in the run record 3 left free
    for (int32_t r = 1; r <= 6; ++r) {
        GO(r);
        EXPECT_EQ(StreamText(GetFieldMemo(2)), texts.at(r)) << "record " << r;
    }
    CloseArea();
}

INSTANTIATE_TEST_SUITE_P(EveryLayout, MemoReadTest, ::testing::ValuesIn(kLayouts));

}  // namespace
}  // namespace memo_testing
