#include "framework/ui/sysparams.hpp"

#include <array>

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

detail::SystemParams& P() { return detail::Ui().params; }

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

COLORREF ColorToRGB(TColor color) {
    if (IsSysColor(color)) return GetSysColor(color & 0xFF);
    return uint32_t(color);
}

int GetSystemMetrics(int index) {
    return index >= 0 && index < SM_METRIC_COUNT ? detail::Ui().metrics[size_t(index)] : 0;
}
void SetSystemMetric(int index, int value) {
    if (index >= 0 && index < SM_METRIC_COUNT) detail::Ui().metrics[size_t(index)] = value;
}

bool GetNonClientMetrics(NonClientMetrics& out) {
    if (!P().nc_metrics_available) return false;
    out = P().nc_metrics;
    return true;
}
void SetNonClientMetrics(const NonClientMetrics& metrics) { P().nc_metrics = metrics; }
void SetNonClientMetricsAvailable(bool available) { P().nc_metrics_available = available; }

bool GradientCaptions() { return P().gradient_captions; }
void SetGradientCaptions(bool on) { P().gradient_captions = on; }

SystemVersion GetSystemVersion() { return P().version; }
void SetSystemVersion(const SystemVersion& version) { P().version = version; }

bool NewStyleControls() { return P().new_style_controls; }
void SetNewStyleControls(bool on) { P().new_style_controls = on; }

}  // namespace ui
