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

}  // namespace platform
