// corvanta-demo [folder]: creates the transaction history and a table of
// account notes in a memo field in a data folder (default ./demo-data), posts
// a few hundred generated transactions with running balances per account,
// reads them back and prints the structure, the record count and each
// account's balance, filters the large debits and sums expressions over the
// history, walks the history's production index (rebuilt at every open, as
// the program does) to print each account's last five transactions in date
// order, prints each account's note, and keeps the parts of a split
// transaction in a virtual file that it saves to disk and loads again. The
// tables are reached through datasets, as the program reaches them. Running
// it again re-creates the tables. While it writes the history the engine's
// progress window is up (on the screen when there is one), and pictures of
// the message and progress windows go into the folder, and one of the
// program's main window over the history (grid-window.png).
#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "controls/richedit_pictures.hpp"
#include "engine/dataset/file_dataset.hpp"
#include "engine/dataset/virtual_dataset.hpp"
#include "engine/dbf/areas.hpp"
#include "engine/dbf/dates.hpp"
#include "engine/dbf/engine.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/expr/expr.hpp"
#include "engine/index/index.hpp"
#include "engine/memo/memo.hpp"
#include "engine/start/start.hpp"
#include "engine/ui/tzmsg.hpp"
#include "engine/vfile/vfile.hpp"
#include "examples/combo_pictures.hpp"
#include "examples/control_pictures.hpp"
#include "examples/demo_data.hpp"
#include "examples/main_window.hpp"
#include "examples/menu_pictures.hpp"
#include "framework/ui/sdl_display.hpp"
#include "platform/codepage.hpp"

