#include "bench/transactions.hpp"

#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <span>

#include "engine/dbf/areas.hpp"
#include "engine/dbf/dates.hpp"
#include "engine/dbf/detail/area_table.hpp"
#include "engine/dbf/detail/record_io.hpp"
#include "engine/dbf/detail/swap_buffer.hpp"
#include "engine/dbf/detail/table_header.hpp"
#include "engine/dbf/tables.hpp"
#include "engine/dbf/edit.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/dbf/navigate.hpp"
#include "platform/codepage.hpp"

namespace bench {

namespace {

constexpr std::array<const char*, 5> kAccounts = {"Current Account", "Cash Account", "Savings Account",
                                                  "Credit Card", "Holiday Fund"};
// Texts in the ANSI page, some with accents, so that the page conversion has work to do.
constexpr std::array<const char*, 8> kPayees = {"Supermarket",       "Caf\xE9 M\xFCller", "City Power",
                                                "Rent",              "Bakery Sch\xF6n",   "Fuel Station",
                                                "Cin\xE9ma Lumi\xE8re", "Bookshop"};
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
    return path;
}

void SetDetail(int32_t record, const char* text) {
    zurod::GO(record);
    zurod::TWorkArea& a = *zurod::CurrentTable();
    zurod::SetSwapString(a, a.fields[kDetail], text);
    zurod::Replace();
}

std::string BuildLocateTable() {
    const std::string path = PathIn("locate.dbf");
    CopyTable(MasterTable(), path);
    zurod::UseOptions use;
    use.file_name = path;
    use.exclusive = true;
    zurod::UseTable(use);
    if (zurod::LastErrorCode() != 0) Fail("opening " + path);
    SetDetail(1, kFirstDetail);
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
    static const std::string path = BuildLocateTable();
    return path;
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

void CopyTable(const std::string& source, const std::string& target) {
    std::filesystem::copy_file(source, target, std::filesystem::copy_options::overwrite_existing);
}

void RemoveTable(const std::string& path) {
    std::error_code ec;
    std::filesystem::remove(path, ec);
}

void CountRecords(benchmark::State& state, int64_t per_iteration) {
    state.SetItemsProcessed(state.iterations() * per_iteration);
}

}  // namespace bench
