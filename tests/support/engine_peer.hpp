#pragma once
// A second process that works on tables through its own engine, one command
// per line ("use PATH", "go N", "rlock", ...); it answers each with the last
// error code or, for lock attempts, 1 or 0. Create it before the test opens
// any table, so that it inherits no open file. The first field of the tables
// it appends to or replaces in is a C field.
#include <string>

#include "engine/dbf/areas.hpp"
#include "engine/dbf/detail/record_io.hpp"
#include "engine/dbf/detail/swap_buffer.hpp"
#include "engine/dbf/detail/table_header.hpp"
#include "engine/dbf/edit.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/dbf/locks.hpp"
#include "engine/dbf/navigate.hpp"
#include "engine/dbf/tables.hpp"
#include "tests/support/child_process.hpp"

namespace testing_support {

class EnginePeer {
public:
    // What the child does with a command; peers of other units add their
    // own verbs and hand the rest to Run.
    using Handler = std::string (*)(const std::string& verb, const std::string& arg);

    explicit EnginePeer(Handler handler = &Run)
        : child_([handler](const ChildProcess::Channel& ch) { Serve(ch, handler); }) {}
    std::string operator()(const std::string& command) {
        child_.Send(command);
        return child_.Receive();
    }
    // A command whose answer is taken later, while this process goes on.
    void Start(const std::string& command) { child_.Send(command); }
    std::string Answer() { return child_.Receive(); }
    void Kill() { child_.Kill(); }

    static void SetFirstField(const std::string& text) {
        zurod::TWorkArea* a = zurod::CurrentTable();
        zurod::SetSwapString(*a, a->fields[0], text);
    }
    static std::string Run(const std::string& verb, const std::string& arg) {
        using namespace zurod;
        SetLastErrorCode(0);
        const auto code = [] { return std::to_string(LastErrorCode()); };
        const auto flag = [](bool b) { return std::string(b ? "1" : "0"); };
        if (verb == "use") return USE(arg), code();
        if (verb == "go") return GO(std::stoi(arg)), code();
        if (verb == "rlock") return flag(RLock());
        if (verb == "alock") return flag(ALock());
        if (verb == "flock") return flag(FLock());
        if (verb == "unlock") return Unlock(), code();
        if (verb == "funlock") return FUnlock(), code();
        if (verb == "append") return SetFirstField(arg), Append(), code();
        if (verb == "replace") return SetFirstField(arg), Replace(), code();
        if (verb == "delete") return DeleteRec(), code();
        if (verb == "close") return CloseArea(), code();
        return "?";
    }

private:
    static void Serve(const ChildProcess::Channel& ch, Handler handler) {
        for (std::string line = ch.Receive(); !line.empty(); line = ch.Receive()) {
            const size_t space = line.find(' ');
            const std::string arg = space == std::string::npos ? "" : line.substr(space + 1);
            ch.Send(handler(line.substr(0, space), arg));
        }
    }

    ChildProcess child_;
};

}  // namespace testing_support
