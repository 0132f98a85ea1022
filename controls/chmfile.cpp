#include "controls/chmfile.hpp"

#include <chm_lib.h>
#include <dlfcn.h>
#include <link.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <type_traits>

#include "platform/codepage.hpp"

namespace controls {

namespace {

uint32_t ReadU32(std::span<const uint8_t> b, size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

// "…/libchm.so.1.0.0" gives {1, 0, 0, 0}; a name without numbers {0, 0, 0, 0}.
std::array<int, 4> VersionOfName(const std::string& path) {
    std::array<int, 4> v{};
    const size_t so = path.rfind(".so.");
    if (so == std::string::npos) return v;
    size_t at = so + 4;
    for (int i = 0; i < 4 && at < path.size(); ++i) {
        char* end = nullptr;
        v[i] = static_cast<int>(std::strtol(path.c_str() + at, &end, 10));
        at = static_cast<size_t>(end - path.c_str());
        if (at >= path.size() || path[at] != '.') break;
        ++at;
    }
    return v;
}

template <typename F>
bool Resolve(void* handle, const char* name, F& slot) {
    slot = reinterpret_cast<F>(dlsym(handle, name));
    return slot != nullptr;
}

}  // namespace

bool ChmLibrary::Load(const std::string& name) {
    Free();
    void* handle = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) return false;
    static_assert(std::is_same_v<decltype(open), decltype(&::chm_open)>);
    static_assert(std::is_same_v<decltype(close), decltype(&::chm_close)>);
    static_assert(std::is_same_v<decltype(resolve), decltype(&::chm_resolve_object)>);
    static_assert(std::is_same_v<decltype(retrieve), decltype(&::chm_retrieve_object)>);
    static_assert(std::is_same_v<decltype(enumerate), decltype(&::chm_enumerate)>);
    if (!Resolve(handle, "chm_open", open) || !Resolve(handle, "chm_close", close) ||
        !Resolve(handle, "chm_resolve_object", resolve) || !Resolve(handle, "chm_retrieve_object", retrieve) ||
        !Resolve(handle, "chm_enumerate", enumerate)) {
        dlclose(handle);
        open = nullptr, close = nullptr, resolve = nullptr, retrieve = nullptr, enumerate = nullptr;
        return false;
    }
    handle_ = handle;
    path_ = name;
    link_map* map = nullptr;
    if (dlinfo(handle, RTLD_DI_LINKMAP, &map) == 0 && map && map->l_name && *map->l_name) {
        char* real = realpath(map->l_name, nullptr);
        path_ = real ? real : map->l_name;
        std::free(real);
    }
    version_ = VersionOfName(path_);
    return true;
}

void ChmLibrary::Free() {
    if (handle_) dlclose(handle_);
    handle_ = nullptr;
    path_.clear();
    version_ = {};
    open = nullptr, close = nullptr, resolve = nullptr, retrieve = nullptr, enumerate = nullptr;
}

std::map<uint32_t, std::string> ParseContextMap(std::span<const uint8_t> ivb, std::span<const uint8_t> strings) {
    std::map<uint32_t, std::string> map;
    if (ivb.size() < 4) return map;
    const size_t declared = ReadU32(ivb, 0);
    const size_t pairs = std::min(declared, ivb.size() - 4) / 8;
    for (size_t i = 0; i < pairs; ++i) {
        const uint32_t context = ReadU32(ivb, 4 + i * 8);
        const uint32_t offset = ReadU32(ivb, 8 + i * 8);
        if (offset >= strings.size()) continue;
        const auto begin = strings.begin() + offset;
        const auto end = std::find(begin, strings.end(), uint8_t{0});
        if (begin == end) continue;
        map.emplace(context, std::string(begin, end));
    }
    return map;
}

bool SafeContentName(const std::string& name) {
    if (name.size() < 2 || name[0] != '/' || name.find('\\') != std::string::npos ||
        name.find('\0') != std::string::npos)
        return false;
    size_t start = 1;
    while (start <= name.size()) {
        size_t end = name.find('/', start);
        if (end == std::string::npos) end = name.size();
        const std::string_view part(name.data() + start, end - start);
        if (part.empty() || part == "." || part == "..") return false;
        start = end + 1;
    }
    return true;
}

std::unique_ptr<ChmFile> ChmFile::Open(const ChmLibrary& library, const std::string& path,
                                       std::chrono::milliseconds limit, ChmReader::Opened* how) {
    ChmReader::Opened opened = ChmReader::Opened::No;
    std::unique_ptr<ChmReader> reader = ChmReader::Start(library, platform::AnsiToUtf8(path), limit, opened);
    if (how) *how = opened;
    if (!reader) return nullptr;
    std::unique_ptr<ChmFile> file(new ChmFile(std::move(reader)));
    std::vector<uint8_t> ivb, strings;
    if (file->Read("/#IVB", ivb) && file->Read("/#STRINGS", strings)) file->map_ = ParseContextMap(ivb, strings);
    return file;
}

bool ChmFile::Exists(const std::string& name) const {
    if (name.empty() || name.back() == '/') return false;  // a folder
    return reader_->Exists(name);
}

bool ChmFile::Read(const std::string& name, std::vector<uint8_t>& bytes) const { return reader_->Read(name, bytes); }

std::optional<std::vector<std::string>> ChmFile::ContentFiles() const {
    std::vector<std::string> names;
    if (!reader_->Enumerate(names)) return std::nullopt;
    std::erase_if(names, [](const std::string& name) { return !SafeContentName(name); });
    return names;
}

std::optional<std::string> ChmFile::TopicOfContext(uint32_t context) const {
    const auto it = map_.find(context);
    if (it == map_.end()) return std::nullopt;
    return ResolveTopic(it->second);
}

std::optional<std::string> ChmFile::ResolveTopic(const std::string& topic) const {
    std::string name = topic;
    std::replace(name.begin(), name.end(), '\\', '/');
    std::string anchor;
    if (const size_t hash = name.find('#'); hash != std::string::npos) {
        anchor = name.substr(hash);
        name.resize(hash);
    }
    // "mk:@MSITStore:file.chm::/topic.htm" names a topic of a file.
    if (const size_t colons = name.find("::"); colons != std::string::npos) name.erase(0, colons + 2);
    if (name.empty()) return std::nullopt;
    if (name[0] != '/') name.insert(name.begin(), '/');
    // The whole name, then ever shorter tails from a '/' on: a compiler may
    // have written where the page lay on its disk.
    for (size_t at = 0; at != std::string::npos; at = name.find('/', at + 1)) {
        const std::string candidate = name.substr(at);
        if (candidate.size() > 1 && Exists(candidate)) return candidate + anchor;
    }
    return std::nullopt;
}

}  // namespace controls
