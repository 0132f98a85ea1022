// Writes the fuzzer's seed corpus: a valid table of every version the engine
// reads, with records and empty, into the directory named on the command line.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/fuzz/table_fixtures.hpp"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <directory>\n", argv[0]);
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
    return 0;
}
