#include "bench/transactions.hpp"

#include <malloc.h>
#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <new>
#include <random>
#include <span>
#include <string_view>

#include "engine/dbf/areas.hpp"
#include "engine/dbf/dates.hpp"
#include "engine/dbf/detail/area_table.hpp"
#include "engine/dbf/detail/record_io.hpp"
#include "engine/dbf/detail/swap_buffer.hpp"
#include "engine/dbf/detail/table_header.hpp"
#include "engine/dbf/edit.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/dbf/navigate.hpp"
#include "engine/dbf/tables.hpp"
#include "platform/codepage.hpp"

namespace bench {

namespace {

constexpr std::array<const char*, 5> kAccounts = {"Current Account", "Cash Account", "Savings Account", "Credit Card",
                                                  "Holiday Fund"};
// Texts in the ANSI page, some with accents, so that the page conversion has work to do.
constexpr std::array<const char*, 8> kPayees = {
    "Supermarket",     "Caf\xE9 M\xFCller", "City Power",           "Rent",
    "Bakery Sch\xF6n", "Fuel Station",      "Cin\xE9ma Lumi\xE8re", "Bookshop"};
constexpr std::array<const char*, 8> kCategories = {"Groceries", "Dining Out", "Utilities", "Housing",
                                                    "Groceries", "Transport",  "Leisure",   "Books"};

std::string TwoDigits(unsigned v) {
    char text[4];
    std::snprintf(text, sizeof text, "%02u", v % 100);
    return text;
}

std::vector<Row> Generate() {
    std::vector<Row> rows;
    rows.reserve(kRecords);
    std::mt19937 random(20240131);
    std::array<int64_t, kAccounts.size()> balance{};  // cents
    const auto first_day = std::chrono::sys_days{std::chrono::year{1990} / 1 / 1};
    int64_t ref = 0;

    auto add = [&](int index, size_t account, const char* source, const char* dest, const char* action,
                   const char* category, const std::string& detail, int64_t cents, int64_t signed_cents) {
        balance[account] += signed_cents;
        const std::chrono::year_month_day day{first_day + std::chrono::days{index / 4}};
        const std::string year = std::to_string(static_cast<int>(day.year()));
        const std::string month = TwoDigits(static_cast<unsigned>(day.month()));
        const std::string dd = TwoDigits(static_cast<unsigned>(day.day()));
        Row r;
        r.stored_date = year + month + dd;
        r.date = month + "/" + dd + "/" + year;
        r.detail = detail;
        r.source = source;
        r.dest = dest;
        r.action = action;
        char text[24];
        std::snprintf(text, sizeof text, "%010lld", static_cast<long long>(ref));
        r.ref = text;
        r.category = category;
        r.accname = kAccounts[account];
        r.amount = static_cast<double>(cents) / 100.0;
        r.balance = static_cast<double>(balance[account]) / 100.0;
        rows.push_back(std::move(r));
    };

    while (static_cast<int>(rows.size()) < kRecords) {
        ++ref;
        const size_t account = random() % kAccounts.size();
        const int64_t cents = 100 + static_cast<int64_t>(random() % 50'000);
        const size_t payee = random() % kPayees.size();
        const std::string detail = std::string(kPayees[payee]) + " #" + std::to_string(random() % 10'000);
        const int index = static_cast<int>(rows.size());
        // Keeps every balance well inside the 9.2 fields.
        unsigned kind = random() % 3;
        if (balance[account] > 50'000'00) kind = 1;
        if (balance[account] < -5'000'00) kind = 0;
        if (kind == 0) {
            add(index, account, "Credit", kAccounts[account], "Credit", "Salary", detail, cents, cents);
        } else if (kind == 1) {
            add(index, account, kAccounts[account], "Debit", "Debit", kCategories[payee], detail, cents, -cents);
        } else if (index + 1 < kRecords) {
            const size_t to = (account + 1 + random() % (kAccounts.size() - 1)) % kAccounts.size();
            const std::string text = std::string("Transfer to ") + kAccounts[to];
            add(index, account, kAccounts[account], kAccounts[to], "Transfer", "Transfer", text, cents, -cents);
            add(index + 1, to, kAccounts[account], kAccounts[to], "Transfer", "Transfer", text, cents, cents);
        }
    }
    return rows;
}

struct TempDirectory {
    TempDirectory() {
        std::string pattern = (std::filesystem::temp_directory_path() / "corvanta-bench-XXXXXX").string();
        if (!mkdtemp(pattern.data())) {
            std::perror("corvanta-bench: cannot create a temporary directory");
            std::exit(1);
        }
        path = pattern;
    }
    ~TempDirectory() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    std::string path;
};

std::vector<zurod::FieldDef> MasterFields() {
    std::vector<zurod::FieldDef> defs;
    for (const Column& c : kColumns) defs.push_back({c.name, c.type, c.length, c.decimals});
    return defs;
}

std::string RecordProblem(const std::string& path, const std::string& expected);

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "corvanta-bench: %s: %s\n", what.c_str(), zurod::LastErrorMessage().c_str());
    std::exit(1);
}

}  // namespace

void PutRow(zurod::TWorkArea& a, const Row& r) {
    const auto& f = a.fields;
    zurod::SetSwapString(a, f[kDate], r.date);
    zurod::SetSwapString(a, f[kDetail], r.detail);
    zurod::SetSwapString(a, f[kSource], r.source);
    zurod::SetSwapString(a, f[kDest], r.dest);
    zurod::SetSwapString(a, f[kAction], r.action);
    zurod::SetSwapString(a, f[kRef], r.ref);
    zurod::SetSwapString(a, f[kCategory], r.category);
    zurod::SetSwapNumber(a, f[kAmount], r.amount);
    zurod::SetSwapNumber(a, f[kBalance], r.balance);
    zurod::SetSwapString(a, f[kAccName], r.accname);
}

namespace {

std::string BuildMaster(const std::string& name, bool with_deleted) {
    PrepareEngine();
    const std::string path = PathIn(name);
    std::vector<zurod::FieldDef> defs = MasterFields();
    zurod::CreateDbf(path, defs);
    if (zurod::LastErrorCode() != 0) Fail("creating " + path);

    zurod::UseOptions use;
    use.file_name = path;
    use.exclusive = true;
    zurod::UseTable(use);
    if (zurod::LastErrorCode() != 0) Fail("opening " + path);
    zurod::TWorkArea& a = *zurod::CurrentTable();
    for (const Row& r : Rows()) {
        zurod::ClearRecord();
        PutRow(a, r);
        zurod::Append();
        if (zurod::LastErrorCode() != 0) Fail("appending to " + path);
    }
    if (with_deleted) {
        for (int n = kDeleteEvery; n <= kRecords; n += kDeleteEvery) {
            zurod::GO(n);
            zurod::DeleteRec();
            if (zurod::LastErrorCode() != 0) Fail("deleting in " + path);
        }
    }
    zurod::CloseArea();
    if (zurod::LastErrorCode() != 0) Fail("closing " + path);
    // Every case reads these bytes: they must be the rows, whoever wrote them.
    std::string expected = ExpectedMasterRecords();
    const size_t rl = expected.size() / kRecords;
    if (with_deleted)
        for (size_t n = kDeleteEvery; n <= kRecords; n += kDeleteEvery) expected[(n - 1) * rl] = '*';
    if (const std::string problem = RecordProblem(path, expected); !problem.empty()) Fail(path + ": " + problem);
    return path;
}

void SetDetail(int32_t record, const char* text) {
    zurod::GO(record);
    zurod::TWorkArea& a = *zurod::CurrentTable();
    zurod::SetSwapString(a, a.fields[kDetail], text);
    zurod::Replace();
}

std::string BuildLocateTable(const std::string& name, const std::string& source, int32_t last) {
    const std::string path = PathIn(name);
    CopyTable(source, path);
    zurod::UseOptions use;
    use.file_name = path;
    use.exclusive = true;
    zurod::UseTable(use);
    if (zurod::LastErrorCode() != 0) Fail("opening " + path);
    SetDetail(1, kFirstDetail);
    SetDetail(last, kLastDetail);
    SetDetail(kRecords, kLastDetail);
    if (zurod::LastErrorCode() != 0) Fail("changing " + path);
    zurod::CloseArea();
    if (zurod::LastErrorCode() != 0) Fail("closing " + path);
    return path;
}

}  // namespace

const std::vector<Row>& Rows() {
    static const std::vector<Row> rows = Generate();
    return rows;
}

const std::string& Dir() {
    static const TempDirectory dir;
    return dir.path;
}

std::string PathIn(const std::string& name) { return Dir() + "/" + name; }

void PrepareEngine() {
    static const bool done = [] {
        zurod::SetErrorHandling(false);
        platform::SelectCodePages(platform::CodePages::Cp850_1252);
        zurod::SetDateFormat(0);
        zurod::SetCentury(true);
        return true;
    }();
    (void)done;
}

const std::string& MasterTable() {
    static const std::string path = BuildMaster("master.dbf", false);
    return path;
}

const std::string& MasterTableWithDeleted() {
    static const std::string path = BuildMaster("master_deleted.dbf", true);
    return path;
}

const std::string& LocateTable() {
    static const std::string path = BuildLocateTable("locate.dbf", MasterTable(), kRecords);
    return path;
}

const std::string& LocateTableWithDeleted() {
    static const std::string path = BuildLocateTable("locate_deleted.dbf", MasterTableWithDeleted(), kRecords - 1);
    return path;
}

const std::vector<Row>& OemRows() {
    static const std::vector<Row> rows = [] {
        PrepareEngine();
        std::vector<Row> oem = Rows();
        for (Row& r : oem)
            for (std::string* text : {&r.detail, &r.source, &r.dest, &r.action, &r.ref, &r.category, &r.accname})
                *text = platform::AnsiToOem(std::string_view(*text));
        return oem;
    }();
    return rows;
}

const std::string& EmptyTable() {
    static const std::string path = [] {
        PrepareEngine();
        const std::string path = PathIn("empty.dbf");
        std::vector<zurod::FieldDef> defs = MasterFields();
        zurod::CreateDbf(path, defs);
        if (zurod::LastErrorCode() != 0) Fail("creating " + path);
        return path;
    }();
    return path;
}

std::string TenCopies(const std::string& name, const CopyPatch& patch) {
    const std::string path = PathIn(name);
    std::ifstream in(MasterTable(), std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t header = static_cast<uint8_t>(bytes[8]) | static_cast<size_t>(static_cast<uint8_t>(bytes[9])) << 8;
    const size_t length = static_cast<uint8_t>(bytes[10]) | static_cast<size_t>(static_cast<uint8_t>(bytes[11])) << 8;
    std::string head = bytes.substr(0, header);
    for (int i = 0; i < 4; ++i) head[4 + i] = static_cast<char>(static_cast<uint32_t>(kMillion) >> (8 * i));
    std::string records = bytes.substr(header, static_cast<size_t>(kRecords) * length);
    std::ofstream out(path, std::ios::binary);
    out << head;
    for (int copy = 0; copy < kMillion / kRecords; ++copy) {
        if (patch) patch(copy, records, length);
        out << records;
    }
    out << '\x1A';
    if (!out) Fail("writing " + path);
    return path;
}

const std::string& MillionTable() {
    static const std::string path = TenCopies("million.dbf", {});
    return path;
}

std::string ShiftDate(const std::string& yyyymmdd, int days) {
    using namespace std::chrono;
    const year_month_day d{sys_days{year{std::stoi(yyyymmdd.substr(0, 4))} / std::stoi(yyyymmdd.substr(4, 2)) /
                                    std::stoi(yyyymmdd.substr(6, 2))} +
                           std::chrono::days{days}};
    char text[16];
    std::snprintf(text, sizeof text, "%04d%02u%02u", static_cast<int>(d.year()), static_cast<unsigned>(d.month()),
                  static_cast<unsigned>(d.day()));
    return text;
}

const std::string& MillionInDateOrder() {
    static const std::string path = TenCopies("million_dated.dbf", [](int copy, std::string& records, size_t length) {
        const std::vector<Row>& rows = Rows();
        for (size_t i = 0; i < rows.size(); ++i)
            std::memcpy(records.data() + i * length + 1, ShiftDate(rows[i].stored_date, copy * kDaysPerCopy).data(), 8);
    });
    return path;
}

const Row& RowOf(int32_t n) { return Rows()[static_cast<size_t>(n - 1) % Rows().size()]; }

std::string StoredDateOf(int which, int32_t n) {
    const std::string& date = RowOf(n).stored_date;
    return which == 0 ? date : ShiftDate(date, (n - 1) / kRecords * kDaysPerCopy);
}

const std::vector<int32_t>& RandomRecords() {
    static const std::vector<int32_t> records = [] {
        std::mt19937 random(7);
        std::vector<int32_t> r;
        for (int i = 0; i < 100'000; ++i) r.push_back(static_cast<int32_t>(random() % kMillion) + 1);
        return r;
    }();
    return records;
}

namespace {

constexpr size_t kMemoSize = 1024;

}  // namespace

std::string MemoText(int n) {
    std::string text(kMemoSize, static_cast<char>('a' + n % 26));
    const std::string id = std::to_string(n);
    text.replace(0, id.size(), id);
    return text;
}

bool IsMemoText(int n, std::string_view text) {
    static const std::array<std::string, 26> letters = [] {
        std::array<std::string, 26> l;
        for (size_t i = 0; i < l.size(); ++i) l[i].assign(kMemoSize, static_cast<char>('a' + i));
        return l;
    }();
    char id[16];
    const int digits = static_cast<int>(std::to_chars(id, id + sizeof id, n).ptr - id);
    if (n < 0 || text.size() != kMemoSize ||
        text.compare(0, static_cast<size_t>(digits), id, static_cast<size_t>(digits)) != 0)
        return false;
    return std::memcmp(text.data() + digits, letters[static_cast<size_t>(n % 26)].data() + digits,
                       kMemoSize - static_cast<size_t>(digits)) == 0;
}

std::string Excerpt(std::string_view text, size_t length) {
    std::string out;
    for (const char c : text.substr(0, length)) {
        char hex[8];
        const auto u = static_cast<unsigned char>(c);
        std::snprintf(hex, sizeof hex, "\\x%02X", u);
        out += u >= 32 && u < 127 ? std::string(1, c) : std::string(hex);
    }
    return out + (text.size() > length ? "..." : "");
}

namespace {

// The heap as new and delete see it while a PeakMemory runs.
bool g_counting = false;
int64_t g_held = 0, g_peak = 0, g_start = 0;

void* Allocate(size_t size) {
    void* p = std::malloc(size == 0 ? 1 : size);
    if (!p) throw std::bad_alloc();
    if (g_counting) {
        g_held += static_cast<int64_t>(malloc_usable_size(p));
        g_peak = std::max(g_peak, g_held);
    }
    return p;
}

void Release(void* p) {
    if (!p) return;
    if (g_counting) g_held -= static_cast<int64_t>(malloc_usable_size(p));
    std::free(p);
}

}  // namespace

PeakMemory::PeakMemory() {
    g_held = g_peak = g_start = 0;
    g_counting = true;
}

PeakMemory::~PeakMemory() { g_counting = false; }

double PeakMemory::HeldMb() const { return static_cast<double>(g_held - g_start) / (1024.0 * 1024.0); }

double PeakMemory::GrowthMb() const { return static_cast<double>(g_peak - g_start) / (1024.0 * 1024.0); }

namespace {

// In cents, so that the order of the additions does not matter.
int64_t Cents(double amount) { return std::llround(amount * 100); }

double Total(bool debits_only) {
    int64_t cents = 0;
    for (const Row& r : Rows())
        if (!debits_only || r.action == "Debit") cents += Cents(r.amount);
    return static_cast<double>(cents) / 100.0;
}

}  // namespace

double AmountTotal() {
    static const double total = Total(false);
    return total;
}

double DebitTotal() {
    static const double total = Total(true);
    return total;
}

double KeptAmountTotal() {
    static const double total = [] {
        int64_t cents = 0;
        for (int i = 0; i < kRecords; ++i)
            if ((i + 1) % kDeleteEvery != 0) cents += Cents(Rows()[static_cast<size_t>(i)].amount);
        return static_cast<double>(cents) / 100.0;
    }();
    return total;
}

double AmountAndBalanceTotal() {
    static const double total = [] {
        int64_t cents = 0;
        for (const Row& r : Rows()) cents += Cents(r.amount) + Cents(r.balance);
        return static_cast<double>(cents) / 100.0;
    }();
    return total;
}

bool ExpectTotal(benchmark::State& state, double got, double expected, const char* what) {
    if (Cents(got) == Cents(expected)) return true;
    char text[160];
    std::snprintf(text, sizeof text, "%s: %.2f, expected %.2f", what, got, expected);
    state.SkipWithError(text);
    return false;
}

namespace {

void PutText(std::string& out, const std::string& text, size_t width) {
    std::string field = text.substr(0, width);
    field.resize(width, ' ');
    out += field;
}

void PutAmount(std::string& out, double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%9.2f", value);
    out += text;
}

// One record as the tables store it: the fields of `r`, with DETAIL, AMOUNT
// and BALANCE those of `replaced`.
std::string RecordOf(const Row& r, const Row& replaced) {
    std::string out = " " + r.stored_date;
    PutText(out, replaced.detail, 30);
    PutText(out, r.source, 30);
    PutText(out, r.dest, 30);
    PutText(out, r.action, 8);
    PutText(out, r.ref, 10);
    PutText(out, r.category, 20);
    PutAmount(out, replaced.amount);
    PutAmount(out, replaced.balance);
    PutText(out, r.accname, 30);
    return out;
}

std::string ExpectedRecords(bool replaced, bool kept_only) {
    const std::vector<Row>& rows = OemRows();
    std::string out;
    for (size_t i = 0; i < rows.size(); ++i) {
        if (kept_only && (i + 1) % kDeleteEvery == 0) continue;
        out += RecordOf(rows[i], replaced ? rows[ReplacementRow(i)] : rows[i]);
    }
    return out;
}

uint32_t Le(const std::string& b, size_t at, int bytes) {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(b[at + static_cast<size_t>(i)]);
    return v;
}

}  // namespace

const std::string& ExpectedMasterRecords() {
    static const std::string records = ExpectedRecords(false, false);
    return records;
}

const std::string& ExpectedReplacedRecords() {
    static const std::string records = ExpectedRecords(true, false);
    return records;
}

const std::string& ExpectedKeptRecords() {
    static const std::string records = ExpectedRecords(false, true);
    return records;
}

namespace {

// What is wrong with the records of the table at `path` against `expected`;
// empty when nothing.
std::string RecordProblem(const std::string& path, const std::string& expected) {
    std::ifstream in(path, std::ios::binary);
    const std::string file{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (file.size() < 32) return "no table";
    const uint32_t count = Le(file, 4, 4);
    const size_t hl = Le(file, 8, 2), rl = Le(file, 10, 2);
    const size_t records = rl == 0 ? 0 : expected.size() / rl;
    if (rl == 0 || count != records) return std::to_string(count) + " records, expected " + std::to_string(records);
    if (file.size() < hl + expected.size()) return "the file is shorter than its records";
    if (file.compare(hl, expected.size(), expected) == 0) return {};
    size_t at = 0;
    while (file[hl + at] == expected[at]) ++at;
    const size_t record = at / rl;
    return "record " + std::to_string(record + 1) + " is \"" + file.substr(hl + record * rl, rl) + "\", expected \"" +
        expected.substr(record * rl, rl) + "\"";
}

}  // namespace

bool SameRecords(benchmark::State& state, const std::string& path, const std::string& expected) {
    const std::string problem = RecordProblem(path, expected);
    if (problem.empty()) return true;
    state.SkipWithError((path + ": " + problem).c_str());
    return false;
}

void CopyTable(const std::string& source, const std::string& target) {
    std::filesystem::copy_file(source, target, std::filesystem::copy_options::overwrite_existing);
}

void RemoveTable(const std::string& path) {
    std::error_code ec;
    std::filesystem::remove(path, ec);
}

void AddRowTexts(const Row& r, TextDigest& d, bool stored_date) {
    d.Add(stored_date ? r.stored_date : r.date);
    for (const std::string* text : {&r.detail, &r.source, &r.dest, &r.action, &r.ref, &r.category, &r.accname})
        d.Add(*text);
}

uint64_t RowsDigest(const std::vector<Row>& rows, const std::function<void(const Row&, TextDigest&)>& texts,
                    bool kept_only, int copies) {
    TextDigest d;
    for (int copy = 0; copy < copies; ++copy)
        for (size_t i = 0; i < rows.size(); ++i)
            if (!kept_only || (i + 1) % kDeleteEvery != 0) texts(rows[i], d);
    return d.value;
}

bool ExpectDigest(benchmark::State& state, const TextDigest& got, uint64_t expected, const char* what) {
    if (got.value == expected) return true;
    state.SkipWithError((std::string(what) + ": the texts read are not the texts written").c_str());
    return false;
}

void CountRecords(benchmark::State& state, int64_t per_iteration) {
    state.SetItemsProcessed(state.iterations() * per_iteration);
}

}  // namespace bench

// Every allocation of the program goes through the counter above.
void* operator new(size_t size) { return bench::Allocate(size); }
void* operator new[](size_t size) { return bench::Allocate(size); }
void operator delete(void* p) noexcept { bench::Release(p); }
void operator delete[](void* p) noexcept { bench::Release(p); }
void operator delete(void* p, size_t) noexcept { bench::Release(p); }
void operator delete[](void* p, size_t) noexcept { bench::Release(p); }
