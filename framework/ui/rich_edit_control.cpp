// The class library's rich edit and its text and paragraph attributes.
#include "framework/ui/rich_edit_control.hpp"

#include <algorithm>
#include <cstring>

namespace ui {

namespace {

constexpr uint32_t ENM_CHANGE = 0x1;

bool HasWindow(const TWinControl* c) { return c && c->HandleAllocated(); }

}  // namespace

uint32_t CharFormatSize() { return RichEditLibraryVersion() == 1 ? kCharFormatSize1 : kCharFormatSize2; }
uint32_t ParaFormatSize() { return RichEditLibraryVersion() == 1 ? kParaFormatSize1 : kParaFormatSize2; }

// ---------------------------------------------------------------- text attributes

CHARFORMAT2 TTextAttributes::Get() const {
    CHARFORMAT2 cf;
    cf.cbSize = CharFormatSize();
    if (HasWindow(owner_))
        SendMessage(owner_->WindowHandle(), EM_GETCHARFORMAT, type_ == atSelected ? SCF_SELECTION : SCF_DEFAULT,
                    LPARAM(&cf));
    return cf;
}

void TTextAttributes::Set(CHARFORMAT2& cf, uint32_t mask) {
    cf.cbSize = CharFormatSize();
    cf.dwMask = mask;
    if (HasWindow(owner_))
        SendMessage(owner_->WindowHandle(), EM_SETCHARFORMAT, type_ == atSelected ? SCF_SELECTION : SCF_DEFAULT,
                    LPARAM(&cf));
}

TColor TTextAttributes::Color() const {
    const CHARFORMAT2 cf = Get();
    return (cf.dwEffects & CFE_AUTOCOLOR) ? clWindowText : TColor(cf.crTextColor);
}

void TTextAttributes::SetColor(TColor v) {
    CHARFORMAT2 cf;
    if (v == clWindowText)
        cf.dwEffects = CFE_AUTOCOLOR;
    else
        cf.crTextColor = ColorToRGB(v);
    Set(cf, CFM_COLOR);
}

std::string TTextAttributes::Name() const {
    const CHARFORMAT2 cf = Get();
    return std::string(cf.szFaceName, strnlen(cf.szFaceName, LF_FACESIZE));
}

void TTextAttributes::SetName(const std::string& v) {
    CHARFORMAT2 cf;
    std::memcpy(cf.szFaceName, v.data(), std::min<size_t>(v.size(), LF_FACESIZE - 1));
    Set(cf, CFM_FACE);
}

TFontPitch TTextAttributes::Pitch() const {
    const uint8_t p = Get().bPitchAndFamily & 3;
    return p == FIXED_PITCH ? fpFixed : p == VARIABLE_PITCH ? fpVariable : fpDefault;
}

void TTextAttributes::SetPitch(TFontPitch v) {
    CHARFORMAT2 cf;
    cf.bPitchAndFamily = v == fpVariable ? VARIABLE_PITCH : v == fpFixed ? FIXED_PITCH : DEFAULT_PITCH;
    Set(cf, 0);
}

int TTextAttributes::Size() const { return TwipsToPoints(Get().yHeight); }

void TTextAttributes::SetSize(int points) {
    CHARFORMAT2 cf;
    cf.yHeight = PointsToTwips(points);
    Set(cf, CFM_SIZE);
}

int TTextAttributes::Height() const { return -((Size() * kPixelsPerInch + 36) / 72); }
void TTextAttributes::SetHeight(int pixels) { SetSize((std::abs(pixels) * 72 + kPixelsPerInch / 2) / kPixelsPerInch); }

unsigned TTextAttributes::Style() const {
    const uint32_t e = Get().dwEffects;
    return ((e & CFE_BOLD) ? fsBold : 0u) | ((e & CFE_ITALIC) ? fsItalic : 0u) |
        ((e & CFE_UNDERLINE) ? fsUnderline : 0u) | ((e & CFE_STRIKEOUT) ? fsStrikeOut : 0u);
}

void TTextAttributes::SetStyle(unsigned v) {
    CHARFORMAT2 cf;
    cf.dwEffects = ((v & fsBold) ? CFE_BOLD : 0u) | ((v & fsItalic) ? CFE_ITALIC : 0u) |
        ((v & fsUnderline) ? CFE_UNDERLINE : 0u) | ((v & fsStrikeOut) ? CFE_STRIKEOUT : 0u);
    Set(cf, CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE | CFM_STRIKEOUT);
}

int TTextAttributes::Charset() const { return Get().bCharSet; }

void TTextAttributes::SetCharset(int v) {
    CHARFORMAT2 cf;
    cf.bCharSet = uint8_t(v);
    Set(cf, CFM_CHARSET);
}

bool TTextAttributes::Protected() const { return Get().dwEffects & CFE_PROTECTED; }

void TTextAttributes::SetProtected(bool v) {
    CHARFORMAT2 cf;
    cf.dwEffects = v ? CFE_PROTECTED : 0;
    Set(cf, CFM_PROTECTED);
}

unsigned TTextAttributes::ConsistentAttributes() const {
    const uint32_t m = Get().dwMask;
    return ((m & CFM_BOLD) ? caBold : 0u) | ((m & CFM_COLOR) ? caColor : 0u) | ((m & CFM_FACE) ? caFace : 0u) |
        ((m & CFM_ITALIC) ? caItalic : 0u) | ((m & CFM_SIZE) ? caSize : 0u) | ((m & CFM_STRIKEOUT) ? caStrikeOut : 0u) |
        ((m & CFM_UNDERLINE) ? caUnderline : 0u) | ((m & CFM_PROTECTED) ? caProtected : 0u);
}

void TTextAttributes::Assign(TPersistent* source) {
    if (auto* f = dynamic_cast<TFont*>(source)) {
        SetColor(f->Color());
        SetName(f->Name());
        SetCharset(f->Charset());
        SetStyle(f->Style());
        SetSize(f->Size());
        SetPitch(f->Pitch());
        return;
    }
    if (auto* t = dynamic_cast<TTextAttributes*>(source)) {
        SetColor(t->Color());
        SetName(t->Name());
        SetCharset(t->Charset());
        SetStyle(t->Style());
        SetPitch(t->Pitch());
        return;
    }
    TPersistent::Assign(source);
}

void TTextAttributes::AssignTo(TPersistent* dest) {
    if (auto* f = dynamic_cast<TFont*>(dest)) {
        f->SetColor(Color());
        f->SetName(Name());
        f->SetCharset(Charset());
        f->SetStyle(Style());
        f->SetSize(Size());
        f->SetPitch(Pitch());
        return;
    }
    if (auto* t = dynamic_cast<TTextAttributes*>(dest)) return t->Assign(this);
    TPersistent::AssignTo(dest);
}

// ---------------------------------------------------------------- paragraph attributes

PARAFORMAT2 TParaAttributes::Get() const {
    PARAFORMAT2 pf;
    pf.cbSize = ParaFormatSize();
    if (HasWindow(owner_)) SendMessage(owner_->WindowHandle(), EM_GETPARAFORMAT, 0, LPARAM(&pf));
    return pf;
}

void TParaAttributes::Set(PARAFORMAT2& pf, uint32_t mask) {
    pf.cbSize = ParaFormatSize();
    pf.dwMask = mask;
    if (HasWindow(owner_)) SendMessage(owner_->WindowHandle(), EM_SETPARAFORMAT, 0, LPARAM(&pf));
}

TAlignment TParaAttributes::Alignment() const {
    switch (Get().wAlignment) {
    case PFA_RIGHT: return taRightJustify;
    case PFA_CENTER: return taCenter;
    default: return taLeftJustify;
    }
}

void TParaAttributes::SetAlignment(TAlignment v) {
    PARAFORMAT2 pf;
    pf.wAlignment = v == taRightJustify ? PFA_RIGHT : v == taCenter ? PFA_CENTER : PFA_LEFT;
    Set(pf, PFM_ALIGNMENT);
}

int TParaAttributes::FirstIndent() const { return TwipsToPoints(Get().dxStartIndent); }
void TParaAttributes::SetFirstIndent(int v) {
    PARAFORMAT2 pf;
    pf.dxStartIndent = PointsToTwips(v);
    Set(pf, PFM_STARTINDENT);
}
int TParaAttributes::LeftIndent() const { return TwipsToPoints(Get().dxOffset); }
void TParaAttributes::SetLeftIndent(int v) {
    PARAFORMAT2 pf;
    pf.dxOffset = PointsToTwips(v);
    Set(pf, PFM_OFFSET);
}
int TParaAttributes::RightIndent() const { return TwipsToPoints(Get().dxRightIndent); }
void TParaAttributes::SetRightIndent(int v) {
    PARAFORMAT2 pf;
    pf.dxRightIndent = PointsToTwips(v);
    Set(pf, PFM_RIGHTINDENT);
}

TNumberingStyle TParaAttributes::Numbering() const { return Get().wNumbering ? nsBullet : nsNone; }

void TParaAttributes::SetNumbering(TNumberingStyle v) {
    if (v == nsBullet && LeftIndent() < 10) SetLeftIndent(10);
    if (v == nsNone) SetLeftIndent(0);
    PARAFORMAT2 pf;
    pf.wNumbering = v == nsBullet ? PFN_BULLET : 0;
    Set(pf, PFM_NUMBERING);
}

int TParaAttributes::Tab(int index) const {
    if (index < 0 || index >= MAX_TAB_STOPS) throw EListError("Tab index out of bounds");
    return TwipsToPoints(Get().rgxTabs[index]);
}

void TParaAttributes::SetTab(int index, int v) {
    if (index < 0 || index >= MAX_TAB_STOPS) throw EListError("Tab index out of bounds");
    PARAFORMAT2 pf = Get();
    pf.rgxTabs[index] = PointsToTwips(v);
    pf.cTabCount = int16_t(std::max<int>(pf.cTabCount, index + 1));
    Set(pf, PFM_TABSTOPS);
}

int TParaAttributes::TabCount() const { return Get().cTabCount; }

void TParaAttributes::SetTabCount(int v) {
    PARAFORMAT2 pf = Get();
    pf.cTabCount = int16_t(std::clamp(v, 0, MAX_TAB_STOPS));
    Set(pf, PFM_TABSTOPS);
}

void TParaAttributes::Assign(TPersistent* source) {
    if (auto* p = dynamic_cast<TParaAttributes*>(source)) {
        SetAlignment(p->Alignment());
        SetFirstIndent(p->FirstIndent());
        SetLeftIndent(p->LeftIndent());
        SetRightIndent(p->RightIndent());
        SetNumbering(p->Numbering());
        for (int i = 0; i < MAX_TAB_STOPS; ++i) SetTab(i, p->Tab(i));
        SetTabCount(p->TabCount());
        return;
    }
    TPersistent::Assign(source);
}

// ---------------------------------------------------------------- the control

void InitRichEditWindow(HWND h, TColor background) {
    SendMessage(h, EM_SETEVENTMASK, 0, ENM_CHANGE);
    SendMessage(h, EM_SETBKGNDCOLOR, background == clWindow, LPARAM(ColorToRGB(background)));
}

TCustomRichEdit::TCustomRichEdit(TComponent* owner)
    : TCustomMemo(owner), def_(std::make_unique<TTextAttributes>(this, atDefaultText)),
      sel_(std::make_unique<TTextAttributes>(this, atSelected)), para_(std::make_unique<TParaAttributes>(this)) {
    LoadRichEditLibrary();
}

TCustomRichEdit::~TCustomRichEdit() = default;

void TCustomRichEdit::CreateParams(ui::CreateParams& p) { TCustomMemo::CreateParams(p); }

void TCustomRichEdit::CreateHandleDone() {
    TCustomMemo::CreateHandleDone();
    InitRichEditWindow(handle_, color_);
}

bool RichEditChanged(TMessage& m, const std::function<void()>& change) {
    if (m.Msg != CN_COMMAND || (m.WParam >> 16) != EN_CHANGE) return false;
    change();
    return true;
}

void TCustomRichEdit::DestroyWnd() {
    // The text outlives the window (a new one starts from it).
    if (HandleAllocated()) text_ = GetWindowText(handle_);
    TCustomMemo::DestroyWnd();
}

void TCustomRichEdit::WndProc(TMessage& m) {
    if (RichEditChanged(m, [this] { Change(); })) return;
    if (m.Msg == CM_COLORCHANGED && HandleAllocated())
        SendMessage(handle_, EM_SETBKGNDCOLOR, color_ == clWindow, LPARAM(ColorToRGB(color_)));
    TCustomMemo::WndProc(m);
}

void TCustomRichEdit::DefaultHandler(TMessage& m) {
    if (handle_) m.Result = CallClassProc(RichEditClassName(), handle_, m.Msg, m.WParam, m.LParam);
}

}  // namespace ui
