// What the engine's datasets share with the engine around them: its last
// error kept across calls, the messages and texts they show, the unit's
// start-up that gives the engine the user's formats, and the scope that
// leaves the engine as it found it around caller code.
#include <algorithm>

#include "engine/dataset/detail/texts.hpp"
#include "engine/dataset/engine_dataset.hpp"
#include "engine/dbf/areas.hpp"
#include "engine/dbf/dates.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/dbf/settings.hpp"
#include "engine/dbf/strings.hpp"
#include "framework/db/sysutils.hpp"
#include "framework/ui/forms.hpp"
#include "framework/ui/resources.hpp"
#include "platform/codepage.hpp"
#include "platform/locale.hpp"
#include "platform/msgbox.hpp"

namespace zurod {

KeepErrorScope::KeepErrorScope() : code_(LastErrorCode()), message_(code_ ? LastErrorMessage() : std::string()) {}

KeepErrorScope::~KeepErrorScope() {
    if (code_ != 0) RecordError(code_, message_);
}

std::string TzAllTrim(std::string_view s) {
    while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ') s.remove_prefix(1);
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') s.remove_suffix(1);
    return std::string(s);
}

bool SuspendEngineErrors() { return SetErrorHandling(false); }

void TzShowMessage(const std::string& text) {
    platform::ShowMessageBox(text, ui::Application().Title, platform::kMbOk);
}

std::string TzYesText() { return Cut(ui::LoadStr(db::SYes), 20); }
std::string TzNoText() { return Cut(ui::LoadStr(db::SNo), 20); }
std::string TzTrueText() { return Cut(ui::LoadStr(db::STextTrue), 20); }
std::string TzFalseText() { return Cut(ui::LoadStr(db::STextFalse), 20); }

uint8_t DateModeOfFormat(const std::string& format, char separator, bool& century) {
    century = platform::AnsiUpper(format).find("YYYY") != std::string::npos;
    const char first = format.empty() ? ' ' : format[0];
    if (first == 'D' || first == 'd') return separator == '-' ? 3 : separator == '.' ? 5 : 2;
    if (first == 'Y' || first == 'y') return 1;
    return 0;
}

void DatasetInit() {
    db::RegisterDataStrings();
    const platform::NumberFormatSettings numbers = platform::NumberSettings();
    SetNumberSeparators(numbers.decimal_separator, numbers.thousand_separator);
    const platform::DateFormatSettings user = platform::UserDateFormat();
    bool century = false;
    const uint8_t mode = DateModeOfFormat(user.short_date_format, user.date_separator, century);
    SetCentury(century);
    SetDateFormat(mode);
}

// ---------------------------------------------------------------- nested dispatch

TZoVizuRez::NestedDispatch::NestedDispatch(TZoVizuRez& dataset)
    : dataset_(dataset), area_(CurrentArea()), code_(LastErrorCode()), message_(code_ ? LastErrorMessage() : "") {
    dataset_.RestoreTypedBuffer();
    if (dataset_.field_props_) typed_.assign(dataset_.field_props_->typed.begin(), dataset_.field_props_->typed.end());
}

TZoVizuRez::NestedDispatch::~NestedDispatch() {
    Select(area_);
    const auto& props = dataset_.field_props_;
    // The area may have been closed meanwhile; only its own buffer is put back.
    if (props && dataset_.work_area_ == area_ && !Alias().empty()) {
        const std::span<char> typed = SwapBuffer();
        if (typed.data() == props->typed.data() && typed.size() == typed_.size())
            std::copy(typed_.begin(), typed_.end(), typed.begin());
    }
    if (dataset_.work_area_ != 0) Settings().ansi = dataset_.TableLanguage == tlAnsi;
    (void)TakeLastMessage();
    SetLastErrorCode(0);
    if (code_ != 0) RecordError(code_, message_);
}

}  // namespace zurod
