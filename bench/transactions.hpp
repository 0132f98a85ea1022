#pragma once
// What every benchmark works on: 100,000 generated records in the layout of
// the transaction history, the directory their table files live in, and
// ready-made tables that the timed regions start from.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace zurod {
struct TWorkArea;
}

namespace bench {

inline constexpr int kRecords = 100'000;
// Every tenth record is deleted where a case needs deleted records.
inline constexpr int kDeleteEvery = 10;

struct Column {
    const char* name;
    char type;
    int length;
    int decimals;
};
inline constexpr Column kColumns[] = {
    {"DATE", 'D', 8, 0},    {"DETAIL", 'C', 30, 0},  {"SOURCE", 'C', 30, 0},   {"DEST", 'C', 30, 0},
    {"ACTION", 'C', 8, 0},  {"REF", 'C', 10, 0},     {"CATEGORY", 'C', 20, 0}, {"AMOUNT", 'N', 9, 2},
    {"BALANCE", 'N', 9, 2}, {"ACCNAME", 'C', 30, 0},
};
inline constexpr int kColumnCount = static_cast<int>(std::size(kColumns));
// Columns by position, for the loops that touch a few of them.
enum ColumnNo { kDate, kDetail, kSource, kDest, kAction, kRef, kCategory, kAmount, kBalance, kAccName };

struct Row {
    std::string stored_date;  // YYYYMMDD, as the peers take it
    std::string date;         // MM/DD/YYYY, as the engine's swap buffer holds it
    std::string detail, source, dest, action, ref, category, accname;
    double amount = 0;
    double balance = 0;
};

// A digest of the texts a loop read, cheap enough for the timed loops: each
// text's length without its trailing blanks and its first and last
// characters. It equals the digest of the rows' own texts only when every
// text came back whole and in its place.
struct TextDigest {
    uint64_t value = 0;
    void Add(const char* text, size_t size) {
        while (size > 0 && text[size - 1] == ' ') --size;
        value = value * 31 + size;
        if (size > 0)
            value += static_cast<unsigned char>(text[0]) * 7u + static_cast<unsigned char>(text[size - 1]) * 13u;
    }
    void Add(std::string_view text) { Add(text.data(), text.size()); }
};
// The same rows on every call (a fixed seed), built once.
const std::vector<Row>& Rows();
// The same rows with their texts in the tables' page (OEM 850): the peers
// store text bytes as they are given, the engine converts them itself.
const std::vector<Row>& OemRows();
// The row whose DETAIL, AMOUNT and BALANCE the replace cases put into
// record i (0-based).
inline size_t ReplacementRow(size_t i) { return (i + 1) % kRecords; }

// The texts of a row's character and date fields in column order: the date
// as `date` or `stored_date`, for the digests of loops that read them all.
void AddRowTexts(const Row& row, TextDigest& digest, bool stored_date);

// Puts a row's values into the swap buffer of a table in the master's layout.
void PutRow(zurod::TWorkArea& area, const Row& row);

// A directory under the system's temporary directory, removed at exit.
const std::string& Dir();
std::string PathIn(const std::string& name);

// Puts the engine in the state the benchmarks assume (errors recorded, not
// shown; MM/DD/YYYY dates; the 850/1252 pages). Idempotent.
void PrepareEngine();

// Tables of all rows written by the engine, built on first use: the plain one
// and one with every tenth record deleted. Every library reads these same
// bytes.
const std::string& MasterTable();
const std::string& MasterTableWithDeleted();

// The plain table with two DETAIL texts changed, for the locate cases: only
// the last record's starts with kLocatePrefix or equals kLastDetail, and
// kContainedText (in any case) occurs in the first record's, at its start,
// and in the last record's, inside it.
inline constexpr const char* kLastDetail = "Year-end M\xFCller rebate";
inline constexpr const char* kFirstDetail = "M\xFCller rebate, opening";
inline constexpr const char* kLocatePrefix = "Year-end";
inline constexpr const char* kContainedText = "m\xFCller rebate";
const std::string& LocateTable();
// The table with every tenth record deleted, for the locate cases with the
// deleted records hidden: the last record (deleted) carries kLastDetail too,
// so a hidden match must be passed over to find the visible one in the
// record before it.
const std::string& LocateTableWithDeleted();

// A table in the master's layout with no records.
const std::string& EmptyTable();

// The master's records ten times over: 1,000,000 records.
inline constexpr int kMillion = 10 * kRecords;
const std::string& MillionTable();
// The same, each copy's records (`length` bytes each) changed by `patch`
// before it is written, in a new table `name`.
using CopyPatch = std::function<void(int copy, std::string& records, size_t length)>;
std::string TenCopies(const std::string& name, const CopyPatch& patch);

// The million records in date order: the master's rows ten times over, each
// copy dated kDaysPerCopy after the one before, as a history grows.
inline constexpr int kDaysPerCopy = kRecords / 4;  // the generator's four records a day
// YYYYMMDD `days` later.
std::string ShiftDate(const std::string& yyyymmdd, int days);
const std::string& MillionInDateOrder();
// Record n's row and stored date in the master (which 0) or that table (1).
const Row& RowOf(int32_t n);
std::string StoredDateOf(int which, int32_t n);

// 100,000 record numbers of the dated million picked at random (the same
// on every call): the records whose keys the find cases look for.
const std::vector<int32_t>& RandomRecords();

// The memo of record n in the memo cases: 1 KiB of one letter, starting
// with the number; and whether `text` is exactly that (fast enough for the
// timed loops).
std::string MemoText(int n);
bool IsMemoText(int n, std::string_view text);

// The start of a text for a message, bytes outside printable ASCII as \xNN.
std::string Excerpt(std::string_view text, size_t length = 24);

// How much memory a part of a case holds at its peak: the heap bytes
// allocated through new and not yet freed, counted while a PeakMemory is
// running (one at a time).
class PeakMemory {
public:
    PeakMemory();
    ~PeakMemory();
    PeakMemory(const PeakMemory&) = delete;
    PeakMemory& operator=(const PeakMemory&) = delete;
    // Megabytes above what was held when it started.
    double GrowthMb() const;
    // Megabytes held now above that.
    double HeldMb() const;
};

// Totals of AMOUNT over all rows and over the "Debit" rows, as the tables
// store them (rounded to cents); the same without every tenth row (the
// deleted ones); and AMOUNT plus BALANCE over all rows.
double AmountTotal();
double DebitTotal();
double KeptAmountTotal();
double AmountAndBalanceTotal();
// False, after marking the run failed, unless `got` is `expected` to the cent.
bool ExpectTotal(benchmark::State& state, double got, double expected, const char* what);

// What the tables must hold after each case, built from the rows alone (no
// library wrote these bytes): every record as the master holds it, after the
// replace cases' changes, and without every tenth record.
const std::string& ExpectedMasterRecords();
const std::string& ExpectedReplacedRecords();
const std::string& ExpectedKeptRecords();
// False, after marking the run failed with the first difference, unless the
// table at `path` counts and holds exactly the records `expected`.
bool SameRecords(benchmark::State& state, const std::string& path, const std::string& expected);

// Replaces `target` with a copy of `source` (setup, outside timed regions).
void CopyTable(const std::string& source, const std::string& target);
void RemoveTable(const std::string& path);

// Records per second over the whole run.
void CountRecords(benchmark::State& state, int64_t per_iteration = kRecords);

// The digest of `texts(row, digest)` over the rows (without every tenth
// when `kept_only`), `copies` times over: what a loop must have read.
uint64_t RowsDigest(const std::vector<Row>& rows, const std::function<void(const Row&, TextDigest&)>& texts,
                    bool kept_only = false, int copies = 1);
// False, after marking the run failed, unless the digests agree.
bool ExpectDigest(benchmark::State& state, const TextDigest& got, uint64_t expected, const char* what);

// A peer that hands back other bytes than were written is not timed: its
// run fails with a message starting with this, and the summary shows it as
// "wrong" instead of a time.
inline constexpr const char* kWrongBytes = "wrong bytes: ";

}  // namespace bench
