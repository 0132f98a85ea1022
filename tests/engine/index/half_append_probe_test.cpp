#include <thread>
#include "engine/dbf/locks.hpp"
#include "tests/engine/index/attached_files_fixture.hpp"
#include "tests/support/child_process.hpp"

namespace testing_support {
namespace {
using namespace zurod;
class ProbeTest : public AttachedFilesTest {};

TEST_F(ProbeTest, ReaderVsAppender) {
    Reset();
    ChildProcess writer([&](const ChildProcess::Channel& ch) {
        ch.Receive();
        OpenShared();
        for (int i = 0; i < 2000; ++i) {
            const int32_t memo = AddMemo("note of " + std::to_string(5000 + i));
            while (!ALock()) std::this_thread::yield();
            ClearRecord();
            PutFieldInteger(1, 5000 + i);
            PutFieldString(2, "W" + std::to_string(i % 97));
            PutFieldNumber(3, i % 50);
            PutFieldMemo(4, memo);
            Append();
            Unlock();
            if (LastErrorCode() != 0) {
                ch.Send("E" + std::to_string(LastErrorCode()) + LastErrorMessage());
                return;
            }
        }
        ch.Send("0");
    });
    OpenShared();
    writer.Send("go");
    int blanks = 0, errors = 0;
    std::string first_error;
    for (int i = 0; i < 3000; ++i) {
        SetLastErrorCode(0);
        const int32_t n = RecCount();
        GO(n);
        if (LastErrorCode() != 0) {
            ++errors;
            if (first_error.empty()) first_error = "GO " + LastErrorMessage();
            continue;
        }
        if (GetFieldInteger(1) == 0) ++blanks;
        try {
            SetOrderToTag(i % 2 ? "NAME" : "AMOUNT");
        } catch (const EZurodError& e) {
            ++errors;
            if (first_error.empty()) first_error = e.what();
        }
        if (LastErrorCode() != 0) {
            ++errors;
            if (first_error.empty()) first_error = "ORDER " + LastErrorMessage();
        }
    }
    EXPECT_EQ(writer.Receive(), "0");
    EXPECT_EQ(blanks, 0);
    EXPECT_EQ(errors, 0) << first_error;
}
}  // namespace
}  // namespace testing_support
