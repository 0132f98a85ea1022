// The rich edit's objects: its object interface (insert, enumerate, select,
// switch between content and icon view), the client site each object talks
// to, what happens when objects leave the text, and how they are drawn.
#include <algorithm>

#include "framework/ui/detail/rich_state.hpp"
#include "framework/ui/detail/text_state.hpp"
#include "framework/ui/resources.hpp"
#include "framework/ui/sysparams.hpp"

namespace ui::detail {

namespace {

using namespace ole;

FontPtr ObjectFont(bool bold) { return CreateFont(LogFont{"MS Sans Serif", -11, bold}); }

Presentation PresentationOf(const RichObject& o) {
    Presentation p;
    ComPtr<IViewObject> view = o.object ? o.object.As<IViewObject>() : ComPtr<IViewObject>();
    if (!view || FAILED(view->GetPresentation(o.aspect == DVASPECT_ICON ? DVASPECT_ICON : DVASPECT_CONTENT, &p))) {
        p.aspect = o.aspect;
        p.title = "Object";
        p.icon = {"OLEPACKAGE", "Object"};
    }
    return p;
}

void Relayout(HWND h) {
    if (RichState* e = Rich(h)) {
        RichLayoutDueAll(*e);
        e->bars_due = true;
        InvalidateRect(h, nullptr, true);
    }
}

// The site of one object in the text: it saves the object into its storage
// and redraws the text when the object's view changes.
class RichSite final : public ComObject<IOleClientSite, IAdviseSink> {
public:
    explicit RichSite(HWND h) : h_(h) {}
    HRESULT SaveObject() override {
        RichState* e = Rich(h_);
        if (!e) return E_FAIL;
        for (const RichObject& o : e->doc.objects)
            if (o.site.Get() == static_cast<IOleClientSite*>(this) && o.object && o.storage) {
                ComPtr<IPersistStorage> ps = o.object.As<IPersistStorage>();
                return ps ? OleSave(ps.Get(), o.storage.Get(), true) : E_NOINTERFACE;
            }
        return E_FAIL;
    }
    HRESULT ShowObject() override { return S_OK; }
    HRESULT OnShowWindow(BOOL) override { return S_OK; }
    HRESULT RequestNewObjectLayout() override { return E_NOTIMPL; }
    void OnViewChange(DWORD, LONG) override { Relayout(h_); }
    void OnSave() override {}
    void OnClose() override {}

private:
    HWND h_;
};

class RichEditOle final : public ComObject<IRichEditOle> {
public:
    explicit RichEditOle(HWND h) : h_(h) {}

