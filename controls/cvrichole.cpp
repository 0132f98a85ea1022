// The rich edit's callback, the object dialogs' information objects and the
// routines they share.
#include "controls/cvrichole.hpp"

#include <algorithm>
#include <cstring>

#include "controls/cvriched.hpp"
#include "framework/ui/ole_frame.hpp"
#include "platform/msgbox.hpp"

namespace controls {

using namespace ole;

namespace {

constexpr char kLinkCaption[] = "Link Properties";

std::string UserType(IOleObject* object, DWORD form) {
    if (!object) return {};
    LPOLESTR type = nullptr;
    if (FAILED(object->GetUserType(form, &type)) || !type) return {};
    std::string s = WideToAnsi(WideView(type));
    CoTaskMemFree(type);
    return s;
}

std::string Trim(const std::string& s) {
    const size_t a = s.find_first_not_of(' '), b = s.find_last_not_of(' ');
    return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
}

}  // namespace

// ---------------------------------------------------------------- shared routines

bool GetRichEditOle(ui::HWND wnd, IRichEditOle*& out) {
    out = nullptr;
    ui::SendMessage(wnd, ui::EM_GETOLEINTERFACE, 0, ui::LPARAM(&out));
    return out != nullptr;
}

bool IsFormMDIChild(ui::TCustomForm* form) { return form && form->FormStyle() == ui::fsMDIChild; }

IStorage* CreateStorage() {
    ComPtr<ILockBytes> bytes;
    OleCheck(CreateILockBytesOnHGlobal(nullptr, true, bytes.Put()));
    IStorage* storage = nullptr;
    OleCheck(
        StgCreateDocfileOnILockBytes(bytes.Get(), STGM_SHARE_EXCLUSIVE | STGM_CREATE | STGM_READWRITE, 0, &storage));
    return storage;
}

std::string GetFullUserType(IOleObject* object) { return UserType(object, USERCLASSTYPE_FULL); }
std::string GetShortUserType(IOleObject* object) { return UserType(object, USERCLASSTYPE_SHORT); }

std::string GetLinkSourceName(IOleLink* link) {
    if (!link) return {};
    LPOLESTR name = nullptr;
    if (FAILED(link->GetSourceDisplayName(&name)) || !name) return {};
    std::string s = WideToAnsi(WideView(name));
    CoTaskMemFree(name);
    return s;
}

void DestroyMetaPict(HGLOBAL pict) {
    if (!pict) return;
    if (const auto* mp = static_cast<const METAFILEPICT*>(GlobalLock(pict))) DeleteMetaFile(mp->hMF);
    GlobalUnlock(pict);
    GlobalFree(pict);
}

void CopyStringVar(std::string& dest, const std::string& source) { dest = source; }

// ---------------------------------------------------------------- the callback

TRichEditOleCallback::~TRichEditOleCallback() {
    DestroyAccelTable();
    ReleaseObject(frame_);
    ReleaseObject(doc_);
}

HRESULT TRichEditOleCallback::QueryInterface(const IID& iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid == IUnknown::kIid || iid == IRichEditOleCallback::kIid) *out = static_cast<IRichEditOleCallback*>(this);
    if (!*out) return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

bool TRichEditOleCallback::FindInPlaceFrame() {
    if (!rich_edit_->HandleAllocated() || frame_ || !rich_edit_->AllowInPlace) return frame_ != nullptr;
    ui::TCustomForm* form = ui::GetParentForm(rich_edit_);
    if (!form) return false;
    if (IsFormMDIChild(form)) {
        // The document window is the child; the frame is the main form's.
        doc_ = ui::OleFormFrame(form)->Frame();
        doc_->AddRef();
        form = ui::Application().MainForm;
        if (!form) return false;
    }
    frame_ = ui::OleFormFrame(form)->Frame();
    frame_->AddRef();
    return true;
}

void TRichEditOleCallback::DestroyAccelTable() {
    if (accel_) ui::DestroyAcceleratorTable(accel_);
    accel_ = 0;
    accel_count_ = 0;
}

HRESULT TRichEditOleCallback::GetNewStorage(IStorage** storage) {
    if (!storage) return E_POINTER;
    try {
        *storage = CreateStorage();
    } catch (const EOleSysError& e) {
        *storage = nullptr;
        return e.ErrorCode;
    }
    return S_OK;
}

HRESULT TRichEditOleCallback::GetInPlaceContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc,
                                                OLEINPLACEFRAMEINFO* info) {
    if (!FindInPlaceFrame() || !rich_edit_->AllowInPlace) return E_NOTIMPL;
    if (frame) *frame = frame_, frame_->AddRef();
    if (doc) {
        *doc = doc_;
        if (doc_) doc_->AddRef();
    }
    if (info) {
        info->fMDIApp = 0;
        frame_->GetWindow(&info->hwndFrame);
        if (!accel_) {
            HWND window = 0;
            frame_->GetWindow(&window);
            auto* form = dynamic_cast<ui::TCustomForm*>(ui::TWinControl::FromHandle(window));
            const std::vector<ui::ACCEL> shortcuts =
                form ? ui::OleFormFrame(form)->MenuShortCuts : std::vector<ui::ACCEL>{};
            accel_ = ui::CreateAcceleratorTable(shortcuts);
            accel_count_ = int(shortcuts.size());
        }
        info->haccel = accel_;
        info->cAccelEntries = ULONG(accel_count_);
    }
    return S_OK;
}

