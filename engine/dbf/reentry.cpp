#include "engine/dbf/reentry.hpp"

#include <string>

#include "engine/dbf/detail/state.hpp"
#include "engine/dbf/errors.hpp"
#include "platform/thread_check.hpp"

namespace zurod {

EngineWait::EngineWait() { ++Engine().waits; }
EngineWait::~EngineWait() { --Engine().waits; }

bool EngineWaiting() { return Engine().waits > 0; }

bool RefuseNestedCall(std::string_view routine) {
    if constexpr (platform::kThreadChecks)
        if (const std::thread::id owner = Engine().thread; owner != std::this_thread::get_id())
            platform::WrongThread(routine, "the table engine", owner);
    if (Engine().waits == 0) return false;
    RunError(254,
             "The table engine is waiting and cannot be called again until it is done [" + std::string(routine) + "]");
    return true;
}

}  // namespace zurod
