// Writes the fuzzers' seed corpora: a valid table of every version the engine
// reads, with records and empty, into the first directory named on the
// command line; a memo file of each layout and damaged ones (behind the
// layout byte and the extra block that memo_fuzz.cpp reads first) into the
// second; and damaged copies of the index files in the third directory into
// the fourth. The damage is what hostile files showed: memo blocks without
// their mark or under a changed block size, files cut short, dBASE III end
// marks split over two blocks; tags leading into another tag's nodes, trees
// leading back into themselves, nodes counting more entries than fit.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "tests/fuzz/memo_fixtures.hpp"
#include "tests/fuzz/table_fixtures.hpp"
#include "tests/support/files.hpp"

namespace {

using memo_fixtures::At;
using memo_fixtures::Le32;

// memo_fuzz's input: the layout byte (0 dBASE III, 1 dBASE IV, 2 FoxPro),
// the block a fourth record names, and the memo file.
void WriteMemoSeed(const std::filesystem::path& path, int layout, uint32_t extra, const std::string& file) {
    std::ofstream(path, std::ios::binary) << static_cast<char>(layout) + Le32(extra) + file;
}

void WriteDamagedMemos(const std::filesystem::path& dir) {
    const std::string dbase3 = memo_fixtures::SampleMemoFile(0x83);
    const std::string dbase4 = memo_fixtures::SampleMemoFile(0x8B);
    const std::string foxpro = memo_fixtures::SampleMemoFile(0xF5);
    // A dBASE IV block without its mark, with much behind it to run into.
    WriteMemoSeed(dir / "dbase4-no-mark", 1, 3, At(dbase4, 512, "text") + std::string(20000, 'f'));
    // The block size changed under the records' block numbers.
    WriteMemoSeed(dir / "dbase4-block-size", 1, 3, At(dbase4, 20, std::string("\x00\x01", 2)));
    // Cut short after block 2: the header still names block 10 as the end.
    WriteMemoSeed(dir / "dbase3-cut", 0, 3, dbase3.substr(0, 1536));
    WriteMemoSeed(dir / "dbase4-cut", 1, 3, dbase4.substr(0, 1536));
    WriteMemoSeed(dir / "foxpro-cut", 2, 9, foxpro.substr(0, 640));
    // A header that names an end far past the file.
    WriteMemoSeed(dir / "dbase3-far-end", 0, 3, At(dbase3, 0, Le32(0x70000000)));
    // A 511-byte dBASE III memo as other writers leave it: its end marks on
    // both sides of a block boundary, the next memo right behind.
    WriteMemoSeed(dir / "dbase3-split-marks", 0, 3,
                  At(At(dbase3, 512, std::string(511, 's') + "\x1A\x1A"), 1536, "next\x1A\x1A"));
}

// A multiple-index file's words, for damaging it.
class Mdx {
public:
    explicit Mdx(std::string bytes) : b_(std::move(bytes)) {}
    const std::string& bytes() const { return b_; }
    uint32_t Get(size_t at) const {
        if (at + 4 > b_.size()) return 0;
        uint32_t v = 0;
        for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<uint8_t>(b_[at + i]);
        return v;
    }
    void Put(size_t at, uint32_t v) {
        if (at + 4 <= b_.size()) b_.replace(at, 4, Le32(v));
    }
    int Tags() const { return b_.size() > 28 ? static_cast<uint8_t>(b_[28]) : 0; }
    size_t HeaderAt(int n) const { return size_t{Get(512 + 32 * size_t(n))} * 512; }
    uint32_t Root(int n) const { return Get(HeaderAt(n)); }
    void SetRoot(int n, uint32_t block) { Put(HeaderAt(n), block); }
    uint16_t Item(int n) const { return static_cast<uint16_t>(Get(HeaderAt(n) + 18) & 0xFFFF); }
    uint32_t Count(uint32_t node) const { return Get(size_t{node} * 512); }
    void SetCount(uint32_t node, uint32_t count) { Put(size_t{node} * 512, count); }
    size_t EntryAt(uint32_t node, uint16_t item, uint32_t i) const { return size_t{node} * 512 + 8 + size_t{i} * item; }
    // The trailing pointer's place, 0 when it does not fit (a full leaf).
    size_t TrailingAt(uint32_t node, uint16_t item) const {
        const size_t at = 8 + size_t{Count(node)} * item;
        return item > 0 && at + 4 <= 1024 ? size_t{node} * 512 + at : 0;
    }
    bool Inner(uint32_t node, uint16_t item) const {
        const size_t at = TrailingAt(node, item);
        return at != 0 && Get(at) != 0;
    }

private:
    std::string b_;
};

void WriteDamagedIndexes(const std::filesystem::path& from, const std::filesystem::path& to) {
    for (const auto& entry : std::filesystem::directory_iterator(from)) {
        const Mdx good(testing_support::ReadFileBytes(entry.path()));
        const std::string name = entry.path().filename().string();
        const auto write = [&](const std::string& variant, const Mdx& m) {
            std::ofstream(to / (name + "-" + variant), std::ios::binary) << m.bytes();
        };
        for (int a = 1; a <= good.Tags(); ++a) {
            // A tag of wider items led into another tag's leaf, which counts
            // all the entries its own items allow.
            for (int b = 1; b <= good.Tags(); ++b) {
                if (good.Item(a) <= good.Item(b) || good.Item(b) == 0 || good.Inner(good.Root(b), good.Item(b)))
                    continue;
                Mdx m = good;
                m.SetRoot(a, good.Root(b));
                m.SetCount(good.Root(b), (1024 - 8) / good.Item(b));
                write("cross-" + std::to_string(a), m);
                break;
            }
            const uint32_t root = good.Root(a);
            const uint16_t item = good.Item(a);
            if (good.Inner(root, item)) {
                Mdx loop = good;
                loop.Put(good.TrailingAt(root, item), root);
                write("root-loop-" + std::to_string(a), loop);
                Mdx child = good;
                const uint32_t first = good.Get(good.EntryAt(root, item, 0));
                if (good.Inner(first, item))
                    child.Put(good.TrailingAt(first, item), root);
                else
                    child.Put(good.EntryAt(root, item, 0), root);
                write("child-loop-" + std::to_string(a), child);
            }
            Mdx many = good;
            many.SetCount(root, 200);
            write("count-" + std::to_string(a), many);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 && argc != 3 && argc != 5) {
        std::fprintf(stderr, "usage: %s <table directory> [<memo directory> [<index files> <index directory>]]\n",
                     argv[0]);
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    std::filesystem::create_directories(dir);
    const unsigned versions[] = {0x02, 0x03, 0x83, 0x8B, 0xF5, 0x04, 0x8C};
    for (unsigned v : versions) {
        table_fixtures::Table t = table_fixtures::Sample(static_cast<uint8_t>(v));
        char name[32];
        std::snprintf(name, sizeof name, "v%02X.dbf", v);
        std::ofstream(dir / name, std::ios::binary) << table_fixtures::Build(t);
        t.records.clear();
        std::snprintf(name, sizeof name, "v%02X-empty.dbf", v);
        std::ofstream(dir / name, std::ios::binary) << table_fixtures::Build(t);
    }
    // One-field tables of each type, the smallest layouts there are.
    const table_fixtures::Field singles[] = {{"C", 'C', 1}, {"N", 'N', 1}, {"F", 'F', 3, 1},
                                             {"D", 'D', 8}, {"L", 'L', 1}, {"M", 'M', 10}};
    for (const table_fixtures::Field& f : singles) {
        table_fixtures::Table t;
        t.version = f.type == 'M' ? 0x8B : 0x03;
        t.fields = {f};
        t.records = {table_fixtures::Row(t.fields, {"1"}), table_fixtures::Row(t.fields, {""}, true)};
        std::ofstream(dir / ("single-" + f.name + ".dbf"), std::ios::binary) << table_fixtures::Build(t);
    }
    if (argc >= 3) {
        const std::filesystem::path memos = argv[2];
        std::filesystem::create_directories(memos);
        // One record points at block 3.
        const std::pair<const char*, uint8_t> layouts[] = {{"dbase3", 0x83}, {"dbase4", 0x8B}, {"foxpro", 0xF5}};
        for (size_t i = 0; i < std::size(layouts); ++i)
            WriteMemoSeed(memos / layouts[i].first, static_cast<int>(i), 3,
                          memo_fixtures::SampleMemoFile(layouts[i].second));
        WriteDamagedMemos(memos);
    }
    if (argc == 5) {
        const std::filesystem::path indexes = argv[4];
        std::filesystem::create_directories(indexes);
        WriteDamagedIndexes(argv[3], indexes);
    }
    return 0;
}
