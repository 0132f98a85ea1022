// The shell's namespace of folders over the file system and the XDG user
// directories.
#include "framework/ui/shell_folders.hpp"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/codepage.hpp"

namespace ui {

namespace fs = std::filesystem;

namespace {

std::string TrimSlash(std::string p) {
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    return p;
}

std::string Normal(const std::string& host) { return TrimSlash(fs::path(host).lexically_normal().string()); }

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

std::string HomeFolder() {
    if (std::string h = Env("HOME"); !h.empty()) return TrimSlash(h);
    const passwd* pw = getpwuid(getuid());
    return pw && pw->pw_dir ? TrimSlash(pw->pw_dir) : "/";
}

// An XDG base directory: the variable when it holds an absolute path, else the default under home.
std::string BaseDir(const char* variable, const std::string& home, const char* fallback) {
    const std::string v = Env(variable);
    return !v.empty() && v[0] == '/' ? TrimSlash(v) : home + fallback;
}

bool IsDir(const std::string& host) {
    std::error_code ec;
    return !host.empty() && fs::is_directory(host, ec);
}

std::string NameOf(const std::string& host) {
    if (host == "/") return "File System";
    return platform::Utf8ToAnsi(fs::path(host).filename().string());
}

ItemIdList Folder(const std::string& host, std::string name = {}) {
    return {ItemIdList::Kind::Folder, host, name.empty() ? NameOf(host) : std::move(name)};
}

ItemIdList DesktopItem(const UserDirs& d) {
    return {ItemIdList::Kind::Desktop, IsDir(d.desktop) ? d.desktop : std::string(), "Desktop"};
}

ItemIdList ComputerItem() { return {ItemIdList::Kind::Computer, "", "Computer"}; }

ShellChildren ScanFolder(const std::string& host) {
    ShellChildren out;
    fs::directory_iterator it(host, out.error);
    if (out.error) return out;
    for (; it != fs::directory_iterator(); it.increment(out.error)) {
        if (out.error) {
            out.items.clear();
            return out;
        }
        const std::string name = it->path().filename().string();
        std::error_code ec;
        if (name.empty() || name[0] == '.' || !it->is_directory(ec)) continue;
        out.items.push_back(Folder((fs::path(host) / name).string()));
    }
    std::sort(out.items.begin(), out.items.end(), [](const ItemIdList& a, const ItemIdList& b) {
        const std::string ka = platform::AnsiUpper(a.name), kb = platform::AnsiUpper(b.name);
        return ka != kb ? ka < kb : a.path < b.path;
    });
    return out;
}

// The desktop's own items: the user's folders and the computer.
std::vector<ItemIdList> DesktopFolders(const UserDirs& d) {
    std::vector<ItemIdList> items{Folder(d.home, "Home")};
    for (const std::string& p : {d.documents, d.downloads}) {
        const bool known = std::any_of(items.begin(), items.end(), [&](const ItemIdList& i) { return i.path == p; });
        if (IsDir(p) && !known) items.push_back(Folder(p));
    }
    items.push_back(ComputerItem());
    return items;
}

bool Under(const std::string& base, const std::string& target) {
    if (base.empty()) return false;
    if (base == "/") return target.size() >= 1 && target[0] == '/';
    return target == base ||
        (target.size() > base.size() && target.compare(0, base.size(), base) == 0 && target[base.size()] == '/');
}

// Appends the folders from `base` down to `target` (a folder below it).
bool AppendDown(std::vector<ItemIdList>& chain, const std::string& base, const std::string& target) {
    fs::path at = base;
    std::istringstream rest(target.substr(base == "/" ? 1 : base.size()));
    std::string part;
    while (std::getline(rest, part, '/')) {
        if (part.empty()) continue;
        if (part[0] == '.') return false;  // hidden folders are not shown
        at /= part;
        chain.push_back(Folder(at.string()));
    }
    return true;
}

}  // namespace

UserDirs ParseUserDirs(const std::string& text, const std::string& home) {
    UserDirs d;
    d.home = home;
    d.desktop = home + "/Desktop";
    d.documents = d.downloads = d.templates = d.music = d.pictures = d.videos = home;
    const struct {
        const char* key;
        std::string UserDirs::*field;
    } kKeys[] = {
        {"XDG_DESKTOP_DIR", &UserDirs::desktop},    {"XDG_DOCUMENTS_DIR", &UserDirs::documents},
        {"XDG_DOWNLOAD_DIR", &UserDirs::downloads}, {"XDG_TEMPLATES_DIR", &UserDirs::templates},
        {"XDG_MUSIC_DIR", &UserDirs::music},        {"XDG_PICTURES_DIR", &UserDirs::pictures},
        {"XDG_VIDEOS_DIR", &UserDirs::videos},
    };
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        const size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line[start] == '#') continue;
        const size_t eq = line.find('=', start);
        if (eq == std::string::npos) continue;
        std::string key = line.substr(start, eq - start);
        key.erase(key.find_last_not_of(" \t") + 1);
        size_t i = line.find_first_not_of(" \t", eq + 1);
        if (i == std::string::npos || line[i] != '"') continue;
        std::string value;
        bool closed = false;
        for (++i; i < line.size(); ++i) {
            if (line[i] == '\\' && i + 1 < line.size()) {
                value += line[++i];
            } else if (line[i] == '"') {
                closed = true;
                break;
            } else {
                value += line[i];
            }
        }
        if (!closed) continue;
        if (value == "$HOME")
            value = home;
        else if (value.compare(0, 6, "$HOME/") == 0)
            value.replace(0, 5, home);
        else if (value.empty() || value[0] != '/')
            continue;
        for (const auto& k : kKeys)
            if (key == k.key) d.*k.field = TrimSlash(value);
    }
    return d;
}

