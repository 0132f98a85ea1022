// Appenders of every kind against a process that packs the table over and
// over: every acknowledged append is there exactly once, every delete mark is
// a blank or "*", and the independent readers read the same records.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <iostream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "engine/dbf/areas.hpp"
#include "engine/dbf/edit.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/dbf/locks.hpp"
#include "engine/dbf/navigate.hpp"
#include "tests/engine/peers/peer_support.hpp"
#include "tests/support/child_process.hpp"
#include "tests/support/engine_fixture.hpp"
#include "tests/support/files.hpp"
#include "tests/support/table_image.hpp"

namespace {

using namespace zurod;
using testing_support::Failure;
using testing_support::TableImage;

enum class Appender {
    KeepsOpen,  // a batch of appends, then closes for a moment
    OpensPerRecord,
    FlushesAfterUnlock,
};
constexpr Appender kAppenders[] = {Appender::KeepsOpen,          Appender::OpensPerRecord, Appender::OpensPerRecord,
                                   Appender::FlushesAfterUnlock, Appender::OpensPerRecord, Appender::OpensPerRecord};
constexpr int kAppenderCount = static_cast<int>(std::size(kAppenders));
constexpr int kPerAppender = 600;
constexpr int kBatch = 20;

void Pause(int us) { std::this_thread::sleep_for(std::chrono::microseconds(us)); }

std::string Id(int k, int i) { return "A" + std::to_string(k) + "-" + std::to_string(i); }
// Every third record an appender writes, it deletes again.
bool DeletedByItsAppender(int i) { return i % 3 == 2; }

// USE, waiting while the packer holds the table.
bool OpenShared(const std::string& path) {
    for (int attempt = 0; attempt < 20000; ++attempt) {
        USE(path);
        if (LastErrorCode() == 0) return true;
        if (LastErrorCode() != 32) return false;
        Pause(50);
    }
    return false;
}

std::string RunAppender(Appender kind, int k, const std::string& path) {
    bool open = false;
    for (int i = 0; i < kPerAppender; ++i) {
        if (!open && !OpenShared(path)) return Failure("use");
        open = true;
        while (!ALock()) Pause(20);
        ClearRecord();
        PutFieldString(1, Id(k, i));
        Append();
        if (LastErrorCode() != 0) return Failure("append");
        Unlock();
        if (DeletedByItsAppender(i)) {
            // The table stays open, so no pack has moved the record meanwhile.
            while (!RLock()) Pause(20);
            DeleteRec();
            if (LastErrorCode() != 0) return Failure("delete");
            Unlock();
        }
        if (kind == Appender::FlushesAfterUnlock) FlushDbf();
        const bool close = kind == Appender::OpensPerRecord || (i + 1) % kBatch == 0;
        if (close) {
            CloseArea();
            open = false;
            if (LastErrorCode() != 0) return Failure("close");
            Pause(200);
        }
    }
    if (open) CloseArea();
    return "done";
}

// Packs whenever it gets the table to itself, until every appender is done;
// "packs N" with the number of packs done.
std::string RunPacker(const std::string& path, const std::string& done_dir) {
    int packs = 0;
    const auto finished = [&] {
        for (int k = 0; k < kAppenderCount; ++k)
            if (!std::filesystem::exists(done_dir + "/" + std::to_string(k))) return false;
        return true;
    };
    for (bool last = false; !last;) {
        last = finished();
        if (!OpenShared(path)) return Failure("use");
        if (Pack())
            ++packs;
        else if (LastErrorCode() != 32)
            return Failure("pack");
        CloseArea();
        Pause(300);
    }
    return "packs " + std::to_string(packs);
}

class SharedWritersTest : public testing_support::EngineTest {};

TEST_F(SharedWritersTest, AppendersAgainstAPackerLoseNothing) {
    const std::string path = CreateTable("W.DBF", {{"ID", 'C', 12, 0}, {"N", 'N', 6, 0}});
    const std::string done_dir = dir_ / "done";
    std::filesystem::create_directory(done_dir);
    const std::vector<std::string> results =
        testing_support::RunTogether(kAppenderCount + 1, [&](int k) -> std::string {
            if (k == kAppenderCount) return RunPacker(path, done_dir);
            const std::string result = RunAppender(kAppenders[k], k, path);
            testing_support::WriteFileBytes(done_dir + "/" + std::to_string(k), result);
            return result;
        });
    for (int k = 0; k < kAppenderCount; ++k) ASSERT_EQ(results[k], "done") << "appender " << k;
    ASSERT_EQ(results.back().rfind("packs ", 0), 0u) << results.back();
    std::cout << "[          ] " << results.back() << " while " << kAppenderCount * kPerAppender
              << " records were appended\n";

    const TableImage image = TableImage::Read(path);
    ASSERT_EQ(image.header_count, image.records.size());
    std::map<std::string, std::vector<char>> marks;
    for (const std::string& record : image.records) marks[TableImage::Field(record, 1, 12)].push_back(record[0]);
    size_t expected_records = 0;
    for (int k = 0; k < kAppenderCount; ++k)
        for (int i = 0; i < kPerAppender; ++i) {
            const std::vector<char>& seen = marks[Id(k, i)];
            if (DeletedByItsAppender(i)) {
                // Packed away, or still waiting for the next pack.
                EXPECT_TRUE(seen.empty() || seen == std::vector<char>{'*'}) << Id(k, i);
                expected_records += seen.size();
            } else {
                EXPECT_EQ(seen, std::vector<char>{' '}) << Id(k, i) << " lost or doubled";
                ++expected_records;
            }
        }
    EXPECT_EQ(image.records.size(), expected_records) << "records nobody appended";

    USE(path);
    ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    EXPECT_EQ(RecCount(), static_cast<int32_t>(expected_records));
    const std::string engine = peers::EngineDump();
    EXPECT_EQ(peers::PeerDump("dbfread", "cp850", path, dir_.path()), engine);
    EXPECT_EQ(peers::ShapelibDump(path, true), peers::EngineDump(peers::DumpStyle::Shapelib));
    CloseArea();
}

}  // namespace
