// A second process for the share-mode and lock tests. It reads one command a
// line from stdin and answers each with one line on stdout (the result code,
// "read" adds the bytes read); it exits on "quit" or at the end of its input,
// so the test decides how long its opens and locks live.
//
//   open PATH read|write|readwrite denynone|denywrite|exclusive [existing|always|new]
//        -> code; the open gets the next slot number, from 0
//   lock SLOT OFFSET LENGTH / unlock SLOT OFFSET LENGTH -> code
//   share SLOT denynone|denywrite|exclusive -> code
//   write SLOT OFFSET TEXT -> code        read SLOT OFFSET LENGTH -> code TEXT
//   close SLOT -> 0
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/file.hpp"

namespace {

using platform::Access;
using platform::Disposition;
using platform::File;
using platform::Share;

bool ParseAccess(const std::string& s, Access& a) {
    if (s == "read")
        a = Access::Read;
    else if (s == "write")
        a = Access::Write;
    else if (s == "readwrite")
        a = Access::ReadWrite;
    else
        return false;
    return true;
}

bool ParseShare(const std::string& s, Share& sh) {
    if (s == "denynone")
        sh = Share::DenyNone;
    else if (s == "denywrite")
        sh = Share::DenyWrite;
    else if (s == "exclusive")
        sh = Share::Exclusive;
    else
        return false;
    return true;
}

bool ParseDisposition(const std::string& s, Disposition& d) {
    if (s.empty() || s == "existing")
        d = Disposition::OpenExisting;
    else if (s == "always")
        d = Disposition::CreateAlways;
    else if (s == "new")
        d = Disposition::CreateNew;
    else
        return false;
    return true;
}

std::string Run(const std::string& line, std::vector<File>& files) {
    std::istringstream in(line);
    std::string cmd;
    in >> cmd;
    if (cmd == "open") {
        std::string path, access, share, disposition;
        in >> path >> access >> share >> disposition;
        Access a;
        Share s;
        Disposition d;
        if (!ParseAccess(access, a) || !ParseShare(share, s) || !ParseDisposition(disposition, d)) return "bad";
        files.emplace_back();
        return std::to_string(files.back().Open(path, a, s, d));
    }

    size_t slot = 0;
    if (!(in >> slot) || slot >= files.size()) return "bad";
    File& file = files[slot];
    if (cmd == "close") {
        file.Close();
        return "0";
    }
    if (cmd == "share") {
        std::string share;
        in >> share;
        Share s;
        if (!ParseShare(share, s)) return "bad";
        return std::to_string(file.ChangeShare(s));
    }
    uint64_t offset = 0;
    if (!(in >> offset)) return "bad";
    if (cmd == "write") {
        std::string text;
        in >> text;
        return std::to_string(file.WriteAt(offset, text));
    }
    uint64_t length = 0;
    if (!(in >> length)) return "bad";
    if (cmd == "lock") return std::to_string(file.Lock(offset, length));
    if (cmd == "unlock") return std::to_string(file.Unlock(offset, length));
    if (cmd == "read") {
        std::string buf(length, '\0');
        size_t got = 0;
        const int code = file.ReadAt(offset, buf, got);
        buf.resize(got);
        return std::to_string(code) + " " + buf;
    }
    return "bad";
}

}  // namespace

int main() {
    std::vector<File> files;
    std::string line;
    while (std::getline(std::cin, line) && line != "quit") std::cout << Run(line, files) << std::endl;
    return 0;
}
