// A program with datasets starts them with the engine: StartEngine runs the
// datasets' start-up, which takes the user's date format.
#include "engine/start/start.hpp"

#include <gtest/gtest.h>

#include "engine/dataset/engine_dataset.hpp"
#include "engine/dbf/dates.hpp"
#include "platform/locale.hpp"
#include "tests/support/engine_fixture.hpp"

namespace {

using namespace zurod;

class DatasetStartTest : public testing_support::EngineTest {};

TEST_F(DatasetStartTest, StartEngineTakesTheUsersDateFormat) {
    const platform::DateFormatSettings user = platform::UserDateFormat();
    bool century = false;
    const uint8_t code = DateModeOfFormat(user.short_date_format, user.date_separator, century);
    // Start from the opposite, so that only the start-up can put it right.
    SetDateFormat(code == 5 ? 2 : 5);
    SetCentury(!century);
    StartEngine();
    EXPECT_EQ(DateCode(), code);
    EXPECT_EQ(CenturyOn(), century);
}

}  // namespace
