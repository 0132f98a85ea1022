#pragma once
// The engine is not re-entrant. While it waits (between lock attempts, behind
// a progress window) it lets paint and timer events run; a handler that calls
// back into the engine then is refused, so that it cannot move a record
// pointer or close a table under the operation that is waiting.
#include <string_view>

namespace zurod {

// Marks the engine busy for its lifetime.
class EngineWait {
public:
    EngineWait();
    ~EngineWait();
    EngineWait(const EngineWait&) = delete;
    EngineWait& operator=(const EngineWait&) = delete;
};

bool EngineWaiting();
// True, after reporting 254, when called while the engine waits. Every
// public command starts here; in debug builds a call from a thread other than
// the one that started the engine ends the program.
bool RefuseNestedCall(std::string_view routine);

}  // namespace zurod
