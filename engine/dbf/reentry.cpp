#include "engine/dbf/reentry.hpp"

#include <string>

#include "engine/dbf/errors.hpp"

namespace zurod {

namespace {
int g_waits = 0;
}  // namespace

EngineWait::EngineWait() { ++g_waits; }
EngineWait::~EngineWait() { --g_waits; }

bool EngineWaiting() { return g_waits > 0; }

bool RefuseNestedCall(std::string_view routine) {
    if (g_waits == 0) return false;
    RunError(254, "The table engine is waiting and cannot be called again until it is done [" +
                      std::string(routine) + "]");
    return true;
}

}  // namespace zurod