UserDirs ReadUserDirs() {
    const std::string home = HomeFolder();
    std::ifstream in(BaseDir("XDG_CONFIG_HOME", home, "/.config") + "/user-dirs.dirs");
    std::ostringstream text;
    if (in) text << in.rdbuf();
    return ParseUserDirs(text.str(), home);
}

std::optional<ItemIdList> ItemFromPath(const std::string& host_path) {
    if (!IsDir(host_path)) return std::nullopt;
    return Folder(Normal(host_path));
}

std::optional<ItemIdList> SHGetSpecialFolderLocation(int csidl) {
    const UserDirs d = ReadUserDirs();
    const std::string data = BaseDir("XDG_DATA_HOME", d.home, "/.local/share");
    switch (csidl) {
    case CSIDL_DESKTOP: return DesktopItem(d);
    case CSIDL_DRIVES: return ComputerItem();
    case CSIDL_DESKTOPDIRECTORY: return ItemFromPath(d.desktop);
    case CSIDL_PERSONAL: return ItemFromPath(d.documents);
    case CSIDL_PROFILE: return ItemFromPath(d.home);
    case CSIDL_TEMPLATES: return ItemFromPath(d.templates);
    case CSIDL_FONTS: return ItemFromPath(data + "/fonts");
    case CSIDL_PROGRAMS:
    case CSIDL_STARTMENU: return ItemFromPath(data + "/applications");
    case CSIDL_STARTUP: return ItemFromPath(BaseDir("XDG_CONFIG_HOME", d.home, "/.config") + "/autostart");
    case CSIDL_BITBUCKET: return ItemFromPath(data + "/Trash/files");
    default: return std::nullopt;  // control panel, printers, network, favourites, recent, send to
    }
}

bool SHGetPathFromIDList(const ItemIdList& item, std::string& ansi_path) {
    if (item.path.empty()) return false;
    std::string ansi = platform::Utf8ToAnsi(item.path);
    if (platform::AnsiToUtf8(ansi) != item.path) return false;
    ansi_path = std::move(ansi);
    return true;
}

ShellChildren EnumerateFolders(const ItemIdList& item) {
    switch (item.kind) {
    case ItemIdList::Kind::Computer: return {{Folder("/")}, {}};
    case ItemIdList::Kind::Folder: return ScanFolder(item.path);
    case ItemIdList::Kind::Desktop: break;
    }
    ShellChildren out{DesktopFolders(ReadUserDirs()), {}};
    if (!item.path.empty()) {
        // The desktop folder's own folders follow; one that cannot be read shows none.
        ShellChildren own = ScanFolder(item.path);
        out.items.insert(out.items.end(), own.items.begin(), own.items.end());
    }
    return out;
}

std::vector<ItemIdList> PathFromRoot(const ItemIdList& root, const std::string& host_path) {
    if (host_path.empty() || host_path[0] != '/' || !IsDir(host_path)) return {};
    const std::string target = Normal(host_path);
    std::vector<ItemIdList> chain{root};
    bool ok = false;
    switch (root.kind) {
    case ItemIdList::Kind::Folder: ok = Under(root.path, target) && AppendDown(chain, root.path, target); break;
    case ItemIdList::Kind::Computer:
        chain.push_back(Folder("/"));
        ok = AppendDown(chain, "/", target);
        break;
    case ItemIdList::Kind::Desktop: {
        // The nearest of the desktop's folders holding the target, else the computer's file system.
        std::string base;
        std::optional<ItemIdList> via;
        if (Under(root.path, target)) base = root.path;
        for (const ItemIdList& i : DesktopFolders(ReadUserDirs()))
            if (i.kind == ItemIdList::Kind::Folder && Under(i.path, target) && i.path.size() > base.size())
                base = i.path, via = i;
        if (via) {
            chain.push_back(*via);
        } else if (base.empty()) {
            chain.push_back(ComputerItem());
            chain.push_back(Folder("/"));
            base = "/";
        }
        ok = AppendDown(chain, base, target);
        break;
    }
    }
    return ok ? chain : std::vector<ItemIdList>{};
}

}  // namespace ui
