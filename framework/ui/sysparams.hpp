#pragma once
// System parameters beside the colours and metrics of types.hpp: the fonts
// and sizes of frames and captions, the gradient-captions setting, the
// system's version and the new-style-controls flag. Tests change them;
// UiReset puts the defaults back.
#include "framework/ui/gdi.hpp"

namespace ui {

// What the system tells about non-client areas (its NONCLIENTMETRICS block).
struct NonClientMetrics {
    int border_width = 1;
    int scroll_width = 16, scroll_height = 16;
    int caption_width = 18, caption_height = 18;
    LogFont caption_font{"Tahoma", -11, true};
    int sm_caption_width = 12, sm_caption_height = 15;
    LogFont sm_caption_font{"Tahoma", -10, true};
    int menu_width = 18, menu_height = 18;
    LogFont menu_font{"Tahoma", -11};
    LogFont status_font{"Tahoma", -11};
    LogFont message_font{"Tahoma", -11};
};
// False, leaving `out` alone, while the system will not give them
// (SetNonClientMetricsAvailable(false)).
bool GetNonClientMetrics(NonClientMetrics& out);
void SetNonClientMetrics(const NonClientMetrics& metrics);
void SetNonClientMetricsAvailable(bool available);

// Whether title bars are drawn as a gradient from the caption colour to the
// gradient caption colour (on by default).
bool GradientCaptions();
void SetGradientCaptions(bool on);

enum : int { VER_PLATFORM_WIN32_WINDOWS = 1, VER_PLATFORM_WIN32_NT = 2 };
struct SystemVersion {
    int platform = VER_PLATFORM_WIN32_NT;
    int major = 5, minor = 1;
};
SystemVersion GetSystemVersion();
void SetSystemVersion(const SystemVersion& version);

// Controls draw the flat three-dimensional look of the newer systems (on by default).
bool NewStyleControls();
void SetNewStyleControls(bool on);

}  // namespace ui
