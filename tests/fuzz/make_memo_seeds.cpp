// Writes the memo fuzzer's seed corpus into the directory named on the
// command line: a memo file of each layout with memos at blocks 1, 2 and 8
// (a dBASE IV one with a free run in its chain), behind the layout byte and
// the extra block of memo_fuzz.cpp.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

void Put(std::string& s, size_t at, const std::string& bytes) {
    if (s.size() < at + bytes.size()) s.resize(at + bytes.size(), '\0');
    s.replace(at, bytes.size(), bytes);
}

std::string Le32(uint32_t v) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i) s[i] = static_cast<char>(v >> (8 * i));
    return s;
}

std::string Be32(uint32_t v) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i) s[i] = static_cast<char>(v >> (8 * (3 - i)));
    return s;
}

std::string Dbase4Memo(const std::string& text) {
    return std::string("\xFF\xFF\x08\x00", 4) + Le32(static_cast<uint32_t>(text.size() + 8)) + text;
}

std::string FoxMemo(const std::string& text) { return Be32(1) + Be32(static_cast<uint32_t>(text.size())) + text; }

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <directory>\n", argv[0]);
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    std::filesystem::create_directories(dir);
    const std::string lines = "first line\r\nsecond line\x8D\nthird";
    const std::string extra = Le32(3);  // one record points at block 3

    std::string three;
    Put(three, 0, Le32(10));
    Put(three, 512, "hello\x1A\x1A");
    Put(three, 1024, lines + "\x1A\x1A");
    Put(three, 4096, std::string(600, 'x') + "\x1A\x1A");
    three.resize(5120, '\0');

    std::string four;
    Put(four, 0, Le32(4));  // the chain: block 4, one block long, then the end at 10
    Put(four, 8, "FUZZ");
    Put(four, 18, std::string("\x02\x01\x00\x02", 4));
    Put(four, 512, Dbase4Memo("hello"));
    Put(four, 1024, Dbase4Memo(std::string(700, 'y')));
    Put(four, 2048, Le32(10) + Le32(1));
    Put(four, 4096, Dbase4Memo(lines));
    four.resize(5120, '\0');

    std::string fox;
    Put(fox, 0, Be32(12));
    Put(fox, 6, std::string("\x00\x40", 2));
    Put(fox, 512, FoxMemo(lines));  // block 8, the first after the header
    Put(fox, 576, FoxMemo(std::string(100, 'z')));
    fox.resize(12 * 64, '\0');

    const std::pair<const char*, std::string> seeds[] = {
        {"dbase3", std::string(1, '\0') + extra + three},
        {"dbase4", std::string(1, '\1') + extra + four},
        {"foxpro", std::string(1, '\2') + extra + fox},
    };
    for (const auto& [name, bytes] : seeds) std::ofstream(dir / name, std::ios::binary) << bytes;
    return 0;
}
