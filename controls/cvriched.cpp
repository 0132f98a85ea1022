// The enhanced rich edit and its text and paragraph attributes: every read
// and write is one exchange of format messages with the control's window.
#include "controls/cvriched.hpp"

#include <algorithm>
#include <cstring>

#include "framework/ui/ole_dialogs.hpp"
#include "framework/ui/ole_frame.hpp"

namespace controls {

using namespace ui;

namespace {

bool HasWindow(const TCvCustomRichEdit* r) { return r && r->HandleAllocated(); }
uint32_t CharSize() { return RichEditVersion() == 1 ? kCharFormatSize1 : kCharFormatSize2; }
uint32_t ParaSize() { return RichEditVersion() == 1 ? kParaFormatSize1 : kParaFormatSize2; }

uint32_t EffectsOf(unsigned style) {
    return ((style & fsBold) ? CFE_BOLD : 0u) | ((style & fsItalic) ? CFE_ITALIC : 0u) |
        ((style & fsUnderline) ? CFE_UNDERLINE : 0u) | ((style & fsStrikeOut) ? CFE_STRIKEOUT : 0u);
}
uint8_t PitchByte(TFontPitch p) {
    return p == fpVariable ? VARIABLE_PITCH : p == fpFixed ? FIXED_PITCH : DEFAULT_PITCH;
}

// The colour a record carries: the automatic colour for the window text's.
void PutColor(CHARFORMAT2& cf, TColor v) {
    if (v == clWindowText || v == clDefault)
        cf.dwEffects |= CFE_AUTOCOLOR;
    else
        cf.crTextColor = ColorToRGB(v);
}

void PutName(CHARFORMAT2& cf, const std::string& name) {
    // At most 31 characters and the terminator.
    std::memset(cf.szFaceName, 0, sizeof cf.szFaceName);
    std::memcpy(cf.szFaceName, name.data(), std::min<size_t>(name.size(), LF_FACESIZE - 1));
}

void CheckTab(int index) {
    if (index < 0 || index >= MAX_TAB_STOPS)
        throw EListError("Tab index out of bounds (" + std::to_string(index) + ")");
}

// The unit loads the rich-edit library when the program starts.
const struct AtStartUp {
    AtStartUp() { LoadRichEditLibrary(); }
} g_at_start_up;

}  // namespace

int RichEditVersion() {
    const int v = RichEditLibraryVersion();
    return v ? v : LoadRichEditLibrary();
}

// ---------------------------------------------------------------- text attributes

WPARAM TCvTextAttributes::Scope() const {
    return kind_ == akDefaultText ? SCF_DEFAULT : kind_ == akSelection ? SCF_SELECTION : SCF_SELECTION | SCF_WORD;
}

CHARFORMAT2 TCvTextAttributes::Read() const {
    CHARFORMAT2 cf;
    cf.cbSize = CharSize();
    if (HasWindow(rich_edit_)) SendMessage(rich_edit_->WindowHandle(), EM_GETCHARFORMAT, Scope(), LPARAM(&cf));
    return cf;
}

void TCvTextAttributes::Write(CHARFORMAT2& cf) const {
    cf.cbSize = CharSize();
    if (HasWindow(rich_edit_)) SendMessage(rich_edit_->WindowHandle(), EM_SETCHARFORMAT, Scope(), LPARAM(&cf));
}

int TCvTextAttributes::Charset() const { return Read().bCharSet; }
void TCvTextAttributes::SetCharset(int v) {
    CHARFORMAT2 cf;
    cf.dwMask = CFM_CHARSET;
    cf.bCharSet = uint8_t(v);
    Write(cf);
}

TColor TCvTextAttributes::Color() const {
    const CHARFORMAT2 cf = Read();
    return (cf.dwEffects & CFE_AUTOCOLOR) ? clWindowText : TColor(cf.crTextColor);
}
void TCvTextAttributes::SetColor(TColor v) {
    CHARFORMAT2 cf;
    cf.dwMask = CFM_COLOR;
    PutColor(cf, v);
    Write(cf);
}

std::string TCvTextAttributes::Name() const {
    const CHARFORMAT2 cf = Read();
    return std::string(cf.szFaceName, strnlen(cf.szFaceName, LF_FACESIZE));
}
void TCvTextAttributes::SetName(const std::string& v) {
    CHARFORMAT2 cf;
    cf.dwMask = CFM_FACE;
    PutName(cf, v);
    Write(cf);
}

unsigned TCvTextAttributes::Style() const {
    const uint32_t e = Read().dwEffects;
    return ((e & CFE_BOLD) ? fsBold : 0u) | ((e & CFE_ITALIC) ? fsItalic : 0u) |
        ((e & CFE_UNDERLINE) ? fsUnderline : 0u) | ((e & CFE_STRIKEOUT) ? fsStrikeOut : 0u);
}
void TCvTextAttributes::SetStyle(unsigned v) {
    CHARFORMAT2 cf;
    cf.dwMask = CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE | CFM_STRIKEOUT;
    cf.dwEffects = EffectsOf(v);
    Write(cf);
}

int TCvTextAttributes::Size() const { return Read().yHeight / 20; }

TFontPitch TCvTextAttributes::Pitch() const {
    const uint8_t p = Read().bPitchAndFamily & 3;
    return p == FIXED_PITCH ? fpFixed : p == VARIABLE_PITCH ? fpVariable : fpDefault;
}
void TCvTextAttributes::SetPitch(TFontPitch v) {
    // No mask bit: the control keeps the pitch it has (it takes one only with a face).
    CHARFORMAT2 cf;
    cf.bPitchAndFamily = PitchByte(v);
    Write(cf);
}

void TCvTextAttributes::Assign(TPersistent* source) {
    if (auto* font = dynamic_cast<TFont*>(source)) {
        CHARFORMAT2 cf;
        cf.dwMask = CFM_SIZE | CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE | CFM_STRIKEOUT | CFM_FACE | CFM_COLOR |
            CFM_CHARSET | CFM_WEIGHT;
        cf.yHeight = font->Size() * 20;
        cf.dwEffects = EffectsOf(font->Style());
        cf.wWeight = font->Log().bold ? 700 : 400;
        PutName(cf, font->Name());
        cf.bPitchAndFamily = PitchByte(font->Pitch());
        PutColor(cf, font->Color());
        cf.bCharSet = uint8_t(font->Charset());
        Write(cf);
        return;
    }
    if (auto* other = dynamic_cast<TCvTextAttributes*>(source)) {
        CHARFORMAT2 cf = other->Read();
        Write(cf);
        return;
    }
    if (auto* text = dynamic_cast<TTextAttributes*>(source)) {
        SetName(text->Name());
        SetCharset(text->Charset());
        SetStyle(text->Style());
        SetPitch(text->Pitch());
        SetColor(text->Color());
        return;
    }
    TPersistent::Assign(source);
}

void TCvTextAttributes::AssignTo(TPersistent* dest) {
    if (auto* font = dynamic_cast<TFont*>(dest)) {
        font->SetColor(Color());
        font->SetName(Name());
        font->SetCharset(Charset());
        font->SetStyle(Style());
        font->SetSize(Size());
        font->SetPitch(Pitch());
        return;
    }
    if (auto* text = dynamic_cast<TTextAttributes*>(dest)) {
        text->SetColor(Color());
        text->SetName(Name());
        text->SetCharset(Charset());
        text->SetStyle(Style());
        text->SetPitch(Pitch());
        return;
    }
    TPersistent::AssignTo(dest);
}

// ---------------------------------------------------------------- paragraph attributes

PARAFORMAT2 TCvParaAttributes::Read() const {
    PARAFORMAT2 pf;
    pf.cbSize = ParaSize();
    if (HasWindow(rich_edit_)) SendMessage(rich_edit_->WindowHandle(), EM_GETPARAFORMAT, 0, LPARAM(&pf));
    return pf;
}

void TCvParaAttributes::Write(PARAFORMAT2& pf) const {
    pf.cbSize = ParaSize();
    if (HasWindow(rich_edit_)) SendMessage(rich_edit_->WindowHandle(), EM_SETPARAFORMAT, 0, LPARAM(&pf));
}

TCvParaAlignment TCvParaAttributes::Alignment() const {
    const uint16_t a = Read().wAlignment;
    // A value the control should never give reads as left.
    return a >= PFA_LEFT && a <= PFA_JUSTIFY ? TCvParaAlignment(a - 1) : paLeftJustify;
}
void TCvParaAttributes::SetAlignment(TCvParaAlignment v) {
    PARAFORMAT2 pf;
    pf.dwMask = PFM_ALIGNMENT;
    pf.wAlignment = uint16_t(v + 1);
    Write(pf);
}

TCvNumbering TCvParaAttributes::Numbering() const {
    const uint16_t n = Read().wNumbering;
    return RichEditVersion() == 1 && n != 0 ? 1 : n;
}
void TCvParaAttributes::SetNumbering(TCvNumbering v) {
    if (v == 0)
        SetLeftIndent(0);
    else if (LeftIndent() < 10)
        SetLeftIndent(10);
    PARAFORMAT2 pf;
    pf.dwMask = PFM_NUMBERING;
    pf.wNumbering = uint16_t(RichEditVersion() == 1 && v != 0 ? 1 : std::clamp(v, 0, 0xFFFF));
    Write(pf);
}

int TCvParaAttributes::FirstIndent() const { return Read().dxStartIndent / 20; }
void TCvParaAttributes::SetFirstIndent(int v) {
    PARAFORMAT2 pf;
    pf.dwMask = PFM_STARTINDENT;
    pf.dxStartIndent = v * 20;
    Write(pf);
}
int TCvParaAttributes::LeftIndent() const { return Read().dxOffset / 20; }
void TCvParaAttributes::SetLeftIndent(int v) {
    PARAFORMAT2 pf;
    pf.dwMask = PFM_OFFSET;
    pf.dxOffset = v * 20;
    Write(pf);
}
int TCvParaAttributes::RightIndent() const { return Read().dxRightIndent / 20; }
void TCvParaAttributes::SetRightIndent(int v) {
    PARAFORMAT2 pf;
    pf.dwMask = PFM_RIGHTINDENT;
    pf.dxRightIndent = v * 20;
    Write(pf);
}

int TCvParaAttributes::Tab(int index) const {
    CheckTab(index);
    return Read().rgxTabs[index] / 20;
}
void TCvParaAttributes::SetTab(int index, int v) {
    CheckTab(index);
    PARAFORMAT2 pf = Read();
    pf.rgxTabs[index] = v * 20;
    pf.cTabCount = int16_t(std::max<int>(pf.cTabCount, index + 1));
    pf.dwMask = PFM_TABSTOPS;
    Write(pf);
}

void TCvParaAttributes::Assign(TPersistent* source) {
    if (auto* p = dynamic_cast<TParaAttributes*>(source)) {
        SetAlignment(p->Alignment() == taRightJustify ? paRightJustify
                         : p->Alignment() == taCenter ? paCenter
                                                      : paLeftJustify);
        SetFirstIndent(p->FirstIndent());
        SetLeftIndent(p->LeftIndent());
        SetRightIndent(p->RightIndent());
        SetNumbering(p->Numbering() == nsBullet ? 1 : 0);
        for (int i = 0; i < MAX_TAB_STOPS; ++i) SetTab(i, p->Tab(i));
        return;
    }
    if (auto* other = dynamic_cast<TCvParaAttributes*>(source)) {
        PARAFORMAT2 pf = other->Read();
        Write(pf);
        return;
    }
    TPersistent::Assign(source);
}

void TCvParaAttributes::AssignTo(TPersistent* dest) {
    if (auto* p = dynamic_cast<TParaAttributes*>(dest)) {
        const TCvParaAlignment a = Alignment();
        p->SetAlignment(a == paRightJustify ? taRightJustify : a == paCenter ? taCenter : taLeftJustify);
        p->SetFirstIndent(FirstIndent());
        p->SetLeftIndent(LeftIndent());
        p->SetRightIndent(RightIndent());
        p->SetNumbering(Numbering() != 0 ? nsBullet : nsNone);
        for (int i = 0; i < MAX_TAB_STOPS; ++i) p->SetTab(i, Tab(i));
        return;
    }
    TPersistent::AssignTo(dest);
}

// ---------------------------------------------------------------- the rich edit

TCvCustomRichEdit::TCvCustomRichEdit(TComponent* owner)
    : TCustomMemo(owner), def_(std::make_unique<TCvTextAttributes>(this, akDefaultText)),
      sel_(std::make_unique<TCvTextAttributes>(this, akSelection)),
      word_(std::make_unique<TCvTextAttributes>(this, akWord)), para_(std::make_unique<TCvParaAttributes>(this)),
      callback_(std::make_unique<TRichEditOleCallback>(this)) {
    RichEditVersion();
}

TCvCustomRichEdit::~TCvCustomRichEdit() = default;

void TCvCustomRichEdit::BeforeDestruction() {
    // The window and its objects go before the callback they talk to.
    DestroyHandle();
    TCustomMemo::BeforeDestruction();
}

void TCvCustomRichEdit::CreateHandleDone() {
    TCustomMemo::CreateHandleDone();
    InitRichEditWindow(handle_, color_);
    SendMessage(handle_, EM_SETOLECALLBACK, 0, LPARAM(static_cast<ole::IRichEditOleCallback*>(callback_.get())));
}

void TCvCustomRichEdit::DestroyWnd() {
    if (HandleAllocated()) text_ = GetWindowText(handle_);
    TCustomMemo::DestroyWnd();
}

void TCvCustomRichEdit::WndProc(TMessage& m) {
    if (RichEditChanged(m, [this] { Change(); })) return;
    if (m.Msg == CM_COLORCHANGED && HandleAllocated())
        SendMessage(handle_, EM_SETBKGNDCOLOR, color_ == clWindow, LPARAM(ColorToRGB(color_)));
    TCustomMemo::WndProc(m);
}

void TCvCustomRichEdit::DefaultHandler(TMessage& m) {
    if (handle_) m.Result = CallClassProc(RichEditClassName(), handle_, m.Msg, m.WParam, m.LParam);
}

void TCvCustomRichEdit::SetUIActive(bool active) {
    TCustomForm* form = GetParentForm(this);
    if (!form) return;
    TOleFormFrame* frame = OleFormFrame(form);
    if (active) {
        TWinControl* other = frame->ActiveOleControl();
        if (other && other != this) other->Perform(CM_UIDEACTIVATE);
        frame->SetActiveOleControl(this);
        if (AllowInPlace && CanFocus()) SetFocus();
    } else {
        if (frame->ActiveOleControl() == this) frame->SetActiveOleControl(nullptr);
        if (form->ActiveControl() == this && AllowInPlace) {
            ui::SetFocus(Handle());
            if (OnEnter) OnEnter(this);
        }
    }
}

int TCvCustomRichEdit::ObjectCount() {
    ole::IRichEditOle* reo = nullptr;
    if (!GetRichEditOle(Handle(), reo)) return 0;
    const int n = reo->GetObjectCount();
    ReleaseObject(reo);
    return n;
}

void TCvCustomRichEdit::InsertObjectFromFile(const std::string& path, bool link, bool as_icon) {
    ole::IRichEditOle* reo = nullptr;
    if (!GetRichEditOle(Handle(), reo)) ole::OleCheck(ole::E_NOINTERFACE);
    ole::ComPtr<ole::IRichEditOle> rich = ole::ComPtr<ole::IRichEditOle>::Attach(reo);
    ole::ComPtr<ole::IOleClientSite> site;
    ole::OleCheck(rich->GetClientSite(site.Put()));
    ole::ComPtr<ole::IStorage> storage;
    ole::OleCheck(callback_->GetNewStorage(storage.Put()));
    const std::u16string wide = ole::AnsiToWide(path);
    ole::ComPtr<ole::IOleObject> object;
    const ole::FORMATETC format;
    if (link)
        ole::OleCheck(ole::OleCreateLinkToFile(wide.c_str(), ole::IOleObject::kIid, ole::OLERENDER_DRAW, &format,
                                               site.Get(), storage.Get(), object.PutVoid()));
    else
        ole::OleCheck(ole::OleCreateFromFile(ole::GUID_NULL, wide.c_str(), ole::IOleObject::kIid, ole::OLERENDER_DRAW,
                                             &format, site.Get(), storage.Get(), object.PutVoid()));
    ole::REOBJECT re;
    re.cp = ole::REO_CP_SELECTION;
    object->GetUserClassID(&re.clsid);
    ole::OleCheck(callback_->QueryInsertObject(&re.clsid, storage.Get(), re.cp));
    re.poleobj = object.Get();
    re.pstg = storage.Get();
    re.polesite = site.Get();
    re.dvaspect = ole::DVASPECT_CONTENT;
    re.dwFlags = ole::REO_RESIZABLE | ole::REO_DYNAMICSIZE;
    object->GetExtent(re.dvaspect, &re.sizel);
    ole::OleCheck(rich->InsertObject(&re));
    if (as_icon) {
        SendMessage(Handle(), EM_SETSEL, WPARAM(re.cp), re.cp + 1);
        ole::REOBJECT selected;
        if (SelectedObject(selected)) {
            auto info = ole::MakeCom<TOleUIObjInfo>(this, selected);
            info->SetViewInfo(0, nullptr, ole::DVASPECT_ICON, 100, false);
            ReleaseObject(selected.poleobj), ReleaseObject(selected.pstg), ReleaseObject(selected.polesite);
        }
        SendMessage(Handle(), EM_SETSEL, WPARAM(re.cp) + 1, re.cp + 1);
    }
}

bool TCvCustomRichEdit::SelectedObject(ole::REOBJECT& out) {
    ole::IRichEditOle* reo = nullptr;
    if (!GetRichEditOle(Handle(), reo)) return false;
    out = {};
    const ole::HRESULT hr = reo->GetObject(ole::REO_IOB_SELECTION, &out, ole::REO_GETOBJ_ALL_INTERFACES);
    ReleaseObject(reo);
    return ole::SUCCEEDED(hr);
}

bool TCvCustomRichEdit::ObjectPropertiesDialog() {
    ole::REOBJECT re;
    if (!SelectedObject(re)) return false;
    auto info = ole::MakeCom<TOleUIObjInfo>(this, re);
    ole::ComPtr<TOleUILinkInfo> link;
    ole::OLEUIOBJECTPROPS props;
    props.dwFlags = ole::OPF_DISABLECONVERT;
    props.lpObjInfo = info.Get();
    if (re.dwFlags & ole::REO_LINK) {
        link = ole::MakeCom<TOleUILinkInfo>(this, re);
        props.dwFlags |= ole::OPF_OBJECTISLINK;
        props.lpLinkInfo = link.Get();
        props.dwLink = link->GetNextLink(0);
    }
    if (TCustomForm* form = GetParentForm(this)) props.hWndOwner = form->Handle();
    const unsigned result = OleUIObjectProperties(props);
    ReleaseObject(re.poleobj), ReleaseObject(re.pstg), ReleaseObject(re.polesite);
    return result == ole::OLEUI_OK;
}

bool TCvCustomRichEdit::LinksDialog() {
    ole::REOBJECT re;
    if (!SelectedObject(re)) return false;
    bool shown = false;
    if (re.dwFlags & ole::REO_LINK) {
        auto link = ole::MakeCom<TOleUILinkInfo>(this, re);
        ole::OLEUIEDITLINKS links;
        links.lpOleUILinkContainer = link.Get();
        if (TCustomForm* form = GetParentForm(this)) links.hWndOwner = form->Handle();
        shown = OleUIEditLinks(links) == ole::OLEUI_OK;
    }
    ReleaseObject(re.poleobj), ReleaseObject(re.pstg), ReleaseObject(re.polesite);
    return shown;
}

}  // namespace controls
