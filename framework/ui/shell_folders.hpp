#pragma once
// The shell's namespace of folders as the desktop has it: the desktop at the
// top, holding the user's home, documents and downloads (the XDG user
// directories), the computer with the file system, and the desktop folder's
// own folders. Items keep the file system's own (UTF-8) path; what the
// program sees of a path and a name is in the ANSI page, like every other
// text of the window system.
#include <optional>
#include <string>
#include <system_error>
#include <vector>

namespace ui {

// The special folders a program may ask for.
enum : int {
    CSIDL_DESKTOP = 0x00,
    CSIDL_PROGRAMS = 0x02,
    CSIDL_CONTROLS = 0x03,
    CSIDL_PRINTERS = 0x04,
    CSIDL_PERSONAL = 0x05,
    CSIDL_FAVORITES = 0x06,
    CSIDL_STARTUP = 0x07,
    CSIDL_RECENT = 0x08,
    CSIDL_SENDTO = 0x09,
    CSIDL_BITBUCKET = 0x0A,
    CSIDL_STARTMENU = 0x0B,
    CSIDL_DESKTOPDIRECTORY = 0x10,
    CSIDL_DRIVES = 0x11,
    CSIDL_NETWORK = 0x12,
    CSIDL_NETHOOD = 0x13,
    CSIDL_FONTS = 0x14,
    CSIDL_TEMPLATES = 0x15,
    CSIDL_PROFILE = 0x28,
};

// An item of the namespace (the stand-in for an item identifier list).
struct ItemIdList {
    enum class Kind { Desktop, Computer, Folder };
    Kind kind = Kind::Folder;
    std::string path;  // the file system's path, as the host spells it; empty for the computer
    std::string name;  // the name shown, ANSI
    friend bool operator==(const ItemIdList&, const ItemIdList&) = default;
};

// The user's folders: the home folder (HOME) and the XDG user directories
// ($XDG_CONFIG_HOME, else ~/.config, "user-dirs.dirs"). A directory the file
// does not name is the home folder, the desktop "Desktop" inside it.
struct UserDirs {
    std::string home, desktop, documents, downloads, templates, music, pictures, videos;
};
UserDirs ReadUserDirs();
// The file's lines: XDG_<NAME>_DIR="$HOME/..." or an absolute path in double
// quotes (backslash escapes the next character); anything else is passed over.
UserDirs ParseUserDirs(const std::string& text, const std::string& home);

// The item of a special folder; none for a folder the desktop has no
// counterpart of, or that does not exist.
std::optional<ItemIdList> SHGetSpecialFolderLocation(int csidl);
// An item of the namespace for a folder of the file system (a host path);
// none when it is no folder.
std::optional<ItemIdList> ItemFromPath(const std::string& host_path);
// The item's path in the ANSI page; false for an item without a path, and for
// a path the ANSI page cannot spell (the program could not open it).
bool SHGetPathFromIDList(const ItemIdList& item, std::string& ansi_path);

// The folders inside an item, in name order; hidden folders (".name") are
// left out. `error` tells why a folder could not be read (the list is then
// empty); a folder gone meanwhile gives no_such_file_or_directory.
struct ShellChildren {
    std::vector<ItemIdList> items;
    std::error_code error;
};
ShellChildren EnumerateFolders(const ItemIdList& item);

// The items from `root` down to the folder `host_path` (root first), as the
// namespace reaches it; empty when the folder is not below the root.
std::vector<ItemIdList> PathFromRoot(const ItemIdList& root, const std::string& host_path);

}  // namespace ui
