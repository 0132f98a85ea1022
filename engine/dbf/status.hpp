#pragma once
// The result of an engine routine below the public commands. Kept apart from
// errors.hpp so that the engine's state and the units' interfaces depend on
// the result type alone, not on the reporting that uses the engine's state.
#include <cstdint>
#include <string>
#include <utility>

namespace zurod {

// What an engine routine below the public commands hands back instead of
// reporting: a code (0 = success) and the message the report will carry.
// Only the public command reports, once, after it has put things right, so
// no caller has to silence the handler around a call that may fail.
struct [[nodiscard]] Status {
    uint16_t code = 0;
    std::string message;

    bool ok() const { return code == 0; }
    bool failed() const { return code != 0; }
};

inline Status Fail(uint16_t code, std::string message) { return {code, std::move(message)}; }

// The first of two results that failed, else the second. Both are computed
// before the call, in an order the language leaves open: call it with a
// first result that is already at hand.
inline Status FirstFailure(Status first, Status second) {
    return first.failed() ? std::move(first) : std::move(second);
}

}  // namespace zurod
