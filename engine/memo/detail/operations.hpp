#pragma once
// The memo operations on a given area, for the attachment (which the engine
// calls) and the public commands (which act on the current area and report).
// Texts are in the ANSI page here.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/dbf/detail/attachments.hpp"
#include "engine/dbf/detail/workarea.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/memo/memo.hpp"

namespace zurod {

// The unit's object inside the engine: the memo line table lives here.
class MemoUnit final : public MemoAttachment {
public:
    Status Open(TWorkArea& area) override;
    Status Close(TWorkArea& area) override;
    Status Pack(TWorkArea& area) override;
    Status Recreate(TWorkArea& area) override;
    Status Copy(TWorkArea& from, int32_t block, TWorkArea& to, int32_t& new_block) override;
    Status Add(TWorkArea& to, std::string_view text, int32_t& block) override;
    Status ReadLines(TWorkArea& area, int32_t block, std::vector<std::string>& lines) override;
    Status ReadText(TWorkArea& area, int32_t block, std::string& text) override;
    Status ShareAsTable(TWorkArea& area) override;

    std::vector<MemoLine> lines;
};

// The attached unit, attached first when it is missing.
MemoUnit& AttachedMemoUnit();
// The start of a public command: the unit attached, the last error cleared,
// and the current area's table (nullptr after reporting 215).
TWorkArea* StartCommand(std::string_view label);

// The width lines wrap at and the lines a memo may fill.
size_t LineWidth();
size_t LineLimit(int max_lines);

// Splits stored memo text into lines (see GetMemo); translated to ANSI.
class LineSplitter {
public:
    LineSplitter(const TWorkArea& area, std::vector<MemoLine>& lines, size_t width, size_t limit);
    // False once the table is full.
    bool Feed(std::string_view stored);
    void Finish();
    bool Full() const { return full_; }

private:
    void Emit(std::string_view text, LineEnd end);
    void Wrap();

    const TWorkArea& area_;
    std::vector<MemoLine>& lines_;
    size_t width_, limit_;
    std::string line_;
    bool skip_lf_ = false;
    bool full_ = false;
};

// GetMemo on an area: the memo's lines into `lines`.
Status ReadMemoLines(TWorkArea& area, int32_t block, size_t limit, std::vector<MemoLine>& lines,
                     std::string_view routine);
// The text the text device delivers for `lines` (CR LF after hard ends).
std::string DeviceText(const std::vector<MemoLine>& lines);
// The line table as EditMemo stores it, in the table's page: lines that
// ended at a hard or soft return get CR LF or 0x8D LF, wrapped lines none.
std::string StoredText(const TWorkArea& area, const std::vector<MemoLine>& lines);

Status AddMemoIn(TWorkArea& area, std::string_view text, int32_t& block, std::string_view routine);
// Stores `stored` (in the table's page) as the new text of memo `old_block`.
// The old memo's blocks are freed only once no record refers to them.
Status EditMemoIn(TWorkArea& area, std::string_view stored, int32_t old_block, int32_t& block);
Status CopyMemoIn(TWorkArea& from, int32_t block, TWorkArea& to, int32_t& new_block);
Status PackMemoIn(TWorkArea& area);
Status RecreateMemoIn(TWorkArea& area, std::string_view caller);

}  // namespace zurod
