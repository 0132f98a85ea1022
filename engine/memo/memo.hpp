#pragma once
// Memo files: the texts of a table's memo fields, kept in a file beside the
// table (".DBT" for dBASE III and IV tables, ".FPT" for FoxPro ones). A memo
// field holds the number of its memo's first block; 0 is no memo.
//
// Every operation acts on the current area. Texts cross these interfaces in
// the ANSI page and are stored in the table's page. Failures report through
// the engine's error routine and give the neutral result (0, false, empty).
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zurod {

// Attaches the memo unit to the engine (unit start-up). The operations below
// attach it themselves when it is missing, as the engine starts itself.
void MemoInit();

// The layout of the current table's memo file (0x83 dBASE III, 0xF5 FoxPro,
// anything else dBASE IV); with no table in use, Settings().memo_type.
uint8_t GetMemoType();
// Creates an empty memo file for the table `table_name`, of the current
// memo type and Settings().memo_block_size (a dBASE IV file takes only
// multiples of 512).
void CreateMemofile(const std::string& table_name);

// One line of the memo line table and how it ended: at a hard return (CR),
// a soft return (0x8D), or not at all (wrapped at the line width, or the
// last line of the memo).
enum class LineEnd : uint8_t { None, Hard, Soft };
struct MemoLine {
    std::string text;
    LineEnd end = LineEnd::None;
};

// The engine's memo line table: GetMemo fills it, EditMemo stores it.
std::vector<MemoLine>& MemoLineTable();

// Reads memo `block` into the line table: lines end at CR or 0x8D (an LF
// after either is dropped) and wrap at the line width (253 characters, or
// Settings().memo_width while memo_width_on) after their last blank. At most
// `max_lines` lines (0: as many as Settings().memo_line_limit allows).
// Block 0 is an empty memo; a negative block counts as its absolute value.
bool GetMemo(int32_t block, int max_lines = 0);

// Stores `text` as a new memo without its trailing blanks; the new memo's
// first block, 0 for an empty text.
int32_t AddMemo(std::string_view text);
// Stores the line table as the new text of memo `block` (0: a new memo) and
// returns the memo's first block. The old memo stays intact until no record
// refers to it any more; only then are its blocks reused.
int32_t EditMemo(int32_t block);
// Copies memo `block` of the table in `source_area` into the current table's
// memo file; the copy's first block.
int32_t CopyMemo(uint8_t source_area, int32_t block);
// Rewrites the memo file with only the memos that records refer to. A
// process that dies meanwhile leaves the old memos or the packed ones, each
// with the record numbers that go with them.
void PackMemofile();

// A memo field of the current record as a text file. Reading delivers the
// memo's lines; writing collects lines and, on Close, stores them as the
// field's memo (in the swap buffer; Replace writes the record). Results are
// input/output codes: 0, 100 read, 101 write, 102 not assigned, 104 not open
// for reading, 105 not open for writing.
class MemoTextFile {
public:
    MemoTextFile() = default;
    // AssignMemo: binds the device to field `field` (1-based) of the area
    // that is current now.
    explicit MemoTextFile(int field) { AssignMemo(field); }
    void AssignMemo(int field);
    int Reset();
    int Rewrite();
    // The next piece of text: a line that ended hard, with CR LF after it;
    // other lines without a break, so that they run on. Empty at the end.
    int Read(std::string& piece);
    // The text up to the next CR LF, without it.
    int ReadLn(std::string& line);
    bool Eof() const;
    int Write(std::string_view text);
    int WriteLn(std::string_view text);
    int Close();

private:
    enum class Mode : uint8_t { Closed, Reading, Writing };
    uint8_t area_ = 0;
    int field_ = 0;
    Mode mode_ = Mode::Closed;
    std::vector<MemoLine> lines_;
    size_t next_ = 0;
    std::string line_;  // the line being written
    char last_ = 0;     // the last character written
};

// BLOB streams: byte access to one memo of the current area (one stream per
// area). Mode 1 reads memo `block`; mode 2 writes a new memo, whose first
// block comes back at once (the caller puts it into the record); its bytes
// are stored when the stream is destroyed. With `detect_text` the first bytes
// decide whether the memo is text (converted between the pages) or binary.
int32_t CreateBlobDescriptor(bool detect_text, int32_t block, int mode);
void DestroyBlobDescriptor();
// Bytes read or written.
int32_t ReadBlobStream(std::span<char> buffer);
int32_t WriteBlobStream(std::span<const char> buffer);
// Origin 0 start, 1 current position, 2 end; the new position (never below 0).
int64_t BlobSeek(int64_t offset, int origin);

}  // namespace zurod
