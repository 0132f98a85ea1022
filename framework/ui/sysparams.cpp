#include "framework/ui/sysparams.hpp"

#include "framework/ui/detail/state.hpp"

namespace ui {

namespace {

detail::SystemParams& P() { return detail::Ui().params; }

}  // namespace

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
