#pragma once
// The commands of a second process working on indexed tables (see
// EnginePeer, which runs them, and its own table commands):
//   index                    SetIndexTo("") (the production index)
//   order TAG                SetOrderToTag
//   read 1|0, write 1|0      take or release the semaphore's read / write side
//   hold PATH                keep a file open (as another program might)
//   walk                     the records of the active order, "1,5,2"
//   find KEY                 the record found, 0 when none
//   add TEXT, edit TEXT      the first field set, appended / replaced under the lock it needs
//   addmany N, editmany N    N appends of new texts / N replaces of random records
// Each answers with the last error code unless it says otherwise; an index
// error raised at once answers with its code too.
#include <string>

#include "engine/dbf/errors.hpp"
#include "engine/dbf/locks.hpp"
#include "engine/dbf/navigate.hpp"
#include "engine/index/index.hpp"
#include "platform/file.hpp"
#include "tests/support/engine_peer.hpp"

namespace testing_support {

inline std::string IndexCommand(const std::string& verb, const std::string& arg) {
    using namespace zurod;
    static platform::File held;
    SetLastErrorCode(0);
    const auto code = [] { return std::to_string(LastErrorCode()); };
    try {
        if (verb == "index") return SetIndexTo(""), code();
        if (verb == "order") return SetOrderToTag(arg), code();
        if (verb == "read") return SetReadSemaphoreProc(arg == "1"), code();
        if (verb == "write") return SetLockSemaphoreProc(arg == "1"), code();
        if (verb == "hold") return std::to_string(held.Open(arg, platform::Access::Read, platform::Share::DenyNone));
        if (verb == "find") return std::to_string(Find(arg) ? RecNo() : 0);
        if (verb == "walk") {
            std::string out;
            for (GoTop(); !dEOF() && LastErrorCode() == 0; SKIP(1))
                out += (out.empty() ? "" : ",") + std::to_string(RecNo());
            return LastErrorCode() != 0 ? "E" + code() : out;
        }
        const auto change = [](bool append, const std::string& text) {
            if (!(append ? ALock() : RLock())) return std::string("lock");
            if (append) ClearRecord();
            EnginePeer::SetFirstField(text);
            append ? Append() : Replace();
            const std::string rc = std::to_string(LastErrorCode());
            Unlock();
            return rc;
        };
        if (verb == "add" || verb == "edit") return change(verb == "add", arg);
        if (verb == "addmany" || verb == "editmany") {
            static unsigned serial = 0;
            for (int i = 0; i < std::stoi(arg); ++i) {
                const std::string text = "W" + std::to_string((++serial * 7919u) % 100000u + 100000u);
                if (verb == "editmany")
                    GO(1 + static_cast<int32_t>((serial * 31u) % static_cast<unsigned>(RecCount())));
                if (const std::string rc = change(verb == "addmany", text); rc != "0") return rc;
            }
            return code();
        }
        return EnginePeer::Run(verb, arg);
    } catch (const EZurodError&) {
        return code();
    }
}

// A peer that knows the index commands.
class IndexPeer : public EnginePeer {
public:
    IndexPeer() : EnginePeer(&IndexCommand) {}
};

}  // namespace testing_support
