// A process killed at random moments while it appends, replaces, deletes,
// packs and zaps: after each kill the table opens shared and exclusive with
// the same count, holds every acknowledged change (and the one under way
// either wholly or not at all), and no rewrite file outlives the next open.
#include <gtest/gtest.h>

#include <sys/mman.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <new>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "engine/dbf/areas.hpp"
#include "engine/dbf/edit.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/dbf/locks.hpp"
#include "engine/dbf/navigate.hpp"
#include "tests/support/child_process.hpp"
#include "tests/support/engine_fixture.hpp"
#include "tests/support/table_image.hpp"

namespace {

using namespace zurod;
using testing_support::ChildProcess;
using testing_support::TableImage;

enum class Kind : int { Append, Replace, Delete, Pack, Zap };
constexpr const char* kKindNames[] = {"append", "replace", "delete", "pack", "zap"};

struct Op {
    Kind kind;
    int32_t record;  // replace and delete
    int32_t id;      // append
    int32_t value;   // append and replace
};

// What the child has begun and finished, in memory both processes see; it
// survives the child's death.
struct OpLog {
    static constexpr int kCapacity = 4096;
    std::atomic<int> begun{0};
    std::atomic<int> done{0};
    std::atomic<int> failed{0};  // the engine's code when an operation failed
    Op ops[kCapacity];
};

struct Rec {
    int32_t id, value;
    bool deleted;
    friend bool operator==(const Rec&, const Rec&) = default;
};
using Model = std::vector<Rec>;

Model Applied(Model m, const Op& op) {
    switch (op.kind) {
    case Kind::Append: m.push_back({op.id, op.value, false}); break;
    case Kind::Replace: m[op.record - 1].value = op.value; break;
    case Kind::Delete: m[op.record - 1].deleted = true; break;
    case Kind::Pack: std::erase_if(m, [](const Rec& r) { return r.deleted; }); break;
    case Kind::Zap: m.clear(); break;
    }
    return m;
}

// The bytes the engine writes for a record: the mark, ID N 8 and VALUE N 8.
std::string RecordBytes(const Rec& r) {
    char text[32];
    std::snprintf(text, sizeof text, "%c%8d%8d", r.deleted ? '*' : ' ', r.id, r.value);
    return text;
}

std::vector<std::string> Bytes(const Model& m) {
    std::vector<std::string> out;
    for (const Rec& r : m) out.push_back(RecordBytes(r));
    return out;
}

// The child's loop: operations chosen at random, each logged before it
// starts and counted once the engine acknowledged it.
void Work(const std::string& path, bool exclusive, int32_t first_id, unsigned seed, OpLog& log) {
    USE(path + (exclusive ? " EXCLUSIVE" : ""));
    if (LastErrorCode() != 0) {
        log.failed = LastErrorCode();
        return;
    }
    std::mt19937 random(seed);
    const auto lock_record = [](int32_t n) {
        GO(n);
        while (!RLock()) std::this_thread::yield();
    };
    for (int i = 0; i < OpLog::kCapacity; ++i) {
        const int32_t count = RecCount();
        Op op{Kind::Append, 0, first_id + i, static_cast<int32_t>(random() % 100000)};
        const unsigned pick = random() % 100;
        if (count > 300)
            op.kind = Kind::Zap;
        else if (count > 0 && pick < 30)
            op.kind = Kind::Replace;
        else if (count > 0 && pick < 42)
            op.kind = Kind::Delete;
        else if (count > 0 && pick < 54)
            op.kind = Kind::Pack;
        else if (count > 0 && pick < 58)
            op.kind = Kind::Zap;
        if (op.kind == Kind::Replace || op.kind == Kind::Delete)
            op.record = static_cast<int32_t>(random() % static_cast<unsigned>(count)) + 1;
        log.ops[i] = op;
        log.begun.store(i + 1);
        switch (op.kind) {
        case Kind::Append:
            if (!exclusive)
                while (!ALock()) std::this_thread::yield();
            ClearRecord();
            PutFieldInteger(1, op.id);
            PutFieldInteger(2, op.value);
            Append();
            break;
        case Kind::Replace:
            lock_record(op.record);
            PutFieldInteger(2, op.value);
            Replace();
            break;
        case Kind::Delete:
            lock_record(op.record);
            DeleteRec();
            break;
        case Kind::Pack: Pack(); break;
        case Kind::Zap: Zap(); break;
        }
        if (LastErrorCode() != 0) {
            log.failed = LastErrorCode();
            return;
        }
        Unlock();
        log.done.store(i + 1);
    }
}

class CrashTest : public testing_support::EngineTest {};

TEST_F(CrashTest, KilledAtRandomTheTableKeepsEveryAcknowledgedChange) {
    constexpr int kKills = 120;
    const std::string path = CreateTable("K.DBF", {{"ID", 'N', 8, 0}, {"VALUE", 'N', 8, 0}});
    const std::string temp = path + ".TZP";
    void* shared = ::mmap(nullptr, sizeof(OpLog), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(shared, MAP_FAILED);
    const std::unique_ptr<void, void (*)(void*)> unmap(shared, [](void* p) { ::munmap(p, sizeof(OpLog)); });

    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    Model model;
    int kills_during[6] = {};  // by the kind under way; [5]: between operations
    int64_t records_checked = 0, temps_left = 0;
    for (int run = 0; run < kKills; ++run) {
        SCOPED_TRACE("run " + std::to_string(run));
        OpLog* log = new (shared) OpLog;
        const bool exclusive = run % 4 == 3;
        const unsigned child_seed = random();
        ChildProcess child(
            [&](const ChildProcess::Channel&) { Work(path, exclusive, run * OpLog::kCapacity + 1, child_seed, *log); });
        // Each run waits for one kind of operation to be under way (the
        // slow ones would take most kills otherwise), then kills a moment
        // later: at most 30 us into the quick ones, 500 us into the rewrites.
        const Kind target = static_cast<Kind>(run % 5);
        const auto now = [] { return std::chrono::steady_clock::now(); };
        const auto give_up = now() + std::chrono::milliseconds(300);
        while (now() < give_up) {
            const int begun = log->begun.load();
            if (begun > log->done.load() && log->ops[begun - 1].kind == target) break;
        }
        const auto kill_at = now() + std::chrono::microseconds(random() % (target >= Kind::Pack ? 500 : 30));
        while (now() < kill_at) {}
        child.Kill();
        ASSERT_EQ(log->failed.load(), 0) << "the child's operation " << log->begun.load() << " failed";

        // Acknowledged: all operations done; under way: at most the next one.
        const int done = log->done.load(), begun = log->begun.load();
        for (int i = 0; i < done; ++i) model = Applied(model, log->ops[i]);
        const bool under_way = begun > done;
        const Model with_it = under_way ? Applied(model, log->ops[done]) : model;
        ++kills_during[under_way ? static_cast<int>(log->ops[done].kind) : 5];
        temps_left += std::filesystem::exists(temp);

        USE(path);
        ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
        EXPECT_FALSE(std::filesystem::exists(temp)) << "a stale rewrite file outlived the open";
        const int32_t shared_count = RecCount();
        CloseArea();
        USE(path + " EXCLUSIVE");
        ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
        EXPECT_EQ(RecCount(), shared_count) << "shared and exclusive opens disagree";
        CloseArea();

        const TableImage image = TableImage::Read(path);
        ASSERT_EQ(image.header_count, static_cast<uint32_t>(shared_count));
        const std::vector<std::string> found = image.Counted();
        records_checked += static_cast<int64_t>(found.size());
        if (found == Bytes(model)) continue;
        ASSERT_TRUE(under_way && found == Bytes(with_it))
            << "killed during " << (under_way ? kKindNames[static_cast<int>(log->ops[done].kind)] : "nothing") << ": "
            << found.size() << " records, expected " << model.size()
            << (under_way ? " or " + std::to_string(with_it.size()) : std::string());
        model = with_it;
    }
    std::cout << "[          ] " << kKills << " kills: during append " << kills_during[0] << ", replace "
              << kills_during[1] << ", delete " << kills_during[2] << ", pack " << kills_during[3] << ", zap "
              << kills_during[4] << ", between operations " << kills_during[5] << "; " << temps_left
              << " rewrite files left and removed; " << records_checked << " records checked, none lost\n";
}

}  // namespace
