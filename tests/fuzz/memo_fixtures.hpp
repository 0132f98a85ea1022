#pragma once
// Builds memo files byte by byte: the words of their headers, memos in each
// layout, and a sample memo file of each layout with memos at blocks 1, 2
// and 8 (a dBASE IV one with a free run in its chain). Shared by the memo
// tests and the memo fuzzer's seed corpus.
#include <cstdint>
#include <string>

namespace memo_fixtures {

inline std::string Le32(uint32_t v) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i) s[i] = static_cast<char>(v >> (8 * i));
    return s;
}

inline std::string Be32(uint32_t v) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i) s[i] = static_cast<char>(v >> (8 * (3 - i)));
    return s;
}

// `bytes` put at `at` in `file`, which grows with zeros when it is shorter.
inline std::string At(std::string file, size_t at, const std::string& bytes) {
    if (file.size() < at + bytes.size()) file.resize(at + bytes.size(), '\0');
    file.replace(at, bytes.size(), bytes);
    return file;
}

inline std::string Dbase4Memo(const std::string& text) {
    return std::string("\xFF\xFF\x08\x00", 4) + Le32(static_cast<uint32_t>(text.size() + 8)) + text;
}

inline std::string FoxMemo(const std::string& text) {
    return Be32(1) + Be32(static_cast<uint32_t>(text.size())) + text;
}

// 0x83 dBASE III, 0xF5 FoxPro (64-byte blocks), else dBASE IV.
inline std::string SampleMemoFile(uint8_t version) {
    const std::string lines = "first line\r\nsecond line\x8D\nthird";
    std::string f;
    if (version == 0x83) {
        f = At(f, 0, Le32(10));
        f = At(f, 512, "hello\x1A\x1A");
        f = At(f, 1024, lines + "\x1A\x1A");
        f = At(f, 4096, std::string(600, 'x') + "\x1A\x1A");
        f.resize(5120, '\0');
    } else if (version == 0xF5) {
        f = At(f, 0, Be32(12));
        f = At(f, 6, std::string("\x00\x40", 2));
        f = At(f, 512, FoxMemo(lines));  // block 8, the first after the header
        f = At(f, 576, FoxMemo(std::string(100, 'z')));
        f.resize(12 * 64, '\0');
    } else {
        f = At(f, 0, Le32(4));  // the chain: block 4, one block long, then the end at 10
        f = At(f, 8, "FUZZ");
        f = At(f, 18, std::string("\x02\x01\x00\x02", 4));
        f = At(f, 512, Dbase4Memo("hello"));
        f = At(f, 1024, Dbase4Memo(std::string(700, 'y')));
        f = At(f, 2048, Le32(10) + Le32(1));
        f = At(f, 4096, Dbase4Memo(lines));
        f.resize(5120, '\0');
    }
    return f;
}

}  // namespace memo_fixtures
