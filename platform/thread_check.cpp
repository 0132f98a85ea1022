#include "platform/thread_check.hpp"

#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace platform {

void WrongThread(std::string_view call, std::string_view state, std::thread::id owner) {
    std::ostringstream text;
    text << "Wrong thread: " << call << " was called on thread " << std::this_thread::get_id() << ", but " << state
         << " belongs to thread " << owner << "\n";
    std::fputs(text.str().c_str(), stderr);
    std::abort();
}

}  // namespace platform
