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
#include "engine/dbf/detail/area_table.hpp"
#include "engine/dbf/detail/record_io.hpp"
#include "engine/dbf/detail/state.hpp"
#include "engine/dbf/detail/swap_buffer.hpp"
#include "engine/dbf/detail/table_header.hpp"
#include "engine/dbf/engine.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/dbf/locate.hpp"
#include "engine/dbf/settings.hpp"
#include "engine/dbf/tables.hpp"
#include "platform/codepage.hpp"
#include "platform/msgbox.hpp"
#include "tests/support/temp_dir.hpp"

namespace testing_support {

inline void ResetEngine() {
    zurod::EngineReset();
    zurod::SetErrorHandling(false);
    platform::SelectCodePages(platform::CodePages::Cp850_1252);
}

// Field n of record r as the file stores it; "<none>" when it cannot be read.
inline std::string Stored(uint8_t field, int32_t record) {
    std::string text = "<none>";
    zurod::Peek(field, record, text);
    return text;
}

// What a step of a child process left as the last error, for its report.
inline std::string Failure(const std::string& step) {
    return step + " failed: " + std::to_string(zurod::LastErrorCode()) + " " + zurod::LastErrorMessage();
}

class EngineTest : public ::testing::Test {
protected:
    // No unit is attached at the start of a test; a test attaches what it
    // needs (VFileInit, a stand-in from fake_units.hpp).
    void SetUp() override {
        ResetEngine();
        previous_box_ = platform::InstallMessageBox(&box_);
    }
    void TearDown() override {
        // The stand-ins may hold references to the test's own variables, gone
        // with its body: areas still open close without them.
        zurod::Engine().attachments = {};
        zurod::SetErrorHandling(false);
        ResetEngine();
        platform::InstallMessageBox(previous_box_);
    }

    // Creates a table from definitions such as {"NAME", 'C', 20, 0}.
    std::string CreateTable(const std::string& name, std::vector<zurod::FieldDef> fields) {
        const std::string path = dir_ / name;
        zurod::CreateDbf(path, fields);
        EXPECT_EQ(zurod::LastErrorCode(), 0) << zurod::LastErrorMessage();
        return path;
    }

    // The last error is `code` with `message`.
    static void ExpectError(uint16_t code, const std::string& message) {
        EXPECT_EQ(zurod::LastErrorCode(), code);
        EXPECT_EQ(zurod::LastErrorMessage(), message);
    }

    TempDir dir_;
    platform::ScriptedMessageBox box_;
    platform::MessageBoxService* previous_box_ = nullptr;
};

}  // namespace testing_support