HRESULT TRichEditOleCallback::ShowContainerUI(BOOL show) {
    if (!show) FindInPlaceFrame();
    if (!frame_) return E_NOTIMPL;
    if (show) {
        frame_->SetMenu(0, nullptr, 0);
        frame_->SetActiveObject(nullptr, nullptr);
        rich_edit_->SetUIActive(false);
        DestroyAccelTable();
        ReleaseObject(frame_);
        ReleaseObject(doc_);
    } else {
        rich_edit_->SetUIActive(true);
    }
    return S_OK;
}

HRESULT TRichEditOleCallback::QueryInsertObject(CLSID*, IStorage*, LONG) { return S_OK; }

HRESULT TRichEditOleCallback::DeleteObject(IOleObject* object) {
    if (object) object->Close(OLECLOSE_NOSAVE);
    return S_OK;
}

HRESULT TRichEditOleCallback::QueryAcceptData(IDataObject*, WORD*, DWORD, BOOL, HGLOBAL) { return S_OK; }
HRESULT TRichEditOleCallback::ContextSensitiveHelp(BOOL) { return S_OK; }
HRESULT TRichEditOleCallback::GetClipboardData(CHARRANGE*, DWORD, IDataObject**) { return E_NOTIMPL; }
HRESULT TRichEditOleCallback::GetDragDropEffect(BOOL, DWORD, DWORD*) { return E_NOTIMPL; }
HRESULT TRichEditOleCallback::GetContextMenu(WORD, IOleObject*, CHARRANGE*, HMENU*) { return E_NOTIMPL; }

// ---------------------------------------------------------------- object information

TOleUIObjInfo::TOleUIObjInfo(TCvCustomRichEdit* rich_edit, const REOBJECT& object)
    : rich_edit_(rich_edit), object_(object) {
    if (object_.poleobj) object_.poleobj->AddRef();
    object_.pstg = nullptr;
    object_.polesite = nullptr;
}

TOleUIObjInfo::~TOleUIObjInfo() { ReleaseObject(object_.poleobj); }

HRESULT TOleUIObjInfo::GetObjectInfo(DWORD, DWORD* size, LPSTR* label, LPSTR* type, LPSTR* short_type,
                                     LPSTR* location) {
    const std::string full = GetFullUserType(object_.poleobj);
    if (size) *size = DWORD(-1);  // unknown
    if (label) *label = CoTaskStrDup(full);
    if (type) *type = CoTaskStrDup(full);
    if (short_type) *short_type = CoTaskStrDup(GetShortUserType(object_.poleobj));
    if (location) {
        const std::string& app = ui::Application().Title;
        std::string where = app;
        if (!Trim(rich_edit_->Title).empty()) where = rich_edit_->Title + " - " + app;
        *location = CoTaskStrDup(where);
    }
    return S_OK;
}

HRESULT TOleUIObjInfo::GetConvertInfo(DWORD, CLSID* clsid, WORD*, CLSID*, CLSID**, unsigned*) {
    if (clsid && object_.poleobj) object_.poleobj->GetUserClassID(clsid);
    return S_OK;
}

HRESULT TOleUIObjInfo::ConvertObject(DWORD, const CLSID&) { return E_NOTIMPL; }

HRESULT TOleUIObjInfo::GetViewInfo(DWORD, HGLOBAL* metapict, DWORD* aspect, int* scale) {
    if (metapict) {
        *metapict = nullptr;
        const FORMATETC icon{CF_METAFILEPICT, DVASPECT_ICON, -1};
        if (ComPtr<IDataObject> data = ComPtr<IOleObject>(object_.poleobj).As<IDataObject>())
            data->GetData(&icon, metapict);
        if (!*metapict) *metapict = OleGetIconOfClass(object_.clsid, nullptr, true);
    }
    if (aspect) *aspect = object_.dvaspect;
    if (scale) *scale = 100;
    return S_OK;
}

