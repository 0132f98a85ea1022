// A change of the user's regional settings reaches the program as the
// desktop's WM_WININICHANGE: the format settings in force follow the user's
// first, so that whoever hears the message reads the new ones.
#include <algorithm>

#include "framework/ui/forms.hpp"
#include "platform/locale.hpp"
#include "platform/regional.hpp"

namespace ui {

int TApplication::HookMainWindow(TWindowHook hook) {
    window_hooks_.emplace_back(next_hook_, std::move(hook));
    return next_hook_++;
}

void TApplication::UnhookMainWindow(int id) {
    window_hooks_.erase(std::remove_if(window_hooks_.begin(), window_hooks_.end(),
                                       [id](const auto& entry) { return entry.first == id; }),
                        window_hooks_.end());
}

void TApplication::SettingsChanged() {
    if (UpdateFormatSettings) {
        const platform::RegionalSettings& user = platform::Regional();
        platform::FormatSettings() = {user.short_date_format, user.date_separator};
    }
    TMessage m{WM_WININICHANGE, 0, 0, 0};
    // A hook may unhook itself or others: call the ones there were, if still there.
    const auto hooks = window_hooks_;
    for (const auto& [id, hook] : hooks) {
        const bool present = std::any_of(window_hooks_.begin(), window_hooks_.end(),
                                         [id = id](const auto& entry) { return entry.first == id; });
        if (present && hook && hook(m)) break;
    }
    for (HWND h : GetTopLevelWindows()) SendMessage(h, WM_WININICHANGE);
}

}  // namespace ui
