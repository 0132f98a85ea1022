#pragma once
// The headers of the three memo-file layouts, shared by table creation (which
// writes an empty memo file beside a new table) and the memo unit.
//
// dBASE III (.DBT): blocks of 512 bytes; block 0 is the header.
//   0   u32 LE  next free block
//   512 0x1A    (the empty file ends with the first block's end mark)
// dBASE IV (.DBT): block size from the header; block 0 is the header.
//   0   u32 LE  next free block (the end of the file, in blocks)
//   4   u32 LE  0 (free-chain head, unused by a new file)
//   8   char[8] the table's base name, zero-padded
//   16  u16     0
//   18  u16 LE  0x0102
//   20  u16 LE  block size
//   22  u16     0
// FoxPro (.FPT): big-endian; 512 header bytes.
//   0   u32 BE  next free block
//   4   u16     0
//   6   u16 BE  block size
#include <cstdint>
#include <string>
#include <vector>

#include "engine/dbf/errors.hpp"

namespace zurod {

inline constexpr size_t kDbase3MemoBlock = 512;
inline constexpr size_t kDbase4MemoHeader = 24;
inline constexpr size_t kDbase4MemoBlockSizeAt = 20;
inline constexpr size_t kDbase4MemoNameAt = 8;
inline constexpr size_t kDbase4MemoVersionAt = 18;
inline constexpr uint16_t kDbase4MemoVersion = 0x0102;
inline constexpr size_t kFoxMemoHeader = 512;
inline constexpr size_t kFoxMemoBlockSizeAt = 6;

// The bytes of an empty memo file of the layout that goes with `memo_type`
// (a table version byte); `name` is the memo file's name.
std::vector<uint8_t> EmptyMemoFile(uint8_t memo_type, uint16_t block_size, const std::string& name);

// Creates (truncates) the memo file `name` (default extension by the memo
// type) empty; `caller` goes into the message of a failure.
Status MakeMemoFile(const std::string& name, uint8_t memo_type, uint16_t block_size, const std::string& caller);

}  // namespace zurod
