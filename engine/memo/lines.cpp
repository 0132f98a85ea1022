// Memo text as lines: GetMemo's splitting, the text the text device
// delivers, and the memo text EditMemo stores from the line table.
#include <algorithm>

#include "engine/dbf/settings.hpp"
#include "engine/memo/detail/memo_file.hpp"
#include "engine/memo/detail/operations.hpp"

namespace zurod {

namespace {

constexpr size_t kDefaultWidth = 254;
constexpr size_t kDeliveredLine = 253;  // a hard-ended line and its CR LF fit a short string
constexpr char kSoftReturn = static_cast<char>(0x8D);

}  // namespace

size_t LineWidth() {
    const EngineSettings& s = Settings();
    return s.memo_width_on ? size_t{std::max<uint8_t>(s.memo_width, 1)} + 1 : kDefaultWidth;
}

size_t LineLimit(int max_lines) {
    const size_t limit = Settings().memo_line_limit;
    return max_lines > 0 ? std::min(limit, static_cast<size_t>(max_lines)) : limit;
}

LineSplitter::LineSplitter(const TWorkArea& area, std::vector<MemoLine>& lines, size_t width, size_t limit)
    : area_(area), lines_(lines), width_(std::max<size_t>(width, 2)), limit_(limit) {
    line_.reserve(width_);
}

void LineSplitter::Emit(std::string_view text, LineEnd end) {
    if (lines_.size() >= limit_) {
        full_ = true;
        return;
    }
    MemoLine& line = lines_.emplace_back();
    line.text.assign(text);
    line.end = end;
    FromStored(area_, line.text);
}

// The line reached the width: it breaks after its last blank (the blanks
// there go), or at the width when it has none.
void LineSplitter::Wrap() {
    const size_t blank = line_.find_last_of(' ');
    if (blank != std::string::npos) {
        size_t end = blank;
        while (end > 0 && line_[end - 1] == ' ') --end;
        if (end > 0) {
            Emit(std::string_view(line_).substr(0, end), LineEnd::None);
            line_.erase(0, blank + 1);
            return;
        }
    }
    Emit(std::string_view(line_).substr(0, width_ - 1), LineEnd::None);
    line_.erase(0, width_ - 1);
}

bool LineSplitter::Feed(std::string_view stored) {
    for (const char c : stored) {
        if (full_) return false;
        if (skip_lf_) {
            skip_lf_ = false;
            if (c == '\n') continue;
        }
        if (c == '\r' || c == kSoftReturn) {
            Emit(line_, c == '\r' ? LineEnd::Hard : LineEnd::Soft);
            line_.clear();
            skip_lf_ = true;
            continue;
        }
        line_ += c;
        if (line_.size() == width_) Wrap();
    }
    return !full_;
}

void LineSplitter::Finish() {
    if (!line_.empty() && !full_) Emit(line_, LineEnd::None);
    line_.clear();
}

Status ReadMemoLines(TWorkArea& area, int32_t block, size_t limit, std::vector<MemoLine>& lines,
                     std::string_view routine) {
    lines.clear();
    if (block == 0) return {};
    MemoFile* m = nullptr;
    if (Status s = RequireMemo(area, routine, m); s.failed()) return s;
    const std::string label(routine);
    const MemoSite site{label.c_str(), area.rec_no};
    const uint32_t b = block < 0 ? static_cast<uint32_t>(-static_cast<int64_t>(block)) : static_cast<uint32_t>(block);
    uint64_t size = 0;
    if (Status s = MemoSize(*m, size); s.failed()) return s;
    // A full table never needs more than this of the text.
    const size_t width = LineWidth();
    const size_t enough = limit > SIZE_MAX / (width + 2) ? SIZE_MAX : limit * (width + 2);
    MemoExtent extent;
    std::string data;
    if (Status s = ReadMemo(*m, size, b, extent, data, enough, site); s.failed()) return s;
    LineSplitter splitter(area, lines, width, limit);
    splitter.Feed(data);
    splitter.Finish();
    return {};
}

std::string DeviceText(const std::vector<MemoLine>& lines) {
    std::string text;
    for (const MemoLine& line : lines) {
        if (line.end == LineEnd::Hard) {
            text.append(line.text, 0, kDeliveredLine);
            text += "\r\n";
        } else {
            text += line.text;
        }
    }
    return text;
}

std::string StoredText(const TWorkArea& area, const std::vector<MemoLine>& lines) {
    std::string text, part;
    for (const MemoLine& line : lines) {
        part = line.text;
        ToStored(area, part);
        text += part;
        if (line.end == LineEnd::Hard) text += "\r\n";
        if (line.end == LineEnd::Soft) text += "\x8D\n";
    }
    return text;
}

}  // namespace zurod
