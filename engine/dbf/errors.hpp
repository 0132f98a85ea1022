#pragma once
// The engine's one failure path: every routine reports a numeric code and an
// English message naming itself in square brackets through RunError. The
// error is recorded as the last error and, while error handling is on, either
// shown in a "Program halted." box that ends the program or raised as
// EZurodError.
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

#include "engine/dbf/status.hpp"
#include "platform/error.hpp"

namespace zurod {

// Reports a failed status through RunError; nothing for success.
void Report(const Status& status);
// Records a failed status as the last error without handing it on.
void Record(const Status& status);
// The last error as a status (code 0 when none is pending).
Status PendingError();

class EZurodError : public platform::Error {
public:
    using platform::Error::Error;
};

// Records the error and, when error handling is on, hands it to ErrorHandler.
// Returns only when handling is off or the code is 0.
void RunError(uint16_t code, std::string_view message);

// Records an error without handing it to the handler, for refusals that are
// results rather than failures.
void RecordError(uint16_t code, std::string_view message);

// Ends the pending error: raises EZurodError in raise mode, otherwise shows
// the halt box and exits with the code (1..255; 255 for larger codes).
void ErrorHandler();

// "Error # <code> (<text>)"; empty for code 0.
std::string ErrorCodeText(uint16_t code);
// The fixed text of a code alone ("Undefined error" for unlisted codes).
std::string_view ErrorText(uint16_t code);

// ErrorCodeText of the reported code, CR LF and the taken message; empty when
// nothing is reported. Consumes the message.
std::string LastErrorText();
// Returns the last message and clears it and the reported code.
std::string TakeLastMessage();

uint16_t LastErrorCode();
// Callers that test for failure clear the code first; the input/output
// routines store their result codes here directly.
void SetLastErrorCode(uint16_t code);
const std::string& LastErrorMessage();

bool ErrorHandlingOn();
bool SetErrorHandling(bool on);  // returns the previous value
bool RaiseModeOn();
bool SetRaiseMode(bool raise);  // returns the previous value
[[noreturn]] void RaiseEngineError(const std::string& message);

// Restores the error-handling switch when the scope ends, also when an
// exception leaves it.
class ErrorHandlingScope {
public:
    explicit ErrorHandlingScope(bool on) : previous_(SetErrorHandling(on)) {}
    ~ErrorHandlingScope() { SetErrorHandling(previous_); }
    ErrorHandlingScope(const ErrorHandlingScope&) = delete;
    ErrorHandlingScope& operator=(const ErrorHandlingScope&) = delete;

private:
    bool previous_;
};

class RaiseModeScope {
public:
    explicit RaiseModeScope(bool raise) : previous_(SetRaiseMode(raise)) {}
    ~RaiseModeScope() { SetRaiseMode(previous_); }
    RaiseModeScope(const RaiseModeScope&) = delete;
    RaiseModeScope& operator=(const RaiseModeScope&) = delete;

private:
    bool previous_;
};

// A system message box (text and caption are cut to 255 characters).
int MessageBoxStr(std::string_view text, std::string_view caption, unsigned flags);

// Whole-string code-page conversion; the result has the input's length.
std::string AnsiToOemStr(std::string_view s);
std::string OemToAnsiStr(std::string_view s);

// Forget any recorded error and the halting flag, and restore the start
// values of both switches.
void ResetErrorState();

}  // namespace zurod
