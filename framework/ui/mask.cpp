// Edit masks and TCustomMaskEdit.
#include "framework/ui/mask.hpp"

#include <algorithm>
#include <cctype>

#include "platform/locale.hpp"

namespace ui {

EditMaskInfo ParseEditMask(const std::string& mask) {
    EditMaskInfo info;
    int letter_case = 0;
    size_t i = 0;
    for (; i < mask.size() && mask[i] != ';'; ++i) {
        const char c = mask[i];
        MaskSlot s;
        s.letter_case = letter_case;
        switch (c) {
        case '!': info.leading_blanks = true; continue;
        case '>':
            if (i + 1 < mask.size() && mask[i + 1] == '<') {
                letter_case = 0;
                ++i;
            } else {
                letter_case = 1;
            }
            continue;
        case '<': letter_case = -1; continue;
        case '\\':
            if (++i >= mask.size()) continue;
            s.literal = mask[i];
            break;
        case '0': s.kind = MaskSlot::Digit, s.required = true; break;
        case '9': s.kind = MaskSlot::Digit; break;
        case '#': s.kind = MaskSlot::DigitOrSign; break;
        case 'L': s.kind = MaskSlot::Letter, s.required = true; break;
        case 'l': s.kind = MaskSlot::Letter; break;
        case 'A': s.kind = MaskSlot::AlphaNumeric, s.required = true; break;
        case 'a': s.kind = MaskSlot::AlphaNumeric; break;
        case 'C': s.kind = MaskSlot::Any, s.required = true; break;
        case 'c': s.kind = MaskSlot::Any; break;
        case '/': s.literal = platform::FormatSettings().date_separator; break;
        case ':': s.literal = ':'; break;
        default: s.literal = c; break;
        }
        info.slots.push_back(s);
    }
    if (i < mask.size()) {  // ";<save>;<blank>"
        ++i;
        if (i < mask.size() && mask[i] != ';') info.save_literals = mask[i++] != '0';
        if (i < mask.size() && mask[i] == ';' && i + 1 < mask.size()) info.blank = mask[i + 1];
    }
    return info;
}

char MaskAccepts(const MaskSlot& slot, char c) {
    const auto u = uint8_t(c);
    if (slot.letter_case > 0) c = char(std::toupper(u));
    if (slot.letter_case < 0) c = char(std::tolower(u));
    switch (slot.kind) {
    case MaskSlot::Literal: return 0;
    case MaskSlot::Digit: return std::isdigit(u) ? c : 0;
    case MaskSlot::DigitOrSign: return std::isdigit(u) || c == '+' || c == '-' ? c : 0;
    case MaskSlot::Letter: return std::isalpha(u) || u >= 0xC0 ? c : 0;
    case MaskSlot::AlphaNumeric: return std::isalnum(u) || u >= 0xC0 ? c : 0;
    case MaskSlot::Any: return u >= 32 ? c : 0;
    }
    return 0;
}

std::string FormatMaskText(const EditMaskInfo& mask, const std::string& value) {
    std::string out(mask.slots.size(), mask.blank);
    for (size_t i = 0; i < mask.slots.size(); ++i)
        if (mask.slots[i].kind == MaskSlot::Literal) out[i] = mask.slots[i].literal;
    if (mask.save_literals) {
        // The value lies position by position over the mask.
        for (size_t i = 0; i < mask.slots.size() && i < value.size(); ++i)
            if (mask.slots[i].kind != MaskSlot::Literal)
                if (const char c = MaskAccepts(mask.slots[i], value[i])) out[i] = c;
        return out;
    }
    // Only the characters: they fill the positions from the left, or from the right with '!'.
    std::vector<size_t> inputs;
    for (size_t i = 0; i < mask.slots.size(); ++i)
        if (mask.slots[i].kind != MaskSlot::Literal) inputs.push_back(i);
    const size_t n = std::min(inputs.size(), value.size());
    const size_t first = mask.leading_blanks ? inputs.size() - n : 0;
    for (size_t k = 0; k < n; ++k) {
        const size_t slot = inputs[first + k];
        if (const char c = MaskAccepts(mask.slots[slot], value[mask.leading_blanks ? value.size() - n + k : k]))
            out[slot] = c;
    }
    return out;
}

std::string MaskTextValue(const EditMaskInfo& mask, const std::string& edit_text) {
    std::string out;
    for (size_t i = 0; i < mask.slots.size() && i < edit_text.size(); ++i) {
        const bool literal = mask.slots[i].kind == MaskSlot::Literal;
        if (literal && !mask.save_literals) continue;
        out += !literal && edit_text[i] == mask.blank ? ' ' : edit_text[i];
    }
    if (!mask.save_literals) {
        // Without literals the value is its characters only.
        const size_t a = out.find_first_not_of(' '), b = out.find_last_not_of(' ');
        out = a == std::string::npos ? std::string() : out.substr(a, b - a + 1);
    }
    return out;
}

bool MaskComplete(const EditMaskInfo& mask, const std::string& edit_text) {
    for (size_t i = 0; i < mask.slots.size(); ++i)
        if (mask.slots[i].required && (i >= edit_text.size() || edit_text[i] == mask.blank || edit_text[i] == ' '))
            return false;
    return true;
}

// ---------------------------------------------------------------- TCustomMaskEdit

TCustomMaskEdit::TCustomMaskEdit(TComponent* owner) : TCustomEdit(owner) {}

void TCustomMaskEdit::SetEditMask(const std::string& v) {
    const std::string value = GetText();
    mask_text_ = v;
    mask_ = ParseEditMask(v);
    SetMaxLength(IsMasked() ? int(mask_.slots.size()) : 0);
    SetText(value);
}

std::string TCustomMaskEdit::GetText() const {
    const std::string shown = EditText();
    return IsMasked() ? MaskTextValue(mask_, shown) : shown;
}

void TCustomMaskEdit::SetText(const std::string& v) { SetEditText(IsMasked() ? FormatMaskText(mask_, v) : v); }

void TCustomMaskEdit::ValidateEdit() {
    if (IsMasked() && !MaskComplete(mask_, EditText())) {
        if (CanFocus() && HandleAllocated()) SetFocus();
        throw EDBEditError("Invalid input value");
    }
}

// The next input position from `pos` in `step` direction (1 or -1), or -1.
int TCustomMaskEdit::NextSlot(int pos, int step) const {
    for (int i = pos; i >= 0 && i < int(mask_.slots.size()); i += step)
        if (mask_.slots[size_t(i)].kind != MaskSlot::Literal) return i;
    return -1;
}

void TCustomMaskEdit::Put(int from, int to, const std::string& text, int caret) {
    Edit(EM_SETSEL, WPARAM(from), to);
    Edit(EM_REPLACESEL, 1, LPARAM(text.c_str()));
    Edit(EM_SETSEL, WPARAM(caret), caret);
}

void TCustomMaskEdit::Blank(int from, int to, int caret) {
    std::string fill;
    for (int i = from; i < to; ++i) {
        const MaskSlot& s = mask_.slots[size_t(i)];
        fill += s.kind == MaskSlot::Literal ? s.literal : mask_.blank;
    }
    Put(from, to, fill, caret);
}

void TCustomMaskEdit::Type(char c) {
    int from = SelStart();
    const int to = from + SelLength();
    const int slot = NextSlot(from, 1);
    if (slot < 0) return;
    const char accepted = MaskAccepts(mask_.slots[size_t(slot)], c);
    if (!accepted) return;
    if (to > from) Blank(from, to, from);
    const int next = NextSlot(slot + 1, 1);
    Put(slot, slot + 1, std::string(1, accepted), next < 0 ? slot + 1 : next);
}

void TCustomMaskEdit::WndProc(TMessage& m) {
    if (!IsMasked() || ReadOnly() || !HandleAllocated() ||
        (m.Msg != WM_CHAR && m.Msg != WM_KEYDOWN && m.Msg != WM_PASTE && m.Msg != WM_CUT && m.Msg != WM_CLEAR)) {
        TCustomEdit::WndProc(m);
        return;
    }
    const int from = SelStart(), to = from + SelLength();
    switch (m.Msg) {
    case WM_CHAR: {
        char c = char(m.WParam);
        KeyPress(c);
        if (c == '\b') {
            if (to > from)
                Blank(from, to, from);
            else if (const int slot = NextSlot(from - 1, -1); slot >= 0)
                Blank(slot, slot + 1, slot);
        } else if (uint8_t(c) >= 32) {
            Type(c);
        }
        return;
    }
    case WM_KEYDOWN: {
        UINT key = UINT(m.WParam);
        KeyDown(key, KeyboardShiftState());
        if (key == VK_DELETE && !(GetKeyState(VK_SHIFT) < 0)) {
            if (to > from)
                Blank(from, to, from);
            else if (from < int(mask_.slots.size()))
                Blank(from, from + 1, from);
            return;
        }
        if (key == 0) return;
        m.WParam = key;
        DefaultHandler(m);
        return;
    }
    case WM_PASTE:
        for (char c : GetClipboardText()) Type(c);
        return;
    case WM_CUT: CopyToClipboard(); [[fallthrough]];
    default:  // WM_CLEAR
        if (to > from) Blank(from, to, from);
        return;
    }
}

}  // namespace ui
