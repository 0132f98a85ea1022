#pragma once
// The root of the program's own exceptions. Each layer raises its own family
// (the engine's EZurodError, the window system's EUiError, the database
// layer's EDatabaseError and ERangeError, the object model's EOleSysError),
// all derived from this one, so that the top of the program catches one type
// and shows the message the thrower wrote; what() is that message.
#include <stdexcept>

namespace platform {

class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Runs `body`, then `after` also when the body throws: the finishing step
// that may itself run handlers that throw, so it never runs in a destructor.
// While the body's exception is on its way the first failure is the one
// reported.
template <class Body, class After>
void ThenAlways(Body&& body, After&& after) {
    try {
        body();
    } catch (...) {
        try {
            after();
        } catch (...) {  // NOLINT(bugprone-empty-catch): the body's exception goes on
        }
        throw;
    }
    after();
}

}  // namespace platform
