#include "framework/ui/types.hpp"

#include <array>
#include <charconv>
#include <cstring>

#include "framework/ui/detail/state.hpp"

namespace ui {

namespace {

// The classic scheme of the desktop the program was made for.
constexpr std::array<COLORREF, COLOR_SYSCOLOR_COUNT> kDefaultSysColors = {
    RGB(212, 208, 200), RGB(58, 110, 165),  RGB(10, 36, 106),   RGB(128, 128, 128), RGB(212, 208, 200),
    RGB(255, 255, 255), RGB(0, 0, 0),       RGB(0, 0, 0),       RGB(0, 0, 0),       RGB(255, 255, 255),
    RGB(212, 208, 200), RGB(212, 208, 200), RGB(128, 128, 128), RGB(10, 36, 106),   RGB(255, 255, 255),
    RGB(212, 208, 200), RGB(128, 128, 128), RGB(128, 128, 128), RGB(0, 0, 0),       RGB(212, 208, 200),
    RGB(255, 255, 255), RGB(64, 64, 64),    RGB(212, 208, 200), RGB(0, 0, 0),       RGB(255, 255, 225),
    RGB(181, 181, 181), RGB(0, 0, 128),     RGB(166, 202, 240), RGB(192, 192, 192),
};

std::array<int, SM_METRIC_COUNT> StartMetrics() {
    std::array<int, SM_METRIC_COUNT> m{};
    m[SM_CXSCREEN] = 1024, m[SM_CYSCREEN] = 768;
    m[SM_CXVSCROLL] = 16, m[SM_CYHSCROLL] = 16;
    m[SM_CYCAPTION] = 19;
    m[SM_CXBORDER] = 1, m[SM_CYBORDER] = 1;
    m[SM_CXDLGFRAME] = 3, m[SM_CYDLGFRAME] = 3;
    m[SM_CXICON] = 32, m[SM_CYICON] = 32;
    m[SM_CXCURSOR] = 32, m[SM_CYCURSOR] = 32;
    m[SM_CYMENU] = 19;
    m[SM_CXSIZE] = 18, m[SM_CYSIZE] = 18;
    m[SM_CXFRAME] = 4, m[SM_CYFRAME] = 4;
    m[SM_CXMINTRACK] = 112, m[SM_CYMINTRACK] = 27;  // the smallest a frame drag leaves a window
    m[SM_CXDOUBLECLK] = 4, m[SM_CYDOUBLECLK] = 4;
    m[SM_CXEDGE] = 2, m[SM_CYEDGE] = 2;
    m[SM_CXSMICON] = 16, m[SM_CYSMICON] = 16;
    m[SM_CYSMCAPTION] = 15;
    m[SM_CXSMSIZE] = 12, m[SM_CYSMSIZE] = 15;
    m[SM_CXDRAG] = 4, m[SM_CYDRAG] = 4;
    m[SM_CXMENUCHECK] = 13, m[SM_CYMENUCHECK] = 13;
    return m;
}

struct ColorName {
    TColor color;
    const char* name;
};
constexpr ColorName kColorNames[] = {
    {clBlack, "clBlack"},
    {clMaroon, "clMaroon"},
    {clGreen, "clGreen"},
    {clOlive, "clOlive"},
    {clNavy, "clNavy"},
    {clPurple, "clPurple"},
    {clTeal, "clTeal"},
    {clGray, "clGray"},
    {clSilver, "clSilver"},
    {clRed, "clRed"},
    {clLime, "clLime"},
    {clYellow, "clYellow"},
    {clBlue, "clBlue"},
    {clFuchsia, "clFuchsia"},
    {clAqua, "clAqua"},
    {clWhite, "clWhite"},
    {clScrollBar, "clScrollBar"},
    {clBackground, "clBackground"},
    {clActiveCaption, "clActiveCaption"},
    {clInactiveCaption, "clInactiveCaption"},
    {clMenu, "clMenu"},
    {clWindow, "clWindow"},
    {clWindowFrame, "clWindowFrame"},
    {clMenuText, "clMenuText"},
    {clWindowText, "clWindowText"},
    {clCaptionText, "clCaptionText"},
    {clActiveBorder, "clActiveBorder"},
    {clInactiveBorder, "clInactiveBorder"},
    {clAppWorkSpace, "clAppWorkSpace"},
    {clHighlight, "clHighlight"},
    {clHighlightText, "clHighlightText"},
    {clBtnFace, "clBtnFace"},
    {clBtnShadow, "clBtnShadow"},
    {clGrayText, "clGrayText"},
    {clBtnText, "clBtnText"},
    {clInactiveCaptionText, "clInactiveCaptionText"},
    {clBtnHighlight, "clBtnHighlight"},
    {cl3DDkShadow, "cl3DDkShadow"},
    {cl3DLight, "cl3DLight"},
    {clInfoText, "clInfoText"},
    {clInfoBk, "clInfoBk"},
    {clHotLight, "clHotLight"},
    {clGradientActiveCaption, "clGradientActiveCaption"},
    {clGradientInactiveCaption, "clGradientInactiveCaption"},
    {clNone, "clNone"},
    {clDefault, "clDefault"},
};

}  // namespace

namespace detail {
std::array<COLORREF, COLOR_SYSCOLOR_COUNT> DefaultSysColors() { return kDefaultSysColors; }
std::array<int, SM_METRIC_COUNT> DefaultMetrics() { return StartMetrics(); }
}  // namespace detail

COLORREF GetSysColor(int index) {
    return index >= 0 && index < COLOR_SYSCOLOR_COUNT ? detail::Ui().sys_colors[size_t(index)] : 0;
}
void SetSysColor(int index, COLORREF value) {
    if (index >= 0 && index < COLOR_SYSCOLOR_COUNT) detail::Ui().sys_colors[size_t(index)] = value & 0xFFFFFF;
}

bool IsSysColor(TColor color) { return (uint32_t(color) & 0xFF000000u) == 0x80000000u; }

COLORREF ColorToRGB(TColor color) {
    if (IsSysColor(color)) return GetSysColor(color & 0xFF);
    return uint32_t(color);
}

bool IdentToColor(const std::string& ident, TColor& color) {
    for (const auto& c : kColorNames) {
        if (strcasecmp(c.name, ident.c_str()) == 0) {
            color = c.color;
            return true;
        }
    }
    return false;
}

std::string ColorToString(TColor color) {
    for (const auto& c : kColorNames)
        if (c.color == color) return c.name;
    char buf[16];
    std::snprintf(buf, sizeof buf, "$%08X", unsigned(color));
    return buf;
}

TColor StringToColor(const std::string& text) {
    TColor color = 0;
    if (IdentToColor(text, color)) return color;
    std::string_view s = text;
    int base = 10;
    bool negative = false;
    if (!s.empty() && s.front() == '-') negative = true, s.remove_prefix(1);
    if (!s.empty() && s.front() == '$')
        base = 16, s.remove_prefix(1);
    else if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X'))
        base = 16, s.remove_prefix(2);
    uint32_t value = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value, base);
    if (s.empty() || ec != std::errc() || end != s.data() + s.size())
        throw EConvertError("'" + text + "' is not a valid integer value");
    return TColor(negative ? uint32_t(0) - value : value);
}

int GetSystemMetrics(int index) {
    return index >= 0 && index < SM_METRIC_COUNT ? detail::Ui().metrics[size_t(index)] : 0;
}
void SetSystemMetric(int index, int value) {
    if (index >= 0 && index < SM_METRIC_COUNT) detail::Ui().metrics[size_t(index)] = value;
}

}  // namespace ui
