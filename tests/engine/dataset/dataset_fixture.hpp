#pragma once
// A fresh engine with the virtual-file store and the expression language, a
// fresh desktop, the date format DD/MM/YYYY, and datasets over the history
// table of the program.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/dataset/file_dataset.hpp"
#include "engine/dataset/virtual_dataset.hpp"
#include "engine/dbf/dates.hpp"
#include "engine/expr/expr.hpp"
#include "engine/index/index.hpp"
#include "engine/memo/memo.hpp"
#include "engine/vfile/vfile.hpp"
#include "framework/ui/forms.hpp"
#include "framework/ui/window.hpp"
#include "platform/locale.hpp"
#include "tests/support/engine_fixture.hpp"

namespace testing_dataset {

inline const std::vector<std::string> kHistoryFields = {
    "DATE,D,8,0", "DETAIL,C,30,0",   "SOURCE,C,30,0", "DEST,C,30,0",   "ACTION,C,8,0",
    "REF,C,10,0", "CATEGORY,C,20,0", "AMOUNT,N,9,2",  "BALANCE,N,9,2", "ACCNAME,C,30,0",
};

class DatasetTest : public testing_support::EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        ui::UiReset();
        numbers_ = platform::NumberSettings();
        platform::NumberSettings() = {'.', ','};
        zurod::VFileInit();
        zurod::ExprInit();
        zurod::MemoInit();
        zurod::IndexInit();
        db::RegisterDataStrings();
        zurod::SetCentury(true);
        zurod::SetDateFormat(2);
    }
    void TearDown() override {
        sets_.clear();
        EngineTest::TearDown();
        platform::NumberSettings() = numbers_;
        ui::UiReset();
    }

    template <class T>
    T* Make(const std::string& name, const std::vector<std::string>& fields, const std::string& file) {
        auto* ds = new T(nullptr);
        sets_.emplace_back(ds);
        ds->SetName(name);
        for (const std::string& line : fields) ds->DbfFields().Add(line);
        ds->SetDbfFileName(file.empty() ? "" : dir_ / file);
        return ds;
    }
    zurod::TTzDbf* History(const std::string& file = "history.dbf") {
        auto* ds = Make<zurod::TTzDbf>("History", kHistoryFields, file);
        ds->SetExclusive(true);
        return ds;
    }
    // Appends records with the given DETAIL and AMOUNT through the commands.
    static void Add(zurod::TTzCDataSet& ds, const std::vector<std::pair<std::string, double>>& rows) {
        for (const auto& [detail, amount] : rows) {
            ds.ClearRecord();
            ds.FieldPut("DETAIL", detail);
            ds.FieldPutFloat("AMOUNT", amount);
            ds.FieldPut("DATE", "05/03/2024");
            ds.AppendRec();
        }
    }
    static std::string Details(zurod::TTzCDataSet& ds) {
        std::string s;
        for (ds.GoTop(); !ds.Eof(); ds.Skip(1)) s += (s.empty() ? "" : " ") + zurod::TzAllTrim(ds.FieldGet("DETAIL"));
        return s;
    }

    std::vector<ui::Owned<zurod::TZoVizuRez>> sets_;
    platform::NumberFormatSettings numbers_;
};

}  // namespace testing_dataset
