// corvanta-demo [folder]: creates the transaction history and a table of
// account notes in a memo field in a data folder (default ./demo-data), posts
// a few hundred generated transactions with running balances per account,
// reads them back and prints the structure, the record count and each
// account's balance, filters the large debits and sums expressions over the
// history, gives the history a production index on the date and on the
// account to print each account's last five transactions in date order, and
// prints each account's note. Running it again re-creates the tables. While
// it writes the history the engine's progress window is up (on the screen
// when there is one), and pictures of the message and progress windows go
// into the folder.
#include <array>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "engine/dbf/areas.hpp"
#include "engine/dbf/dates.hpp"
#include "engine/dbf/edit.hpp"
#include "engine/dbf/engine.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/dbf/locate.hpp"
#include "engine/dbf/navigate.hpp"
#include "engine/dbf/tables.hpp"
#include "engine/expr/expr.hpp"
#include "engine/index/index.hpp"
#include "engine/memo/memo.hpp"
#include "engine/ui/tzmsg.hpp"
#include "platform/codepage.hpp"
#include "platform/ui/sdl_display.hpp"

namespace {


constexpr int kTransactions = 300;
constexpr std::array<const char*, 4> kAccounts = {"Current Account", "Cash Account", "Savings Account",
                                                  "Credit Card"};
constexpr std::array<const char*, 5> kCategories = {"Groceries", "Fuel", "Dining Out", "Utilities", "Books"};

// One side of a transaction as the history stores it.
struct Posting {
    std::string date, detail, source, dest, action, ref, category, account;
    int64_t cents = 0;  // never negative
};

// The current table's field number by name, looked up once per table.
int FieldOf(const char* name) {
    const int n = zurod::FieldNo(name);
    if (n == 0) throw zurod::EZurodError(std::string("No field ") + name);
    return n;
}

void CreateTable(const std::string& path, std::vector<zurod::FieldDef> fields) {
    zurod::CreateDbf(path, fields);
}

void OpenTable(const std::string& path) {
    zurod::UseOptions use;
    use.file_name = path;
    use.exclusive = true;
    zurod::UseTable(use);
}

// A small fixed-seed generator, so that every run posts the same history.
class Random {
public:
    uint32_t Next(uint32_t below) {
        state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<uint32_t>(state_ >> 33) % below;
    }

private:
    uint64_t state_ = 2024;
};

std::vector<Posting> GenerateHistory() {
    std::vector<Posting> postings;
    Random random;
    int64_t cash = 0;  // cents; cash is never overspent
    auto day = std::chrono::sys_days{std::chrono::year{2024} / 1 / 2};
    for (int t = 1; t <= kTransactions; ++t) {
        if (random.Next(3) == 0) day += std::chrono::days{1};
        const std::chrono::year_month_day ymd{day};
        Posting p;
        p.date = zurod::DateFrom(static_cast<int>(ymd.year()), static_cast<int>(static_cast<unsigned>(ymd.month())),
                                 static_cast<int>(static_cast<unsigned>(ymd.day())));
        char ref[12];
        std::snprintf(ref, sizeof ref, "%010d", t);
        p.ref = ref;
        uint32_t kind = t % 20 == 1 ? 0 : 1 + random.Next(4);
        if (kind == 0) {  // pay day
            p.action = p.source = "Credit";
            p.dest = p.account = kAccounts[0];
            p.detail = "Salary";
            p.category = "Salary";
            p.cents = 250'000;
            postings.push_back(p);
        } else if (kind <= 3) {  // a payment from the current account, cash or the card
            p.cents = 100 + random.Next(12'000);
            if (kind == 2 && p.cents > cash) kind = 1;
            if (kind == 2) cash -= p.cents;
            p.action = p.dest = "Debit";
            p.source = p.account = kAccounts[kind == 1 ? 0 : kind == 2 ? 1 : 3];
            p.category = kCategories[random.Next(kCategories.size())];
            p.detail = p.category + " payment";
            postings.push_back(p);
        } else {  // from the current account to one of the others: one record per account
            p.action = p.category = "Transfer";
            p.source = kAccounts[0];
            p.dest = kAccounts[1 + random.Next(3)];
            p.detail = "Transfer to " + p.dest;
            p.cents = 1'000 + random.Next(40'000);
            if (p.dest == kAccounts[1]) cash += p.cents;
            p.account = p.source;
            postings.push_back(p);
            p.account = p.dest;
            postings.push_back(p);
        }
    }
    return postings;
}

// The account's balance moves down when it is the paying side.
int64_t Signed(const Posting& p) { return p.source == p.account ? -p.cents : p.cents; }

// `step` is called a hundred times over the whole run.
void WriteHistory(const std::string& path, const std::vector<Posting>& postings, const std::function<void()>& step) {
    CreateTable(path, {{"DATE", 'D', 8, 0},
                       {"DETAIL", 'C', 30, 0},
                       {"SOURCE", 'C', 30, 0},
                       {"DEST", 'C', 30, 0},
                       {"ACTION", 'C', 8, 0},
                       {"REF", 'C', 10, 0},
                       {"CATEGORY", 'C', 20, 0},
                       {"AMOUNT", 'N', 9, 2},
                       {"BALANCE", 'N', 9, 2},
                       {"ACCNAME", 'C', 30, 0}});
    OpenTable(path);
    const int date = FieldOf("DATE"), detail = FieldOf("DETAIL"), source = FieldOf("SOURCE"),
              dest = FieldOf("DEST"), action = FieldOf("ACTION"), ref = FieldOf("REF"),
              category = FieldOf("CATEGORY"), amount = FieldOf("AMOUNT"), balance = FieldOf("BALANCE"),
              accname = FieldOf("ACCNAME");
    std::map<std::string, int64_t> balances;
    size_t written = 0;
    for (const Posting& p : postings) {
        if (written++ * 100 % postings.size() < 100) step();
        const int64_t after = balances[p.account] += Signed(p);
        zurod::ClearRecord();
        zurod::PutFieldString(date, p.date);
        zurod::PutFieldString(detail, p.detail);
        zurod::PutFieldString(source, p.source);
        zurod::PutFieldString(dest, p.dest);
        zurod::PutFieldString(action, p.action);
        zurod::PutFieldString(ref, p.ref);
        zurod::PutFieldString(category, p.category);
        zurod::PutFieldNumber(amount, static_cast<double>(p.cents) / 100);
        zurod::PutFieldNumber(balance, static_cast<double>(after) / 100);
        zurod::PutFieldString(accname, p.account);
        zurod::Append();
    }
    zurod::CloseArea();
}

// A note per account, kept in the table's memo file; the cash account has none.
constexpr std::array<const char*, 4> kNotes = {
    "Salary arrives on the last working day.\r\nStanding orders leave on the 1st.",
    "",
    "Interest 2.5 % a year, paid quarterly.",
    "Statement closes on the 20th; paid in full by direct debit.",
};

void WriteNotes(const std::string& path) {
    CreateTable(path, {{"NAME", 'C', 30, 0}, {"NOTES", 'M', 10, 0}});
    OpenTable(path);
    const int name = FieldOf("NAME"), notes = FieldOf("NOTES");
    for (size_t i = 0; i < kAccounts.size(); ++i) {
        zurod::ClearRecord();
        zurod::PutFieldString(name, kAccounts[i]);
        zurod::PutFieldMemo(notes, zurod::AddMemo(kNotes[i]));
        zurod::Append();
    }
    // A note changed later: written through the memo field as a text file.
    zurod::GO(3);
    zurod::MemoTextFile note(notes);
    note.Rewrite();
    note.WriteLn("Interest 2.75 % a year from March, paid quarterly.");
    note.Close();
    zurod::Replace();
    zurod::CloseArea();
}

void PrintStructure(const std::string& path) {
    std::printf("%s: %d records of %u bytes\n", path.c_str(), zurod::RecCount(), zurod::RecSize());
    for (int n = 1; n <= zurod::FieldCount(); ++n)
        std::printf("  %-10s %c %3d %d\n", zurod::Field(n).c_str(), zurod::FieldType(n), zurod::FieldLen(n),
                    zurod::FieldDec(n));
}

std::string_view TrimRight(std::string_view s) {
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
}

double Money(int64_t cents) { return static_cast<double>(cents) / 100; }

// Reads every account's note back from the memo file.
void ReportNotes(const std::string& path) {
    OpenTable(path);
    PrintStructure(path);
    const int name = FieldOf("NAME"), notes = FieldOf("NOTES");
    std::printf("Notes per account:\n");
    for (zurod::GoTop(); !zurod::dEOF(); zurod::SKIP(1)) {
        std::printf("  %s\n", platform::AnsiToUtf8(std::string(TrimRight(zurod::GetFieldString(name)))).c_str());
        zurod::MemoTextFile note(notes);
        note.Reset();
        if (note.Eof()) std::printf("    (no note)\n");
        for (std::string line; !note.Eof();) {
            note.ReadLn(line);
            std::printf("    %s\n", platform::AnsiToUtf8(line).c_str());
        }
    }
    zurod::CloseArea();
}

// Reads the history back; false when a stored running balance disagrees
// with the amounts before it.
bool ReportHistory(const std::string& path) {
    OpenTable(path);
    PrintStructure(path);
    const int source = FieldOf("SOURCE"), amount = FieldOf("AMOUNT"), balance = FieldOf("BALANCE"),
              accname = FieldOf("ACCNAME");
    struct Account {
        int records = 0;
        int64_t computed = 0, stored = 0;
    };
    std::map<std::string, Account> accounts;
    int mismatches = 0;
    for (zurod::GoTop(); !zurod::dEOF(); zurod::SKIP(1)) {
        const std::string name(TrimRight(zurod::GetFieldString(accname)));
        const bool paying = TrimRight(zurod::GetFieldString(source)) == name;
        const auto cents = std::llround(zurod::GetFieldNumber(amount) * 100);
        Account& acc = accounts[name];
        ++acc.records;
        acc.computed += paying ? -cents : cents;
        acc.stored = std::llround(zurod::GetFieldNumber(balance) * 100);
        if (acc.stored != acc.computed) ++mismatches;
    }
    zurod::CloseArea();

    std::printf("Balance per account:\n");
    for (const auto& [name, acc] : accounts)
        std::printf("  %-20s %10.2f  (%d records)\n", platform::AnsiToUtf8(name).c_str(), Money(acc.stored),
                    acc.records);
    if (mismatches > 0) std::printf("%d running balances do not match their amounts\n", mismatches);
    return mismatches == 0;
}

// A filter and sums through the expression language, checked against the
// postings they select.
bool ReportDebits(const std::string& path, const std::vector<Posting>& postings) {
    int64_t expected_count = 0, expected_cents = 0, expected_pennies = 0;
    for (const Posting& p : postings) {
        expected_pennies += p.cents % 100;
        if (p.action == "Debit" && p.cents >= 10'000) ++expected_count, expected_cents += p.cents;
    }
    OpenTable(path);
    zurod::Set_Filter_To("ACTION = 'Debit' .AND. AMOUNT >= 100");
    int64_t count = 0;
    for (zurod::GoTop(); !zurod::dEOF(); zurod::SKIP(1)) ++count;
    const double large = zurod::Sum("AMOUNT");
    zurod::Set_Filter_To("");
    const double pennies = zurod::Sum("VAL(RIGHT(STR(AMOUNT, 9, 2), 2))");
    zurod::CloseArea();
    std::printf("Debits of 100.00 or more: %lld records, %.2f in all\n", static_cast<long long>(count), large);
    std::printf("Pennies in every amount: %.0f\n", pennies);
    const bool ok = count == expected_count && std::fabs(large - Money(expected_cents)) < 0.005 &&
                    std::fabs(pennies - static_cast<double>(expected_pennies)) < 0.5;
    if (!ok) std::printf("the filter or the sums disagree with the postings\n");
    return ok;
}

bool SavePicture(ui::TCustomForm* window, const std::string& path) {
    ui::Application().ProcessMessages();
    const ui::SurfacePtr pixels = ui::GetWindowSurface(window->WindowHandle());
    return pixels && pixels->WritePng(path);
}

// Builds the history's production index and walks each account's records
// in date order through the account tag; false when the last five differ
// from the postings.
bool ReportLastFive(const std::string& path, const std::vector<Posting>& postings) {
    OpenTable(path);
    zurod::MakeIndexTags({{"TGTHDATE", "DTOS(DATE)+STR(RECNO())+DETAIL", "", false, false},
                          {"TGTHACC", "ACCNAME+DTOS(DATE)", "", false, false}},
                         "");
    zurod::SetOrderToTag("TGTHACC");
    const int date = FieldOf("DATE"), detail = FieldOf("DETAIL"), amount = FieldOf("AMOUNT"), ref = FieldOf("REF"),
              accname = FieldOf("ACCNAME");
    bool ok = true;
    std::printf("Last five transactions per account, in date order:\n");
    for (const char* account : kAccounts) {
        std::deque<std::string> last, refs;
        for (bool more = zurod::Find(account); more && !zurod::dEOF(); zurod::SKIP(1)) {
            if (TrimRight(zurod::GetFieldString(accname)) != account) break;
            char line[128];
            std::snprintf(line, sizeof line, "    %s  %-30s %9.2f", zurod::GetFieldString(date).c_str(),
                          zurod::GetFieldString(detail).c_str(), zurod::GetFieldNumber(amount));
            last.push_back(line);
            refs.push_back(zurod::GetFieldString(ref));
            if (last.size() > 5) last.pop_front(), refs.pop_front();
        }
        std::printf("  %s\n", account);
        for (const std::string& line : last) std::printf("%s\n", platform::AnsiToUtf8(line).c_str());
        // The postings are in date order already.
        std::deque<std::string> expected;
        for (const Posting& p : postings)
            if (p.account == account && (expected.push_back(p.ref), expected.size() > 5)) expected.pop_front();
        if (refs != expected) {
            std::printf("  the index order of %s disagrees with the postings\n", account);
            ok = false;
        }
    }
    zurod::CloseArea();
    return ok;
}

}  // namespace

int Run(int argc, char** argv) {
    const std::string folder = argc > 1 ? argv[1] : "demo-data";
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) {
        std::fprintf(stderr, "corvanta-demo: cannot create %s: %s\n", folder.c_str(), ec.message().c_str());
        return 1;
    }
    // Engine errors arrive as exceptions instead of ending the program.
    zurod::RaiseModeScope raise(true);
    zurod::SetCentury(true);
    try {
        const std::string history = folder + "/transactionhistory.dbf";
        const std::string notes = folder + "/accountnotes.dbf";
        const std::vector<Posting> postings = GenerateHistory();
        auto progress = zurod::ShowProgressWindow("Writing to disk...");
        int steps = 0;
        bool pictures = false;
        WriteHistory(history, postings, [&] {
            zurod::UpdateProgress(progress.get());
            if (++steps == 40) pictures = SavePicture(progress.get(), folder + "/progress-window.png");
        });
        progress.reset();
        auto message = ui::Make<zurod::TTzMsg>(nullptr);
        message->ShowText(std::string("Indexing ACCNAME..."));
        if (!pictures || !SavePicture(message.get(), folder + "/message-window.png"))
            std::fprintf(stderr, "corvanta-demo: cannot write the window pictures into %s\n", folder.c_str());
        message.reset();
        WriteNotes(notes);
        const bool ok =
            ReportHistory(history) && ReportDebits(history, postings) && ReportLastFive(history, postings);
        ReportNotes(notes);
        return ok ? 0 : 1;
    } catch (const zurod::EZurodError& e) {
        std::fprintf(stderr, "corvanta-demo: %s\n", platform::AnsiToUtf8(e.what()).c_str());
        return 1;
    }
}

int main(int argc, char** argv) {
    zurod::EngineInit();
    zurod::MemoInit();
    zurod::ExprInit();
    zurod::IndexInit();
    std::unique_ptr<ui::Display> display = ui::OpenSdlDisplay();  // none: drawn off the screen only
    if (display) ui::InstallDisplay(display.get());
    const int rc = Run(argc, argv);
    ui::InstallDisplay(nullptr);
    zurod::EngineShutdown();
    return rc;
}
