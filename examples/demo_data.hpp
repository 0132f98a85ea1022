#pragma once
// The demo's data: a generated transaction history of a few hundred
// transactions over four accounts, written with running balances into the
// history table as the program keeps it. The same seed gives the same history
// on every run.
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/dataset/file_dataset.hpp"

namespace demo {

constexpr std::array<const char*, 4> kAccounts = {"Current Account", "Cash Account", "Savings Account", "Credit Card"};
constexpr std::array<const char*, 5> kCategories = {"Groceries", "Fuel", "Dining Out", "Utilities", "Books"};

// One side of a transaction as the history stores it.
struct Posting {
    std::string date, detail, source, dest, action, ref, category, account;
    int64_t cents = 0;  // never negative
};

// The history as the program keeps it: its field list and its production
// index tags (record order, date, and the demo's tag on the account).
extern const std::vector<std::string> kHistoryFields;
extern const std::vector<std::string> kHistoryTags;
// The history's file in a data folder.
std::string HistoryPath(const std::string& folder);

// A table of the program: opened exclusively, created from its field list
// when missing, its index tags rebuilt at every open.
ui::Owned<zurod::TTzDbf> Table(const std::string& name, const std::string& path, const std::vector<std::string>& fields,
                               const std::vector<std::string>& tags = {});
// Removes a table and the files beside it, so that it is created anew.
void Remove(const std::string& path);

std::vector<Posting> GenerateHistory();
// The account's balance moves down when it is the paying side.
int64_t Signed(const Posting& p);
// Writes the history anew; `step` is called a hundred times over the whole run.
void WriteHistory(const std::string& path, const std::vector<Posting>& postings, const std::function<void()>& step);

}  // namespace demo
