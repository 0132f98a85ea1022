#pragma once
// The masked edit of the class library and its mask syntax.
//
// A mask is "<positions>;<save literals>;<blank>". Positions: 0 digit, 9
// optional digit, # optional digit or sign, L letter, l optional letter, A
// letter or digit, a optional letter or digit, C any character, c optional
// any, / the date separator, : the time separator, \x the literal x, any
// other character itself. > makes what follows upper case, < lower case, <>
// neither; ! fits a shorter value to the right (leading blanks) instead of
// the left. The second field 0 keeps literals out of Text (1, the default,
// keeps them); the third is the character shown in empty positions ('_').
#include <string>
#include <vector>

#include "framework/ui/stdctrls.hpp"

namespace ui {

struct EDBEditError : EUiError {
    using EUiError::EUiError;
};

struct MaskSlot {
    enum Kind { Literal, Digit, DigitOrSign, Letter, AlphaNumeric, Any } kind = Literal;
    bool required = false;
    int letter_case = 0;  // 1 upper, -1 lower
    char literal = 0;
};

struct EditMaskInfo {
    std::vector<MaskSlot> slots;
    bool save_literals = true;
    bool leading_blanks = false;  // '!'
    char blank = '_';
};

EditMaskInfo ParseEditMask(const std::string& mask);
// The character as the slot takes it (its case changed), or 0 when it does not fit.
char MaskAccepts(const MaskSlot& slot, char c);
// What the edit shows for a value (with literals when they are saved).
std::string FormatMaskText(const EditMaskInfo& mask, const std::string& value);
// The value of what the edit shows: blanks become spaces; literals stay only
// when they are saved.
std::string MaskTextValue(const EditMaskInfo& mask, const std::string& edit_text);
// Whether every required position holds a character.
bool MaskComplete(const EditMaskInfo& mask, const std::string& edit_text);

// An edit that holds its text to a mask: typing overwrites the positions,
// skipping literals; Backspace and Delete blank them.
class TCustomMaskEdit : public TCustomEdit {
public:
    explicit TCustomMaskEdit(TComponent* owner);
    std::string ClassName() const override { return "TCustomMaskEdit"; }
    const std::string& EditMask() const { return mask_text_; }
    void SetEditMask(const std::string& v);
    bool IsMasked() const { return !mask_.slots.empty(); }
    const EditMaskInfo& Mask() const { return mask_; }
    // What the edit shows, blanks and literals included.
    std::string EditText() const { return TCustomEdit::GetText(); }
    void SetEditText(const std::string& v) { TCustomEdit::SetText(v); }
    std::string GetText() const override;
    void SetText(const std::string& v) override;
    // Raises EDBEditError when a required position is empty.
    void ValidateEdit();
    void WndProc(TMessage& m) override;

private:
    int NextSlot(int pos, int step) const;
    void Put(int from, int to, const std::string& text, int caret);
    void Type(char c);
    void Blank(int from, int to, int caret);

    std::string mask_text_;
    EditMaskInfo mask_;
};

class TMaskEdit : public TCustomMaskEdit {
public:
    using TCustomMaskEdit::TCustomMaskEdit;
    std::string ClassName() const override { return "TMaskEdit"; }
};

}  // namespace ui
