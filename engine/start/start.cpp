#include "engine/start/start.hpp"

#include <algorithm>
#include <vector>

#include "engine/dbf/detail/state.hpp"
#include "engine/dbf/engine.hpp"
#include "engine/expr/expr.hpp"
#include "engine/index/index.hpp"
#include "engine/memo/memo.hpp"
#include "engine/vfile/vfile.hpp"

namespace zurod {

namespace {

// Filled while libraries load, before main; a function's static is built on
// first use, so no order of loading can find it missing.
std::vector<EngineStarter>& Starters() {
    static std::vector<EngineStarter> starters;
    return starters;
}

}  // namespace

void AddEngineStarter(EngineStarter starter) {
    std::vector<EngineStarter>& starters = Starters();
    if (starter && std::find(starters.begin(), starters.end(), starter) == starters.end()) starters.push_back(starter);
}

void StartEngine() {
    EngineInit();
    Attachments& units = Engine().attachments;
    // Each start-up is called only for a missing unit: IndexInit reports a
    // second index unit, and a stand-in a test attached stays.
    if (!units.vfile) VFileInit();
    if (!units.memo) MemoInit();
    if (!units.expression) ExprInit();
    if (!units.index) IndexInit();
    for (EngineStarter starter : Starters()) starter();
}

}  // namespace zurod
