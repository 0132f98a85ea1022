#include "tests/engine/grid/grid_fixture.hpp"
namespace {
using namespace testing_grid;
TEST_F(GridTest, Scratch) {
    auto* ds = Table(50);
    Bind(ds);
    Show();
    grid_->SetFocus();
    Save("/tmp/grid1.png");
    ds->MoveBy(3);
    Save("/tmp/grid2.png");
}
}