    HRESULT GetClientSite(IOleClientSite** site) override {
        if (!site) return E_POINTER;
        if (!Rich(h_)) return E_FAIL;
        *site = static_cast<IOleClientSite*>(MakeCom<RichSite>(h_).Detach());
        return S_OK;
    }
    LONG GetObjectCount() override {
        RichState* e = Rich(h_);
        return e ? LONG(e->doc.objects.size()) : 0;
    }
    LONG GetLinkCount() override {
        RichState* e = Rich(h_);
        if (!e) return 0;
        return LONG(std::count_if(e->doc.objects.begin(), e->doc.objects.end(),
                                  [](const RichObject& o) { return (o.flags & REO_LINK) != 0; }));
    }
    HRESULT GetObject(LONG iob, REOBJECT* out, DWORD flags) override {
        RichState* e = Rich(h_);
        if (!out) return E_INVALIDARG;
        if (!e) return E_FAIL;
        const int index = Resolve(*e, iob, out->cp);
        if (index < 0) return E_INVALIDARG;
        const RichObject& o = e->doc.objects[size_t(index)];
        const LONG cp = ObjectCp(e->doc, index);
        out->cbStruct = sizeof(REOBJECT);
        out->cp = cp;
        out->clsid = o.clsid;
        out->sizel = o.sizel;
        out->dvaspect = o.aspect;
        out->dwFlags = o.flags | (Selected(*e, index) ? DWORD(REO_SELECTED) : 0);
        out->dwUser = o.user;
        out->poleobj = (flags & REO_GETOBJ_POLEOBJ) ? ComPtr<IOleObject>(o.object).Detach() : nullptr;
        out->pstg = (flags & REO_GETOBJ_PSTG) ? ComPtr<IStorage>(o.storage).Detach() : nullptr;
        out->polesite = (flags & REO_GETOBJ_POLESITE) ? ComPtr<IOleClientSite>(o.site).Detach() : nullptr;
        return S_OK;
    }
    HRESULT InsertObject(REOBJECT* in) override {
        RichState* e = Rich(h_);
        if (!in || in->cbStruct != sizeof(REOBJECT) || !in->poleobj) return E_INVALIDARG;
        if (!e) return E_FAIL;
        RichObject o;
        o.object = ComPtr<IOleObject>(in->poleobj);
        o.storage = ComPtr<IStorage>(in->pstg);
        o.site = ComPtr<IOleClientSite>(in->polesite);
        o.clsid = in->clsid;
        o.sizel = in->sizel;
        o.aspect = in->dvaspect == DVASPECT_ICON ? DWORD(DVASPECT_ICON) : DWORD(DVASPECT_CONTENT);
        o.flags = in->dwFlags & ~DWORD(REO_SELECTED);
        if (o.object.As<IOleLink>()) o.flags |= REO_LINK | REO_LINKAVAILABLE;
        o.user = in->dwUser;
        if (!o.site)
            o.site = ComPtr<IOleClientSite>::Attach(static_cast<IOleClientSite*>(MakeCom<RichSite>(h_).Detach()));
        if (ComPtr<IAdviseSink> sink = o.site.As<IAdviseSink>())
            if (ComPtr<IViewObject> view = o.object.As<IViewObject>()) view->SetAdvise(DVASPECT_CONTENT, 0, sink.Get());
        o.object->SetClientSite(o.site.Get());
        int cp = in->cp;
        if (cp == REO_CP_SELECTION) {
            cp = SelStart(*e);
            std::vector<RichObject> gone;
            ReplaceRange(e->doc, SelStart(*e), SelEnd(*e), "", e->doc.insertion, &gone);
            RichLayoutDueAll(*e);
            ObjectsRemoved(h_, *e, gone);
        }
        cp = std::clamp(cp, 0, int(e->doc.text.size()));
        InsertObjectAt(e->doc, cp, std::move(o), e->doc.insertion);
        e->undo.reset();
        e->anchor = e->caret = cp + 1;
        in->cp = cp;
        RichChanged(h_, *e);
        return S_OK;
    }
    HRESULT ConvertObject(LONG, const CLSID&, const char*) override { return E_NOTIMPL; }
    HRESULT ActivateAs(const CLSID&, const CLSID&) override { return E_NOTIMPL; }
    HRESULT SetHostNames(const char*, const char*) override { return S_OK; }
    HRESULT SetLinkAvailable(LONG iob, BOOL available) override {
        RichObject* o = Object(iob);
        if (!o) return E_INVALIDARG;
        if (!(o->flags & REO_LINK)) return E_INVALIDARG;
        o->flags = available ? o->flags | REO_LINKAVAILABLE : o->flags & ~DWORD(REO_LINKAVAILABLE);
        return S_OK;
    }
    HRESULT SetDvaspect(LONG iob, DWORD aspect) override {
        RichObject* o = Object(iob);
        if (!o) return E_INVALIDARG;
        if (aspect != DVASPECT_CONTENT && aspect != DVASPECT_ICON) return DV_E_DVASPECT;
        o->aspect = aspect;
        Relayout(h_);
        return S_OK;
    }
    HRESULT HandsOffStorage(LONG iob) override {
        RichObject* o = Object(iob);
        if (!o) return E_INVALIDARG;
        ComPtr<IPersistStorage> ps = o->object.As<IPersistStorage>();
        return ps ? ps->HandsOffStorage() : S_OK;
    }
    HRESULT SaveCompleted(LONG iob, IStorage* storage) override {
        RichObject* o = Object(iob);
        if (!o) return E_INVALIDARG;
        if (storage) o->storage = ComPtr<IStorage>(storage);
        ComPtr<IPersistStorage> ps = o->object.As<IPersistStorage>();
        return ps ? ps->SaveCompleted(storage) : S_OK;
    }
    HRESULT InPlaceDeactivate() override { return S_OK; }
    HRESULT ContextSensitiveHelp(BOOL) override { return S_OK; }
    HRESULT GetClipboardData(CHARRANGE*, DWORD, IDataObject**) override { return E_NOTIMPL; }
    HRESULT ImportDataObject(IDataObject*, WORD, HGLOBAL) override { return E_NOTIMPL; }

private:
    static bool Selected(const RichState& e, int index) {
        if (e.selected_object == index) return true;
        const int cp = ObjectCp(e.doc, index);
        return SelStart(e) <= cp && SelEnd(e) > cp;
    }
    // The object `iob` names: an index, the selected one, or the one at `cp`.
    static int Resolve(const RichState& e, LONG iob, LONG cp) {
        const int n = int(e.doc.objects.size());
        if (iob == REO_IOB_SELECTION) {
            if (e.selected_object >= 0 && e.selected_object < n) return e.selected_object;
            if (SelEnd(e) - SelStart(e) == 1) return ObjectIndexAt(e.doc, SelStart(e));
            return -1;
        }
        if (iob == REO_IOB_USE_CP) return ObjectIndexAt(e.doc, cp);
        return iob >= 0 && iob < n ? int(iob) : -1;
    }
    RichObject* Object(LONG iob) {
        RichState* e = Rich(h_);
        if (!e) return nullptr;
        const int index = Resolve(*e, iob, 0);
        return index < 0 ? nullptr : &e->doc.objects[size_t(index)];
    }
    HWND h_;
};

// A document icon of 32 by 32 pixels: a page with a folded corner and a band
// in the class's colour.
IconResource DocumentIcon(COLORREF band) {
    std::vector<std::string> rows(32, std::string(32, ' '));
    for (int y = 1; y < 31; ++y)
        for (int x = 5; x < 27; ++x) {
            const bool corner = x > 19 && y < 8 && (x - 19) > y - 1;
            if (corner) continue;
            const bool edge = x == 5 || x == 26 || y == 1 || y == 30 || (x > 19 && y < 8 && (x - 19) == y - 1);
            rows[size_t(y)][size_t(x)] = edge ? 'k' : (y >= 20 && y <= 25 && x > 7 && x < 24) ? 'b' : 'w';
            if (!edge && y >= 10 && y <= 17 && y % 2 == 0 && x > 8 && x < 23) rows[size_t(y)][size_t(x)] = 'g';
        }
    IconResource icon;
    icon.image = BitmapFromArt(rows,
                               {{'k', RGB(0, 0, 0)},
                                {'w', RGB(255, 255, 255)},
                                {'b', band},
                                {'g', RGB(128, 128, 128)},
                                {' ', RGB(255, 255, 255)}});
    icon.mask = MaskFromArt(rows, ' ');
    return icon;
}

}  // namespace

ComPtr<IRichEditOle> MakeRichEditOle(HWND h) { return MakeCom<RichEditOle>(h); }

void ObjectsRemoved(HWND h, RichState& e, std::vector<RichObject>& gone) {
    (void)h;
    for (RichObject& o : gone) {
        if (!o.object) continue;
        if (e.callback) e.callback->DeleteObject(o.object.Get());
        if (ComPtr<IViewObject> view = o.object.As<IViewObject>()) view->SetAdvise(DVASPECT_CONTENT, 0, nullptr);
        o.object->SetClientSite(nullptr);
    }
    gone.clear();
    e.selected_object = -1;
}

TSize ObjectSize(const RichObject& o) {
    const Presentation p = PresentationOf(o);
    const FontPtr plain = ObjectFont(false), bold = ObjectFont(true);
    const int lh = FontMetrics(plain).height;
    if (p.aspect == DVASPECT_ICON) {
        const int w = std::max(32, plain->Shape(p.icon.label).width);
        return {w + 8, 32 + lh + 6};
    }
    int w = bold->Shape(p.title).width;
    for (const std::string& l : p.lines) w = std::max(w, plain->Shape(l).width);
    return {std::min(w, 400) + 12, int(1 + p.lines.size()) * lh + 8};
}

void PaintObject(DC& dc, const RichObject& o, const TRect& r, bool selected) {
    const Presentation p = PresentationOf(o);
    const FontPtr plain = ObjectFont(false), bold = ObjectFont(true);
    const int lh = FontMetrics(plain).height;
    SetBkMode(dc, TRANSPARENT);
    if (p.aspect == DVASPECT_ICON) {
        if (const IconResource* icon = FindIconResource(p.icon.icon); icon && icon->image) {
            const int ix = r.left + (r.Width() - 32) / 2, iy = r.top + 2;
            for (int y = 0; y < icon->image->Height(); ++y)
                for (int x = 0; x < icon->image->Width(); ++x)
                    if (!icon->mask || icon->mask->Pixel(x, y) == 0)
                        SetPixel(dc, ix + x, iy + y, icon->image->Pixel(x, y));
        }
        dc.S().font = plain;
        const int tw = plain->Shape(p.icon.label).width;
        const int tx = r.left + (r.Width() - tw) / 2, ty = r.top + 36;
        if (selected) FillRect(dc, {tx - 1, ty, tx + tw + 1, ty + lh}, Brush::Solid(GetSysColor(COLOR_HIGHLIGHT)));
        SetTextColor(dc, selected ? GetSysColor(COLOR_HIGHLIGHTTEXT) : GetSysColor(COLOR_WINDOWTEXT));
        ExtTextOut(dc, tx, ty, &r, nullptr, p.icon.label);
        return;
    }
    FillRect(dc, r, Brush::Solid(RGB(255, 255, 255)));
    FillRect(dc, {r.left, r.top, r.right, r.top + lh + 4}, Brush::Solid(RGB(224, 224, 224)));
    FrameRect(dc, r, Brush::Solid(selected ? GetSysColor(COLOR_HIGHLIGHT) : RGB(128, 128, 128)));
    if (selected) FrameRect(dc, r.Inflate(-1, -1), Brush::Solid(GetSysColor(COLOR_HIGHLIGHT)));
    const TRect inner = r.Inflate(-3, -2);
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    dc.S().font = bold;
    ExtTextOut(dc, inner.left + 3, r.top + 2, &inner, nullptr, p.title);
    dc.S().font = plain;
    int y = r.top + lh + 6;
    for (const std::string& l : p.lines) {
        ExtTextOut(dc, inner.left + 3, y, &inner, nullptr, l);
        y += lh;
    }
}

}  // namespace ui::detail

namespace ui {

void RegisterObjectIcons() {
    if (FindIconResource("OLEPACKAGE")) return;
    RegisterIconResource("OLETEXT", detail::DocumentIcon(RGB(0, 0, 160)));
    RegisterIconResource("OLESHEET", detail::DocumentIcon(RGB(0, 128, 0)));
    RegisterIconResource("OLEIMAGE", detail::DocumentIcon(RGB(160, 96, 0)));
    RegisterIconResource("OLEPDF", detail::DocumentIcon(RGB(192, 0, 0)));
    RegisterIconResource("OLEPACKAGE", detail::DocumentIcon(RGB(96, 96, 96)));
}

}  // namespace ui
