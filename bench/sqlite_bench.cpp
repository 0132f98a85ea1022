// SQLite on the index and memo cases: the history as a table whose rowid is
// the record number, its three orders as indexes, and the memo texts as a
// table of (id, note). Defaults as shipped: a rollback journal and full
// syncs at each commit, as the engine syncs a built index. A case's work is
// one transaction where the engine's is one command.
#include <sqlite3.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench/cases.hpp"
#include "bench/transactions.hpp"

namespace bench {

namespace {

// An open database, closed when the scope ends.
class Db {
public:
    explicit Db(const std::string& path) {
        if (sqlite3_open(path.c_str(), &db_) != SQLITE_OK) Close();
    }
    ~Db() { Close(); }
    Db(const Db&) = delete;
    Db& operator=(const Db&) = delete;
    sqlite3* get() const { return db_; }
    explicit operator bool() const { return db_ != nullptr; }
    // False with the message in `error` when a statement fails.
    bool Exec(const std::string& sql, std::string& error) {
        char* message = nullptr;
        if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message) == SQLITE_OK) return true;
        error = sql + ": " + (message ? message : "failed");
        sqlite3_free(message);
        return false;
    }

private:
    void Close() {
        if (db_) sqlite3_close(db_);
        db_ = nullptr;
    }
    sqlite3* db_ = nullptr;
};

// A prepared statement, finalized when the scope ends.
class Statement {
public:
    Statement(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &s_, nullptr); }
    ~Statement() { sqlite3_finalize(s_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    sqlite3_stmt* get() const { return s_; }
    explicit operator bool() const { return s_ != nullptr; }

private:
    sqlite3_stmt* s_ = nullptr;
};

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "corvanta-bench: sqlite: %s\n", what.c_str());
    std::exit(1);
}

constexpr const char* kCreateHistory =
    "CREATE TABLE history(date TEXT, detail TEXT, source TEXT, dest TEXT, action TEXT, ref TEXT, "
    "category TEXT, amount REAL, balance REAL, accname TEXT)";
constexpr const char* kInsertRow = "INSERT INTO history VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10)";
// The tags DETAIL, AMOUNT and DTOS(DATE)+STR(RECNO())+DETAIL; every index
// holds the rowid after its columns, as the tags order equal keys by record.
constexpr const char* kCreateIndexes =
    "CREATE INDEX detail_ix ON history(detail);"
    "CREATE INDEX amount_ix ON history(amount);"
    "CREATE INDEX datekey_ix ON history(date, detail);";
constexpr const char* kDropIndexes =
    "DROP INDEX IF EXISTS detail_ix; DROP INDEX IF EXISTS amount_ix; DROP INDEX IF EXISTS datekey_ix;";

