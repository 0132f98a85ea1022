#include "engine/dbf/detail/table_header.hpp"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "engine/dbf/dates.hpp"
#include "engine/dbf/detail/locking.hpp"
#include "engine/dbf/detail/memo_header.hpp"
#include "engine/dbf/detail/record_io.hpp"
#include "engine/dbf/detail/state.hpp"
#include "engine/dbf/detail/swap_buffer.hpp"
#include "engine/dbf/files.hpp"
#include "engine/dbf/settings.hpp"
#include "engine/dbf/strings.hpp"
#include "platform/codepage.hpp"
#include "platform/dos_error.hpp"
#include "platform/paths.hpp"

namespace zurod {

namespace {

uint16_t GetU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t GetU32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24); }
void PutU16(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
void PutU32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

std::string TwoDigits(int v) {
    std::string s(2, '0');
    s[0] = static_cast<char>('0' + (v / 10) % 10);
    s[1] = static_cast<char>('0' + v % 10);
    return s;
}

int32_t ClampCount(uint64_t count) { return static_cast<int32_t>(std::min<uint64_t>(count, kMaxRecords)); }

std::string NameWithoutDirectory(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The file name of a table: a name without extension gets ".DBF".
std::string TableFileName(const std::string& name) {
    PathParts parts = FSplit(name);
    if (!parts.ext.empty()) return name;
    return parts.dir + RTrim(parts.name) + ".DBF";
}

// Closes the file and forgets the layout unless the open was completed.
class OpenGuard {
public:
    explicit OpenGuard(TWorkArea& area) : area_(area) {}
    ~OpenGuard() {
        if (done_) return;
        area_.file.Close();
        area_.fields.clear();
        area_.owned_record.clear();
        area_.record = {};
        area_.field_count = 0;
        area_.header_state = HeaderState::Closed;
    }
    void Done() { done_ = true; }
    OpenGuard(const OpenGuard&) = delete;
    OpenGuard& operator=(const OpenGuard&) = delete;

private:
    TWorkArea& area_;
    bool done_ = false;
};

Status NotDbase(const std::string& name, std::string_view reason, std::string_view label) {
    std::string m = name;
    m += " is not a dBASE database. (";
    m += reason;
    m += ") ";
    m += label;
    return Fail(210, std::move(m));
}

Status ReadError(const TWorkArea& area, int rc) {
    return Fail(static_cast<uint16_t>(rc), "Error reading " + area.file_name + " [Use/OpenDbf]");
}

bool ValidType(char t) { return t == 'C' || t == 'D' || t == 'F' || t == 'L' || t == 'M' || t == 'N'; }

struct DescriptorLayout {
    size_t type_at, length_at, decimals_at;
};
constexpr DescriptorLayout kDbase3Layout{kDescriptorTypeAt, kDescriptorLengthAt, kDescriptorDecimalsAt};
constexpr DescriptorLayout kLevel7Layout{32, 33, 34};
constexpr DescriptorLayout kDbase2Layout{11, 12, 15};

// Decodes one descriptor; false for a type the engine does not hold.
bool DecodeField(const uint8_t* d, DescriptorLayout layout, FieldInfo& f) {
    size_t n = 0;
    while (n < 11 && d[n] != 0) ++n;
    f.name = platform::AnsiUpper(AllTrim(std::string_view(reinterpret_cast<const char*>(d), n)));
    if (f.name.size() > 10) f.name.resize(10);
    char type = platform::AnsiUpper(static_cast<char>(d[layout.type_at]));
    if (type == 'B' || type == 'G' || type == 'P') type = 'M';
    f.type = type;
    f.length = d[layout.length_at];
    f.decimals = d[layout.decimals_at];
    return ValidType(type);
}

// Checks that the fields fit the record and sets their offsets.
Status LayOutFields(TWorkArea& area, std::string_view label) {
    uint32_t offset = 1;
    for (FieldInfo& f : area.fields) {
        f.offset = static_cast<uint16_t>(std::min<uint32_t>(offset, 0xFFFF));
        offset += f.length;
    }
    if (offset > area.record_length) return NotDbase(area.file_name, "Record length is smaller than its fields", label);
    // Some writers keep the high byte of a character field's length in its
    // decimals byte. Such a field and every field after it would be read at
    // the wrong place, so the table is refused rather than misread.
    if (offset < area.record_length) {
        for (const FieldInfo& f : area.fields)
            if (f.type == 'C' && f.decimals != 0)
                return Fail(
                    211,
                    "Field: " + f.name + " [C] in " + area.file_name + " is longer than 255 characters [USE/OpenDBF]");
    }
    area.field_count = static_cast<uint8_t>(area.fields.size());
    AssignSwapOffsets(area);
    return {};
}

void AllocateRecord(TWorkArea& area) {
    area.owned_record.assign(area.record_length, ' ');
    area.record = area.owned_record;
}

Status ReadDescriptors(TWorkArea& area, uint64_t at, std::vector<uint8_t>& out) {
    size_t got = 0;
    int rc = area.file.ReadAt(at, std::span(reinterpret_cast<char*>(out.data()), out.size()), got);
    if (rc == 0 && got < out.size()) rc = 100;
    return rc == 0 ? Status{} : ReadError(area, rc);
}

Status ReadDbase3(TWorkArea& area, uint64_t file_size) {
    const bool level7 = IsLevel7(area);
    const size_t prolog = level7 ? kLevel7Prolog : kHeaderPrefix;
    const size_t dsize = level7 ? kLevel7DescriptorSize : kDescriptorSize;
    const uint8_t* h = area.header.data();

    area.memo = (h[0] & 0x80) != 0;
    area.header_length = GetU16(h + kHeaderLengthAt);
    area.record_length = GetU16(h + kRecordLengthAt);
    const long count = area.header_length >= prolog ? static_cast<long>((area.header_length - prolog) / dsize) : 0;
    if (count < 1 || count > 255)
        return NotDbase(NameWithoutDirectory(area.file_name), "Number of fields is out of range", "[Use/OpenDbf]");
    if (file_size < area.header_length)
        return NotDbase(area.file_name, "File is shorter than its header", "[USE/OpenDBF]");
    if (area.record_length == 0) return NotDbase(area.file_name, "Record length is zero", "[USE/OpenDBF]");
    area.last_update = std::to_string(1900 + h[1]) + TwoDigits(h[2]) + TwoDigits(h[3]);
    area.rec_count = ClampCount(GetU32(h + kCountAt));
    area.header_state = HeaderState::Clean;

    // The header length was checked against the file size, so a short read
    // here is an input/output failure.
    std::vector<uint8_t> descriptors(area.header_length - prolog);
    if (Status s = ReadDescriptors(area, prolog, descriptors); s.failed()) return s;
    area.fields.clear();
    area.fields.reserve(count);
    for (long i = 0; i < count; ++i) {
        const uint8_t* d = descriptors.data() + i * dsize;
        if (d[0] == kEndOfDescriptors) {
            if (i == 0) return Fail(222, "Error reading " + area.file_name + " [Use/OpenDbf]");
            break;
        }
        FieldInfo f;
        if (!DecodeField(d, level7 ? kLevel7Layout : kDbase3Layout, f))
            return Fail(211, "Error reading " + area.file_name + " [Use/OpenDbf]");
        area.fields.push_back(std::move(f));
    }
    if (Status s = LayOutFields(area, "[USE/OpenDBF]"); s.failed()) return s;
    AllocateRecord(area);
    return {};
}

Status ReadDbase2(TWorkArea& area, uint64_t file_size) {
    const uint8_t* h = area.header.data();
    area.memo = false;
    area.rec_count = GetU16(h + 1);
    area.last_update = std::to_string(1900 + h[5]) + TwoDigits(h[3]) + TwoDigits(h[4]);
    area.record_length = GetU16(h + 6);
    area.header_length = kDbase2HeaderLength;
    if (file_size < kDbase2HeaderLength)
        return Fail(210, area.file_name + " is not a dBASE database.(Header is less than 521 bytes) [Use/OpenDBF]");
    if (area.record_length == 0) return NotDbase(area.file_name, "Record length is zero", "[USE/OpenDBF]");
    area.header_state = HeaderState::Clean;
    std::vector<uint8_t> descriptors(32 * kDbase2DescriptorSize);
    if (Status s = ReadDescriptors(area, kDbase2DescriptorsAt, descriptors); s.failed()) return s;
    area.fields.clear();
    for (size_t i = 0; i < 32; ++i) {
        const uint8_t* d = descriptors.data() + i * kDbase2DescriptorSize;
        if (d[0] == kEndOfDescriptors) break;
        FieldInfo f;
        if (!DecodeField(d, kDbase2Layout, f)) return Fail(211, "Error reading " + area.file_name + " [Use/OpenDbf]");
        area.fields.push_back(std::move(f));
    }
    if (area.fields.empty())
        return Fail(210,
                    NameWithoutDirectory(area.file_name) +
                        " is not a dBASE database.(Number of fields is out of range) [Use/OpenDbf]");
    if (Status s = LayOutFields(area, "[USE/OpenDBF]"); s.failed()) return s;
    AllocateRecord(area);
    return {};
}

std::string MakeTableKey(const TWorkArea& area) {
    std::string key = RealPath(FExpand(area.file_name));
    if (area.oem) key = AnsiToOemStr(key);
    std::erase_if(key, [](char c) { return c == '/' || c == '\\' || c == ':'; });
    if (key.size() > 12) key.resize(12);
    return key;
}

void SetUpdateDate(TWorkArea& area) {
    const Today t = GetDate();
    uint8_t* h = area.header.data();
    const uint8_t year = static_cast<uint8_t>((t.year + 148) % 256);
    if (IsDbase2(area)) {
        h[5] = year, h[3] = static_cast<uint8_t>(t.month), h[4] = static_cast<uint8_t>(t.day);
        PutU16(h + 1, static_cast<uint32_t>(area.rec_count));
    } else {
        h[1] = year, h[2] = static_cast<uint8_t>(t.month), h[3] = static_cast<uint8_t>(t.day);
        PutU32(h + kCountAt, static_cast<uint32_t>(area.rec_count));
    }
    // Every append comes here: the text is built only when the day changed.
    char text[8];
    const int parts[] = {t.year / 100, t.year % 100, t.month, t.day};
    for (int i = 0; i < 4; ++i) {
        text[2 * i] = static_cast<char>('0' + parts[i] / 10 % 10);
        text[2 * i + 1] = static_cast<char>('0' + parts[i] % 10);
    }
    if (t.year < 1000 || t.year > 9999) {
        area.last_update = std::to_string(t.year) + TwoDigits(t.month) + TwoDigits(t.day);
    } else if (area.last_update != std::string_view(text, 8)) {
        area.last_update.assign(text, 8);
    }
}

// A shared table may have grown through other processes: the count written
// to the header is the one on disk (every append stores its own there),
// never below what this area counts, and never past the whole records.
void RefreshCountForHeader(TWorkArea& area) {
    if (area.exclusive || area.record_length == 0) return;
    uint64_t size = 0;
    int32_t on_disk = 0;
    if (area.file.Size(size) != 0 || ReadHeaderCount(area, on_disk) != 0) return;
    area.whole_records = std::max(area.whole_records, CountFromSize(area, size));
    area.rec_count = std::max(area.rec_count, std::min(on_disk, area.whole_records));
}

// Holds the append lock while the header of a file others may write is
// rewritten, so that no append's count is undone; on other files, or when
// the area holds the lock already, there is nothing to take.
class HeaderLock {
public:
    explicit HeaderLock(TWorkArea& area) : area_(area) {
        if (!area.file.OthersMayWrite() || !PhysicalLocks(area) || area.lock_state == LockState::Append) {
            held_ = true;
            return;
        }
        // Appenders hold the lock for one record at a time; a holder that
        // keeps it longer costs this rewrite (the date: every append stored
        // its count already), not a wait without end.
        const auto give_up = std::chrono::steady_clock::now() + std::chrono::milliseconds(200);
        auto pause = std::chrono::microseconds(20);
        for (;;) {
            const int rc = LockRegion(false, area.file, AppendLockOffset(), 1);
            if (rc == 0) {
                held_ = taken_ = true;
                return;
            }
            // A file system without locks cannot order the writers at all.
            if (rc != platform::kLockViolation || std::chrono::steady_clock::now() >= give_up) {
                held_ = rc != platform::kLockViolation;
                return;
            }
            std::this_thread::sleep_for(pause);
            pause = std::min(pause * 2, std::chrono::microseconds(1000));
        }
    }
    ~HeaderLock() {
        if (taken_) (void)LockRegion(true, area_.file, AppendLockOffset(), 1);
    }
    bool held() const { return held_; }
    HeaderLock(const HeaderLock&) = delete;
    HeaderLock& operator=(const HeaderLock&) = delete;

private:
    TWorkArea& area_;
    bool held_ = false;
    bool taken_ = false;
};

Status FileError(const TWorkArea& area, int rc, std::string_view label) {
    return Fail(static_cast<uint16_t>(rc), "File:  " + area.file_name + " " + std::string(label));
}

}  // namespace

bool IsValidVersion(uint8_t v) {
    return v == kDbase2 || v == kDbase3 || v == kDbase3Memo || v == kDbase4Memo || v == kFoxProMemo || v == kLevel7 ||
        v == kLevel7Memo;
}
bool IsDbase2(const TWorkArea& area) { return area.Version() == kDbase2; }
bool IsLevel7(const TWorkArea& area) { return area.Version() == kLevel7 || area.Version() == kLevel7Memo; }

int32_t CountFromSize(const TWorkArea& area, uint64_t size) {
    if (area.record_length == 0 || size < area.header_length) return 0;
    return ClampCount((size - area.header_length) / area.record_length);
}

int ReadHeaderCount(const TWorkArea& area, int32_t& count) {
    uint8_t bytes[kHeaderLengthAt];
    const size_t n = IsDbase2(area) ? 3 : kHeaderLengthAt;
    if (area.file.HeaderViewSize() >= n) {
        std::memcpy(bytes, area.file.HeaderView(), n);
    } else {
        size_t got = 0;
        if (int rc = area.file.ReadAt(0, std::span(reinterpret_cast<char*>(bytes), n), got); rc != 0) return rc;
        if (got < n) return 100;
    }
    count = IsDbase2(area) ? GetU16(bytes + 1) : ClampCount(GetU32(bytes + kCountAt));
    return 0;
}

Status OpenDbf(TWorkArea& area) {
    area.file_name = TableFileName(area.file_name);
    area.open_mode = Settings().file_mode;
    const OpenMode mode = DecodeOpenMode(area.open_mode);
    if (int rc = area.file.Open(area.file_name, mode.access, mode.share); rc != 0)
        return Fail(static_cast<uint16_t>(rc), "Failure to open " + area.file_name + " [USE/OpenDbf]");
    OpenGuard guard(area);
    area.file_name = area.file.Path();  // as spelled on disk
    area.table_key = MakeTableKey(area);

    uint64_t size = 0;
    if (int rc = area.file.Size(size); rc != 0) return ReadError(area, rc);
    size_t got = 0;
    area.header.fill(0);
    if (int rc = area.file.ReadAt(0, std::span(reinterpret_cast<char*>(area.header.data()), kHeaderPrefix), got);
        rc != 0)
        return ReadError(area, rc);
    if (got < kHeaderPrefix) return NotDbase(area.file_name, "Prolog is less than 32 bytes", "[USE/OpenDBF]");
    if (!IsValidVersion(area.Version()))
        return Fail(210, area.file_name + " is not a dBASE database.(Invalid version byte)+ [USE/OpenDBF]");
    if (Status s = IsDbase2(area) ? ReadDbase2(area, size) : ReadDbase3(area, size); s.failed()) return s;

    area.whole_records = CountFromSize(area, size);
    area.count_from_size = Settings().count_from_size;
    if (area.count_from_size) area.rec_count = area.whole_records;
    if (area.rec_count < 1) {
        area.rec_no = 0;
        area.bof = area.eof = true;
    } else {
        area.rec_no = 1;
        area.bof = area.eof = false;
    }
    area.file.MapHeader(area.header.size());
    guard.Done();
    return {};
}

int WriteHeaderCount(TWorkArea& area) {
    SetUpdateDate(area);
    const size_t n = IsDbase2(area) ? 6 : kHeaderLengthAt;
    if (area.file.HeaderViewSize() >= n) {
        std::memcpy(area.file.HeaderView(), area.header.data(), n);
        return 0;
    }
    return area.file.WriteAt(0, std::span(reinterpret_cast<const char*>(area.header.data()), n));
}

int WriteEndMark(TWorkArea& area) {
    if (area.file.OthersMayWrite()) return 0;
    const uint64_t at = RecordOffset(area, area.rec_count + 1);
    uint64_t size = 0;
    if (int rc = area.file.Size(size); rc != 0) return rc;
    // Never over a record another process appended behind our count.
    if (at + 1 < size) return 0;
    const char mark = static_cast<char>(Settings().eof_mark);
    return area.file.WriteAt(at, std::span(&mark, 1));
}

std::string RewriteFileName(const TWorkArea& area) { return platform::FinalPath(area.file.Path()) + ".TZP"; }

void RemoveStaleRewrite(const TWorkArea& area) {
    // The table is open here, so nobody packs or zaps it now: a rewrite file
    // is stale unless someone holds it, and RemoveFile refuses one that is held.
    (void)platform::RemoveFile(RewriteFileName(area));
}

Status WriteDbfHeader(TWorkArea& area) {
    const HeaderLock lock(area);
    if (!lock.held()) return {};
    RefreshCountForHeader(area);
    int rc = 0;
    if (!IsDbase2(area)) {
        // Bytes other programs may have changed on disk survive the rewrite.
        std::array<char, kKeptBytes> kept{};
        size_t got = 0;
        rc = area.file.ReadAt(kKeptBytesAt, kept, got);
        if (rc == 0 && got == kept.size()) std::memcpy(area.header.data() + kKeptBytesAt, kept.data(), kKeptBytes);
    }
    SetUpdateDate(area);
    if (rc == 0) {
        const size_t n = IsDbase2(area) ? 8 : kHeaderPrefix;
        rc = area.file.WriteAt(0, std::span(reinterpret_cast<const char*>(area.header.data()), n));
    }
    return rc == 0 ? Status{} : FileError(area, rc, "[WriteDbfHeader]");
}

Status FlushDbfHeader(TWorkArea& area) {
    const HeaderState state = area.header_state;
    if (state != HeaderState::Changed && state != HeaderState::Appended) return {};
    Status status = WriteDbfHeader(area);
    if (status.ok() && state == HeaderState::Appended)
        if (int rc = WriteEndMark(area); rc != 0) status = FileError(area, rc, "[FlushDbfHeader]");
    area.header_state = HeaderState::Clean;
    if (status.ok())
        if (int rc = area.file.Sync(); rc != 0)
            status = Fail(static_cast<uint16_t>(rc), "Unable to flush file [FlushFile]");
    return status;
}

Status CloseDbf(TWorkArea& area) {
    if (area.is_virtual) return CallVirtualStore(area, VFileRequest::Close, 0);
    Status status;
    const HeaderState state = area.header_state;
    if (area.file.IsOpen() && (state == HeaderState::Changed || state == HeaderState::Appended)) {
        status = WriteDbfHeader(area);
        if (status.ok() && state == HeaderState::Appended)
            if (int rc = WriteEndMark(area); rc != 0) status = Fail(static_cast<uint16_t>(rc), "");
        if (status.failed()) status.message = "File:  " + area.file_name + " [CloseDbf(" + area.file_name + ")]";
    }
    area.file.Close();
    area.header_state = HeaderState::Closed;
    area.owned_record.clear();
    area.owned_record.shrink_to_fit();
    area.record = {};
    area.fields.clear();
    area.field_count = 0;
    return status;
}

Status CreateDbfFile(const std::string& name, std::span<FieldDef> fields) {
    const Status refused = Fail(211, "Invalid dBASE field definition [CreateDBF]");
    if (fields.empty() || fields.size() > 255) return refused;

    bool memo = false;
    const size_t hl = kDescriptorSize * fields.size() + kHeaderPrefix + 1;
    std::vector<uint8_t> header(hl, 0);
    uint32_t rl = 1;
    for (size_t i = 0; i < fields.size(); ++i) {
        FieldDef& f = fields[i];
        f.type = platform::AnsiUpper(f.type);
        f.name = platform::AnsiUpper(AllTrim(f.name));
        if (f.name.size() > 10) f.name.resize(10);
        if (f.name.empty()) return refused;
        for (size_t j = 0; j < i; ++j)
            if (fields[j].name == f.name) return refused;
        switch (f.type) {
        case 'D': f.length = 8, f.decimals = 0; break;
        case 'L': f.length = 1, f.decimals = 0; break;
        case 'C':
            if (f.length < 1 || f.length > 255) return refused;
            f.decimals = 0;
            break;
        case 'N':
        case 'F':
            if (f.length < 1 || f.length > 255 || f.decimals < 0) return refused;
            // Room for at least one digit and the point.
            if (f.decimals > 0 && f.decimals > f.length - 2) return refused;
            break;
        case 'M':
        case 'B':
        case 'G':
        case 'P':
            memo = true;
            f.length = 10, f.decimals = 0;
            break;
        default: return refused;
        }
        uint8_t* d = header.data() + kDescriptorSize * (i + 1);
        std::memcpy(d, f.name.data(), f.name.size());
        d[kDescriptorTypeAt] = static_cast<uint8_t>(f.type);
        d[kDescriptorLengthAt] = static_cast<uint8_t>(f.length);
        d[kDescriptorDecimalsAt] = static_cast<uint8_t>(f.decimals);
        rl += static_cast<uint32_t>(f.length);
    }
    if (rl > 0xFFFF) return refused;
    header[hl - 1] = kEndOfDescriptors;
    PutU16(header.data() + kHeaderLengthAt, static_cast<uint32_t>(hl));
    PutU16(header.data() + kRecordLengthAt, rl);
    header[0] = memo ? kDbase4Memo : kDbase3;

    const std::string file_name = AllTrim(AddDefaultExt(name, "DBF"));
    TWorkArea area;
    area.file_name = file_name;
    area.memo = memo;
    area.header_length = static_cast<uint16_t>(hl);
    area.record_length = static_cast<uint16_t>(rl);
    area.field_count = static_cast<uint8_t>(fields.size());
    std::copy_n(header.begin(), kHeaderPrefix, area.header.begin());

    int rc = area.file.Open(file_name, platform::Access::ReadWrite, platform::Share::Exclusive,
                            platform::Disposition::CreateAlways);
    if (rc == 0) rc = area.file.WriteAt(0, std::span(reinterpret_cast<const char*>(header.data()), hl));
    if (rc != 0) {
        const bool created = area.file.IsOpen();
        const std::string path = area.file.Path();
        area.file.Close();
        if (created) platform::RemoveFile(path);
        return Fail(static_cast<uint16_t>(rc), "Error writing " + name + ". [CreateDbf]");
    }
    area.exclusive = true;
    area.header_state = HeaderState::Appended;
    area.rec_count = 0;
    const std::string path = area.file.Path();
    Status status = CloseDbf(area);
    if (status.ok() && memo)
        status = MakeMemoFile(ForceExt(file_name, MemoExtension(kDbase4Memo)), kDbase4Memo, Settings().memo_block_size,
                              "CreateDbf()");
    // A table that could not be made whole is not left behind.
    if (status.failed()) platform::RemoveFile(path);
    return status;
}

void CreateDbf(const std::string& name, std::span<FieldDef> fields) {
    SetLastErrorCode(0);
    Report(CreateDbfFile(name, fields));
}

std::string MemoExtension(uint8_t version) {
    if (!IsValidVersion(version)) version = Settings().new_table_version;
    return version == kFoxProMemo ? "FPT" : "DBT";
}

}  // namespace zurod
