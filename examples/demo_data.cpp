#include "examples/demo_data.hpp"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>

#include "engine/dbf/dates.hpp"

namespace demo {

const std::vector<std::string> kHistoryFields = {
    "DATE,D,8,0", "DETAIL,C,30,0",   "SOURCE,C,30,0", "DEST,C,30,0",   "ACTION,C,8,0",
    "REF,C,10,0", "CATEGORY,C,20,0", "AMOUNT,N,9,2",  "BALANCE,N,9,2", "ACCNAME,C,30,0",
};
const std::vector<std::string> kHistoryTags = {
    "TGTHRECN,F,F,RECNO()", "", "TGTHDATE,F,F,DTOS(DATE)+STR(RECNO())+DETAIL", "", "TGTHACC,F,F,ACCNAME+DTOS(DATE)", "",
};

ui::Owned<zurod::TTzDbf> Table(const std::string& name, const std::string& path, const std::vector<std::string>& fields,
                               const std::vector<std::string>& tags) {
    auto ds = ui::Make<zurod::TTzDbf>(nullptr);
    ds->SetName(name);
    for (const std::string& line : fields) ds->DbfFields().Add(line);
    for (const std::string& line : tags) ds->IndexList().Add(line);
    ds->SetDbfFileName(path);
    ds->SetExclusive(true);
    ds->AutoFixRecCount = true;
    ds->CreateIndex = zurod::ciAlways;
    ds->Open();
    return ds;
}

void Remove(const std::string& path) {
    for (const char* ext : {".dbf", ".DBT", ".MDX"}) {
        std::error_code ec;
        std::filesystem::remove(std::filesystem::path(path).replace_extension(ext), ec);
    }
}

namespace {

constexpr int kTransactions = 300;

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

}  // namespace

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

int64_t Signed(const Posting& p) { return p.source == p.account ? -p.cents : p.cents; }

void WriteHistory(const std::string& path, const std::vector<Posting>& postings, const std::function<void()>& step) {
    Remove(path);
    auto history = Table("History", path, kHistoryFields, kHistoryTags);
    std::map<std::string, int64_t> balances;
    size_t written = 0;
    for (const Posting& p : postings) {
        if (written++ * 100 % postings.size() < 100) step();
        const int64_t after = balances[p.account] += Signed(p);
        history->ClearRecord();
        history->FieldPutShort("DATE", p.date);
        history->FieldPut("DETAIL", p.detail);
        history->FieldPut("SOURCE", p.source);
        history->FieldPut("DEST", p.dest);
        history->FieldPut("ACTION", p.action);
        history->FieldPut("REF", p.ref);
        history->FieldPut("CATEGORY", p.category);
        history->FieldPutFloat("AMOUNT", static_cast<double>(p.cents) / 100);
        history->FieldPutFloat("BALANCE", static_cast<double>(after) / 100);
        history->FieldPut("ACCNAME", p.account);
        history->AppendRec();
    }
}

std::string HistoryPath(const std::string& folder) { return folder + "/transactionhistory.dbf"; }

}  // namespace demo
