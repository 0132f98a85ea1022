#include "engine/dbf/detail/memo_header.hpp"

#include <algorithm>
#include <cstring>
#include <span>

#include "engine/dbf/files.hpp"
#include "engine/dbf/tables.hpp"
#include "platform/file.hpp"

namespace zurod {

namespace {

void PutU16(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

void PutU32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace

std::vector<uint8_t> EmptyMemoFile(uint8_t memo_type, uint16_t block_size, const std::string& name) {
    std::vector<uint8_t> bytes;
    if (memo_type == kDbase3Memo) {
        bytes.assign(kDbase3MemoBlock + 1, 0);
        bytes[0] = 0x01;
        bytes[kDbase3MemoBlock] = 0x1A;
    } else if (memo_type == kFoxProMemo) {
        bytes.assign(kFoxMemoHeader, 0);
        const uint32_t next = (kFoxMemoHeader - 1) / std::max<uint16_t>(block_size, 1) + 1;
        bytes[0] = static_cast<uint8_t>(next >> 24), bytes[1] = static_cast<uint8_t>(next >> 16);
        bytes[2] = static_cast<uint8_t>(next >> 8), bytes[3] = static_cast<uint8_t>(next);
        bytes[kFoxMemoBlockSizeAt] = static_cast<uint8_t>(block_size >> 8);
        bytes[kFoxMemoBlockSizeAt + 1] = static_cast<uint8_t>(block_size);
    } else {
        bytes.assign(kDbase4MemoHeader, 0);
        PutU32(bytes.data(), 1);
        std::string base = FSplit(name).name;
        if (base.size() > 8) base.resize(8);
        std::memcpy(bytes.data() + kDbase4MemoNameAt, base.data(), base.size());
        PutU16(bytes.data() + kDbase4MemoVersionAt, kDbase4MemoVersion);
        PutU16(bytes.data() + kDbase4MemoBlockSizeAt, block_size);
    }
    return bytes;
}

Status MakeMemoFile(const std::string& name, uint8_t memo_type, uint16_t block_size, const std::string& caller) {
    const std::string file_name = AddDefaultExt(name, MemoExtension(memo_type));
    // Other programs only read dBASE IV files in blocks of 512 and FoxPro
    // files in blocks of at least 64.
    const bool usable = memo_type == kDbase3Memo ||
        (memo_type == kFoxProMemo ? block_size >= 64 : block_size >= 512 && block_size % 512 == 0);
    if (!usable)
        return Fail(
            220, "Invalid memo block size " + std::to_string(block_size) + " for " + file_name + " [" + caller + "]");
    platform::File file;
    if (int rc = file.Open(file_name, platform::Access::ReadWrite, platform::Share::Exclusive,
                           platform::Disposition::CreateAlways);
        rc != 0)
        return Fail(static_cast<uint16_t>(rc), "Cannot create memo file " + file_name + " [" + caller + "]");
    const std::vector<uint8_t> bytes = EmptyMemoFile(memo_type, block_size, file_name);
    const int rc = file.WriteAt(0, std::span(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    file.Close();
    if (rc != 0) return Fail(static_cast<uint16_t>(rc), file_name + " [" + caller + "]");
    return {};
}

}  // namespace zurod
