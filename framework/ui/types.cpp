#include "framework/ui/types.hpp"

#include <charconv>
#include <cstring>

namespace ui {

namespace {

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

bool IsSysColor(TColor color) { return (uint32_t(color) & 0xFF000000u) == 0x80000000u; }

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

}  // namespace ui
