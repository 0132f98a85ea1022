#pragma once
// Settings files of the class library: sections of NAME=VALUE lines, names
// matched without regard to case. A file is read when the object is made and
// written back at once after every change (through a file beside it renamed
// over it, so a failed write keeps the old settings).
#include <string>
#include <vector>

namespace ui {

class TIniFile {
public:
    explicit TIniFile(std::string file_name);
    const std::string& FileName() const { return file_name_; }

    std::string ReadString(const std::string& section, const std::string& key, const std::string& def) const;
    // The value when it is a whole number, else `def`.
    int ReadInteger(const std::string& section, const std::string& key, int def) const;
    bool ReadBool(const std::string& section, const std::string& key, bool def) const;
    bool SectionExists(const std::string& section) const;
    bool ValueExists(const std::string& section, const std::string& key) const;
    std::vector<std::string> ReadSection(const std::string& section) const;  // the keys

    // False when the file could not be written; the values stay changed here.
    bool WriteString(const std::string& section, const std::string& key, const std::string& value);
    bool WriteInteger(const std::string& section, const std::string& key, int value);
    bool WriteBool(const std::string& section, const std::string& key, bool value);
    bool EraseSection(const std::string& section);
    bool DeleteKey(const std::string& section, const std::string& key);

private:
    struct Entry {
        std::string key, value;
    };
    struct Section {
        std::string name;
        std::vector<Entry> entries;
    };
    const Section* Find(const std::string& section) const;
    const Entry* Find(const std::string& section, const std::string& key) const;
    bool Save() const;

    std::string file_name_;
    std::vector<Section> sections_;
};

// The program file: the settings file lies beside it with the extension ".INI".
std::string ApplicationExeName();
std::string ChangeFileExt(const std::string& path, const std::string& ext);

}  // namespace ui
