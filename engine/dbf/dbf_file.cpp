#include "engine/dbf/dbf_file.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "engine/dbf/dates.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/dbf/files.hpp"
#include "engine/dbf/hooks.hpp"
#include "engine/dbf/settings.hpp"
#include "engine/dbf/strings.hpp"
#include "platform/codepage.hpp"
#include "platform/numbers.hpp"
#include "platform/paths.hpp"

namespace zurod {

namespace {

constexpr char kEndOfDescriptors = 0x0D;
constexpr size_t kDbase2HeaderLength = 521;
constexpr size_t kLevel7Block = 36;
constexpr size_t kReadAheadBytes = 64 * 1024;

uint16_t GetU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t GetU32(const uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
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

// dBASE II headers hold only 16 bits.
constexpr int32_t kMaxDbase2Records = 0xFFFF;

int32_t ClampCount(uint64_t count) { return static_cast<int32_t>(std::min<uint64_t>(count, kMaxRecords)); }

uint64_t RecordOffset(const TWorkArea& area, int32_t n) {
    return area.header_length + static_cast<uint64_t>(n - 1) * area.record_length;
}

uint64_t EndOfData(const TWorkArea& area) { return RecordOffset(area, area.rec_count + 1); }

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

private:
    TWorkArea& area_;
    bool done_ = false;
};

std::string NotDbase(const std::string& name, std::string_view reason, std::string_view label) {
    std::string m = name;
    m += " is not a dBASE database. (";
    m += reason;
    m += ") ";
    m += label;
    return m;
}

bool ValidType(char t) {
    return t == 'C' || t == 'D' || t == 'F' || t == 'L' || t == 'M' || t == 'N';
}

// Decodes one descriptor; false (after reporting) for a type the engine does not hold.
bool DecodeField(const TWorkArea& area, const uint8_t* d, size_t type_at, size_t length_at,
                 size_t decimals_at, FieldInfo& f) {
    size_t n = 0;
    while (n < 11 && d[n] != 0) ++n;
    f.name = platform::AnsiUpper(AllTrim(std::string_view(reinterpret_cast<const char*>(d), n)));
    if (f.name.size() > 10) f.name.resize(10);
    char type = platform::AnsiUpper(static_cast<char>(d[type_at]));
    if (type == 'B' || type == 'G' || type == 'P') type = 'M';
    f.type = type;
    f.length = d[length_at];
    f.decimals = d[decimals_at];
    if (!ValidType(type)) {
        RunError(211, "Field: " + f.name + " [" + std::string(1, static_cast<char>(d[type_at])) +
                          "] in " + area.file_name + " is not a valid field type");
        return false;
    }
    return true;
}

// Checks that the fields fit the record and sets their offsets.
bool LayOutFields(TWorkArea& area, std::string_view label) {
    uint32_t offset = 1;
    for (FieldInfo& f : area.fields) {
        f.offset = static_cast<uint16_t>(std::min<uint32_t>(offset, 0xFFFF));
        offset += f.length;
    }
    if (offset > area.record_length) {
        RunError(210, NotDbase(area.file_name, "Record length is smaller than its fields", label));
        return false;
    }
    area.field_count = static_cast<uint8_t>(area.fields.size());
    AssignSwapOffsets(area);
    return true;
}

void AllocateRecord(TWorkArea& area) {
    area.owned_record.assign(area.record_length, ' ');
    area.record = area.owned_record;
}

bool ReadDbase3(TWorkArea& area, uint64_t file_size) {
    const bool level7 = IsLevel7(area);
    const size_t prolog = level7 ? 32 + kLevel7Block : 32;
    const size_t dsize = level7 ? 48 : 32;
    const std::string short_name = NameWithoutDirectory(area.file_name);
    const uint8_t* h = area.header.data();

    area.memo = (h[0] & 0x80) != 0;
    area.header_length = GetU16(h + 8);
    area.record_length = GetU16(h + 10);
    const long count = area.header_length >= prolog
                           ? static_cast<long>((area.header_length - prolog) / dsize)
                           : 0;
    if (count < 1 || count > 255) {
        RunError(210, NotDbase(short_name, "Number of fields is out of range", "[Use/OpenDbf]"));
        return false;
    }
    if (file_size < area.header_length) {
        RunError(210, NotDbase(area.file_name, "File is shorter than its header", "[USE/OpenDBF]"));
        return false;
    }
    if (area.record_length == 0) {
        RunError(210, NotDbase(area.file_name, "Record length is zero", "[USE/OpenDBF]"));
        return false;
    }
    area.last_update = std::to_string(1900 + h[1]) + TwoDigits(h[2]) + TwoDigits(h[3]);
    area.rec_count = ClampCount(GetU32(h + 4));
    area.header_state = HeaderState::Clean;

    // The header length was checked against the file size, so a short read
    // here is an input/output failure.
    std::vector<uint8_t> descriptors(area.header_length - prolog);
    size_t got = 0;
    int rc = area.file.ReadAt(prolog, std::span(reinterpret_cast<char*>(descriptors.data()),
                                                 descriptors.size()),
                              got);
    if (rc == 0 && got < descriptors.size()) rc = 100;
    if (rc != 0) {
        RunError(static_cast<uint16_t>(rc), "Error reading " + area.file_name + " [Use/OpenDbf]");
        return false;
    }
    area.fields.clear();
    area.fields.reserve(count);
    for (long i = 0; i < count; ++i) {
        const uint8_t* d = descriptors.data() + i * dsize;
        if (d[0] == kEndOfDescriptors) {
            if (i == 0) {
                RunError(222, "Error reading " + area.file_name + " [Use/OpenDbf]");
                return false;
            }
            break;
        }
        FieldInfo f;
        const bool ok = level7 ? DecodeField(area, d, 32, 33, 34, f) : DecodeField(area, d, 11, 16, 17, f);
        if (!ok) {
            RunError(211, "Error reading " + area.file_name + " [Use/OpenDbf]");
            return false;
        }
        area.fields.push_back(std::move(f));
    }
    if (!LayOutFields(area, "[USE/OpenDBF]")) return false;
    AllocateRecord(area);
    return true;
}

bool ReadDbase2(TWorkArea& area, uint64_t file_size) {
    const uint8_t* h = area.header.data();
    const std::string short_name = NameWithoutDirectory(area.file_name);
    area.memo = false;
    area.rec_count = GetU16(h + 1);
    area.last_update = std::to_string(1900 + h[5]) + TwoDigits(h[3]) + TwoDigits(h[4]);
    area.record_length = GetU16(h + 6);
    area.header_length = kDbase2HeaderLength;
    if (file_size < kDbase2HeaderLength) {
        RunError(210, area.file_name + " is not a dBASE database.(Header is less than 521 bytes) [Use/OpenDBF]");
        return false;
    }
    if (area.record_length == 0) {
        RunError(210, NotDbase(area.file_name, "Record length is zero", "[USE/OpenDBF]"));
        return false;
    }
    area.header_state = HeaderState::Clean;
    std::array<uint8_t, 512> descriptors{};
    size_t got = 0;
    int rc = area.file.ReadAt(8, std::span(reinterpret_cast<char*>(descriptors.data()), descriptors.size()), got);
    if (rc == 0 && got < descriptors.size()) rc = 100;
    if (rc != 0) {
        RunError(static_cast<uint16_t>(rc), "Error reading " + area.file_name + " [Use/OpenDbf]");
        return false;
    }
    area.fields.clear();
    for (size_t i = 0; i < 32; ++i) {
        const uint8_t* d = descriptors.data() + i * 16;
        if (d[0] == kEndOfDescriptors) break;
        FieldInfo f;
        if (!DecodeField(area, d, 11, 12, 15, f)) {
            RunError(211, "Error reading " + area.file_name + " [Use/OpenDbf]");
            return false;
        }
        area.fields.push_back(std::move(f));
    }
    if (area.fields.empty()) {
        RunError(210, short_name + " is not a dBASE database.(Number of fields is out of range) [Use/OpenDbf]");
        return false;
    }
    if (!LayOutFields(area, "[USE/OpenDBF]")) return false;
    AllocateRecord(area);
    return true;
}

std::string MakeTableKey(const TWorkArea& area) {
    std::string key = RealPath(FExpand(area.file_name));
    if (area.oem) key = AnsiToOemStr(key);
    std::erase_if(key, [](char c) { return c == '/' || c == '\\' || c == ':'; });
    if (key.size() > 12) key.resize(12);
    return key;
}

// The virtual-file store answers record requests of virtual areas.
void DispatchVirtual(TWorkArea& area, uint8_t op, int32_t n) {
    area.vfile_op = op;
    area.vfile_request = n;
    CallVirtualFileHook(area);
}

void ForgetReadAhead(TWorkArea& area) { area.read_ahead.Clear(); }

// Reads record n's raw bytes, through the read-ahead block when the area is
// held exclusively (nobody else can change the file under it then).
int ReadRaw(TWorkArea& area, int32_t n, char* out) {
    const uint16_t rl = area.record_length;
    ReadAhead& ra = area.read_ahead;
    // The area's exclusive flag is not enough: an open-mode override may have
    // opened the file shared all the same.
    if (area.file.CurrentShare() == platform::Share::DenyNone) {
        size_t got = 0;
        int rc = area.file.ReadAt(RecordOffset(area, n), std::span(out, rl), got);
        if (rc == 0 && got < rl) rc = 213;
        return rc;
    }
    if (!ra.Holds(n)) {
        const int32_t per_block = static_cast<int32_t>(std::max<size_t>(1, kReadAheadBytes / rl));
        // Walking backwards fills the block that ends at n.
        int32_t first = n;
        if (ra.first > 0 && n == ra.first - 1) first = std::max<int32_t>(1, n - per_block + 1);
        const int32_t count = std::min<int32_t>(per_block, area.rec_count - first + 1);
        ra.block.resize(static_cast<size_t>(count) * rl);
        size_t got = 0;
        ra.Clear();
        int rc = area.file.ReadAt(RecordOffset(area, first), ra.block, got);
        if (rc != 0) return rc;
        const int32_t whole = static_cast<int32_t>(got / rl);
        if (n - first >= whole) return 213;
        ra.first = first;
        ra.count = whole;
    }
    std::memcpy(out, ra.block.data() + static_cast<size_t>(n - ra.first) * rl, rl);
    return 0;
}

// Keeps the read-ahead block in step with a record just written.
void NoteWritten(TWorkArea& area, int32_t n, const char* raw) {
    ReadAhead& ra = area.read_ahead;
    if (ra.Holds(n)) std::memcpy(ra.block.data() + static_cast<size_t>(n - ra.first) * area.record_length, raw, area.record_length);
}

int WriteEndMark(TWorkArea& area) {
    const uint64_t at = EndOfData(area);
    uint64_t size = 0;
    int rc = area.file.Size(size);
    if (rc != 0) return rc;
    // Never over a record another process appended behind our count.
    if (at + 1 < size) return 0;
    const char mark = static_cast<char>(Settings().eof_mark);
    return area.file.WriteAt(at, std::span(&mark, 1));
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
        PutU32(h + 4, static_cast<uint32_t>(area.rec_count));
    }
    area.last_update = std::to_string(t.year) + TwoDigits(t.month) + TwoDigits(t.day);
}

// A shared table may have grown through other processes: the count written
// to the header must never fall below what the file holds.
void RefreshCountForHeader(TWorkArea& area) {
    if (area.exclusive || area.record_length == 0) return;
    uint64_t size = 0;
    if (area.file.Size(size) != 0 || size < area.header_length) return;
    const uint64_t in_file = (size - area.header_length) / area.record_length;
    if (in_file > static_cast<uint64_t>(area.rec_count))
        area.rec_count = ClampCount(in_file);
}

// The date and count of the header, written after every append so that a
// process that dies before the next flush loses nothing.
int WriteHeaderCount(TWorkArea& area) {
    SetUpdateDate(area);
    const size_t n = IsDbase2(area) ? 6 : 8;
    if (area.header_map.Size() >= n) {
        std::memcpy(area.header_map.Data(), area.header.data(), n);
        return 0;
    }
    return area.file.WriteAt(0, std::span(reinterpret_cast<const char*>(area.header.data()), n));
}

// --- the typed swap buffer ---

size_t SlotSize(const FieldInfo& f) {
    switch (f.type) {
    case 'C': return f.length + 1u;
    case 'D': return 11;
    case 'N':
    case 'F': return 8;
    case 'L': return 1;
    case 'M': return 4;
    default: return 0;
    }
}

template <typename T>
T Load(const char* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

template <typename T>
void Store(char* p, T v) {
    std::memcpy(p, &v, sizeof v);
}

std::string_view Trimmed(const char* p, size_t n) {
    size_t b = 0, e = n;
    while (b < e && static_cast<unsigned char>(p[b]) <= ' ') ++b;
    while (e > b && static_cast<unsigned char>(p[e - 1]) <= ' ') --e;
    return {p + b, e - b};
}

// Field text that is no number reads as 0; "inf" and "nan" are no numbers (a
// NaN in a slot would break every comparison made with it).
double ParseReal(std::string_view t) {
    double v = 0;
    return platform::ParseDouble(t, v) && std::isfinite(v) ? v : 0.0;
}

int64_t ParseWhole(std::string_view t) {
    int64_t v = 0;
    if (platform::ParseInt64(t, v)) return v;
    const double d = ParseReal(t);
    return std::fabs(d) < 9.2e18 ? std::llround(d) : 0;
}

// YYYYMMDD as a date text in the current SET DATE order.
void StoredDateToSlot(const char* raw, size_t length, char* slot) {
    char ymd[8];
    std::memset(ymd, ' ', 8);
    std::memcpy(ymd, raw, std::min<size_t>(length, 8));
    const bool century = CenturyOn();
    const uint8_t code = DateCode();
    const char* year = century ? ymd : ymd + 2;
    const size_t ylen = century ? 4 : 2;
    const char* month = ymd + 4;
    const char* day = ymd + 6;
    char* out = slot + 1;
    size_t n = 0;
    auto put = [&](const char* p, size_t len) {
        std::memcpy(out + n, p, len);
        n += len;
    };
    auto sep = [&](char c) { out[n++] = c; };
    switch (code) {
    case 0: put(month, 2), sep('/'), put(day, 2), sep('/'), put(year, ylen); break;
    case 1: put(year, ylen), sep('.'), put(month, 2), sep('.'), put(day, 2); break;
    default: {
        const char s = code == 2 ? '/' : code == 3 ? '-' : '.';
        put(day, 2), sep(s), put(month, 2), sep(s), put(year, ylen);
        break;
    }
    }
    slot[0] = static_cast<char>(n);
}

bool IsBlankTemplate(std::string_view t) {
    if (t.empty()) return true;
    if (t.size() != 8 && t.size() != 10) return false;
    for (char c : t)
        if (c != ' ' && c != '/' && c != '-' && c != '.') return false;
    return true;
}

bool AllDigits(std::string_view t) {
    return !t.empty() && std::all_of(t.begin(), t.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A date text in the current format as YYYYMMDD; eight blanks when it is
// blank or cannot be read as a date.
void DateTextToStored(std::string_view text, char* out) {
    std::memset(out, ' ', 8);
    if (IsBlankTemplate(text)) return;
    std::string date(text);
    const size_t wanted = CenturyOn() ? 10 : 8;
    if (date.size() != wanted && !DateValid(date)) return;
    if (date.size() != 8 && date.size() != 10) return;
    const bool four = date.size() == 10;
    const size_t ylen = four ? 4 : 2;
    std::string_view d(date), year, month, day;
    switch (DateCode()) {
    case 0: month = d.substr(0, 2), day = d.substr(3, 2), year = d.substr(6, ylen); break;
    case 1: year = d.substr(0, ylen), month = d.substr(ylen + 1, 2), day = d.substr(ylen + 4, 2); break;
    default: day = d.substr(0, 2), month = d.substr(3, 2), year = d.substr(6, ylen); break;
    }
    std::string y(year);
    if (!four) y = (AllDigits(y) ? std::to_string(CenturyBase(y) / 100) : std::string("  ")) + y;
    std::memcpy(out, y.data(), 4);
    std::memcpy(out + 4, month.data(), 2);
    std::memcpy(out + 6, day.data(), 2);
}

// Right-aligns `text` in the field; false when it does not fit.
bool PutRight(char* field, size_t length, std::string_view text) {
    if (text.size() > length) return false;
    std::memset(field, ' ', length - text.size());
    std::memcpy(field + (length - text.size()), text.data(), text.size());
    return true;
}

}  // namespace

double StoredReal(std::string_view raw) { return ParseReal(Trimmed(raw.data(), raw.size())); }
int64_t StoredInteger(std::string_view raw) { return ParseWhole(Trimmed(raw.data(), raw.size())); }

bool IsValidVersion(uint8_t v) {
    return v == kDbase2 || v == kDbase3 || v == kDbase3Memo || v == kDbase4Memo || v == kFoxProMemo ||
           v == kLevel7 || v == kLevel7Memo;
}
bool IsDbase2(const TWorkArea& area) { return area.Version() == kDbase2; }
bool IsLevel7(const TWorkArea& area) { return area.Version() == kLevel7 || area.Version() == kLevel7Memo; }

void OpenDbf(TWorkArea& area) {
    area.file_name = TableFileName(area.file_name);
    area.open_mode = Settings().file_mode;
    ForgetReadAhead(area);
    const OpenMode mode = DecodeOpenMode(area.open_mode);
    if (int rc = area.file.Open(area.file_name, mode.access, mode.share); rc != 0) {
        RunError(static_cast<uint16_t>(rc), "Failure to open " + area.file_name + " [USE/OpenDbf]");
        return;
    }
    OpenGuard guard(area);
    area.file_name = area.file.Path();  // as spelled on disk
    area.table_key = MakeTableKey(area);

    uint64_t size = 0;
    if (int rc = area.file.Size(size); rc != 0) {
        RunError(static_cast<uint16_t>(rc), "Error reading " + area.file_name + " [Use/OpenDbf]");
        return;
    }
    size_t got = 0;
    area.header.fill(0);
    int rc = area.file.ReadAt(0, std::span(reinterpret_cast<char*>(area.header.data()), 32), got);
    if (rc != 0) {
        RunError(static_cast<uint16_t>(rc), "Error reading " + area.file_name + " [Use/OpenDbf]");
        return;
    }
    if (got < 32) {
        RunError(210, NotDbase(area.file_name, "Prolog is less than 32 bytes", "[USE/OpenDBF]"));
        return;
    }
    if (!IsValidVersion(area.Version())) {
        RunError(210, area.file_name + " is not a dBASE database.(Invalid version byte)+ [USE/OpenDBF]");
        return;
    }
    if (!(IsDbase2(area) ? ReadDbase2(area, size) : ReadDbase3(area, size))) return;

    if (Settings().count_from_size) {
        area.rec_count = ClampCount((size - area.header_length) / area.record_length);
    }
    if (area.rec_count < 1) {
        area.rec_no = 0;
        area.bof = area.eof = true;
    } else {
        area.rec_no = 1;
        area.bof = area.eof = false;
    }
    MapHeader(area);
    guard.Done();
}

void MapHeader(TWorkArea& area) {
    // Without the view (a read-only file, say) the count is written instead.
    if (area.header_map.Map(area.file, area.header.size()) != 0) area.header_map.Unmap();
}

void GetDbfRecord(TWorkArea& area, int32_t n) {
    if (area.is_virtual) {
        DispatchVirtual(area, 3, n);
        return;
    }
    if (n < 1 || n > area.rec_count) {
        RunError(212, "Invalid record number = " + std::to_string(n) + " (" + area.file_name + ")  [GetDbfRecord]");
        return;
    }
    area.bof = area.eof = false;
    if (int rc = ReadRaw(area, n, area.record.data()); rc != 0) {
        RunError(static_cast<uint16_t>(rc), "File:  " + area.file_name + "  [GetDbfRecord]");
        return;
    }
    area.rec_no = n;
    TranslateRecord(Direction::Read, area.oem, area.read_hook, area.record, area.record_length);
}

void PutDbfRecord(TWorkArea& area, int32_t n) {
    const bool append = n > area.rec_count;
    if (append && !area.is_virtual &&
        area.rec_count >= (IsDbase2(area) ? kMaxDbase2Records : kMaxRecords)) {
        RunError(212, "Too many records in " + area.file_name + " [Replace/Append/PutDbfRecord]");
        return;
    }
    if (append) n = area.rec_count + 1;
    if (area.is_virtual) {
        DispatchVirtual(area, 8, n);
        return;
    }
    // Record 0 and below would land on the header.
    if (n < 1) {
        RunError(212, "Invalid record number = " + std::to_string(n) + " (" + area.file_name +
                          ") [Replace/Append/PutDbfRecord]");
        return;
    }
    const int32_t old_count = area.rec_count, old_no = area.rec_no;
    if (append) area.rec_count = area.rec_no = n;

    // The record and, for an append, the end mark behind it go out in one write.
    const uint16_t rl = area.record_length;
    std::vector<char>& io = area.scratch;
    io.resize(rl + 1u);
    std::memcpy(io.data(), area.record.data(), rl);
    io[rl] = static_cast<char>(Settings().eof_mark);
    TranslateRecord(Direction::Write, area.oem, area.write_hook, std::span(io.data(), rl), rl);
    int rc = area.file.WriteAt(RecordOffset(area, n), std::span(io.data(), append ? rl + 1u : rl));
    if (rc == 0 && append) rc = WriteHeaderCount(area);
    if (rc != 0) {
        if (append) area.rec_count = old_count, area.rec_no = old_no;
        RunError(static_cast<uint16_t>(rc), "File:  " + area.file_name + " [Replace/Append/PutDbfRecord]");
        return;
    }
    NoteWritten(area, n, io.data());
    if (area.read_hook) {
        // The buffer shows what the file now holds.
        std::memcpy(area.record.data(), io.data(), rl);
        TranslateRecord(Direction::Read, area.oem, area.read_hook, area.record, rl);
    }
    if (append) {
        area.header_state = HeaderState::Appended;
        if (Settings().write_through) FlushDbfHeader(area);
    } else {
        if (area.header_state != HeaderState::Appended) area.header_state = HeaderState::Changed;
        if (Settings().write_through) FlushFile(area.file);
    }
}

void AppendDbfRecord(TWorkArea& area) { PutDbfRecord(area, area.rec_count + 1); }

void WriteDeleteMark(TWorkArea& area, int32_t n) {
    // Only marks of existing records are written; a mark past the end would
    // leave a stray byte where the next record goes.
    if (n < 1 || n > area.rec_count) return;
    const char mark = area.record[0];
    if (int rc = area.file.WriteAt(RecordOffset(area, n), std::span(&mark, 1)); rc != 0) {
        RunError(static_cast<uint16_t>(rc), "File:  " + area.file_name + " [DeleteRec/RecallRec]");
        return;
    }
    ReadAhead& ra = area.read_ahead;
    if (ra.Holds(n)) ra.block[static_cast<size_t>(n - ra.first) * area.record_length] = mark;
    if (area.header_state != HeaderState::Appended) area.header_state = HeaderState::Changed;
    if (Settings().write_through) FlushFile(area.file);
}

void WriteDbfHeader(TWorkArea& area) {
    RefreshCountForHeader(area);
    int rc = 0;
    if (!IsDbase2(area)) {
        // Bytes other programs may have changed on disk survive the rewrite.
        std::array<char, 12> middle{};
        size_t got = 0;
        rc = area.file.ReadAt(16, middle, got);
        if (rc == 0 && got == middle.size()) std::memcpy(area.header.data() + 16, middle.data(), 12);
    }
    SetUpdateDate(area);
    if (rc == 0) {
        const size_t n = IsDbase2(area) ? 8 : 32;
        rc = area.file.WriteAt(0, std::span(reinterpret_cast<const char*>(area.header.data()), n));
    }
    if (rc != 0) RunError(static_cast<uint16_t>(rc), "File:  " + area.file_name + " [WriteDbfHeader]");
}

void FlushFile(platform::File& file) {
    if (int rc = file.Sync(); rc != 0) RunError(static_cast<uint16_t>(rc), "Unable to flush file [FlushFile]");
}

void FlushDbfHeader(TWorkArea& area) {
    SetLastErrorCode(0);
    const HeaderState state = area.header_state;
    if (state != HeaderState::Changed && state != HeaderState::Appended) return;
    WriteDbfHeader(area);
    if (LastErrorCode() == 0 && state == HeaderState::Appended) {
        if (int rc = WriteEndMark(area); rc != 0)
            RunError(static_cast<uint16_t>(rc), "File:  " + area.file_name + " [FlushDbfHeader]");
    }
    area.header_state = HeaderState::Clean;
    if (LastErrorCode() == 0) FlushFile(area.file);
}

void CloseDbf(TWorkArea& area) {
    if (area.is_virtual) {
        DispatchVirtual(area, 1, 0);
        return;
    }
    int rc = 0;
    const HeaderState state = area.header_state;
    if (area.file.IsOpen() && (state == HeaderState::Changed || state == HeaderState::Appended)) {
        const uint16_t before = LastErrorCode();
        SetLastErrorCode(0);
        {
            ErrorHandlingScope quiet(false);
            WriteDbfHeader(area);
        }
        rc = LastErrorCode();
        if (rc == 0 && state == HeaderState::Appended) rc = WriteEndMark(area);
        if (rc == 0) SetLastErrorCode(before);
    }
    area.header_map.Unmap();
    area.file.Close();
    area.header_state = HeaderState::Closed;
    area.owned_record.clear();
    area.owned_record.shrink_to_fit();
    area.record = {};
    area.fields.clear();
    area.field_count = 0;
    ForgetReadAhead(area);
    if (rc != 0) RunError(static_cast<uint16_t>(rc), "File:  " + area.file_name + " [CloseDbf(" + area.file_name + ")]");
}

void CreateDbf(TWorkArea& area, const std::string& name, std::span<FieldDef> fields) {
    SetLastErrorCode(0);
    const auto refuse = [] { RunError(211, "Invalid dBASE field definition [CreateDBF]"); };
    if (fields.empty() || fields.size() > 255) return refuse();

    bool memo = false;
    const size_t hl = 32 * fields.size() + 33;
    std::vector<uint8_t> header(hl, 0);
    uint32_t rl = 1;
    for (size_t i = 0; i < fields.size(); ++i) {
        FieldDef& f = fields[i];
        f.type = platform::AnsiUpper(f.type);
        f.name = platform::AnsiUpper(AllTrim(f.name));
        if (f.name.size() > 10) f.name.resize(10);
        if (f.name.empty()) return refuse();
        for (size_t j = 0; j < i; ++j)
            if (fields[j].name == f.name) return refuse();
        switch (f.type) {
        case 'D': f.length = 8, f.decimals = 0; break;
        case 'L': f.length = 1, f.decimals = 0; break;
        case 'C':
            if (f.length < 1 || f.length > 255) return refuse();
            f.decimals = 0;
            break;
        case 'N':
        case 'F':
            if (f.length < 1 || f.length > 255 || f.decimals < 0) return refuse();
            // Room for at least one digit and the point.
            if (f.decimals > 0 && f.decimals > f.length - 2) return refuse();
            break;
        case 'M':
        case 'B':
        case 'G':
        case 'P':
            memo = true;
            f.length = 10, f.decimals = 0;
            break;
        default: return refuse();
        }
        uint8_t* d = header.data() + 32 * (i + 1);
        std::memcpy(d, f.name.data(), f.name.size());
        d[11] = static_cast<uint8_t>(f.type);
        d[16] = static_cast<uint8_t>(f.length);
        d[17] = static_cast<uint8_t>(f.decimals);
        rl += static_cast<uint32_t>(f.length);
    }
    if (rl > 0xFFFF) return refuse();
    header[hl - 1] = kEndOfDescriptors;
    PutU16(header.data() + 8, static_cast<uint32_t>(hl));
    PutU16(header.data() + 10, rl);
    header[0] = memo ? kDbase4Memo : kDbase3;

    const std::string file_name = AllTrim(AddDefaultExt(name, "DBF"));
    area = TWorkArea{};
    area.file_name = file_name;
    area.memo = memo;
    area.header_length = static_cast<uint16_t>(hl);
    area.record_length = static_cast<uint16_t>(rl);
    area.field_count = static_cast<uint8_t>(fields.size());
    std::copy_n(header.begin(), 32, area.header.begin());

    int rc = area.file.Open(file_name, platform::Access::ReadWrite, platform::Share::Exclusive,
                            platform::Disposition::CreateAlways);
    if (rc == 0) rc = area.file.WriteAt(0, std::span(reinterpret_cast<const char*>(header.data()), hl));
    if (rc != 0) {
        const bool created = area.file.IsOpen();
        const std::string path = area.file.Path();
        area.file.Close();
        if (created) platform::RemoveFile(path);
        RunError(static_cast<uint16_t>(rc), "Error writing " + name + ". [CreateDbf]");
        return;
    }
    area.exclusive = true;
    area.header_state = HeaderState::Appended;
    area.rec_count = 0;
    CloseDbf(area);
    if (memo && LastErrorCode() == 0)
        MakeMemoFile(ForceExt(file_name, MemoExtension(kDbase4Memo)), kDbase4Memo,
                     Settings().memo_block_size, "CreateDbf()");
}

std::string MemoExtension(uint8_t version) {
    if (!IsValidVersion(version)) version = Settings().new_table_version;
    return version == kFoxProMemo ? "FPT" : "DBT";
}

void MakeMemoFile(const std::string& name, uint8_t memo_type, uint16_t block_size, const std::string& caller) {
    const std::string file_name = AddDefaultExt(name, MemoExtension(memo_type));
    platform::File file;
    if (int rc = file.Open(file_name, platform::Access::ReadWrite, platform::Share::Exclusive,
                           platform::Disposition::CreateAlways);
        rc != 0) {
        RunError(static_cast<uint16_t>(rc), "Cannot create memo file " + file_name + " [" + caller + "]");
        return;
    }
    std::vector<uint8_t> bytes;
    if (memo_type == kDbase3Memo) {
        bytes.assign(513, 0);
        bytes[0] = 0x01;
        bytes[512] = 0x1A;
    } else if (memo_type == kFoxProMemo) {
        bytes.assign(512, 0);
        const uint32_t next = 511u / std::max<uint16_t>(block_size, 1) + 1;
        bytes[0] = static_cast<uint8_t>(next >> 24), bytes[1] = static_cast<uint8_t>(next >> 16);
        bytes[2] = static_cast<uint8_t>(next >> 8), bytes[3] = static_cast<uint8_t>(next);
        bytes[6] = static_cast<uint8_t>(block_size >> 8), bytes[7] = static_cast<uint8_t>(block_size);
    } else {
        bytes.assign(24, 0);
        PutU32(bytes.data(), 1);
        std::string base = FSplit(file_name).name;
        if (base.size() > 8) base.resize(8);
        std::memcpy(bytes.data() + 8, base.data(), base.size());
        PutU16(bytes.data() + 18, 0x0102);
        PutU16(bytes.data() + 20, block_size);
    }
    int rc = file.WriteAt(0, std::span(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    file.Close();
    if (rc != 0) RunError(static_cast<uint16_t>(rc), file_name + " [" + caller + "]");
}

void TranslateRecord(Direction direction, bool oem, const RecordHook& hook, std::span<char> buffer,
                     uint16_t record_length) {
    if ((!oem && !hook) || record_length == 0) return;
    const size_t records = buffer.size() / record_length;
    for (size_t r = 0; r < records; ++r) {
        char* data = buffer.data() + r * record_length + 1;
        const size_t len = record_length - 1u;
        if (direction == Direction::Read) {
            if (hook) hook(data, len);
            if (oem) platform::OemToAnsi(std::span(data, len));
        } else {
            if (oem) platform::AnsiToOem(std::span(data, len));
            if (hook) hook(data, len);
        }
    }
}

void AssignSwapOffsets(TWorkArea& area) {
    size_t at = 1;
    for (FieldInfo& f : area.fields) {
        f.swap_offset = static_cast<uint16_t>(at);
        at += SlotSize(f);
    }
}

size_t SwapBufferSize(const TWorkArea& area) {
    size_t size = 1;
    for (const FieldInfo& f : area.fields) size += SlotSize(f);
    return size;
}

void RecordToBuffer(TWorkArea& area) {
    if (area.swap.empty() || area.record.empty()) return;
    const char* rec = area.record.data();
    char* swap = area.swap.data();
    swap[0] = rec[0] == '*' ? 1 : 0;
    for (const FieldInfo& f : area.fields) {
        const char* raw = rec + f.offset;
        char* slot = swap + f.swap_offset;
        switch (f.type) {
        case 'C':
            slot[0] = static_cast<char>(f.length);
            std::memcpy(slot + 1, raw, f.length);
            break;
        case 'D': StoredDateToSlot(raw, f.length, slot); break;
        case 'N':
        case 'F': {
            const std::string_view t = Trimmed(raw, f.length);
            if (f.decimals > 0)
                Store<double>(slot, ParseReal(t));
            else
                Store<int64_t>(slot, ParseWhole(t));
            break;
        }
        case 'L': {
            const char c = f.length > 0 ? raw[0] : ' ';
            slot[0] = (c == 'T' || c == 't' || c == 'Y' || c == 'y') ? 1 : 0;
            break;
        }
        case 'M': {
            const int64_t block = ParseWhole(Trimmed(raw, f.length));
            Store<int32_t>(slot, static_cast<int32_t>(std::clamp<int64_t>(block, INT32_MIN, INT32_MAX)));
            break;
        }
        default: break;
        }
    }
    area.raw_shadow.assign(area.record.begin(), area.record.end());
    area.swap_shadow.assign(area.swap.begin(), area.swap.end());
    area.shadow_valid = true;
}

bool BufferToRecord(TWorkArea& area) {
    if (area.swap.empty() || area.record.empty()) return true;
    std::vector<char>& out = area.scratch;
    out.assign(area.record.begin(), area.record.end());
    const char* swap = area.swap.data();
    const bool shadow = area.shadow_valid && area.raw_shadow.size() == area.record.size() &&
                        area.swap_shadow.size() == area.swap.size();
    out[0] = swap[0] != 0 ? '*' : ' ';
    char text[32];
    for (const FieldInfo& f : area.fields) {
        char* raw = out.data() + f.offset;
        const char* slot = swap + f.swap_offset;
        const size_t slot_size = SlotSize(f);
        // A field the caller left alone is written back exactly as it was read.
        if (shadow && std::memcmp(slot, area.swap_shadow.data() + f.swap_offset, slot_size) == 0) {
            std::memcpy(raw, area.raw_shadow.data() + f.offset, f.length);
            continue;
        }
        bool fits = true;
        switch (f.type) {
        case 'C': {
            const size_t n = std::min<size_t>(static_cast<uint8_t>(slot[0]), f.length);
            std::memcpy(raw, slot + 1, n);
            std::memset(raw + n, ' ', f.length - n);
            break;
        }
        case 'D': {
            char stored[8];
            const size_t n = std::min<size_t>(static_cast<uint8_t>(slot[0]), 10);
            DateTextToStored(std::string_view(slot + 1, n), stored);
            std::memset(raw, ' ', f.length);
            std::memcpy(raw, stored, std::min<size_t>(8, f.length));
            break;
        }
        case 'N':
        case 'F':
            if (f.decimals > 0) {
                fits = PutRight(raw, f.length, platform::FormatFixed(Load<double>(slot), f.decimals));
            } else {
                auto [end, ec] = std::to_chars(text, text + sizeof text, Load<int64_t>(slot));
                fits = ec == std::errc() && PutRight(raw, f.length, std::string_view(text, end - text));
            }
            break;
        case 'L':
            if (f.length > 0) raw[0] = slot[0] != 0 ? 'T' : 'F';
            break;
        case 'M': {
            // No memo is a blank field, as other programs write and expect it.
            const int32_t block = Load<int32_t>(slot);
            if (block == 0) {
                std::memset(raw, ' ', f.length);
                break;
            }
            auto [end, ec] = std::to_chars(text, text + sizeof text, block);
            fits = ec == std::errc() && PutRight(raw, f.length, std::string_view(text, end - text));
            break;
        }
        default: break;
        }
        if (!fits) {
            RunError(201, "Value does not fit field " + f.name + " (" + std::string(1, f.type) + " " +
                              std::to_string(f.length) + "." + std::to_string(f.decimals) +
                              ") of " + area.file_name + " [SwapBufferToRecord]");
            return false;
        }
    }
    std::memcpy(area.record.data(), out.data(), out.size());
    return true;
}

std::string_view SwapString(const TWorkArea& area, const FieldInfo& f) {
    const char* slot = area.swap.data() + f.swap_offset;
    const size_t cap = f.type == 'D' ? 10 : f.length;
    return {slot + 1, std::min<size_t>(static_cast<uint8_t>(slot[0]), cap)};
}

void SetSwapString(TWorkArea& area, const FieldInfo& f, std::string_view text) {
    char* slot = area.swap.data() + f.swap_offset;
    const size_t cap = f.type == 'D' ? 10 : f.length;
    const size_t n = std::min(text.size(), cap);
    slot[0] = static_cast<char>(n);
    std::memcpy(slot + 1, text.data(), n);
    std::memset(slot + 1 + n, ' ', cap - n);
}

double SwapNumber(const TWorkArea& area, const FieldInfo& f) {
    const char* slot = area.swap.data() + f.swap_offset;
    return f.decimals > 0 ? Load<double>(slot) : static_cast<double>(Load<int64_t>(slot));
}

int64_t SwapInteger(const TWorkArea& area, const FieldInfo& f) {
    const char* slot = area.swap.data() + f.swap_offset;
    if (f.decimals == 0) return Load<int64_t>(slot);
    const double d = Load<double>(slot);
    return std::isfinite(d) && std::fabs(d) < 9.2e18 ? static_cast<int64_t>(d) : 0;
}

void SetSwapNumber(TWorkArea& area, const FieldInfo& f, double value) {
    char* slot = area.swap.data() + f.swap_offset;
    if (f.decimals > 0) {
        Store<double>(slot, value);
    } else {
        const bool ok = std::isfinite(value) && std::fabs(value) < 9.2e18;
        Store<int64_t>(slot, ok ? std::llround(value) : 0);
    }
}

void SetSwapInteger(TWorkArea& area, const FieldInfo& f, int64_t value) {
    char* slot = area.swap.data() + f.swap_offset;
    if (f.decimals > 0)
        Store<double>(slot, static_cast<double>(value));
    else
        Store<int64_t>(slot, value);
}

bool SwapLogical(const TWorkArea& area, const FieldInfo& f) { return area.swap[f.swap_offset] != 0; }
void SetSwapLogical(TWorkArea& area, const FieldInfo& f, bool value) { area.swap[f.swap_offset] = value ? 1 : 0; }
int32_t SwapMemo(const TWorkArea& area, const FieldInfo& f) { return Load<int32_t>(area.swap.data() + f.swap_offset); }
void SetSwapMemo(TWorkArea& area, const FieldInfo& f, int32_t block) { Store<int32_t>(area.swap.data() + f.swap_offset, block); }
bool SwapDeleted(const TWorkArea& area) { return !area.swap.empty() && area.swap[0] != 0; }
void SetSwapDeleted(TWorkArea& area, bool deleted) {
    if (!area.swap.empty()) area.swap[0] = deleted ? 1 : 0;
}

}  // namespace zurod
