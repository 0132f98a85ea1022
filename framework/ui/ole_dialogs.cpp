// The object-properties and links dialogs.
#include "framework/ui/ole_dialogs.hpp"

#include "framework/ui/resources.hpp"

namespace ui {

using namespace ole;

namespace {

// Takes a text out of task memory.
std::string Take(LPSTR s) {
    std::string out = s ? s : "";
    CoTaskMemFree(s);
    return out;
}

TLabel* Label(TForm* f, int x, int y, const std::string& text, bool bold = false) {
    auto* l = new TLabel(f);
    l->SetParent(f);
    l->ShowAccelChar = false;
    l->SetBounds(x, y, 10, 13);
    if (bold) l->Font()->SetStyle(fsBold);
    l->SetCaption(text);
    return l;
}

TButton* Button(TForm* f, int x, int y, int w, const std::string& text, int result = mrNone) {
    auto* b = new TButton(f);
    b->SetParent(f);
    b->SetBounds(x, y, w, 23);
    b->SetCaption(text);
    b->ModalResult = result;
    return b;
}

TOptionButton* Option(TForm* f, int x, int y, int w, const std::string& text, int group) {
    auto* o = new TOptionButton(f);
    o->SetParent(f);
    o->SetBounds(x, y, w, 17);
    o->SetCaption(text);
    o->GroupIndex = group;
    return o;
}

void DrawIcon(TCanvas* c, const IconPicture& icon, int x, int y) {
    const IconResource* res = FindIconResource(icon.icon);
    if (!res || !res->image) return;
    for (int yy = 0; yy < res->image->Height(); ++yy)
        for (int xx = 0; xx < res->image->Width(); ++xx)
            if (!res->mask || res->mask->Pixel(xx, yy) == 0)
                SetPixel(*c->Handle(), x + xx, y + yy, res->image->Pixel(xx, yy));
}

void Etched(TCanvas* c, int y, int x0, int x1) {
    c->Pen()->SetColor(clBtnShadow);
    c->MoveTo(x0, y), c->LineTo(x1, y);
    c->Pen()->SetColor(clBtnHighlight);
    c->MoveTo(x0, y + 1), c->LineTo(x1, y + 1);
}

std::string UpdateText(DWORD u) { return u == OLEUPDATE_ALWAYS ? "Automatic" : "Manual"; }

}  // namespace

// ---------------------------------------------------------------- option buttons

TOptionButton::TOptionButton(TComponent* owner) : TCustomControl(owner) {
    width_ = 120, height_ = 17;
    color_ = clBtnFace;
    TabStop = true;
}

void TOptionButton::SetChecked(bool v) {
    if (v == checked_) return;
    checked_ = v;
    if (v && parent_)
        for (TControl* c : parent_->Controls())
            if (auto* o = dynamic_cast<TOptionButton*>(c); o && o != this && o->GroupIndex == GroupIndex)
                o->SetChecked(false);
    Invalidate();
}

void TOptionButton::Click() {
    SetChecked(true);
    TCustomControl::Click();
}

void TOptionButton::Paint() {
    TCanvas* c = Canvas();
    c->Brush()->SetColor(color_);
    c->FillRect(ClientRect());
    const int cy = height_ / 2;
    c->Pen()->SetColor(clBtnShadow);
    c->Brush()->SetColor(clWindow);
    c->Ellipse(TRect{1, cy - 6, 13, cy + 6});
    if (checked_) {
        c->Brush()->SetColor(clWindowText);
        c->Pen()->SetColor(clWindowText);
        c->Ellipse(TRect{4, cy - 3, 10, cy + 3});
    }
    c->Brush()->SetStyle(bsClear);
    c->Font()->Assign(font_.get());
    c->Font()->SetColor(enabled_ ? clBtnText : clGrayText);
    TRect r{18, 0, width_, height_};
    DC& dc = *c->Handle();
    dc.S().font = c->Font()->Handle();
    SetTextColor(dc, ColorToRGB(c->Font()->Color()));
    SetBkMode(dc, TRANSPARENT);
    DrawText(dc, text_, r, DT_SINGLELINE | DT_VCENTER);
}

// ---------------------------------------------------------------- object properties

TOleObjectPropsForm::TOleObjectPropsForm(TComponent* owner, const OLEUIOBJECTPROPS& props)
    : TForm(owner), props_(props) {
    SetBorderStyle(bsDialog);
    SetCaption(props.caption.empty() ? "Object Properties" : props.caption);
    OnPaint = [this](TObject*) { PaintExtras(); };
    const bool link = (props.dwFlags & OPF_OBJECTISLINK) && props.lpLinkInfo;
    HandleNeeded();
    SetClientSize(380, link ? 330 : 230);
    Position = poScreenCenter;
    DWORD size = 0;
    LPSTR label = nullptr, type = nullptr, short_type = nullptr, location = nullptr;
    if (props.lpObjInfo) props.lpObjInfo->GetObjectInfo(props.dwObject, &size, &label, &type, &short_type, &location);
    const std::string label_s = Take(label), type_s = Take(type), location_s = Take(location);
    Take(short_type);
    int scale = 100;
    if (props.lpObjInfo) props.lpObjInfo->GetViewInfo(props.dwObject, &pict_, &aspect_, &scale);
    if (pict_) MetafilePictContent(pict_, Icon);

    LabelText = Label(this, 56, 14, label_s, true);
    Label(this, 12, 56, "Type:");
    TypeText = Label(this, 90, 56, type_s);
    Label(this, 12, 74, "Size:");
    SizeText = Label(this, 90, 74, size && size != DWORD(-1) ? std::to_string(size) + " bytes" : "Unknown");
    Label(this, 12, 92, "Location:");
    LocationText = Label(this, 90, 92, location_s);
    Label(this, 12, 122, "View", true);
    ContentView = Option(this, 24, 142, 250, "Display as &editable information", 1);
    IconView = Option(this, 24, 162, 250, "Display as &icon", 1);
    (aspect_ == DVASPECT_ICON ? IconView : ContentView)->SetChecked(true);
    int y = 196;
    if (link) {
        LPSTR source = nullptr, full = nullptr, shorter = nullptr;
        ULONG name_len = 0;
        BOOL available = 0, selected = 0;
        props.lpLinkInfo->GetLinkSource(props.dwLink, &source, &name_len, &full, &shorter, &available, &selected);
        Take(full), Take(shorter);
        props.lpLinkInfo->GetLinkUpdateOptions(props.dwLink, &update_);
        Label(this, 12, y, "Link", true);
        Label(this, 12, y + 20, "Source:");
        SourceText = Label(this, 90, y + 20, Take(source));
        Automatic = Option(this, 24, y + 40, 110, "&Automatic", 2);
        Manual = Option(this, 140, y + 40, 110, "&Manual", 2);
        (update_ == OLEUPDATE_ALWAYS ? Automatic : Manual)->SetChecked(true);
        OpenSource = Button(this, 12, y + 66, 100, "&Open Source");
        UpdateNow = Button(this, 118, y + 66, 100, "&Update Now");
        BreakLink = Button(this, 224, y + 66, 100, "&Break Link");
        OpenSource->OnClick = [this](TObject*) { props_.lpLinkInfo->OpenLinkSource(props_.dwLink); };
        UpdateNow->OnClick = [this](TObject*) { props_.lpLinkInfo->UpdateLink(props_.dwLink, true, false); };
        BreakLink->OnClick = [this](TObject*) { props_.lpLinkInfo->CancelLink(props_.dwLink); };
        y += 100;
    }
    OkButton = Button(this, 212, y, 75, "OK", mrOk);
    OkButton->SetDefault(true);
    CancelButton = Button(this, 293, y, 75, "Cancel", mrCancel);
    CancelButton->Cancel = true;
}

TOleObjectPropsForm::~TOleObjectPropsForm() {
    if (pict_) {
        const METAFILEPICT* mp = static_cast<const METAFILEPICT*>(GlobalLock(pict_));
        if (mp) DeleteMetaFile(mp->hMF);
        GlobalUnlock(pict_);
        GlobalFree(pict_);
    }
}

void TOleObjectPropsForm::PaintExtras() {
    DrawIcon(Canvas(), Icon, 12, 8);
    Etched(Canvas(), 46, 12, ClientWidth() - 12);
    Etched(Canvas(), 114, 12, ClientWidth() - 12);
    if (SourceText) Etched(Canvas(), 188, 12, ClientWidth() - 12);
}

void TOleObjectPropsForm::Apply() {
    const DWORD aspect = IconView->Checked() ? DWORD(DVASPECT_ICON) : DWORD(DVASPECT_CONTENT);
    if (aspect != aspect_ && props_.lpObjInfo)
        props_.lpObjInfo->SetViewInfo(props_.dwObject, aspect == DVASPECT_ICON ? pict_ : nullptr, aspect, 100, false);
    if (Automatic) {
        const DWORD update = Automatic->Checked() ? DWORD(OLEUPDATE_ALWAYS) : DWORD(OLEUPDATE_ONCALL);
        if (update != update_) props_.lpLinkInfo->SetLinkUpdateOptions(props_.dwLink, update);
    }
}

unsigned OleUIObjectProperties(OLEUIOBJECTPROPS& props) {
    if (props.cbStruct != sizeof(OLEUIOBJECTPROPS) || !props.lpObjInfo) return OLEUI_ERR_STANDARDMIN;
    auto form = Make<TOleObjectPropsForm>(nullptr, props);
    if (form->ShowModal() != mrOk) return OLEUI_CANCEL;
    form->Apply();
    return OLEUI_OK;
}

// ---------------------------------------------------------------- links

TOleLinksForm::TOleLinksForm(TComponent* owner, const OLEUIEDITLINKS& links) : TForm(owner), links_(links) {
    SetBorderStyle(bsDialog);
    SetCaption(links.caption.empty() ? "Links" : links.caption);
    OnPaint = [this](TObject*) { PaintExtras(); };
    HandleNeeded();
    SetClientSize(460, 250);
    Position = poScreenCenter;
    Label(this, 12, 8, "Links:", true);
    Label(this, 12, 140, "Source:");
    SourceEdit = new TEdit(this);
    SourceEdit->SetParent(this);
    SourceEdit->SetBounds(70, 136, 270, 21);
    Label(this, 12, 168, "Update:");
    Automatic = Option(this, 70, 166, 100, "&Automatic", 1);
    Manual = Option(this, 176, 166, 100, "&Manual", 1);
    UpdateNow = Button(this, 352, 28, 96, "&Update Now");
    OpenSource = Button(this, 352, 56, 96, "&Open Source");
    ChangeSource = Button(this, 352, 134, 96, "&Change Source");
    BreakLink = Button(this, 352, 84, 96, "&Break Link");
    CloseButton = Button(this, 352, 214, 96, "Close", mrOk);
    CloseButton->Cancel = true;
    CloseButton->SetDefault(true);
    IOleUILinkInfo* info = links_.lpOleUILinkContainer;
    auto link = [this] { return rows_.empty() ? DWORD(0) : rows_[size_t(Selected)].link; };
    UpdateNow->OnClick = [this, info, link](TObject*) {
        info->UpdateLink(link(), true, false);
        Refresh();
    };
    OpenSource->OnClick = [info, link](TObject*) { info->OpenLinkSource(link()); };
    BreakLink->OnClick = [info, link](TObject*) { info->CancelLink(link()); };
    ChangeSource->OnClick = [this, info, link](TObject*) {
        std::string name = SourceEdit->GetText();
        ULONG eaten = 0;
        info->SetLinkSource(link(), name.data(), ULONG(name.size()), &eaten, true);
        Refresh();
    };
    auto set_update = [this, info, link](DWORD u) {
        if (rows_.empty()) return;
        info->SetLinkUpdateOptions(link(), u);
        Refresh();
    };
    Automatic->OnClick = [set_update](TObject*) { set_update(OLEUPDATE_ALWAYS); };
    Manual->OnClick = [set_update](TObject*) { set_update(OLEUPDATE_ONCALL); };
    Refresh();
}

void TOleLinksForm::Refresh() {
    rows_.clear();
    IOleUILinkInfo* info = links_.lpOleUILinkContainer;
    if (!info) return;
    for (DWORD link = info->GetNextLink(0); link != 0 && rows_.size() < 1000; link = info->GetNextLink(link)) {
        Row r;
        r.link = link;
        LPSTR source = nullptr, full = nullptr, shorter = nullptr;
        ULONG name_len = 0;
        BOOL available = 0, selected = 0;
        if (SUCCEEDED(info->GetLinkSource(link, &source, &name_len, &full, &shorter, &available, &selected))) {
            r.source = Take(source);
            r.type = Take(shorter);
            Take(full);
            r.available = available;
        }
        info->GetLinkUpdateOptions(link, &r.update);
        rows_.push_back(std::move(r));
    }
    Selected = std::clamp(Selected, 0, std::max(0, int(rows_.size()) - 1));
    if (!rows_.empty()) {
        SourceEdit->SetText(rows_[size_t(Selected)].source);
        (rows_[size_t(Selected)].update == OLEUPDATE_ALWAYS ? Automatic : Manual)->SetChecked(true);
    }
    Invalidate();
}

void TOleLinksForm::PaintExtras() {
    TCanvas* c = Canvas();
    const TRect list{12, 28, 340, 126};
    c->Brush()->SetColor(clWindow);
    c->FillRect(list);
    c->Brush()->SetColor(clBtnShadow);
    c->FrameRect(list);
    c->Font()->Assign(Font());
    const int lh = c->TextHeight("Ag") + 2;
    c->Brush()->SetColor(clBtnFace);
    c->FillRect({13, 29, 339, 29 + lh});
    c->Brush()->SetStyle(bsClear);
    c->Font()->SetColor(clBtnText);
    c->TextOut(16, 30, "Source");
    c->TextOut(210, 30, "Type");
    c->TextOut(272, 30, "Update");
    for (size_t i = 0; i < rows_.size(); ++i) {
        const int y = 30 + lh * int(i + 1);
        if (y + lh > list.bottom) break;
        const bool sel = int(i) == Selected;
        if (sel) {
            c->Brush()->SetColor(clHighlight);
            c->FillRect({13, y - 1, 339, y + lh - 1});
            c->Brush()->SetStyle(bsClear);
        }
        c->Font()->SetColor(sel ? clHighlightText : clWindowText);
        std::string src = rows_[i].source;
        if (src.size() > 30) src = "..." + src.substr(src.size() - 27);
        c->TextRect({16, y, 206, y + lh}, 16, y, src);
        c->TextRect({210, y, 268, y + lh}, 210, y, rows_[i].type);
        c->TextOut(272, y, UpdateText(rows_[i].update));
    }
}

unsigned OleUIEditLinks(OLEUIEDITLINKS& links) {
    if (links.cbStruct != sizeof(OLEUIEDITLINKS) || !links.lpOleUILinkContainer) return OLEUI_ERR_STANDARDMIN;
    auto form = Make<TOleLinksForm>(nullptr, links);
    return form->ShowModal() == mrOk ? OLEUI_OK : OLEUI_CANCEL;
}

}  // namespace ui
