// Another reader of multiple-index files agrees with our trees: Perl's XBase
// index_dump lists every tag we build, record by record, in our order.
#include <cstdio>

#include "tests/engine/index/index_fixture.hpp"

namespace testing_support {
namespace {

using namespace zurod;

// The record numbers index_dump lists for a tag: each entry is printed as
// the key's bytes, a blank and the record number, and the key may hold any
// byte, a newline included.
std::vector<uint32_t> Dump(const std::string& mdx, const MdxTag& tag) {
    const std::string command = std::string(INDEX_DUMP) + " '" + mdx + "' " + tag.name + " 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    std::vector<uint32_t> records;
    if (!pipe) return records;
    std::string text;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) text.append(buffer, n);
    ::pclose(pipe);
    for (size_t at = 0; at < text.size();) {
        const size_t blank = at + static_cast<size_t>(tag.key_length);
        const size_t end = text.find('\n', blank);
        if (blank >= text.size() || text[blank] != ' ' || end == std::string::npos) {
            ADD_FAILURE() << "index_dump said: " << text.substr(at, 200);
            break;
        }
        records.push_back(static_cast<uint32_t>(std::stoul(text.substr(blank + 1, end - blank - 1))));
        at = end + 1;
    }
    return records;
}

class IndexDumpPeer : public IndexTest {};

TEST_F(IndexDumpPeer, ListsEveryTagInOurOrder) {
    // 1, 2 and 3 levels: a 100-byte key holds 9 keys a node.
    for (const int count : {7, 200, 900}) {
        SCOPED_TRACE(std::to_string(count) + " records");
        EngineReset();
        SetErrorHandling(false);
        ExprInit();
        IndexInit();
        SetDateFormat(0);
        SetCentury(true);
        const std::string table = "t" + std::to_string(count) + ".dbf";
        const std::string path =
            CreateTable(table, {{"DATE", 'D', 8, 0}, {"NAME", 'C', 30, 0}, {"AMOUNT", 'N', 12, 2}});
        USE(path + " EXCLUSIVE");
        for (int i = 1; i <= count; ++i) {
            ClearRecord();
            char date[16];
            std::snprintf(date, sizeof date, "%02d/%02d/%04d", 1 + i % 12, 1 + i % 28, 1990 + (i * 7) % 30);
            PutFieldString(1, date);
            PutFieldString(2, "Name" + std::to_string((i * 37) % 101));
            PutFieldNumber(3, ((i * 7919) % 2000 - 1000) / 8.0);
            Append();
        }
        ASSERT_TRUE(MakeIndex({{"NAME", "NAME", "", false, false},
                               {"LONGKEY", "NAME+NAME+NAME+SPACE(10)", "", false, false},
                               {"AMOUNT", "AMOUNT", "", false, false},
                               {"DATE", "DATE", "", false, false},
                               {"NAMEDESC", "NAME", "", true, false},
                               {"AMTDESC", "AMOUNT", "", true, false},
                               {"UNIQUE", "NAME", "", false, true},
                               {"POSITIVE", "AMOUNT", "AMOUNT > 0", false, false}},
                              ""))
            << LastErrorMessage();
        const std::string mdx = IndexOfTable(path);
        const MdxReport ours = ExpectSound(mdx);
        for (const MdxTag& t : ours.tags) EXPECT_EQ(Dump(mdx, t), ours.Records(t.name)) << t.name;
        if (count == 900) {
            EXPECT_EQ(ours.Tag("LONGKEY")->depth, 3);
        }
        CloseArea();
    }
}

TEST_F(IndexDumpPeer, AgreesAfterALongRunOfChanges) {
    const std::string path =
        CreateTable("run.dbf", {{"NAME", 'C', 30, 0}, {"AMOUNT", 'N', 12, 2}, {"DATE", 'D', 8, 0}});
    USE(path + " EXCLUSIVE");
    ASSERT_TRUE(MakeIndexTags({{"NAME", "NAME", "", false, false},
                               {"LONG", "NAME+NAME+NAME+SPACE(10)", "", true, false},
                               {"AMOUNT", "AMOUNT", "", false, false},
                               {"DATE", "DATE", "", false, false},
                               {"UNIQUE", "NAME", "", false, true},
                               {"POSITIVE", "AMOUNT", "AMOUNT > 0", false, false}},
                              ""));
    uint32_t seed = 7;
    const auto next = [&seed](uint32_t below) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) % below;
    };
    for (int op = 0; op < 3000; ++op) {
        const int32_t count = RecCount();
        const bool append = count == 0 || next(2) == 0;
        if (append) {
            ClearRecord();
        } else {
            GO(1 + static_cast<int32_t>(next(static_cast<uint32_t>(count))));
        }
        PutFieldString(1, "Name" + std::to_string(next(500)));
        PutFieldNumber(2, (static_cast<double>(next(2000)) - 1000) / 8);
        char date[16];
        std::snprintf(date, sizeof date, "%02u/%02u/%04u", 1 + next(12), 1 + next(28), 1980 + next(40));
        PutFieldString(3, date);
        append ? Append() : Replace();
        ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    }
    const std::string mdx = IndexOfTable(path);
    const MdxReport ours = ExpectSound(mdx);
    for (const MdxTag& t : ours.tags) EXPECT_EQ(Dump(mdx, t), ours.Records(t.name)) << t.name;
    EXPECT_GE(ours.Tag("LONG")->depth, 3);
}

}  // namespace
}  // namespace testing_support
