#pragma once
// A clean engine for every test: no open areas, start settings, no attached
// units, errors only recorded (tests read LastErrorCode), scripted message
// boxes, and a fresh directory for table files.
#include <gtest/gtest.h>

#include <span>
#include <string>
#include <utility>
#include <vector>

#include "engine/dbf/areas.hpp"
#include "engine/dbf/dates.hpp"
#include "engine/dbf/dbf_file.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/dbf/hooks.hpp"
#include "engine/dbf/settings.hpp"
#include "platform/codepage.hpp"
#include "platform/msgbox.hpp"
#include "tests/support/temp_dir.hpp"

namespace testing_support {

inline void ResetEngine() {
    zurod::ShutdownAreas();
    zurod::Settings() = zurod::EngineSettings{};
    zurod::ResetErrorState();
    zurod::ResetDateState();
    zurod::SetErrorHandling(false);
    platform::SelectCodePages(platform::CodePages::Cp850_1252);
}

class EngineTest : public ::testing::Test {
protected:
    // No unit is attached at the start of a test; a test attaches what it
    // needs (VFileInit, a recording fake).
    void SetUp() override {
        ResetEngine();
        previous_box_ = platform::InstallMessageBox(&box_);
        saved_expression_ = std::exchange(zurod::ExpressionAttachment(), {});
        saved_index_ = std::exchange(zurod::IndexAttachment(), {});
        saved_vfile_ = std::exchange(zurod::VirtualFileAttachment(), {});
        saved_memo_ = std::exchange(zurod::MemoUnit(), {});
    }
    void TearDown() override {
        // The fakes a test installed may be gone with its body: areas still
        // open close without them.
        zurod::ExpressionAttachment() = saved_expression_;
        zurod::IndexAttachment() = saved_index_;
        zurod::VirtualFileAttachment() = saved_vfile_;
        zurod::MemoUnit() = saved_memo_;
        zurod::SetErrorHandling(false);
        zurod::ShutdownAreas();
        platform::InstallMessageBox(previous_box_);
        ResetEngine();
    }

    // Creates a table from definitions such as {"NAME", 'C', 20, 0}.
    std::string CreateTable(const std::string& name, std::vector<zurod::FieldDef> fields) {
        const std::string path = dir_ / name;
        zurod::TWorkArea scratch;
        zurod::CreateDbf(scratch, path, fields);
        EXPECT_EQ(zurod::LastErrorCode(), 0) << zurod::LastErrorMessage();
        return path;
    }

    TempDir dir_;
    platform::ScriptedMessageBox box_;
    platform::MessageBoxService* previous_box_ = nullptr;

private:
    zurod::ExpressionHook saved_expression_;
    zurod::IndexHook saved_index_;
    zurod::VirtualFileHook saved_vfile_;
    zurod::MemoAttachment saved_memo_;
};

}  // namespace testing_support
