// A table with a memo file and a production index, killed or failed at every
// file-changing call of a pack, a zap, an append and a replace: the next
// open (or, in a process that lives on, the next change) finds every tag in
// line with the table and every record with its own memo, and a failure is
// reported with the disk's code.
#include <signal.h>

#include <functional>

#include "engine/dbf/locks.hpp"
#include "platform/file.hpp"
#include "tests/engine/index/attached_files_fixture.hpp"
#include "tests/support/child_process.hpp"

namespace testing_support {
namespace {

using namespace zurod;
using platform::FileOp;

constexpr uint16_t kDiskFault = 29;

// The changes of one record that the tests kill and fail: each puts a new
// name and amount (new keys in every tag) and, for an append, a new memo.
struct Change {
    const char* name;
    bool append;
};
const Change kChanges[] = {{"append", true}, {"replace", false}};

// Makes the change in the current area, shared or not, under the lock it needs.
void MakeChange(const Change& c, const std::string& name, double amount) {
    if (c.append) {
        const int64_t id = RecCount() + 1001;  // never a multiple of 5: it has a memo
        const int32_t memo = AddMemo("note of " + std::to_string(id));
        if (LastErrorCode() != 0 || !ALock()) return;
        ClearRecord();
        PutFieldInteger(1, id);
        PutFieldString(2, name);
        PutFieldNumber(3, amount);
        PutFieldMemo(4, memo);
        Append();
    } else {
        GO(7);
        if (LastErrorCode() != 0 || !RLock()) return;
        PutFieldString(2, name);
        PutFieldNumber(3, amount);
        Replace();
    }
    const uint16_t code = LastErrorCode();
    Unlock();
    if (code != 0) SetLastErrorCode(code);
}

class CrashSafetyTest : public AttachedFilesTest {};

TEST_F(CrashSafetyTest, PackAndZapKilledBeforeEachChangeLeaveTagsAndMemosInLine) {
    struct Case {
        const char* name;
        std::function<void()> run;
        std::vector<int64_t> done;  // the ids once it is whole
    };
    const Case cases[] = {{"pack", [] { Pack(); }, KeptIds()}, {"zap", [] { Zap(); }, {}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const int killed = KillBeforeEachChange([&] { Reset(); }, [&] { OpenShared(); }, c.run,
                                                [&](const std::string& when) {
                                                    const std::vector<int64_t> ids = ReopenAndCheck(when);
                                                    EXPECT_TRUE(ids == AllIds() || ids == c.done) << when;
                                                });
        EXPECT_GT(killed, 10);
    }
}

TEST_F(CrashSafetyTest, AnAppendOrReplaceKilledBeforeEachChangeLeavesNoTagWithoutTheKey) {
    for (const Change& c : kChanges) {
        SCOPED_TRACE(c.name);
        const int killed =
            KillBeforeEachChange([&] { Reset(); }, [&] { OpenShared(); }, [&] { MakeChange(c, "ZEBRA", 999); },
                                 [&](const std::string& when) { (void)ReopenAndCheck(when); });
        EXPECT_GT(killed, 3);
    }
}

// A process that lives on finds what a dead writer left at its next change,
// without opening the index again.
TEST_F(CrashSafetyTest, AWriterKilledBeforeEachChangeIsRepairedByTheNextChangeElsewhere) {
    for (const Change& c : kChanges) {
        SCOPED_TRACE(c.name);
        for (int n = 1;; ++n) {
            ASSERT_LT(n, 200);
            Reset();
            ChildProcess child([&](const ChildProcess::Channel& ch) {
                ch.Receive();
                OpenShared();
                platform::InjectFileCrash(FileOp::Change, n);
                MakeChange(c, "ZEBRA", 999);
                platform::ClearFileFaults();
                ch.Send("whole");
            });
            OpenShared();
            child.Send("go");
            const bool whole = child.Receive() == "whole";
            child.Wait();
            SCOPED_TRACE("killed before change " + std::to_string(n));
            MakeChange(kChanges[0], "YAK", 55);
            ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
            ExpectInLine("after the next change");
            CloseArea();
            if (whole) break;
        }
    }
}

// A write that fails in the middle of a change is reported with its code.
// Once the disk works again the change is repaired at once; while it keeps
// failing (30 writes in a row), the next change or the next open does it.
TEST_F(CrashSafetyTest, AFailedWriteInAChangeIsReportedAndRepaired) {
    struct Then {
        const char* name;
        int failing;  // writes in a row that fail
        bool reopen;
    };
    const Then thens[] = {
        {"one write fails", 1, false},
        {"30 fail, then the next change", 30, false},
        {"30 fail, then the next open", 30, true},
    };
    for (const Change& c : kChanges) {
        for (const Then& then : thens) {
            SCOPED_TRACE(std::string(c.name) + ": " + then.name);
            for (int n = 1;; ++n) {
                ASSERT_LT(n, 200);
                SCOPED_TRACE("from write " + std::to_string(n));
                Reset();
                OpenShared();
                for (int i = 0; i < then.failing; ++i) platform::InjectFileFault(FileOp::Write, n, kDiskFault);
                MakeChange(c, "ZEBRA", 999);
                const bool any = platform::FileFaultsPending() < then.failing;
                platform::ClearFileFaults();
                if (any) {
                    EXPECT_EQ(LastErrorCode(), kDiskFault) << LastErrorMessage();
                } else {
                    EXPECT_EQ(LastErrorCode(), 0) << LastErrorMessage();
                }
                if (then.reopen) {
                    CloseArea();
                    (void)ReopenAndCheck("reopened");
                } else {
                    if (then.failing > 1) {
                        MakeChange(c, "YAK", 55);
                        EXPECT_EQ(LastErrorCode(), 0) << LastErrorMessage();
                    }
                    ExpectInLine("after the change");
                    CloseArea();
                }
                if (!any) break;
            }
        }
    }
}

TEST_F(CrashSafetyTest, AFailedChangeAnywhereInPackOrZapIsReportedAndLeavesTagsInLine) {
    struct Case {
        const char* name;
        bool (*run)();
    };
    const Case cases[] = {{"pack", [] { return Pack(); }}, {"zap", [] { return Zap(); }}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (int n = 1;; ++n) {
            ASSERT_LT(n, 400);
            SCOPED_TRACE("change " + std::to_string(n) + " fails");
            Reset();
            OpenShared();
            platform::InjectFileFault(FileOp::Change, n, kDiskFault);
            const bool ok = c.run();
            const bool fired = platform::FileFaultsPending() == 0;
            platform::ClearFileFaults();
            if (!fired) {
                EXPECT_TRUE(ok) << LastErrorMessage();
                CloseArea();
                break;
            }
            EXPECT_FALSE(ok);
            EXPECT_EQ(LastErrorCode(), kDiskFault) << LastErrorMessage();
            CloseArea();
            (void)ReopenAndCheck("reopened");
        }
    }
}

// Every write of the semaphore file (and of the rest) that fails is reported
// with its code, for reads in key order as for changes.
TEST_F(CrashSafetyTest, NoFailedWriteOfASharedIndexedTableIsReportedAsSuccess) {
    struct Case {
        const char* name;
        std::function<void()> run;
    };
    const Case cases[] = {
        {"go top", [] { GoTop(); }},
        {"skip", [] { SKIP(1); }},
        {"go", [] { GO(9); }},
        {"order", [] { SetOrderToTag("AMOUNT"); }},
        {"find", [] { Find("N1"); }},
        {"append", [] { MakeChange(kChanges[0], "ZEBRA", 999); }},
        {"replace", [] { MakeChange(kChanges[1], "ZEBRA", 999); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (int n = 1;; ++n) {
            ASSERT_LT(n, 100);
            Reset();
            OpenShared();
            SetLastErrorCode(0);
            platform::InjectFileFault(FileOp::Write, n, kDiskFault);
            try {
                c.run();
            } catch (const EZurodError&) {}  // choosing an order raises at once
            const bool fired = platform::FileFaultsPending() == 0;
            platform::ClearFileFaults();
            if (fired) {
                EXPECT_EQ(LastErrorCode(), kDiskFault) << "write " << n << ": " << LastErrorMessage();
            }
            CloseArea();
            if (!fired) break;
        }
    }
}

}  // namespace
}  // namespace testing_support
