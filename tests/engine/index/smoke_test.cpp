#include "tests/engine/index/index_fixture.hpp"

namespace testing_support {
namespace {
using namespace zurod;
class Smoke : public IndexTest {};
TEST_F(Smoke, BuildsAndWalks) {
    OpenHistory({{"03/15/2001", "Miller", 12.5}, {"01/01/1999", "Adams", -3}, {"", "Baker", 0}, {"07/04/2020", "Adams", 100}});
    ASSERT_TRUE(Build({{"NAME", "NAME", "", false, false}, {"AMOUNT", "AMOUNT", "", false, false}, {"DATE", "DATE", "", false, false}}))
        << LastErrorMessage();
    ExpectSound(IndexPath());
    EXPECT_EQ(CurrentOrder(), 1);
    EXPECT_EQ(Forward(), (std::vector<int32_t>{2, 4, 3, 1}));
    EXPECT_EQ(Backward(), (std::vector<int32_t>{2, 4, 3, 1}));
    SetOrderToTag("amount");
    EXPECT_EQ(Forward(), (std::vector<int32_t>{2, 3, 1, 4}));
    SetOrderToTag("date");
    EXPECT_EQ(Forward(), (std::vector<int32_t>{2, 1, 4, 3}));
    SetOrderToTag("NAME");
    EXPECT_TRUE(Find("Bak"));
    EXPECT_EQ(RecNo(), 3);
    EXPECT_FALSE(Find("Zed"));
    EXPECT_TRUE(dEOF());
}
}  // namespace
}  // namespace testing_support
