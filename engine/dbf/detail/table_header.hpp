#pragma once
// Table headers: reading the header and field descriptors when a table is
// opened, rewriting the header on flush and close, creating new tables.
//
// dBASE III family header (little-endian):
//   0   u8      version (0x03, 0x83, 0x8B, 0xF5; level 7: 0x04, 0x8C)
//   1   u8[3]   date of the last update: year - 1900, month, day
//   4   u32     record count
//   8   u16     header length (descriptors and the 0x0D end byte included)
//   10  u16     record length (the delete mark included)
//   12  u8[16]  reserved; bytes 16..27 may carry other programs' data and
//               are kept as they are on disk when the header is rewritten
//   28  u8      production index flag
//   29  u8[3]   language driver and reserved
//   32  ...     field descriptors, 32 bytes each (level 7: after 36 more
//               prolog bytes, 48 bytes each), ended by 0x0D
// Descriptor: name (11 bytes, zero-padded) at 0, type at 11, length at 16,
// decimals at 17 (level 7: name 32 bytes, type 32, length 33, decimals 34).
//
// dBASE II header: version 0x02 at 0, u16 record count at 1, month, day and
// year - 1900 at 3..5, u16 record length at 6, 32 descriptors of 16 bytes
// from 8 (name 11, type 11, length 12, decimals 15), 521 bytes in all.
#include <cstdint>
#include <span>
#include <string>

#include "engine/dbf/detail/workarea.hpp"
#include "engine/dbf/errors.hpp"

namespace zurod {

inline constexpr size_t kHeaderPrefix = 32;
inline constexpr size_t kCountAt = 4;
inline constexpr size_t kHeaderLengthAt = 8;
inline constexpr size_t kRecordLengthAt = 10;
inline constexpr size_t kKeptBytesAt = 16;
inline constexpr size_t kKeptBytes = 12;
inline constexpr size_t kIndexFlagAt = 28;
inline constexpr size_t kDescriptorSize = 32;
inline constexpr size_t kDescriptorTypeAt = 11;
inline constexpr size_t kDescriptorLengthAt = 16;
inline constexpr size_t kDescriptorDecimalsAt = 17;
inline constexpr size_t kLevel7Prolog = kHeaderPrefix + 36;
inline constexpr size_t kLevel7DescriptorSize = 48;
inline constexpr size_t kDbase2HeaderLength = 521;
inline constexpr size_t kDbase2DescriptorsAt = 8;
inline constexpr size_t kDbase2DescriptorSize = 16;
inline constexpr char kEndOfDescriptors = 0x0D;

// dBASE II headers hold only 16 bits.
inline constexpr int32_t kMaxDbase2Records = 0xFFFF;

bool IsValidVersion(uint8_t version);
bool IsDbase2(const TWorkArea& area);
bool IsLevel7(const TWorkArea& area);

// Opens the table named in area.file_name with the engine's file mode and
// reads its layout; a failure leaves the file closed.
Status OpenDbf(TWorkArea& area);
// Writes the header's first bytes. On a file others may write, this happens
// under the append lock and from the count on disk (which it never lowers);
// when the lock stays taken for long, nothing is written, because every
// append stored its count already.
Status WriteDbfHeader(TWorkArea& area);
// Writes what the header state says the disk lacks, and flushes.
Status FlushDbfHeader(TWorkArea& area);
// Writes a changed header and the end mark, and closes the file; a virtual
// file is closed by its store. Everything is released whatever the result.
Status CloseDbf(TWorkArea& area);
// Creates a table file (and its memo file when a field is a memo); the table
// is left closed.
Status CreateDbfFile(const std::string& name, std::span<FieldDef> fields);

// The number of whole records a file of `size` bytes holds behind the
// area's header, capped at kMaxRecords.
int32_t CountFromSize(const TWorkArea& area, uint64_t size);
// The record count the header on disk holds (read through the header view
// when there is one, so without a system call); 0 or an error code.
int ReadHeaderCount(const TWorkArea& area, int32_t& count);
// The date and count of the header, written after every append (through the
// header view when there is one) so that a process that dies before the next
// flush loses nothing.
int WriteHeaderCount(TWorkArea& area);
// The end mark behind the last record, on a file held against other writers
// only: on a shared file every append wrote its own, and a mark written later
// could land on a record another process has just appended.
int WriteEndMark(TWorkArea& area);

// The file a pack or a zap builds beside the table before it renames it over
// the table ("<table>.TZP" beside the file a link points to).
std::string RewriteFileName(const TWorkArea& area);
// Removes a rewrite file that a process left behind when it died; one that
// any open still holds is left alone.
void RemoveStaleRewrite(const TWorkArea& area);

}  // namespace zurod
