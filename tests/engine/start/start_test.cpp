#include "engine/start/start.hpp"

#include <gtest/gtest.h>

#include "engine/dbf/detail/state.hpp"
#include "engine/dbf/engine.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/index/index.hpp"
#include "tests/support/engine_fixture.hpp"
#include "tests/support/fake_units.hpp"

namespace {

using namespace zurod;

int g_starts = 0;
void CountStart() { ++g_starts; }

struct Slots {
    const void* expression;
    const void* index;
    const void* vfile;
    const void* memo;
};
Slots AttachedSlots() {
    const Attachments& a = Engine().attachments;
    return {a.expression.get(), a.index.get(), a.vfile.get(), a.memo.get()};
}

class StartEngineTest : public testing_support::EngineTest {};

TEST_F(StartEngineTest, OneCallAttachesEveryUnitOnce) {
    ASSERT_EQ(AttachedSlots().index, nullptr);  // the fixture's engine is the bare core
    StartEngine();
    const Slots first = AttachedSlots();
    for (const void* slot : {first.expression, first.index, first.vfile, first.memo}) EXPECT_NE(slot, nullptr);
    EXPECT_EQ(LastErrorCode(), 0);
    // A second call neither replaces a unit nor reports a second index unit.
    StartEngine();
    const Slots second = AttachedSlots();
    EXPECT_EQ(second.expression, first.expression);
    EXPECT_EQ(second.index, first.index);
    EXPECT_EQ(second.vfile, first.vfile);
    EXPECT_EQ(second.memo, first.memo);
    EXPECT_EQ(LastErrorCode(), 0);
    // The units' own start-ups still behave as before.
    IndexInit();
    EXPECT_EQ(LastErrorCode(), 254);
}

TEST_F(StartEngineTest, KeepsAStandInAndStartsAfterShutdown) {
    auto& fake = testing_support::AttachIndex<testing_support::DispatchIndex>();
    StartEngine();
    EXPECT_EQ(AttachedSlots().index, &fake);
    EXPECT_NE(AttachedSlots().memo, nullptr);

    Engine().attachments = {};
    EngineShutdown();
    StartEngine();
    EXPECT_TRUE(EngineRunning());
    EXPECT_NE(AttachedSlots().index, nullptr);
    EXPECT_NE(AttachedSlots().index, &fake);
}

TEST_F(StartEngineTest, RunsEachRegisteredStarterOncePerStart) {
    g_starts = 0;
    AddEngineStarter(&CountStart);
    AddEngineStarter(&CountStart);
    AddEngineStarter(nullptr);
    StartEngine();
    EXPECT_EQ(g_starts, 1);
    StartEngine();
    EXPECT_EQ(g_starts, 2);
}

}  // namespace
