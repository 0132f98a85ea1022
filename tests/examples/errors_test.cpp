// Every family of the program's exceptions shares one root, platform::Error:
// the top of the program catches that one type and shows the message the
// thrower wrote. Each family is raised the way its own layer raises it.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "engine/dbf/errors.hpp"
#include "framework/db/fields.hpp"
#include "framework/ole/com.hpp"
#include "framework/ui/classes.hpp"
#include "framework/ui/grids.hpp"
#include "framework/ui/mask.hpp"
#include "platform/error.hpp"
#include "tests/support/engine_fixture.hpp"
#include "tests/support/ui_fixture.hpp"

namespace {

struct Family {
    const char* name;
    std::function<void()> raise;
    std::string message;
};

const std::vector<Family>& Families() {
    static const std::vector<Family> families = {
        {"the engine's",
         [] {
             zurod::ErrorHandlingScope on(true);
             zurod::RaiseModeScope raise(true);
             zurod::RunError(210, "[USE/OpenDbf]");
         },
         "Error # 210 (Not a dBASE data file)\r\n[USE/OpenDbf]"},
        {"the window system's",
         [] {
             ui::TStringList list;
             (void)list.Get(3);
         },
         "List index out of bounds (3)"},
        {"the grid's", [] { throw ui::EInvalidGridOperation("Too many columns in grid"); }, "Too many columns in grid"},
        {"the masked edit's", [] { throw ui::EDBEditError("Invalid input value"); }, "Invalid input value"},
        {"the database layer's", [] { db::DatabaseError("Cannot perform this operation on a closed dataset"); },
         "Cannot perform this operation on a closed dataset"},
        {"a field's range", [] { throw db::ERangeError("1000 is not a valid value for field 'QTY'"); },
         "1000 is not a valid value for field 'QTY'"},
        {"the object model's", [] { ole::OleCheck(ole::E_NOINTERFACE); }, "No such interface supported"},
    };
    return families;
}

class ErrorRootTest : public testing_ui::UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        testing_support::ResetEngine();
    }
    void TearDown() override {
        testing_support::ResetEngine();
        UiTest::TearDown();
    }
};

TEST_F(ErrorRootTest, EachFamilyIsCaughtAsTheRootWithItsMessage) {
    for (const Family& f : Families()) {
        SCOPED_TRACE(f.name);
        try {
            f.raise();
            ADD_FAILURE() << "nothing raised";
        } catch (const platform::Error& e) {
            EXPECT_EQ(std::string(e.what()), f.message);
        } catch (...) {
            ADD_FAILURE() << "not caught as platform::Error";
        }
    }
}

// Raised from inside a window's procedure, each reaches the message loop,
// which shows its message alone; the silent abort shows nothing.
TEST_F(ErrorRootTest, TheMessageLoopShowsEachFamilysMessage) {
    const std::function<void()>* raise = nullptr;
    ui::RegisterWindowClass({"Raising",
                             [&](ui::HWND h, ui::UINT m, ui::WPARAM w, ui::LPARAM l, const ui::NextProc& next) {
                                 if (m == ui::WM_APP && raise) (*raise)();
                                 return next(h, m, w, l);
                             },
                             0, std::nullopt});
    ui::CreateParams p;
    p.class_name = "Raising";
    const ui::HWND h = ui::CreateWindow(p);
    for (const Family& f : Families()) {
        SCOPED_TRACE(f.name);
        box_.shown.clear();
        raise = &f.raise;
        ui::PostMessage(h, ui::WM_APP);
        Pump();
        ASSERT_EQ(box_.shown.size(), 1u);
        EXPECT_EQ(box_.shown[0].text, f.message);
    }
    const std::function<void()> abort = [] { throw ui::EAbort(); };
    box_.shown.clear();
    raise = &abort;
    ui::PostMessage(h, ui::WM_APP);
    Pump();
    EXPECT_TRUE(box_.shown.empty());
    ui::DestroyWindow(h);
}

}  // namespace
