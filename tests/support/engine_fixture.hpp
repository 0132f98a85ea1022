#pragma once
// A clean engine for every test: no open areas, start settings, errors only
// recorded (tests read LastErrorCode), scripted message boxes, and a fresh
// directory for table files.
#include <gtest/gtest.h>

#include <span>
#include <string>
#include <vector>

#include "engine/dbf/areas.hpp"
#include "engine/dbf/dates.hpp"
#include "engine/dbf/dbf_file.hpp"
#include "engine/dbf/errors.hpp"
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
    void SetUp() override {
        ResetEngine();
        previous_box_ = platform::InstallMessageBox(&box_);
    }
    void TearDown() override {
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
};

}  // namespace testing_support