void BindText(sqlite3_stmt* s, int at, const std::string& text) {
    sqlite3_bind_text(s, at, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
}

// Inserts records 1..count of the master (which 0) or the dated million (1).
bool InsertRows(Db& db, int which, int64_t count, std::string& error) {
    Statement insert(db.get(), kInsertRow);
    if (!insert) {
        error = sqlite3_errmsg(db.get());
        return false;
    }
    sqlite3_stmt* s = insert.get();
    std::string date;
    for (int32_t n = 1; n <= count; ++n) {
        const Row& r = RowOf(n);
        date = which == 0 ? r.stored_date : StoredDateOf(which, n);
        BindText(s, 1, date);
        BindText(s, 2, r.detail);
        BindText(s, 3, r.source);
        BindText(s, 4, r.dest);
        BindText(s, 5, r.action);
        BindText(s, 6, r.ref);
        BindText(s, 7, r.category);
        sqlite3_bind_double(s, 8, r.amount);
        sqlite3_bind_double(s, 9, r.balance);
        BindText(s, 10, r.accname);
        if (sqlite3_step(s) != SQLITE_DONE) {
            error = sqlite3_errmsg(db.get());
            return false;
        }
        sqlite3_reset(s);
    }
    return true;
}

int64_t Count(int which) { return which == 0 ? kRecords : kMillion; }

// The history in a database of its own, built once: 100,000 records or the
// dated million, without indexes.
const std::string& HistoryDb(int which) {
    static std::string paths[2];
    std::string& path = paths[which];
    if (!path.empty()) return path;
    const std::string p = PathIn(which == 0 ? "history_100k.sqlite" : "history_1m.sqlite");
    std::remove(p.c_str());
    Db db(p);
    std::string error;
    if (!db || !db.Exec(kCreateHistory, error) || !db.Exec("BEGIN", error) ||
        !InsertRows(db, which, Count(which), error) || !db.Exec("COMMIT", error))
        Fail(error);
    path = p;
    return path;
}

bool Check(benchmark::State& state, bool ok, const std::string& error) {
    if (!ok) state.SkipWithError(("sqlite: " + error).c_str());
    return ok;
}

// False, after marking the run failed, unless the database's indexes agree
// with its table.
bool CheckIntegrity(benchmark::State& state, Db& db) {
    Statement check(db.get(), "PRAGMA integrity_check");
    const bool ok = check && sqlite3_step(check.get()) == SQLITE_ROW &&
        std::strcmp(reinterpret_cast<const char*>(sqlite3_column_text(check.get(), 0)), "ok") == 0;
    return Check(state, ok, "the indexes do not agree with the table");
}

// The texts of the history's records as stored, against the rows.
bool CheckRows(benchmark::State& state, Db& db, int64_t count) {
    Statement all(db.get(), "SELECT * FROM history ORDER BY rowid");
    TextDigest texts;
    double sum = 0;
    int64_t seen = 0;
    while (all && sqlite3_step(all.get()) == SQLITE_ROW) {
        for (int c = 0; c < kColumnCount; ++c) {
            if (kColumns[c].type == 'N') {
                sum += sqlite3_column_double(all.get(), c);
            } else {
                const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(all.get(), c));
                texts.Add(text, static_cast<size_t>(sqlite3_column_bytes(all.get(), c)));
            }
        }
        ++seen;
    }
    if (!Check(state, seen == count, std::to_string(seen) + " records")) return false;
    if (!ExpectTotal(state, sum, AmountAndBalanceTotal(), "AMOUNT and BALANCE")) return false;
    return ExpectDigest(state, texts, RowsDigest(Rows(), [](const Row& r, TextDigest& d) { AddRowTexts(r, d, true); }),
                        "texts");
}

}  // namespace

void SqliteIndexBuild(benchmark::State& state) {
    const int which = static_cast<int>(state.range(0));
    Db db(HistoryDb(which));
    std::string error;
    double peak = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const bool dropped = Check(state, db && db.Exec(kDropIndexes, error), error);
        state.ResumeTiming();
        if (!dropped) break;
        // SQLite allocates through its own counters.
        const sqlite3_int64 before = sqlite3_memory_used();
        sqlite3_memory_highwater(1);
        const bool built = db.Exec("BEGIN", error) && db.Exec(kCreateIndexes, error) && db.Exec("COMMIT", error);
        peak = std::max(peak, static_cast<double>(sqlite3_memory_highwater(0) - before) / (1024.0 * 1024.0));
        if (!Check(state, built, error)) break;
    }
    state.counters["peak_mb"] = peak;
    if (!state.error_occurred()) CheckIntegrity(state, db);
    CountRecords(state, Count(which));
}

