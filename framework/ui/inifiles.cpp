#include "framework/ui/inifiles.hpp"

#include <strings.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace ui {

namespace {

bool SameName(const std::string& a, const std::string& b) { return strcasecmp(a.c_str(), b.c_str()) == 0; }

std::string Trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r')) --e;
    return s.substr(b, e - b);
}

}  // namespace

TIniFile::TIniFile(std::string file_name) : file_name_(std::move(file_name)) {
    std::ifstream in(file_name_, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        line = Trim(line);
        if (line.empty() || line[0] == ';') continue;
        if (line.front() == '[') {
            const size_t end = line.find(']');
            sections_.push_back({Trim(line.substr(1, end == std::string::npos ? std::string::npos : end - 1)), {}});
            continue;
        }
        const size_t eq = line.find('=');
        if (eq == std::string::npos || sections_.empty()) continue;
        sections_.back().entries.push_back({Trim(line.substr(0, eq)), Trim(line.substr(eq + 1))});
    }
}

const TIniFile::Section* TIniFile::Find(const std::string& section) const {
    for (const Section& s : sections_)
        if (SameName(s.name, section)) return &s;
    return nullptr;
}

const TIniFile::Entry* TIniFile::Find(const std::string& section, const std::string& key) const {
    const Section* s = Find(section);
    if (!s) return nullptr;
    for (const Entry& e : s->entries)
        if (SameName(e.key, key)) return &e;
    return nullptr;
}

std::string TIniFile::ReadString(const std::string& section, const std::string& key, const std::string& def) const {
    const Entry* e = Find(section, key);
    return e ? e->value : def;
}

int TIniFile::ReadInteger(const std::string& section, const std::string& key, int def) const {
    const Entry* e = Find(section, key);
    if (!e || e->value.empty()) return def;
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(e->value.c_str(), &end, 10);
    if (*end != 0 || errno != 0 || v < INT_MIN || v > INT_MAX) return def;
    return int(v);
}

bool TIniFile::ReadBool(const std::string& section, const std::string& key, bool def) const {
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

bool TIniFile::SectionExists(const std::string& section) const { return Find(section) != nullptr; }

bool TIniFile::ValueExists(const std::string& section, const std::string& key) const {
    return Find(section, key) != nullptr;
}

std::vector<std::string> TIniFile::ReadSection(const std::string& section) const {
    std::vector<std::string> keys;
    if (const Section* s = Find(section))
        for (const Entry& e : s->entries) keys.push_back(e.key);
    return keys;
}

bool TIniFile::WriteString(const std::string& section, const std::string& key, const std::string& value) {
    auto* s = const_cast<Section*>(Find(section));
    if (!s) s = &sections_.emplace_back(Section{section, {}});
    auto* e = const_cast<Entry*>(Find(section, key));
    if (e)
        e->value = value;
    else
        s->entries.push_back({key, value});
    return Save();
}

bool TIniFile::WriteInteger(const std::string& section, const std::string& key, int value) {
    return WriteString(section, key, std::to_string(value));
}

bool TIniFile::WriteBool(const std::string& section, const std::string& key, bool value) {
    return WriteString(section, key, value ? "1" : "0");
}

bool TIniFile::EraseSection(const std::string& section) {
    std::erase_if(sections_, [&](const Section& s) { return SameName(s.name, section); });
    return Save();
}

bool TIniFile::DeleteKey(const std::string& section, const std::string& key) {
    if (auto* s = const_cast<Section*>(Find(section)))
        std::erase_if(s->entries, [&](const Entry& e) { return SameName(e.key, key); });
    return Save();
}

bool TIniFile::Save() const {
    const std::string temp = file_name_ + ".TZI";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        for (const Section& s : sections_) {
            out << '[' << s.name << "]\r\n";
            for (const Entry& e : s.entries) out << e.key << '=' << e.value << "\r\n";
            out << "\r\n";
        }
        out.flush();
        if (!out) {
            std::remove(temp.c_str());
            return false;
        }
    }
    if (std::rename(temp.c_str(), file_name_.c_str()) != 0) {
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

std::string ApplicationExeName() {
    char buffer[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    return n > 0 ? std::string(buffer, size_t(n)) : std::string();
}

std::string ChangeFileExt(const std::string& path, const std::string& ext) {
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return path + ext;
    return path.substr(0, dot) + ext;
}

}  // namespace ui
