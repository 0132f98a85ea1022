#pragma once
// The system's colours, metrics and parameters: the colour table behind the
// system colours, the metrics, the fonts and sizes of frames and captions,
// the gradient-captions setting, the system's version and the
// new-style-controls flag. Tests change them; UiReset puts the defaults back.
#include "framework/ui/sysparams_types.hpp"

namespace ui {

// The system colour table; tests may change entries.
COLORREF GetSysColor(int index);
void SetSysColor(int index, COLORREF value);
// The RGB value of a colour: system colours through the table; anything else
// (clNone and clDefault included) as it is.
COLORREF ColorToRGB(TColor color);

int GetSystemMetrics(int index);  // 0 for an unknown index
void SetSystemMetric(int index, int value);

// False, leaving `out` alone, while the system will not give them
// (SetNonClientMetricsAvailable(false)).
bool GetNonClientMetrics(NonClientMetrics& out);
void SetNonClientMetrics(const NonClientMetrics& metrics);
void SetNonClientMetricsAvailable(bool available);

// Whether title bars are drawn as a gradient from the caption colour to the
// gradient caption colour (on by default).
bool GradientCaptions();
void SetGradientCaptions(bool on);

SystemVersion GetSystemVersion();
void SetSystemVersion(const SystemVersion& version);

// Controls draw the flat three-dimensional look of the newer systems (on by default).
bool NewStyleControls();
void SetNewStyleControls(bool on);

}  // namespace ui