void SqliteIndexFind(benchmark::State& state) {
    const int tag = static_cast<int>(state.range(0));
    Db db(HistoryDb(1));
    std::string error;
    if (!Check(state, db && db.Exec(kDropIndexes, error) && db.Exec(kCreateIndexes, error), error)) return;
    static const char* const queries[] = {
        "SELECT rowid, detail FROM history WHERE detail = ?1 LIMIT 1",
        "SELECT rowid, amount FROM history WHERE amount = ?1 LIMIT 1",
        "SELECT rowid, date FROM history WHERE date = ?1 AND detail = ?2 LIMIT 1",
    };
    Statement find(db.get(), queries[tag]);
    if (!Check(state, static_cast<bool>(find), sqlite3_errmsg(db.get()))) return;
    sqlite3_stmt* s = find.get();
    const std::vector<int32_t>& records = RandomRecords();
    std::vector<std::string> dates;
    for (const int32_t n : records) dates.push_back(StoredDateOf(1, n));
    const auto bind = [&](size_t i) {
        const Row& r = RowOf(records[i]);
        if (tag == 0) BindText(s, 1, r.detail);
        if (tag == 1) sqlite3_bind_double(s, 1, r.amount);
        if (tag == 2) BindText(s, 1, dates[i]), BindText(s, 2, r.detail);
    };
    // The first round, untimed, warms the cache and checks what each finds.
    for (size_t i = 0; i < records.size(); ++i) {
        bind(i);
        const Row& r = RowOf(records[i]);
        bool right = sqlite3_step(s) == SQLITE_ROW;
        if (right && tag == 0) right = reinterpret_cast<const char*>(sqlite3_column_text(s, 1)) == r.detail;
        if (right && tag == 1) right = sqlite3_column_double(s, 1) == r.amount;
        if (right && tag == 2) right = reinterpret_cast<const char*>(sqlite3_column_text(s, 1)) == dates[i];
        sqlite3_reset(s);
        if (!Check(state, right, "the key of record " + std::to_string(records[i]) + " finds another")) return;
    }
    int64_t found = 0;
    for (auto _ : state) {
        found = 0;
        for (size_t i = 0; i < records.size(); ++i) {
            bind(i);
            found += sqlite3_step(s) == SQLITE_ROW;
            sqlite3_reset(s);
        }
    }
    Check(state, found == static_cast<int64_t>(records.size()), "a key was not found");
    state.counters["per_find"] =
        benchmark::Counter(static_cast<double>(records.size()),
                           benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void SqliteIndexedAppend(benchmark::State& state) {
    const std::string path = PathIn("indexed_append.sqlite");
    std::string error;
    for (auto _ : state) {
        state.PauseTiming();
        std::remove(path.c_str());
        Db db(path);
        const bool ready = Check(state, db && db.Exec(kCreateHistory, error) && db.Exec(kCreateIndexes, error), error);
        state.ResumeTiming();
        if (!ready) break;
        const bool ok = db.Exec("BEGIN", error) && InsertRows(db, 0, kRecords, error) && db.Exec("COMMIT", error);
        if (!Check(state, ok, error)) break;
        state.PauseTiming();
        const bool right = CheckIntegrity(state, db) && CheckRows(state, db, kRecords);
        state.ResumeTiming();
        if (!right) break;
    }
    CountRecords(state);
}

namespace {

constexpr int kMemos = 100'000;
constexpr size_t kMemoSize = 1024;

const std::string& NotesDb() {
    static const std::string path = [] {
        const std::string p = PathIn("notes.sqlite");
        std::remove(p.c_str());
        Db db(p);
        std::string error;
        if (!db || !db.Exec("CREATE TABLE notes(id INTEGER PRIMARY KEY, note TEXT)", error) || !db.Exec("BEGIN", error))
            Fail(error);
        Statement insert(db.get(), "INSERT INTO notes VALUES(?1, ?2)");
        for (int n = 1; n <= kMemos; ++n) {
            const std::string text = MemoText(n);
            sqlite3_bind_int(insert.get(), 1, n);
            BindText(insert.get(), 2, text);
            if (sqlite3_step(insert.get()) != SQLITE_DONE) Fail(sqlite3_errmsg(db.get()));
            sqlite3_reset(insert.get());
        }
        if (!db.Exec("COMMIT", error)) Fail(error);
        return p;
    }();
    return path;
}

}  // namespace

void SqliteMemoRead(benchmark::State& state) {
    Db db(NotesDb());
    for (auto _ : state) {
        Statement all(db.get(), "SELECT id, note FROM notes ORDER BY id");
        if (!Check(state, static_cast<bool>(all), sqlite3_errmsg(db.get()))) break;
        size_t bytes = 0;
        int wrong = 0;
        while (sqlite3_step(all.get()) == SQLITE_ROW) {
            const int n = sqlite3_column_int(all.get(), 0);
            const auto* text = static_cast<const char*>(sqlite3_column_blob(all.get(), 1));
            const size_t size = static_cast<size_t>(sqlite3_column_bytes(all.get(), 1));
            if (wrong == 0 && !IsMemoText(n, {text, size})) wrong = n;
            bytes += size;
        }
        if (!Check(state, wrong == 0, "memo " + std::to_string(wrong) + " is not as written")) break;
        if (!Check(state, bytes == kMemoSize * kMemos, std::to_string(bytes) + " bytes read")) break;
    }
    CountRecords(state, kMemos);
}

}  // namespace bench
