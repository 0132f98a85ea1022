#pragma once
// A second process working on indexed tables through its own engine, one
// command a line; it answers with the last error code, or with what the
// command asks for. Create it before the test opens any table, so that it
// inherits no open file.
//   use PATH / usex PATH     open shared / exclusively
//   index                    SetIndexTo("") (the production index)
//   order TAG                SetOrderToTag
//   read 1|0, write 1|0      take or release the semaphore's read / write side
//   hold PATH                keep a file open (as another program might)
//   walk                     the records of the active order, "1,5,2"
//   find KEY                 the record found, 0 when none
//   append TEXT, replace TEXT  the first field set, under the append / record lock
//   go N, close
#include <string>

#include "engine/dbf/areas.hpp"
#include "engine/dbf/detail/area_table.hpp"
#include "engine/dbf/detail/swap_buffer.hpp"
#include "engine/dbf/edit.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/dbf/locks.hpp"
#include "engine/dbf/navigate.hpp"
#include "engine/index/index.hpp"
#include "platform/file.hpp"
#include "tests/support/child_process.hpp"

namespace testing_support {

class IndexPeer {
public:
    IndexPeer() : child_([](const ChildProcess::Channel& ch) { Serve(ch); }) {}
    std::string operator()(const std::string& command) {
        child_.Send(command);
        return child_.Receive();
    }
    void Kill() { child_.Kill(); }

private:
    static void Serve(const ChildProcess::Channel& ch) {
        platform::File held;
        for (std::string line = ch.Receive(); !line.empty(); line = ch.Receive()) {
            const size_t space = line.find(' ');
            const std::string verb = line.substr(0, space);
            const std::string arg = space == std::string::npos ? "" : line.substr(space + 1);
            if (verb == "hold") {
                ch.Send(std::to_string(held.Open(arg, platform::Access::Read, platform::Share::DenyNone)));
                continue;
            }
            try {
                ch.Send(Run(verb, arg));
            } catch (const zurod::EZurodError&) {
                ch.Send(std::to_string(zurod::LastErrorCode()));
            }
        }
    }
    static void SetFirstField(const std::string& text) {
        zurod::TWorkArea* a = zurod::CurrentTable();
        zurod::SetSwapString(*a, a->fields[0], text);
    }
    static std::string Run(const std::string& verb, const std::string& arg) {
        using namespace zurod;
        SetLastErrorCode(0);
        const auto code = [] { return std::to_string(LastErrorCode()); };
        if (verb == "use") return USE(arg), code();
        if (verb == "usex") return USE(arg + " EXCLUSIVE"), code();
        if (verb == "index") return SetIndexTo(""), code();
        if (verb == "order") return SetOrderToTag(arg), code();
        if (verb == "read") return SetReadSemaphoreProc(arg == "1"), code();
        if (verb == "write") return SetLockSemaphoreProc(arg == "1"), code();
        if (verb == "go") return GO(std::stoi(arg)), code();
        if (verb == "close") return CloseArea(), code();
        if (verb == "find") return std::to_string(Find(arg) ? RecNo() : 0);
        if (verb == "walk") {
            std::string out;
            for (GoTop(); !dEOF() && LastErrorCode() == 0; SKIP(1)) out += (out.empty() ? "" : ",") + std::to_string(RecNo());
            return LastErrorCode() != 0 ? "E" + code() : out;
        }
        if (verb == "append") {
            if (!ALock()) return "lock";
            ClearRecord();
            SetFirstField(arg);
            Append();
            const std::string rc = code();
            Unlock();
            return rc;
        }
        if (verb == "replace") {
            if (!RLock()) return "lock";
            SetFirstField(arg);
            Replace();
            const std::string rc = code();
            Unlock();
            return rc;
        }
        return "?";
    }

    ChildProcess child_;
};

}  // namespace testing_support
