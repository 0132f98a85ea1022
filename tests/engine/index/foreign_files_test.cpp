// Index files another dBASE IV writer made (tests/data/mdx): we walk each of
// their tags in the order that writer walks them, find their keys, and build
// the same tags ourselves into the same orders and shapes. Each table comes
// with one "<TABLE>.<TAG>.order" file per tag: "record<TAB>key" lines in key
// order, key bytes outside printable ASCII (and the backslash) as \xhh.
#include <filesystem>
#include <fstream>
#include <map>
#include <numeric>

#include "engine/dbf/strings.hpp"
#include "platform/codepage.hpp"
#include "tests/engine/index/index_fixture.hpp"

namespace testing_support {
namespace {

using namespace zurod;

struct OrderLine {
    int32_t record;
    std::string key;  // as stored, in the table's page
};

std::string Unescape(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size() + 0 && text[i + 1] == 'x') {
            out += static_cast<char>(std::stoi(text.substr(i + 2, 2), nullptr, 16));
            i += 3;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::vector<OrderLine> ReadOrder(const std::string& path) {
    std::vector<OrderLine> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        const size_t tab = line.find('\t');
        lines.push_back({std::stoi(line.substr(0, tab)), Unescape(line.substr(tab + 1))});
    }
    return lines;
}

std::vector<int32_t> Records(const std::vector<OrderLine>& lines) {
    std::vector<int32_t> r;
    for (const OrderLine& l : lines) r.push_back(l.record);
    return r;
}

// The tables and, per table, whether a build of ours must give the same
// record order in every tag (the writer built them from existing records).
struct ForeignTable {
    const char* name;
    bool built_from_records;
};
constexpr ForeignTable kTables[] = {
    {"SMALL", true},   {"MEDIUM", true}, {"SHORT20K", true}, {"FULL127", true}, {"FULL84", true},
    {"SPLIT85", true}, {"EXACT", true},  {"EXCNAME", true},  {"EXCAMT", true},  {"EXCDATE", true},
    {"PACKED", true},  {"INCR", false},  {"QUIRKS", false},
};

class ForeignFiles : public IndexTest, public ::testing::WithParamInterface<ForeignTable> {
protected:
    // Copies the table's files into the test's folder and opens the table.
    std::string Open() {
        const std::string table = GetParam().name;
        for (const auto& entry : std::filesystem::directory_iterator(MDX_FIXTURES)) {
            const std::string file = entry.path().filename().string();
            if (file.rfind(table + ".", 0) == 0) std::filesystem::copy_file(entry.path(), dir_ / file);
        }
        USE(dir_ / (table + ".DBF") + " EXCLUSIVE");
        EXPECT_EQ(LastErrorCode(), 0) << LastErrorMessage();
        return dir_ / (table + ".DBF");
    }

    // Chooses an order from the end of the table: no record has to be found
    // then, by a key that we compute as this writer may not (its numbers
    // carry binary noise, its blank dates are a date).
    static void ChooseFromEnd(const std::string& tag) {
        GoBottom();
        SKIP(1);
        ASSERT_TRUE(SetOrderToTag(tag)) << tag;
    }

