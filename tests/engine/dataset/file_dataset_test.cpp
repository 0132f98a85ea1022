#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>

#include "engine/dbf/areas.hpp"
#include "engine/dbf/edit.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/dbf/files.hpp"
#include "engine/dbf/locate.hpp"
#include "engine/dbf/locks.hpp"
#include "engine/dbf/navigate.hpp"
#include "engine/dbf/settings.hpp"
#include "tests/engine/dataset/dataset_fixture.hpp"

namespace {

using namespace zurod;
using testing_dataset::DatasetTest;

TEST_F(DatasetTest, AMissingTableIsCreatedAndWalkedThroughTheCommands) {
    TTzDbf* ds = History();
    ds->Open();
    EXPECT_TRUE(FileExists(ds->DbfFileName()));
    EXPECT_TRUE(ds->Eof() && ds->Bof());
    Add(*ds, {{"one", 1.5}, {"two", 2.25}, {"three", 3}});
    EXPECT_EQ(ds->RecCount(), 3);
    EXPECT_EQ(Details(*ds), "one two three");
    ds->GoTop();
    EXPECT_EQ(ds->FieldGet("AMOUNT"), "      1.5");
    EXPECT_EQ(ds->FieldGetShort("DATE"), "05/03/2024");
    EXPECT_EQ(ds->FieldGetFloat("amount"), 1.5);
    ds->Close();
    ds->Open();
    EXPECT_EQ(ds->RecCount(), 3);
    EXPECT_EQ(ds->State(), db::dsBrowse);
}

}  // namespace
