#pragma once
// What the rich-edit class keeps for each window (in Win::class_data): the
// text with its runs of character formats, a format per paragraph, the
// objects in the text, the laid-out lines, selection, scrolling and undo.
// The text holds CR LF between paragraphs and kObjectChar where an object
// stands; the n-th such character is objects[n].
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "framework/ole/richole.hpp"
#include "framework/ui/detail/desktop.hpp"
#include "framework/ui/richedit.hpp"

namespace ui::detail {

constexpr char kObjectChar = '\x01';

// A character format with every attribute set.
struct CharFormat {
    uint32_t effects = CFE_AUTOCOLOR;  // CFE_ bits
    int32_t height = 160;              // twips
    int32_t offset = 0;
    COLORREF color = 0;
    uint8_t charset = DEFAULT_CHARSET;
    uint8_t pitch = DEFAULT_PITCH;
    std::string face = "MS Sans Serif";  // at most 31 characters
    uint16_t weight = 400;
    friend bool operator==(const CharFormat&, const CharFormat&) = default;
};

struct ParaFormat {
    uint16_t numbering = 0, alignment = PFA_LEFT;
    int32_t start = 0, right = 0, offset = 0;  // twips
    int16_t tab_count = 0;
    int32_t tabs[MAX_TAB_STOPS] = {};
    uint16_t numbering_start = 1, numbering_style = PFNS_PAREN, numbering_tab = 0;
    int32_t space_before = 0, space_after = 0;
    friend bool operator==(const ParaFormat&, const ParaFormat&) = default;
};

// The characters from `start` up to the next run's start have `format`.
struct Run {
    int start = 0;
    CharFormat format;
};

struct RichObject {
    ole::ComPtr<ole::IOleObject> object;
    ole::ComPtr<ole::IStorage> storage;
    ole::ComPtr<ole::IOleClientSite> site;
    ole::CLSID clsid;
    ole::SIZEL sizel;
    ole::DWORD aspect = ole::DVASPECT_CONTENT;
    ole::DWORD flags = 0;
    ole::DWORD user = 0;
};

// A piece of a laid-out line: characters of one run, a tab, or an object.
// Lines and pieces count their characters from their paragraph's start, so
// that a change moves nothing of the lines after it but their paragraph
// numbers and places down the text.
struct Piece {
    int start = 0, length = 0;  // from the paragraph's start
    int x = 0, width = 0;       // x from the format rectangle's left
    int run = 0;
    enum Kind { Text, Tab, Object } kind = Text;
    friend bool operator==(const Piece&, const Piece&) = default;
};

struct RichLine {
    int start = 0, length = 0;  // characters from the paragraph's start, without the paragraph break
    int para = 0;
    int y = 0, height = 0, ascent = 0;  // y from the top of the text
    bool first = false;                 // the paragraph's first line
    std::string bullet;                 // the numbering drawn before a first line
    int bullet_x = 0;
    int number = -1;  // the paragraph's place in its numbered list (-1: not numbered)
    std::vector<Piece> pieces;
    friend bool operator==(const RichLine&, const RichLine&) = default;
};

struct Document {
    std::string text;
    std::vector<Run> runs;          // never empty; runs[0].start == 0
    std::vector<ParaFormat> paras;  // one for each paragraph
    std::vector<int> para_starts;   // where each paragraph starts
    std::vector<RichObject> objects;
    CharFormat insertion;  // the format typed text takes
};

struct RichState {
    int version = 3;  // of the library whose class made the window
    Document doc;
    CharFormat default_format;
    COLORREF background = 0;
    bool auto_background = true;
    int anchor = 0, caret = 0;
    int first_line = 0, scroll_x = 0;
    std::vector<RichLine> lines;
    int text_height = 0, text_width = 0;
    int widest_lines = 0;  // how many lines are text_width wide
    bool laid_out = false, modified = false, selecting = false;
    // What the next layout does again: everything, or the paragraphs
    // [due_first, due_last] of the lines laid out, which the document now
    // holds as [due_first, due_last + due_paras] with due_runs runs more; the
    // lines after them only move. The width and wrapping they were laid out for.
    bool due_all = true;
    int due_first = 0, due_last = 0, due_paras = 0, due_runs = 0;
    int laid_width = -1;
    bool laid_wrap = false;
    uint64_t paragraphs_laid_out = 0;  // counts the work of layouts
    bool bars_due = false;             // the scroll bars follow at the next paint
    size_t limit = 0x7FFFFFFE;
    int selected_object = -1;  // an object selected by a click
    uint32_t event_mask = 0;
    // Undo of the last change: the document and selection before it.
    std::unique_ptr<Document> undo;
    int undo_anchor = 0, undo_caret = 0;
    bool typing = false;
    // The object interface, the container's callback.
    ole::ComPtr<ole::IRichEditOle> ole;
    ole::ComPtr<ole::IRichEditOleCallback> callback;
};

RichState* Rich(HWND h);
int LibraryVersion(HWND h);  // the version of the class that made the window

// rich_text.cpp: the document
inline int SelStart(const RichState& e) { return std::min(e.anchor, e.caret); }
inline int SelEnd(const RichState& e) { return std::max(e.anchor, e.caret); }
int RunAt(const Document& d, int pos);  // the run holding character `pos`
int ParaOf(const Document& d, int pos);
int ParaStart(const Document& d, int para);
// A line's first character, and a piece with its characters, in the text.
inline int LineStart(const Document& d, const RichLine& l) { return d.para_starts[size_t(l.para)] + l.start; }
inline Piece InText(const Document& d, const RichLine& l, Piece pc) {
    pc.start += d.para_starts[size_t(l.para)];
    return pc;
}
int ObjectIndexAt(const Document& d, int pos);  // -1 when no object stands there
int ObjectCp(const Document& d, int index);
// Replaces [from, to) by `text` in `format`; objects keep their places.
// Removed objects are handed back in `gone`.
void ReplaceRange(Document& d, int from, int to, std::string_view text, const CharFormat& format,
                  std::vector<RichObject>* gone);
void InsertObjectAt(Document& d, int pos, RichObject object, const CharFormat& format);
// The word around `pos` (for SCF_WORD).
std::pair<int, int> WordAt(const std::string& text, int pos);
// The text as WM_GETTEXT gives it (objects as blanks).
std::string PlainText(const Document& d, int from, int to);
// Format records: what a range or the default format has in common, and
// applying a record's masked fields.
void FillCharFormat(const Document& d, int from, int to, const CharFormat* only, CHARFORMAT2& cf);
void ApplyCharFormat(const CHARFORMAT2& cf, CharFormat& f);
void SetRangeFormat(Document& d, int from, int to, const CHARFORMAT2& cf);
void FillParaFormat(const Document& d, int from, int to, PARAFORMAT2& pf);
void ApplyParaFormat(const PARAFORMAT2& pf, ParaFormat& p);
CharFormat FormatFromFont(const LogFont& lf);
FontPtr FontOf(const CharFormat& f);
int TwipsToPixels(int twips);

// rich_layout.cpp: lines, places and painting
void LayOutRich(HWND h, RichState& e);
// What a change leaves due: the whole layout, or the paragraphs
// [first, last] as they were before it, which became [first, last + paras]
// with `runs` runs more. (Past a change's end every character's run is `runs` places further on,
// whatever it split or joined.)
void RichLayoutDueAll(RichState& e);
void RichLayoutDue(RichState& e, int first, int last, int paras, int runs);
TRect RichFormatRect(HWND h);
int RichLineOf(const RichState& e, int pos);
TPoint RichPosFromChar(HWND h, RichState& e, int pos);
int RichCharFromPos(HWND h, RichState& e, TPoint p);
int RichVisibleLines(HWND h, const RichState& e);
void PaintRich(HWND h, RichState& e);
// Asks for the paint of the lines a change left due, as they stand until the
// layout (which asks for them as they then stand, and for those it moved);
// all when none of them shows.
void RichInvalidateDue(HWND h, const RichState& e);
// The size an object takes in the text, from its presentation.
TSize ObjectSize(const RichObject& o);

// rich_changes.cpp: changes with their notifications, caret and scrolling.
// RichChanged lays everything out again; a caller that said what is due
// (RichLayoutDue) calls RichChangedAsDue.
void RichChanged(HWND h, RichState& e);
void RichChangedAsDue(HWND h, RichState& e);
void RichSetSelection(HWND h, RichState& e, int anchor, int caret);
// A change that is not `undoable` (text put in by the program) empties the undo.
bool RichReplaceSelection(HWND h, RichState& e, std::string_view text, bool user, bool typing = false,
                          bool undoable = true);
void RichPlaceCaret(HWND h, RichState& e);
void RichScrollToCaret(HWND h, RichState& e);
void RichUpdateScrollBar(HWND h, RichState& e);
void RememberUndo(RichState& e);

// rich_ole.cpp: the object interface and objects leaving the text
ole::ComPtr<ole::IRichEditOle> MakeRichEditOle(HWND h);
void ObjectsRemoved(HWND h, RichState& e, std::vector<RichObject>& gone);
// Draws an object's presentation into `r`.
void PaintObject(DC& dc, const RichObject& o, const TRect& r, bool selected);

}  // namespace ui::detail
