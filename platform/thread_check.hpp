#pragma once
// States that belong to one thread (the window system's, the table engine's)
// are held to it in debug builds: a call from another thread ends the program
// at once, naming the call and both threads, instead of racing unseen.
// Release builds compile the checks away.
#include <string_view>
#include <thread>

namespace platform {

#ifdef NDEBUG
inline constexpr bool kThreadChecks = false;
#else
inline constexpr bool kThreadChecks = true;
#endif

// Ends the program: `call` came on this thread, but `state` belongs to `owner`.
[[noreturn]] void WrongThread(std::string_view call, std::string_view state, std::thread::id owner);

}  // namespace platform