HRESULT TOleUIObjInfo::SetViewInfo(DWORD, HGLOBAL metapict, DWORD aspect, int, BOOL) {
    IRichEditOle* reo = nullptr;
    if (!rich_edit_->HandleAllocated() || !GetRichEditOle(rich_edit_->WindowHandle(), reo)) return E_NOTIMPL;
    ComPtr<IRichEditOle> rich = ComPtr<IRichEditOle>::Attach(reo);
    if (aspect != DVASPECT_CONTENT && aspect != DVASPECT_ICON) return DV_E_DVASPECT;
    ComPtr<IOleCache> cache = ComPtr<IOleObject>(object_.poleobj).As<IOleCache>();
    if (cache && aspect != object_.dvaspect) {
        // The new aspect into the cache (the icon with its picture), the old one out.
        HGLOBAL made = nullptr;
        const FORMATETC format{CF_METAFILEPICT, aspect, -1};
        DWORD connection = 0;
        HRESULT hr = cache->Cache(&format, ADVF_PRIMEFIRST, &connection);
        if (FAILED(hr)) return hr;
        if (aspect == DVASPECT_ICON) {
            if (!metapict) metapict = made = OleGetIconOfClass(object_.clsid, nullptr, true);
            hr = cache->SetData(&format, metapict, false);
        }
        DestroyMetaPict(made);
        if (FAILED(hr)) return hr;
        std::vector<STATDATA> cached;
        cache->EnumCache(cached);
        for (const STATDATA& s : cached)
            if (s.format.dwAspect == object_.dvaspect) cache->Uncache(s.connection);
        object_.poleobj->Update();
    }
    object_.dvaspect = aspect;
    return rich->SetDvaspect(REO_IOB_SELECTION, aspect);
}

// ---------------------------------------------------------------- link information

TOleUILinkInfo::TOleUILinkInfo(TCvCustomRichEdit* rich_edit, const REOBJECT& object)
    : rich_edit_(rich_edit), object_(object) {
    if (!object_.poleobj) OleCheck(E_POINTER);
    OleCheck(object_.poleobj->QueryInterface(IOleLink::kIid, reinterpret_cast<void**>(&link_)));
    object_.poleobj->AddRef();
    object_.pstg = nullptr;
    object_.polesite = nullptr;
}

TOleUILinkInfo::~TOleUILinkInfo() {
    ReleaseObject(link_);
    ReleaseObject(object_.poleobj);
}

DWORD TOleUILinkInfo::GetNextLink(DWORD link) {
    // One link: its identifier is the rich edit's window.
    return link == 0 ? DWORD(rich_edit_->Handle()) : 0;
}

HRESULT TOleUILinkInfo::SetLinkUpdateOptions(DWORD, DWORD options) {
    const HRESULT hr = link_->SetUpdateOptions(options);
    if (SUCCEEDED(hr)) rich_edit_->SetModified(true);
    return hr;
}

HRESULT TOleUILinkInfo::GetLinkUpdateOptions(DWORD, DWORD* options) { return link_->GetUpdateOptions(options); }

HRESULT TOleUILinkInfo::SetLinkSource(DWORD, LPSTR display_name, ULONG, ULONG* eaten, BOOL) {
    if (!display_name || !*display_name) {
        platform::ShowMessageBox("Cannot link to an invalid source.", kLinkCaption, platform::kMbIconStop);
        return E_INVALIDARG;
    }
    std::u16string wide = AnsiToWide(display_name);
    if (wide.size() > 255) wide.resize(255);  // a buffer of 256 with its terminator
    const HRESULT hr = link_->SetSourceDisplayName(wide.c_str());
    if (FAILED(hr)) return hr;
    if (eaten) *eaten = ULONG(std::strlen(display_name));
    object_.poleobj->Update();
    return S_OK;
}

HRESULT TOleUILinkInfo::GetLinkSource(DWORD, LPSTR* display_name, ULONG* file_name_length, LPSTR* full_type,
                                      LPSTR* short_type, BOOL* available, BOOL* selected) {
    const std::string name = GetLinkSourceName(link_);
    if (display_name) *display_name = CoTaskStrDup(name);
    if (file_name_length) {
        const size_t item = name.find('!');
        *file_name_length = ULONG(item == std::string::npos ? name.size() : item);
    }
    if (full_type) *full_type = CoTaskStrDup(GetFullUserType(object_.poleobj));
    if (short_type) *short_type = CoTaskStrDup(GetShortUserType(object_.poleobj));
    if (available) *available = SUCCEEDED(link_->BindToSource(0));
    if (selected) *selected = true;
    return S_OK;
}

HRESULT TOleUILinkInfo::OpenLinkSource(DWORD) {
    return object_.poleobj->DoVerb(OLEIVERB_SHOW, nullptr, rich_edit_->Handle());
}

HRESULT TOleUILinkInfo::UpdateLink(DWORD, BOOL, BOOL) { return object_.poleobj->Update(); }

HRESULT TOleUILinkInfo::CancelLink(DWORD) {
    platform::ShowMessageBox("Break link operation is not supported.", kLinkCaption, platform::kMbIconStop);
    return E_NOTIMPL;
}

HRESULT TOleUILinkInfo::GetLastUpdate(DWORD, FILETIME*) { return S_OK; }

}  // namespace controls
