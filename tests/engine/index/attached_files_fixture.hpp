#pragma once
// A shared table with a memo field and a three-tag production index, kept as
// bytes so that every run of a crash or fault test starts from the same
// files, and the check of what a run left: every tag holds exactly the
// records its key and FOR condition admit, in key order, and every record's
// memo is its own.
#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "engine/memo/memo.hpp"
#include "tests/engine/index/index_fixture.hpp"
#include "tests/support/files.hpp"

namespace testing_support {

// One record as the table holds it.
struct Row {
    int32_t record = 0;
    int64_t id = 0;
    std::string name;
    double amount = 0;
    bool deleted = false;
    int32_t memo = 0;
};

class AttachedFilesTest : public IndexTest {
protected:
    static constexpr int kRecords = 60;

    void SetUp() override {
        IndexTest::SetUp();
        zurod::MemoInit();
        path_ = CreateTable("crash.dbf",
                            {{"ID", 'N', 6, 0}, {"NAME", 'C', 12, 0}, {"AMOUNT", 'N', 10, 2}, {"NOTE", 'M', 10, 0}});
        zurod::USE(path_ + " EXCLUSIVE");
        for (int i = 1; i <= kRecords; ++i) {
            // Every fifth record has no memo; names and amounts repeat.
            const int32_t memo = i % 5 == 0 ? 0 : zurod::AddMemo(NoteOf(i));
            zurod::ClearRecord();
            zurod::PutFieldInteger(1, i);
            zurod::PutFieldString(2, "N" + std::to_string(i * 37 % 23));
            zurod::PutFieldNumber(3, (i * 13 % 41) - 20);
            zurod::PutFieldMemo(4, memo);
            zurod::Append();
            if (i % 3 == 0) zurod::DeleteRec();
        }
        EXPECT_TRUE(zurod::MakeIndex(Tags(), "")) << zurod::LastErrorMessage();
        zurod::CloseArea();
        EXPECT_EQ(zurod::LastErrorCode(), 0) << zurod::LastErrorMessage();
        for (const auto& entry : std::filesystem::directory_iterator(dir_.path()))
            pristine_[entry.path().string()] = ReadFileBytes(entry.path().string());
    }

    static std::vector<zurod::TagDescriptor> Tags() {
        return {{"NAME", "NAME", "", false, false},
                {"AMOUNT", "AMOUNT", "", true, false},
                {"POSID", "ID", "AMOUNT > 0", false, false}};
    }
    static std::string NoteOf(int64_t id) { return "note of " + std::to_string(id); }

    // The files as SetUp left them, and nothing else in the folder.
    void Reset() {
        for (const auto& entry : std::filesystem::directory_iterator(dir_.path()))
            std::filesystem::remove(entry.path());
        for (const auto& [path, bytes] : pristine_) WriteFileBytes(path, bytes);
    }

    // The records in natural order, the current table's.
    static std::vector<Row> Rows() {
        std::vector<Row> rows;
        zurod::Set_Order_To(0);
        for (int32_t n = 1; n <= zurod::RecCount(); ++n) {
            zurod::GO(n);
            rows.push_back({n, zurod::GetFieldInteger(1), zurod::GetFieldString(2), zurod::GetFieldNumber(3),
                            zurod::Deleted(), zurod::GetFieldMemo(4)});
        }
        return rows;
    }

    // Each tag's records in key order, as a model of the tags orders them.
    static std::map<std::string, std::vector<uint32_t>> Expected(const std::vector<Row>& rows) {
        const auto order = [&](auto in, auto before) {
            std::vector<Row> picked;
            for (const Row& r : rows)
                if (in(r)) picked.push_back(r);
            std::stable_sort(picked.begin(), picked.end(), before);
            std::vector<uint32_t> out;
            for (const Row& r : picked) out.push_back(static_cast<uint32_t>(r.record));
            return out;
        };
        const auto all = [](const Row&) { return true; };
        return {
            {"NAME", order(all, [](const Row& x, const Row& y) { return x.name < y.name; })},
            {"AMOUNT", order(all, [](const Row& x, const Row& y) { return x.amount > y.amount; })},
            {"POSID",
             order([](const Row& r) { return r.amount > 0; }, [](const Row& x, const Row& y) { return x.id < y.id; })},
        };
    }

    // What the tags of the open index hold, on disk and walked through the
    // engine, against the table; and each record's memo.
    void ExpectInLine(const std::string& when) {
        SCOPED_TRACE(when);
        const std::vector<Row> rows = Rows();
        ASSERT_EQ(zurod::LastErrorCode(), 0) << zurod::LastErrorMessage();
        for (const Row& r : rows) {
            EXPECT_EQ(r.memo == 0, r.id % 5 == 0) << "record " << r.record;
            if (r.memo == 0) continue;
            ASSERT_TRUE(zurod::GetMemo(r.memo)) << "record " << r.record << ": " << zurod::LastErrorMessage();
            ASSERT_FALSE(zurod::MemoLineTable().empty());
            EXPECT_EQ(zurod::MemoLineTable()[0].text, NoteOf(r.id)) << "record " << r.record;
        }
        const MdxReport report = ExpectSound(IndexPath());
        for (const auto& [tag, records] : Expected(rows)) {
            EXPECT_EQ(report.Records(tag), records) << tag << " on disk";
            ASSERT_TRUE(zurod::SetOrderToTag(tag)) << zurod::LastErrorMessage();
            std::vector<int32_t> walked = Forward();
            EXPECT_EQ(std::vector<uint32_t>(walked.begin(), walked.end()), records) << tag << " walked";
            EXPECT_EQ(zurod::LastErrorCode(), 0) << zurod::LastErrorMessage();
        }
    }

    // Opens the table alone, with its index, and checks it; the ids it holds.
    std::vector<int64_t> ReopenAndCheck(const std::string& when) {
        zurod::SetLastErrorCode(0);
        zurod::USE(path_ + " EXCLUSIVE");
        EXPECT_EQ(zurod::LastErrorCode(), 0) << when << ": " << zurod::LastErrorMessage();
        EXPECT_TRUE(zurod::SetIndexTo("")) << when << ": " << zurod::LastErrorMessage();
        ExpectInLine(when);
        std::vector<int64_t> ids;
        for (const Row& r : Rows()) ids.push_back(r.id);
        zurod::CloseArea();
        return ids;
    }

    // Opens the table as the application does: shared, with its index.
    void OpenShared() {
        zurod::SetLastErrorCode(0);
        zurod::USE(path_);
        ASSERT_EQ(zurod::LastErrorCode(), 0) << zurod::LastErrorMessage();
        ASSERT_TRUE(zurod::SetIndexTo("")) << zurod::LastErrorMessage();
    }

    // The ids before any change, and after a pack.
    static std::vector<int64_t> AllIds() {
        std::vector<int64_t> ids;
        for (int i = 1; i <= kRecords; ++i) ids.push_back(i);
        return ids;
    }
    static std::vector<int64_t> KeptIds() {
        std::vector<int64_t> ids;
        for (int i = 1; i <= kRecords; ++i)
            if (i % 3 != 0) ids.push_back(i);
        return ids;
    }

    std::string path_;
    std::map<std::string, std::string> pristine_;
};

}  // namespace testing_support
