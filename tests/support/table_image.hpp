#pragma once
// A dBASE III table file taken apart byte by byte, without the engine, for
// tests that check what several processes or a crash left on disk.
#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/files.hpp"

namespace testing_support {

struct TableImage {
    uint32_t header_count = 0;
    size_t header_length = 0;
    size_t record_length = 0;
    std::vector<std::string> records;  // every whole record the file holds
    std::string tail;                  // the bytes behind the last whole record

    static TableImage Read(const std::string& path) {
        const std::string file = ReadFileBytes(path);
        TableImage t;
        if (file.size() < 12) return t;
        const auto byte = [&](size_t i) { return static_cast<uint8_t>(file[i]); };
        for (int i = 3; i >= 0; --i) t.header_count = (t.header_count << 8) | byte(4 + i);
        t.header_length = byte(8) | (byte(9) << 8);
        t.record_length = byte(10) | (byte(11) << 8);
        if (t.record_length == 0 || file.size() < t.header_length) return t;
        size_t at = t.header_length;
        for (; at + t.record_length <= file.size(); at += t.record_length)
            t.records.push_back(file.substr(at, t.record_length));
        t.tail = file.substr(at);
        return t;
    }

    // The records the header counts (no more than the file holds).
    std::vector<std::string> Counted() const {
        return {records.begin(), records.begin() + std::min<size_t>(header_count, records.size())};
    }
    // Field text at [offset, offset + length) of a record, trailing blanks cut.
    static std::string Field(const std::string& record, size_t offset, size_t length) {
        std::string text = record.substr(offset, length);
        while (!text.empty() && text.back() == ' ') text.pop_back();
        return text;
    }
};

}  // namespace testing_support