namespace {

using demo::GenerateHistory;
using demo::kAccounts;
using demo::kCategories;
using demo::kHistoryFields;
using demo::kHistoryTags;
using demo::Posting;
using demo::Remove;
using demo::Table;
using demo::WriteHistory;
using zurod::TTzDbf;

std::string Trim(const std::string& s) { return zurod::TzAllTrim(s); }

// A note per account, kept in the table's memo file; the cash account has none.
constexpr std::array<const char*, 4> kNotes = {
    "Salary arrives on the last working day.\r\nStanding orders leave on the 1st.",
    "",
    "Interest 2.5 % a year, paid quarterly.",
    "Statement closes on the 20th; paid in full by direct debit.",
};

void WriteNotes(const std::string& path) {
    Remove(path);
    auto notes = Table("Notes", path, {"NAME,C,30,0", "NOTES,M,10,0"});
    for (size_t i = 0; i < kAccounts.size(); ++i) {
        notes->ClearRecord();
        notes->FieldPut("NAME", kAccounts[i]);
        notes->AppendRec();
        // The memo goes through the field's BLOB stream, as an edit does.
        notes->Edit();
        notes->FieldByName("NOTES")->SetAsString(kNotes[i]);
        notes->Post();
    }
    // A note changed later.
    notes->Go(3);
    notes->Edit();
    notes->FieldByName("NOTES")->SetAsString("Interest 2.75 % a year from March, paid quarterly.\r\n");
    notes->Post();
}

void PrintStructure(const std::string& path, TTzDbf& table) {
    zurod::Select(table.WorkArea());
    std::printf("%s: %d records of %u bytes\n", path.c_str(), table.RecCount(), zurod::RecSize());
    for (const zurod::TDTField& f : table.FieldProps()->fields)
        std::printf("  %-10s %c %3d %d\n", f.name.c_str(), f.type, f.length, f.decimals);
}

double Money(int64_t cents) { return static_cast<double>(cents) / 100; }

// Reads every account's note back from the memo file.
void ReportNotes(const std::string& path) {
    auto notes = Table("Notes", path, {"NAME,C,30,0", "NOTES,M,10,0"});
    PrintStructure(path, *notes);
    std::printf("Notes per account:\n");
    for (notes->GoTop(); !notes->Eof(); notes->Skip(1)) {
        std::printf("  %s\n", platform::AnsiToUtf8(Trim(notes->FieldGet("NAME"))).c_str());
        const std::string text = notes->FieldGet("NOTES");
        if (text.empty()) std::printf("    (no note)\n");
        for (size_t at = 0; at < text.size();) {
            size_t end = text.find("\r\n", at);
            if (end == std::string::npos) end = text.size();
            std::printf("    %s\n", platform::AnsiToUtf8(text.substr(at, end - at)).c_str());
            at = end + 2;
        }
    }
}

// Reads the history back; false when a stored running balance disagrees
// with the amounts before it.
bool ReportHistory(TTzDbf& history, const std::string& path) {
    PrintStructure(path, history);
    struct Account {
        int records = 0;
        int64_t computed = 0, stored = 0;
    };
    std::map<std::string, Account> accounts;
    int mismatches = 0;
    for (history.GoTop(); !history.Eof(); history.Skip(1)) {
        const std::string name = Trim(history.FieldGet("ACCNAME"));
        const bool paying = Trim(history.FieldGet("SOURCE")) == name;
        const auto cents = std::llround(history.FieldGetFloat("AMOUNT") * 100);
        Account& acc = accounts[name];
        ++acc.records;
        acc.computed += paying ? -cents : cents;
        acc.stored = std::llround(history.FieldGetFloat("BALANCE") * 100);
        if (acc.stored != acc.computed) ++mismatches;
    }

    std::printf("Balance per account:\n");
    for (const auto& [name, acc] : accounts)
        std::printf("  %-20s %10.2f  (%d records)\n", platform::AnsiToUtf8(name).c_str(), Money(acc.stored),
                    acc.records);
    if (mismatches > 0) std::printf("%d running balances do not match their amounts\n", mismatches);
    return mismatches == 0;
}

// A filter and sums through the expression language, checked against the
// postings they select.
bool ReportDebits(TTzDbf& history, const std::vector<Posting>& postings) {
    int64_t expected_count = 0, expected_cents = 0, expected_pennies = 0;
    for (const Posting& p : postings) {
        expected_pennies += p.cents % 100;
        if (p.action == "Debit" && p.cents >= 10'000) ++expected_count, expected_cents += p.cents;
    }
    history.SetFilterTo("ACTION = 'Debit' .AND. AMOUNT >= 100");
    int64_t count = 0;
    for (history.GoTop(); !history.Eof(); history.Skip(1)) ++count;
    const double large = history.Sum("AMOUNT");
    history.SetFilterTo("");
    const double pennies = history.Sum("VAL(RIGHT(STR(AMOUNT, 9, 2), 2))");
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

// Walks each account's records in date order through the account tag;
// false when the last five differ from the postings.
bool ReportLastFive(TTzDbf& history, const std::vector<Posting>& postings) {
    history.SetOrderToTag("TGTHACC");
    bool ok = true;
    std::printf("Last five transactions per account, in date order:\n");
    for (const char* account : kAccounts) {
        std::deque<std::string> last, refs;
        for (bool more = history.Find(account); more && !history.Eof(); history.Skip(1)) {
            if (Trim(history.FieldGet("ACCNAME")) != account) break;
            char line[128];
            std::snprintf(line, sizeof line, "    %s  %s %9.2f", history.FieldGet("DATE").c_str(),
                          history.FieldGet("DETAIL").c_str(), history.FieldGetFloat("AMOUNT"));
            last.push_back(line);
            refs.push_back(history.FieldGet("REF"));
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
    history.SetOrderToTag("TGTHRECN");
    return ok;
}

// The parts of the first large debit, split over three categories, kept in a
// virtual file that is saved when it closes and loaded again, in amount order.
bool SplitRoundTrip(const std::string& path, const std::vector<Posting>& postings) {
    const auto large = std::find_if(postings.begin(), postings.end(),
                                    [](const Posting& p) { return p.action == "Debit" && p.cents >= 6'000; });
    if (large == postings.end()) return true;
    const int64_t parts[3] = {large->cents / 2, large->cents / 3, large->cents - large->cents / 2 - large->cents / 3};
    auto split = [&](bool load) {
        auto v = ui::Make<zurod::TTzVFile>(nullptr);
        v->SetName(load ? "Loaded" : "Splits");
        for (const char* line : {"REF,C,10,0", "CATEGORY,C,20,0", "AMOUNT,N,9,2"}) v->DbfFields().Add(line);
        v->SetDbfFileName(path);
        v->SaveToDisk = !load;
        v->PopulateFromDisk = load;
        if (load) {
            v->SetAppendMode(zurod::ASCENDING);
            v->KeyMaker = [](zurod::TTzLLDataSet* d) { return d->FieldGet("AMOUNT"); };
        }
        v->Open();
        return v;
    };
    Remove(path);
    {
        auto splits = split(false);
        for (int i = 0; i < 3; ++i) {
            splits->ClearRecord();
            splits->FieldPut("REF", large->ref);
            splits->FieldPut("CATEGORY", kCategories[static_cast<size_t>(i)]);
            splits->FieldPutFloat("AMOUNT", Money(parts[i]));
            splits->AppendRec();
        }
    }  // closing saves it
    auto loaded = split(true);
    std::printf("Split of %s (%.2f), saved and loaded again in amount order:\n", large->ref.c_str(),
                Money(large->cents));
    int64_t total = 0, previous = 0;
    bool ordered = true;
    for (loaded->GoTop(); !loaded->Eof(); loaded->Skip(1)) {
        const int64_t cents = std::llround(loaded->FieldGetFloat("AMOUNT") * 100);
        ordered = ordered && cents >= previous;
        previous = cents;
        total += cents;
        std::printf("    %s %s\n", loaded->FieldGet("CATEGORY").c_str(), loaded->FieldGet("AMOUNT").c_str());
    }
    const bool ok = loaded->RecCount() == 3 && total == large->cents && ordered;
    if (!ok) std::printf("the split read back is not the one saved\n");
    return ok;
}

}  // namespace

// The folder as given, relative ones from the current folder, so that every
// file of the run is named the same way whatever changes the current folder.
std::string AbsoluteFolder(const std::string& folder) {
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(folder, ec);
    return ec ? folder : absolute.lexically_normal().string();
}

// What ended the demo, with the step it was at and the file it worked on.
int Stopped(const char* step, const std::string& file, const std::exception& e) {
    std::fflush(stdout);
    std::fprintf(stderr, "corvanta-demo: %s (%s): %s\n", step, file.c_str(), platform::AnsiToUtf8(e.what()).c_str());
    return 1;
}

int Run(int argc, char** argv) {
    const std::string folder = AbsoluteFolder(argc > 1 ? argv[1] : "demo-data");
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) {
        std::fprintf(stderr, "corvanta-demo: cannot create %s: %s\n", folder.c_str(), ec.message().c_str());
        return 1;
    }
    // Engine errors arrive as exceptions instead of ending the program.
    zurod::RaiseModeScope raise(true);
    zurod::SetCentury(true);
    // What the run is doing and on which file, for the message should it fail.
    const char* step = "starting";
    std::string file = folder;
    auto at = [&](const char* what, const std::string& path) { step = what, file = path; };
    try {
        const std::string history_path = folder + "/transactionhistory.dbf";
        const std::string notes = folder + "/accountnotes.dbf";
        const std::vector<Posting> postings = GenerateHistory();
        at("writing the history", history_path);
        auto progress = zurod::ShowProgressWindow("Writing to disk...");
        int steps = 0;
        bool pictures = false;
        WriteHistory(history_path, postings, [&] {
            zurod::UpdateProgress(progress.get());
            if (++steps == 40) pictures = SavePicture(progress.get(), folder + "/progress-window.png");
        });
        progress.reset();
        at("drawing the message window", folder + "/message-window.png");
        auto message = ui::Make<zurod::TTzMsg>(nullptr);
        message->ShowText(std::string("Indexing ACCNAME..."));
        if (!pictures || !SavePicture(message.get(), folder + "/message-window.png"))
            std::fprintf(stderr, "corvanta-demo: cannot write the window pictures into %s\n", folder.c_str());
        message.reset();
        // The preview links the statement it writes beside the pictures.
        at("drawing the rich edit with the statement", folder + "/statement.txt");
        if (!controls::WriteRichEditPictures(folder))
            std::fprintf(stderr, "corvanta-demo: cannot write the rich edit pictures into %s\n", folder.c_str());
        at("writing the notes", notes);
        WriteNotes(notes);
        bool ok = false;
        {
            at("reading the history", history_path);
            auto history = Table("History", history_path, kHistoryFields, kHistoryTags);
            ok = ReportHistory(*history, history_path) && ReportDebits(*history, postings) &&
                ReportLastFive(*history, postings);
        }
        at("reading the notes", notes);
        ReportNotes(notes);
        at("saving and loading the split", folder + "/splits.dbf");
        ok = SplitRoundTrip(folder + "/splits.dbf", postings) && ok;
        // The program's main window over the history, as make run shows it.
        at("drawing the main window over the history", history_path);
        auto window = ui::Make<demo::TMainWindow>(nullptr, folder, "");
        window->Show();
        if (!SavePicture(window.get(), folder + "/grid-window.png"))
            std::fprintf(stderr, "corvanta-demo: cannot write the main window's picture into %s\n", folder.c_str());
        at("drawing the controls", folder);
        for (const std::string& name : WriteControlPictures(folder))
            std::fprintf(stderr, "corvanta-demo: cannot write %s into %s\n", name.c_str(), folder.c_str());
        at("drawing the menus", folder);
        for (const std::string& name : WriteMenuPictures(folder))
            std::fprintf(stderr, "corvanta-demo: cannot write %s into %s\n", name.c_str(), folder.c_str());
        at("drawing the colour combo and the folder dialog", folder);
        if (!WriteComboPictures(folder))
            std::fprintf(stderr, "corvanta-demo: cannot write the colour combo and folder pictures into %s\n",
                         folder.c_str());
        return ok ? 0 : 1;
    } catch (const std::exception& e) {  // platform::Error among them
        return Stopped(step, file, e);
    }
}

int main(int argc, char** argv) {
    zurod::StartEngine();
    std::unique_ptr<ui::Display> display = ui::OpenSdlDisplay();  // none: drawn off the screen only
    if (display) ui::InstallDisplay(display.get());
    const int rc = Run(argc, argv);
    ui::InstallDisplay(nullptr);
    zurod::EngineShutdown();
    return rc;
}
