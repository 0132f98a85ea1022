#pragma once
// Geometry, colours, the indices of system colours and metrics, and errors of
// the window system: plain values that include nothing of it, so that every
// other header may include them. The tables behind the indices are in
// sysparams.hpp.
#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "platform/error.hpp"

namespace ui {

struct TPoint {
    int x = 0, y = 0;
    friend bool operator==(const TPoint&, const TPoint&) = default;
};

struct TSize {
    int cx = 0, cy = 0;
    friend bool operator==(const TSize&, const TSize&) = default;
};

// A 64-bit result held to the range of int: geometry saturates instead of
// wrapping, so a far-off coordinate stays far off.
constexpr int SatInt(int64_t v) { return v < INT32_MIN ? INT32_MIN : v > INT32_MAX ? INT32_MAX : int(v); }

// Right and bottom are exclusive.
struct TRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int Width() const { return SatInt(int64_t(right) - left); }
    int Height() const { return SatInt(int64_t(bottom) - top); }
    bool Empty() const { return right <= left || bottom <= top; }
    bool Contains(TPoint p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
    TRect Offset(int dx, int dy) const {
        return {SatInt(int64_t(left) + dx), SatInt(int64_t(top) + dy), SatInt(int64_t(right) + dx),
                SatInt(int64_t(bottom) + dy)};
    }
    TRect Inflate(int dx, int dy) const {
        return {SatInt(int64_t(left) - dx), SatInt(int64_t(top) - dy), SatInt(int64_t(right) + dx),
                SatInt(int64_t(bottom) + dy)};
    }
    friend bool operator==(const TRect&, const TRect&) = default;
};

inline TRect Bounds(int left, int top, int width, int height) {
    return {left, top, SatInt(int64_t(left) + width), SatInt(int64_t(top) + height)};
}
inline TRect Intersect(const TRect& a, const TRect& b) {
    TRect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
    return r.Empty() ? TRect{} : r;
}
inline bool Intersects(const TRect& a, const TRect& b) { return !Intersect(a, b).Empty(); }
inline TRect Union(const TRect& a, const TRect& b) {
    if (a.Empty()) return b;
    if (b.Empty()) return a;
    return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right), std::max(a.bottom, b.bottom)};
}

// Errors of the window system and its class library, with the framework's classes.
struct EUiError : platform::Error {
    using platform::Error::Error;
};
struct EInvalidOperation : EUiError {
    using EUiError::EUiError;
};
struct EOutOfResources : EUiError {
    using EUiError::EUiError;
};
struct EConvertError : EUiError {
    using EUiError::EUiError;
};
struct EListError : EUiError {
    using EUiError::EUiError;
};
struct EInvalidGraphic : EUiError {
    using EUiError::EUiError;
};
// The silent abort: ends the current action without a message.
struct EAbort : EUiError {
    EAbort() : EUiError("Operation aborted") {}
};

// Colours: 0x00BBGGRR, or a system colour (high byte 0x80 and an index).
using TColor = int32_t;
using COLORREF = uint32_t;

constexpr COLORREF RGB(int r, int g, int b) {
    return uint32_t(r & 0xFF) | uint32_t(g & 0xFF) << 8 | uint32_t(b & 0xFF) << 16;
}
constexpr int GetRValue(COLORREF c) { return c & 0xFF; }
constexpr int GetGValue(COLORREF c) { return (c >> 8) & 0xFF; }
constexpr int GetBValue(COLORREF c) { return (c >> 16) & 0xFF; }

// clang-format off
enum SysColorIndex : int {
    COLOR_SCROLLBAR = 0, COLOR_BACKGROUND, COLOR_ACTIVECAPTION, COLOR_INACTIVECAPTION, COLOR_MENU,
    COLOR_WINDOW, COLOR_WINDOWFRAME, COLOR_MENUTEXT, COLOR_WINDOWTEXT, COLOR_CAPTIONTEXT,
    COLOR_ACTIVEBORDER, COLOR_INACTIVEBORDER, COLOR_APPWORKSPACE, COLOR_HIGHLIGHT,
    COLOR_HIGHLIGHTTEXT, COLOR_BTNFACE, COLOR_BTNSHADOW, COLOR_GRAYTEXT, COLOR_BTNTEXT,
    COLOR_INACTIVECAPTIONTEXT, COLOR_BTNHIGHLIGHT, COLOR_3DDKSHADOW, COLOR_3DLIGHT, COLOR_INFOTEXT,
    COLOR_INFOBK, COLOR_UNUSED25, COLOR_HOTLIGHT, COLOR_GRADIENTACTIVECAPTION,
    COLOR_GRADIENTINACTIVECAPTION, COLOR_SYSCOLOR_COUNT
};
// clang-format on

