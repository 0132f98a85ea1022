#include "controls/strutils.hpp"

namespace controls {

std::string ReplaceAllText(std::string_view text, std::string_view search, std::string_view replacement) {
    if (search.empty()) return std::string(text);
    std::string out;
    out.reserve(text.size());
    size_t pos = 0;
    for (size_t hit; (hit = text.find(search, pos)) != std::string_view::npos; pos = hit + search.size()) {
        out.append(text.substr(pos, hit - pos));
        out.append(replacement);
    }
    out.append(text.substr(pos));
    return out;
}

std::string RemoveChar(std::string_view text, char c) {
    std::string out;
    out.reserve(text.size());
    for (char x : text)
        if (x != c) out += x;
    return out;
}

std::string TrimLeadingBlanks(std::string_view text) {
    const size_t start = text.find_first_not_of(' ');
    return start == std::string_view::npos ? std::string() : std::string(text.substr(start));
}

std::string TrimTrailingBlanks(std::string_view text) {
    const size_t end = text.find_last_not_of(' ');
    return end == std::string_view::npos ? std::string() : std::string(text.substr(0, end + 1));
}

std::string TrimBothBlanks(std::string_view text) { return TrimLeadingBlanks(TrimTrailingBlanks(text)); }

std::string RepeatChar(char c, int count) { return count < 1 ? std::string() : std::string(size_t(count), c); }

bool AllCharsInSet(std::string_view text, std::string_view set) {
    return text.find_first_not_of(set) == std::string_view::npos;
}

std::string CopyString(std::string_view text) { return std::string(text); }

}  // namespace controls
