// Writes the fuzzers' seed corpora: a valid table of every version the engine
// reads, with records and empty, into the first directory named on the
// command line, and a memo file of each layout (behind the layout byte and
// the extra block that memo_fuzz.cpp reads first) into the second.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>

#include "tests/fuzz/memo_fixtures.hpp"
#include "tests/fuzz/table_fixtures.hpp"

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: %s <table directory> [<memo directory>]\n", argv[0]);
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
    if (argc == 3) {
        const std::filesystem::path memos = argv[2];
        std::filesystem::create_directories(memos);
        const std::string extra = memo_fixtures::Le32(3);  // one record points at block 3
        const std::pair<const char*, uint8_t> layouts[] = {{"dbase3", 0x83}, {"dbase4", 0x8B}, {"foxpro", 0xF5}};
        for (size_t i = 0; i < std::size(layouts); ++i)
            std::ofstream(memos / layouts[i].first, std::ios::binary)
                << static_cast<char>(i) + extra + memo_fixtures::SampleMemoFile(layouts[i].second);
    }
    return 0;
}