constexpr TColor kSysColorBase = int32_t(0x80000000u);
constexpr TColor SysColor(int index) { return kSysColorBase | index; }

constexpr TColor clBlack = 0x000000, clMaroon = 0x000080, clGreen = 0x008000, clOlive = 0x008080, clNavy = 0x800000,
                 clPurple = 0x800080, clTeal = 0x808000, clGray = 0x808080, clSilver = 0xC0C0C0, clRed = 0x0000FF,
                 clLime = 0x00FF00, clYellow = 0x00FFFF, clBlue = 0xFF0000, clFuchsia = 0xFF00FF, clAqua = 0xFFFF00,
                 clWhite = 0xFFFFFF;
constexpr TColor clNone = 0x1FFFFFFF, clDefault = 0x20000000;
constexpr TColor clScrollBar = SysColor(COLOR_SCROLLBAR), clBackground = SysColor(COLOR_BACKGROUND),
                 clActiveCaption = SysColor(COLOR_ACTIVECAPTION), clInactiveCaption = SysColor(COLOR_INACTIVECAPTION),
                 clMenu = SysColor(COLOR_MENU), clWindow = SysColor(COLOR_WINDOW),
                 clWindowFrame = SysColor(COLOR_WINDOWFRAME), clMenuText = SysColor(COLOR_MENUTEXT),
                 clWindowText = SysColor(COLOR_WINDOWTEXT), clCaptionText = SysColor(COLOR_CAPTIONTEXT),
                 clActiveBorder = SysColor(COLOR_ACTIVEBORDER), clInactiveBorder = SysColor(COLOR_INACTIVEBORDER),
                 clAppWorkSpace = SysColor(COLOR_APPWORKSPACE), clHighlight = SysColor(COLOR_HIGHLIGHT),
                 clHighlightText = SysColor(COLOR_HIGHLIGHTTEXT), clBtnFace = SysColor(COLOR_BTNFACE),
                 clBtnShadow = SysColor(COLOR_BTNSHADOW), clGrayText = SysColor(COLOR_GRAYTEXT),
                 clBtnText = SysColor(COLOR_BTNTEXT), clInactiveCaptionText = SysColor(COLOR_INACTIVECAPTIONTEXT),
                 clBtnHighlight = SysColor(COLOR_BTNHIGHLIGHT), cl3DDkShadow = SysColor(COLOR_3DDKSHADOW),
                 cl3DLight = SysColor(COLOR_3DLIGHT), clInfoText = SysColor(COLOR_INFOTEXT),
                 clInfoBk = SysColor(COLOR_INFOBK), clHotLight = SysColor(COLOR_HOTLIGHT),
                 clGradientActiveCaption = SysColor(COLOR_GRADIENTACTIVECAPTION),
                 clGradientInactiveCaption = SysColor(COLOR_GRADIENTINACTIVECAPTION);

bool IsSysColor(TColor color);
// Colour names of the framework ("clRed", "clBtnFace"); false for anything else.
bool IdentToColor(const std::string& ident, TColor& color);
std::string ColorToString(TColor color);
// An identifier or an integer (decimal or $hex); EConvertError otherwise.
TColor StringToColor(const std::string& text);

// clang-format off
enum SystemMetric : int {
    SM_CXSCREEN = 0, SM_CYSCREEN = 1, SM_CXVSCROLL = 2, SM_CYHSCROLL = 3, SM_CYCAPTION = 4,
    SM_CXBORDER = 5, SM_CYBORDER = 6, SM_CXDLGFRAME = 7, SM_CYDLGFRAME = 8, SM_CXICON = 11,
    SM_CYICON = 12, SM_CXCURSOR = 13, SM_CYCURSOR = 14, SM_CYMENU = 15, SM_CXSIZE = 30,
    SM_CYSIZE = 31, SM_CXFRAME = 32, SM_CYFRAME = 33, SM_CXMINTRACK = 34, SM_CYMINTRACK = 35,
    SM_CXDOUBLECLK = 36, SM_CYDOUBLECLK = 37,
    SM_CXEDGE = 45, SM_CYEDGE = 46, SM_CXSMICON = 49, SM_CYSMICON = 50, SM_CYSMCAPTION = 51,
    SM_CXSMSIZE = 52, SM_CYSMSIZE = 53, SM_CXDRAG = 68, SM_CYDRAG = 69, SM_CXMENUCHECK = 71,
    SM_CYMENUCHECK = 72, SM_METRIC_COUNT = 100
};
// clang-format on

}  // namespace ui
