// Shortcuts of menu items and their texts, and the '&' accelerators of captions.
#include <cctype>

#include "framework/ui/menus.hpp"

namespace ui {

namespace {

struct KeyName {
    UINT key;
    const char* name;
};
// clang-format off
constexpr KeyName kKeyNames[] = {
    {VK_BACK, "BkSp"}, {VK_TAB, "Tab"}, {VK_RETURN, "Enter"}, {VK_ESCAPE, "Esc"}, {VK_SPACE, "Space"},
    {VK_PRIOR, "PgUp"}, {VK_NEXT, "PgDn"}, {VK_END, "End"}, {VK_HOME, "Home"}, {VK_LEFT, "Left"},
    {VK_UP, "Up"}, {VK_RIGHT, "Right"}, {VK_DOWN, "Down"}, {VK_INSERT, "Ins"}, {VK_DELETE, "Del"},
};
// clang-format on
constexpr UINT kF1 = 0x70, kF12 = 0x7B;

struct Modifier {
    TShortCut bit;
    const char* prefix;
};
constexpr Modifier kModifiers[] = {{scShift, "Shift+"}, {scCtrl, "Ctrl+"}, {scAlt, "Alt+"}};

std::string KeyText(UINT key) {
    if ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9')) return std::string(1, char(key));
    if (key >= kF1 && key <= kF12) return "F" + std::to_string(key - kF1 + 1);
    for (const KeyName& k : kKeyNames)
        if (k.key == key) return k.name;
    return {};
}

bool StartsWithNoCase(const std::string& text, size_t at, const std::string& prefix) {
    if (text.size() - at < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[at + i])) != std::tolower(static_cast<unsigned char>(prefix[i])))
            return false;
    return true;
}

}  // namespace

TShortCut ShortCut(UINT key, TShiftState shift) {
    if (key > 0xFF) return 0;
    TShortCut s = TShortCut(key);
    if (shift & ssShift) s |= scShift;
    if (shift & ssCtrl) s |= scCtrl;
    if (shift & ssAlt) s |= scAlt;
    return s;
}

void ShortCutToKey(TShortCut shortcut, UINT& key, TShiftState& shift) {
    key = shortcut & 0xFF;
    shift = 0;
    if (shortcut & scShift) shift |= ssShift;
    if (shortcut & scCtrl) shift |= ssCtrl;
    if (shortcut & scAlt) shift |= ssAlt;
}

std::string ShortCutToText(TShortCut shortcut) {
    const std::string key = KeyText(shortcut & 0xFF);
    if (key.empty()) return {};
    std::string text;
    for (const Modifier& m : kModifiers)
        if (shortcut & m.bit) text += m.prefix;
    return text + key;
}

TShortCut TextToShortCut(const std::string& text) {
    TShortCut mods = 0;
    size_t at = 0;
    for (bool more = true; more;) {
        more = false;
        for (const Modifier& m : kModifiers)
            if (StartsWithNoCase(text, at, m.prefix)) {
                mods |= m.bit;
                at += std::string(m.prefix).size();
                more = true;
            }
    }
    const std::string rest = text.substr(at);
    if (rest.empty()) return 0;
    for (UINT key = 1; key <= 0xFF; ++key) {
        const std::string name = KeyText(key);
        if (!name.empty() && name.size() == rest.size() && StartsWithNoCase(rest, 0, name)) return TShortCut(key | mods);
    }
    return 0;
}

std::string StripHotkey(const std::string& caption) {
    std::string out;
    out.reserve(caption.size());
    for (size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] != '&') {
            out += caption[i];
        } else if (i + 1 < caption.size() && caption[i + 1] == '&') {
            out += '&';
            ++i;
        }
    }
    return out;
}

char GetHotkey(const std::string& caption) {
    for (size_t i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != '&') continue;
        if (caption[i + 1] == '&') {
            ++i;
            continue;
        }
        return char(std::toupper(static_cast<unsigned char>(caption[i + 1])));
    }
    return 0;
}

bool IsAccel(UINT key, const std::string& caption) {
    const char hot = GetHotkey(caption);
    return hot != 0 && key <= 0xFF && char(std::toupper(int(key))) == hot;
}

}  // namespace ui