    std::map<std::string, std::vector<OrderLine>> Orders() {
        std::map<std::string, std::vector<OrderLine>> orders;
        const std::string prefix = std::string(GetParam().name) + ".";
        for (const auto& entry : std::filesystem::directory_iterator(dir_.path())) {
            const std::string file = entry.path().filename().string();
            if (file.rfind(prefix, 0) == 0 && entry.path().extension() == ".order")
                orders[file.substr(prefix.size(), file.size() - prefix.size() - 6)] = ReadOrder(entry.path());
        }
        return orders;
    }
};

TEST_P(ForeignFiles, EveryTagWalksInTheWritersOrder) {
    Open();
    ASSERT_TRUE(SetIndexTo("")) << LastErrorMessage();
    const auto orders = Orders();
    ASSERT_FALSE(orders.empty());
    for (const auto& [tag, lines] : orders) {
        ChooseFromEnd(tag);
        const std::vector<int32_t> expected = Records(lines);
        EXPECT_EQ(Forward(), expected) << tag;
        EXPECT_EQ(Backward(), expected) << tag;
        EXPECT_EQ(LastErrorCode(), 0) << tag << ": " << LastErrorMessage();
    }
}

TEST_P(ForeignFiles, FindsTheirKeys) {
    Open();
    ASSERT_TRUE(SetIndexTo(""));
    SetFindExact();
    for (const auto& [tag, lines] : Orders()) {
        ChooseFromEnd(tag);
        const bool numeric = tag.starts_with("AMT") || tag == "AMOUNT";
        // The writer's zero sorts out of place in this one tag.
        if (numeric && std::string(GetParam().name) == "QUIRKS") continue;
        const size_t step = std::max<size_t>(1, lines.size() / 40);
        for (size_t i = 0; i < lines.size(); i += step) {
            const std::string& key = lines[i].key;
            // Its numbers may carry binary noise in digits a 2-decimal key never has.
            if (numeric && key.find('.') != std::string::npos && key.size() - key.find('.') > 3) continue;
            const std::string text = numeric ? key : platform::OemToAnsi(key);
            ASSERT_TRUE(Find(text)) << tag << " " << key;
            // The first record with that key in the writer's order.
            size_t first = i;
            while (first > 0 && lines[first - 1].key == key) --first;
            EXPECT_EQ(RecNo(), lines[first].record) << tag << " " << key;
        }
    }
}

// Choosing an order on a record whose key the writer stored otherwise than
// we compute it (binary noise in numbers, blank dates as a date) still puts
// the order on that record's entry.
TEST_P(ForeignFiles, AnOrderIsChosenOnWhateverRecordIsCurrent) {
    Open();
    ASSERT_TRUE(SetIndexTo(""));
    for (const auto& [tag, lines] : Orders()) {
        const size_t step = std::max<size_t>(1, lines.size() / 60);
        for (size_t i = 0; i < lines.size(); i += step) {
            SCOPED_TRACE(tag + " at record " + std::to_string(lines[i].record));
            Set_Order_To(0);
            GO(lines[i].record);
            EXPECT_NO_THROW(SetOrderToTag(tag)) << LastErrorMessage();
            ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
            EXPECT_EQ(RecNo(), lines[i].record);
            SKIP(1);
            if (i + 1 < lines.size())
                EXPECT_EQ(RecNo(), lines[i + 1].record);
            else
                EXPECT_TRUE(dEOF());
        }
    }
}

TEST_P(ForeignFiles, OurBuildOfTheSameTags) {
    const std::string table = Open();
    std::vector<std::string> stored;
    GetIndexTagNames(stored, table);
    const std::vector<TagDescriptor> tags = ParseIndexList(stored);
    ASSERT_FALSE(tags.empty());
    const MdxReport theirs = MdxChecker::Check(IndexPath(), true);
    ASSERT_TRUE(Build(tags)) << LastErrorMessage();
    const MdxReport ours = ExpectSound(IndexPath());
    for (const TagDescriptor& d : tags) {
        const MdxTag* t = theirs.Tag(d.name);
        const MdxTag* o = ours.Tag(d.name);
        ASSERT_TRUE(t && o) << d.name;
        if (!GetParam().built_from_records) continue;
        EXPECT_EQ(ours.Records(d.name), theirs.Records(d.name)) << d.name;
        // Character keys of plain fields carry the same bytes.
        if (d.key == "NAME" || d.key == "CODE") {
            EXPECT_EQ(o->entries, t->entries) << d.name;
        }
        // Full nodes from a bulk build: the shape the writer gives a compacted tag.
        if (std::string(GetParam().name).starts_with("EXC")) {
            EXPECT_EQ(o->leaf_counts, t->leaf_counts) << d.name;
            EXPECT_EQ(o->depth, t->depth) << d.name;
        }
    }
}

// Appends and replaces keep their trees sound: full leaves without a
// trailing pointer split, inner nodes of their shape take new keys. (Only
// where every key we compute for a changed field is the key they stored:
// their numbers, blank dates and upper case differ, and a record is found
// in a tag by its key.)
class ForeignTrees : public ForeignFiles {};

TEST_P(ForeignTrees, OurChangesKeepThemSound) {
    Open();
    ASSERT_TRUE(SetIndexTo(""));
    // The first field's tag: its keys are ours and theirs alike.
    const std::string first = Field(1);
    ChooseFromEnd(first);
    const int32_t before = RecCount();
    uint32_t seed = 3;
    const auto next = [&seed](uint32_t below) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) % below;
    };
    for (int op = 0; op < 400; ++op) {
        const std::string text = "Q" + std::to_string(next(90));
        if (op % 4 == 0) {
            ClearRecord();
            PutFieldString(1, text);
            PutFieldNumber(2, 1);
            Append();
        } else {
            GO(1 + static_cast<int32_t>(next(static_cast<uint32_t>(RecCount()))));
            PutFieldString(1, text);
            Replace();
        }
        ASSERT_EQ(LastErrorCode(), 0) << "operation " << op << ": " << LastErrorMessage();
    }
    EXPECT_EQ(RecCount(), before + 100);
    const MdxReport r = MdxChecker::Check(IndexPath(), true);
    for (const std::string& problem : r.problems)
        // That writer keeps equal keys in the order they came.
        EXPECT_NE(problem.find("out of record order"), std::string::npos) << problem;
    // Every record once in the tag of the field we changed, and found by it.
    std::vector<uint32_t> records = r.Records(first);
    std::sort(records.begin(), records.end());
    std::vector<uint32_t> all(static_cast<size_t>(RecCount()));
    std::iota(all.begin(), all.end(), 1u);
    EXPECT_EQ(records, all);
    SetFindExact();
    ASSERT_TRUE(Find("Q7"));
    EXPECT_EQ(AllTrim(GetFieldString(1)), "Q7");
}

INSTANTIATE_TEST_SUITE_P(Tables, ForeignFiles, ::testing::ValuesIn(kTables),
                         [](const auto& info) { return std::string(info.param.name); });
// Tables whose first field's tags hold the very keys we compute.
INSTANTIATE_TEST_SUITE_P(Tables, ForeignTrees,
                         ::testing::Values(ForeignTable{"SHORT20K", true}, ForeignTable{"FULL127", true}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace testing_support
