// The dBASE IV free chain against a model: random adds, edits that grow and
// shrink, stream writes and edits that are never saved. Every live memo must
// read back intact, and the chain must stay ascending, free of overlaps and
// of live memos, and end at the block at the end of the file.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>

#include "engine/dbf/detail/area_table.hpp"
#include "engine/dbf/detail/swap_buffer.hpp"
#include "tests/engine/memo/memo_fixture.hpp"

namespace {

using namespace zurod;
using memo_testing::MemoTest;
using testing_support::ReadFileBytes;

uint32_t Le32(const std::string& b, size_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(b[at + i]);
    return v;
}

// What the chain and the live memos look like in the file's bytes; empty
// when all is well.
std::string ChainFault(const std::string& memo, const std::map<int32_t, std::string>& live_blocks, uint32_t bs) {
    const uint32_t eof = static_cast<uint32_t>((memo.size() + bs - 1) / bs);
    std::vector<std::pair<uint32_t, uint32_t>> used;  // [first, end) of each live memo
    for (const auto& [block, text] : live_blocks) {
        const size_t at = size_t{static_cast<uint32_t>(block)} * bs;
        if (at + 8 > memo.size() || memo.compare(at, 4, "\xFF\xFF\x08\x00", 4) != 0)
            return "block " + std::to_string(block) + " has no memo header";
        used.emplace_back(block, block + (Le32(memo, at + 4) + bs - 1) / bs);
    }
    uint32_t link = Le32(memo, 0), floor = 1;
    while (link != eof) {
        if (link < floor || link > eof) return "link to " + std::to_string(link) + " (eof " + std::to_string(eof) + ")";
        const uint32_t next = Le32(memo, size_t{link} * bs), blocks = Le32(memo, size_t{link} * bs + 4);
        if (blocks == 0 || link + blocks > next) return "run " + std::to_string(link) + " overlaps its successor";
        for (const auto& [first, end] : used)
            if (link < end && first < link + blocks) return "run " + std::to_string(link) + " holds a live memo";
        floor = link + blocks;
        link = next;
    }
    return "";
}

TEST_F(MemoTest, FreeChainHoldsThroughRandomEditsAndLiveMemosStayIntact) {
    const std::string path = MemoTable("chain", kDbase4Memo, 512);
    const std::string memo_path = MemoPath(path, kDbase4Memo);
    Open(path);
    std::mt19937 random(20240611);
    const auto pick = [&](uint32_t below) { return static_cast<uint32_t>(random() % below); };
    const auto text_of = [&](int step) {
        // Mostly short, sometimes several blocks long.
        const size_t length = pick(4) == 0 ? 600 + pick(3000) : 1 + pick(400);
        std::string text = "step " + std::to_string(step) + " ";
        do text += static_cast<char>('a' + pick(26));
        while (text.size() < length);
        return text;
    };
    std::vector<std::string> model;  // by record - 1
    uint64_t written = 0;            // the file's size if no block were ever used twice
    const auto blocks_of = [](const std::string& text) { return (text.size() + 8) / 512 * 512 + 512; };
    for (int i = 0; i < 30; ++i) {
        model.push_back(text_of(-i));
        AppendWithMemo(i + 1, model.back());
        written += blocks_of(model.back());
    }

    for (int step = 1; step <= 3000; ++step) {
        const int32_t record = static_cast<int32_t>(1 + pick(static_cast<uint32_t>(model.size())));
        const std::string text = text_of(step);
        const uint32_t kind = pick(10);
        if (kind == 0) {
            model.push_back(text);
            AppendWithMemo(static_cast<int>(model.size()), text);
        } else if (kind == 9 && pick(4) == 0) {
            // Reopening frees what no record refers to any more.
            CloseArea();
            Open(path);
        } else {
            GO(record);
            const int32_t old_block = GetFieldMemo(2);
            int32_t block = 0;
            if (kind <= 4) {
                MemoLineTable() = {{text, LineEnd::None}};
                block = EditMemo(old_block);
            } else if (kind <= 6) {
                block = CreateBlobDescriptor(false, 0, 2);
                WriteBlobStream(text);
                DestroyBlobDescriptor();
            } else {
                MemoTextFile device(2);
                ASSERT_EQ(device.Rewrite(), 0);
                ASSERT_EQ(device.Write(text), 0);
                ASSERT_EQ(device.Close(), 0);
                block = GetFieldMemo(2);
            }
            ASSERT_EQ(LastErrorCode(), 0) << "step " << step << ": " << LastErrorMessage();
            if (kind == 8) {
                GO(record);  // never saved: the record keeps its memo
            } else {
                PutFieldMemo(2, block);
                Replace();
                model[static_cast<size_t>(record - 1)] = text;
            }
        }
        written += blocks_of(text);
        if (step % 100 != 0) continue;

        std::map<int32_t, std::string> live;
        for (size_t r = 0; r < model.size(); ++r) {
            GO(static_cast<int32_t>(r + 1));
            const int32_t block = GetFieldMemo(2);
            ASSERT_EQ(StreamText(block), model[r]) << "step " << step << ", record " << r + 1;
            ASSERT_TRUE(live.emplace(block, model[r]).second) << "two records share block " << block;
        }
        ASSERT_EQ(ChainFault(ReadFileBytes(memo_path), live, 512), "") << "step " << step;
    }
    CloseArea();
    // Replaced memos were reused rather than left behind.
    EXPECT_LT(ReadFileBytes(memo_path).size(), written * 3 / 4);
}

}  // namespace
