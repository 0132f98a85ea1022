#pragma once
// The rich-edit control's standard classes: "RICHEDIT" (the older library)
// and "RichEdit20A" (the newer), multi-line text in runs of character
// formats with paragraph formats, objects in the text, a caret, selection,
// the clipboard and scrolling, drawn through the text cache. The EDIT
// messages it shares keep their meaning; the format records below travel
// with EM_GETCHARFORMAT, EM_SETCHARFORMAT, EM_GETPARAFORMAT and
// EM_SETPARAFORMAT, and their size field says which library version wrote
// them. Lines end with CR LF; an object takes one character.
#include <cstddef>
#include <cstdint>

#include "framework/ole/richole.hpp"
#include "framework/ui/edit_box.hpp"

namespace ui {

// clang-format off
enum RichEditMessage : UINT {
    EM_CANPASTE = WM_USER + 50, EM_EXGETSEL = WM_USER + 52, EM_EXLIMITTEXT = WM_USER + 53,
    EM_EXLINEFROMCHAR = WM_USER + 54, EM_EXSETSEL = WM_USER + 55, EM_GETCHARFORMAT = WM_USER + 58,
    EM_GETEVENTMASK = WM_USER + 59, EM_GETOLEINTERFACE = WM_USER + 60, EM_GETPARAFORMAT = WM_USER + 61,
    EM_GETSELTEXT = WM_USER + 62, EM_SETBKGNDCOLOR = WM_USER + 67, EM_SETCHARFORMAT = WM_USER + 68,
    EM_SETEVENTMASK = WM_USER + 69, EM_SETOLECALLBACK = WM_USER + 70, EM_SETPARAFORMAT = WM_USER + 71,
    EM_GETTEXTRANGE = WM_USER + 75,
};
enum CharFormatScope : WPARAM { SCF_DEFAULT = 0, SCF_SELECTION = 1, SCF_WORD = 2, SCF_ALL = 4 };
enum CharFormatMask : uint32_t {
    CFM_BOLD = 0x1, CFM_ITALIC = 0x2, CFM_UNDERLINE = 0x4, CFM_STRIKEOUT = 0x8, CFM_PROTECTED = 0x10,
    CFM_LINK = 0x20, CFM_SIZE = 0x80000000u, CFM_COLOR = 0x40000000, CFM_FACE = 0x20000000,
    CFM_OFFSET = 0x10000000, CFM_CHARSET = 0x08000000, CFM_WEIGHT = 0x00400000, CFM_BACKCOLOR = 0x04000000,
};
enum CharFormatEffect : uint32_t {
    CFE_BOLD = 0x1, CFE_ITALIC = 0x2, CFE_UNDERLINE = 0x4, CFE_STRIKEOUT = 0x8, CFE_PROTECTED = 0x10,
    CFE_LINK = 0x20, CFE_AUTOCOLOR = 0x40000000, CFE_AUTOBACKCOLOR = 0x04000000,
};
enum ParaFormatMask : uint32_t {
    PFM_STARTINDENT = 0x1, PFM_RIGHTINDENT = 0x2, PFM_OFFSET = 0x4, PFM_ALIGNMENT = 0x8, PFM_TABSTOPS = 0x10,
    PFM_NUMBERING = 0x20, PFM_OFFSETINDENT = 0x80000000u, PFM_SPACEBEFORE = 0x40, PFM_SPACEAFTER = 0x80,
    PFM_NUMBERINGSTYLE = 0x2000, PFM_NUMBERINGTAB = 0x4000, PFM_NUMBERINGSTART = 0x8000,
};
enum ParaAlignment : uint16_t { PFA_LEFT = 1, PFA_RIGHT = 2, PFA_CENTER = 3, PFA_JUSTIFY = 4 };
enum ParaNumbering : uint16_t {
    PFN_BULLET = 1, PFN_ARABIC = 2, PFN_LCLETTER = 3, PFN_UCLETTER = 4, PFN_LCROMAN = 5, PFN_UCROMAN = 6,
};
enum ParaNumberingStyle : uint16_t { PFNS_PAREN = 0x000, PFNS_PARENS = 0x100, PFNS_PERIOD = 0x200, PFNS_PLAIN = 0x300 };
enum PitchAndFamily : uint8_t { DEFAULT_PITCH = 0, FIXED_PITCH = 1, VARIABLE_PITCH = 2 };
enum CharsetValue : uint8_t { ANSI_CHARSET = 0, DEFAULT_CHARSET = 1, SYMBOL_CHARSET = 2, OEM_CHARSET = 255 };
// clang-format on
constexpr int MAX_TAB_STOPS = 32;
constexpr int LF_FACESIZE = 32;

// The character format record. The first 60 bytes are the older library's
// record; the newer one's is 84 bytes.
#pragma pack(push, 4)
struct CHARFORMAT2 {
    uint32_t cbSize = 0;
    uint32_t dwMask = 0;
    uint32_t dwEffects = 0;
    int32_t yHeight = 0;  // twips
    int32_t yOffset = 0;
    COLORREF crTextColor = 0;
    uint8_t bCharSet = 0;
    uint8_t bPitchAndFamily = 0;
    char szFaceName[LF_FACESIZE] = {};
    uint16_t wWeight = 0;
    int16_t sSpacing = 0;
    COLORREF crBackColor = 0;
    uint32_t lcid = 0;
    uint32_t dwReserved = 0;
    int16_t sStyle = 0;
    uint16_t wKerning = 0;
    uint8_t bUnderlineType = 0;
    uint8_t bAnimation = 0;
    uint8_t bRevAuthor = 0;
    uint8_t bReserved1 = 0;
};

// The paragraph format record: 156 bytes for the older library, 188 for the newer.
struct PARAFORMAT2 {
    uint32_t cbSize = 0;
    uint32_t dwMask = 0;
    uint16_t wNumbering = 0;
    uint16_t wEffects = 0;
    int32_t dxStartIndent = 0;  // twips, the first line
    int32_t dxRightIndent = 0;
    int32_t dxOffset = 0;  // the lines after the first, from the first line's indent
    uint16_t wAlignment = 0;
    int16_t cTabCount = 0;
    int32_t rgxTabs[MAX_TAB_STOPS] = {};
    int32_t dySpaceBefore = 0;
    int32_t dySpaceAfter = 0;
    int32_t dyLineSpacing = 0;
    int16_t sStyle = 0;
    uint8_t bLineSpacingRule = 0;
    uint8_t bOutlineLevel = 0;
    uint16_t wShadingWeight = 0;
    uint16_t wShadingStyle = 0;
    uint16_t wNumberingStart = 0;
    uint16_t wNumberingStyle = 0;
    uint16_t wNumberingTab = 0;
    uint16_t wBorderSpace = 0;
    uint16_t wBorderWidth = 0;
    uint16_t wBorders = 0;
};
#pragma pack(pop)
constexpr uint32_t kCharFormatSize1 = 60, kCharFormatSize2 = 84;
constexpr uint32_t kParaFormatSize1 = 156, kParaFormatSize2 = 188;
static_assert(offsetof(CHARFORMAT2, szFaceName) == 26 && offsetof(CHARFORMAT2, wWeight) == 58);
static_assert(sizeof(CHARFORMAT2) == kCharFormatSize2);
static_assert(offsetof(PARAFORMAT2, rgxTabs) == 28 && offsetof(PARAFORMAT2, dySpaceBefore) == kParaFormatSize1);
static_assert(sizeof(PARAFORMAT2) == kParaFormatSize2);

struct TEXTRANGE {
    ole::CHARRANGE chrg;
    char* lpstrText = nullptr;  // room for the range and a terminator
};

// The rich-edit library: the classes are registered when it is loaded, and
// its version decides the class and the record sizes a control uses
// (1: "RICHEDIT" and the short records; 2 and above: "RichEdit20A").
// Loading again keeps the version loaded first, as a process does; UiReset
// unloads it and the next load starts again.
int LoadRichEditLibrary(int version = 3);
int RichEditLibraryVersion();  // 0 before loading
const char* RichEditClassName();
// Tests: load another version in its place.
void SetRichEditLibraryVersion(int version);

// The icon pictures objects are drawn with, registered with the library.
void RegisterObjectIcons();

}  // namespace ui
