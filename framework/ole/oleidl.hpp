#pragma once
// The interfaces of embedded and linked objects and of their containers:
// client sites, objects, links, the presentation cache, views, persistence
// in storages, in-place frames, and the icon pictures objects are shown by.
#include <string>
#include <vector>

#include "framework/ole/com.hpp"
#include "framework/ole/storage.hpp"

namespace ole {

// clang-format off
enum DvAspect : DWORD { DVASPECT_CONTENT = 1, DVASPECT_THUMBNAIL = 2, DVASPECT_ICON = 4, DVASPECT_DOCPRINT = 8 };
enum OleClose : DWORD { OLECLOSE_SAVEIFDIRTY = 0, OLECLOSE_NOSAVE = 1, OLECLOSE_PROMPTSAVE = 2 };
enum OleVerb : LONG { OLEIVERB_PRIMARY = 0, OLEIVERB_SHOW = -1, OLEIVERB_OPEN = -2, OLEIVERB_HIDE = -3 };
enum UserClassType : DWORD { USERCLASSTYPE_FULL = 1, USERCLASSTYPE_SHORT = 2, USERCLASSTYPE_APPNAME = 3 };
enum OleUpdate : DWORD { OLEUPDATE_ALWAYS = 1, OLEUPDATE_ONCALL = 3 };
enum OleRender : DWORD { OLERENDER_NONE = 0, OLERENDER_DRAW = 1, OLERENDER_FORMAT = 2 };
enum Advf : DWORD { ADVF_PRIMEFIRST = 2, ADVFCACHE_ONSAVE = 0x20 };
enum ClipFormat : WORD { CF_TEXT = 1, CF_METAFILEPICT = 3 };
// clang-format on

struct SIZEL {
    LONG cx = 0, cy = 0;  // hundredths of a millimetre
};
struct FORMATETC {
    WORD cfFormat = CF_METAFILEPICT;
    DWORD dwAspect = DVASPECT_CONTENT;
    LONG lindex = -1;
};

// ---------------------------------------------------------------- icon pictures

// Global memory blocks, as the platform hands pictures across.
using HGLOBAL = void*;
HGLOBAL GlobalAlloc(size_t bytes);
void* GlobalLock(HGLOBAL h);
bool GlobalUnlock(HGLOBAL h);
HGLOBAL GlobalFree(HGLOBAL h);  // nullptr when freed
size_t GlobalLiveBlocks();      // tests

// A recorded picture: an icon drawn above its label (the icon named among
// the program's icon resources). Handles are never reused.
using HMETAFILE = uint32_t;
struct IconPicture {
    std::string icon;   // icon resource name
    std::string label;  // ANSI
};
HMETAFILE CreateIconMetaFile(IconPicture picture);
const IconPicture* MetaFileContent(HMETAFILE mf);  // nullptr once deleted
bool DeleteMetaFile(HMETAFILE mf);
size_t LiveMetaFiles();  // tests

// What a metafile picture handle's block holds.
struct METAFILEPICT {
    LONG mm = 8;  // anisotropic
    LONG xExt = 0, yExt = 0;
    HMETAFILE hMF = 0;
};
// A new picture block of an icon and its label (the caller frees it).
HGLOBAL OleMetafilePictFromIconAndLabel(const std::string& icon, const std::string& label);
// The icon and label a picture block shows; false for anything else.
bool MetafilePictContent(HGLOBAL pict, IconPicture& out);

// ---------------------------------------------------------------- interfaces

struct IOleObject;

struct IAdviseSink : IUnknown {
    static constexpr IID kIid{0x0000010F, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    virtual void OnViewChange(DWORD aspect, LONG index) = 0;
    virtual void OnSave() = 0;
    virtual void OnClose() = 0;
};

struct IOleClientSite : IUnknown {
    static constexpr IID kIid{0x00000118, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    virtual HRESULT SaveObject() = 0;
    virtual HRESULT ShowObject() = 0;
    virtual HRESULT OnShowWindow(BOOL show) = 0;
    virtual HRESULT RequestNewObjectLayout() = 0;
};

struct IOleObject : IUnknown {
    static constexpr IID kIid{0x00000112, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    virtual HRESULT SetClientSite(IOleClientSite* site) = 0;
    virtual HRESULT GetClientSite(IOleClientSite** site) = 0;
    virtual HRESULT SetHostNames(LPCOLESTR container_app, LPCOLESTR container_object) = 0;
    virtual HRESULT Close(DWORD save_option) = 0;
    // Runs a verb; `parent` is the container's window.
    virtual HRESULT DoVerb(LONG verb, IOleClientSite* site, HWND parent) = 0;
    virtual HRESULT Update() = 0;
    virtual HRESULT IsUpToDate() = 0;
    virtual HRESULT GetUserClassID(CLSID* clsid) = 0;
    // The name of the object's type in task memory; OLE_S_USEREG is never answered.
    virtual HRESULT GetUserType(DWORD form, LPOLESTR* type) = 0;
    virtual HRESULT SetExtent(DWORD aspect, const SIZEL* size) = 0;
    virtual HRESULT GetExtent(DWORD aspect, SIZEL* size) = 0;
    virtual HRESULT Advise(IAdviseSink* sink, DWORD* connection) = 0;
    virtual HRESULT Unadvise(DWORD connection) = 0;
    virtual HRESULT GetMiscStatus(DWORD aspect, DWORD* status) = 0;
};

struct IOleLink : IUnknown {
    static constexpr IID kIid{0x0000011D, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    virtual HRESULT SetUpdateOptions(DWORD options) = 0;
    virtual HRESULT GetUpdateOptions(DWORD* options) = 0;
    virtual HRESULT SetSourceDisplayName(LPCOLESTR name) = 0;
    virtual HRESULT GetSourceDisplayName(LPOLESTR* name) = 0;
    virtual HRESULT BindToSource(DWORD flags) = 0;
    virtual HRESULT BindIfRunning() = 0;
    virtual HRESULT UnbindSource() = 0;
    virtual HRESULT Update(void* bind_context) = 0;
};

// What a cache holds: one presentation per aspect.
struct STATDATA {
    FORMATETC format;
    DWORD advf = 0;
    DWORD connection = 0;
};

struct IOleCache : IUnknown {
    static constexpr IID kIid{0x0000011E, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    virtual HRESULT Cache(const FORMATETC* format, DWORD advf, DWORD* connection) = 0;
    virtual HRESULT Uncache(DWORD connection) = 0;
    virtual HRESULT EnumCache(std::vector<STATDATA>& out) = 0;
    // Puts a picture block (CF_METAFILEPICT) into the cache for its aspect;
    // with `release` the cache takes the block over.
    virtual HRESULT SetData(const FORMATETC* format, HGLOBAL pict, BOOL release) = 0;
};

// How an object looks, for its container to draw: a framed content view
// (a title and a few lines of text) or an icon with its label.
struct Presentation {
    DWORD aspect = DVASPECT_CONTENT;
    std::string title;               // ANSI
    std::vector<std::string> lines;  // ANSI, the content view's text
    IconPicture icon;                // the icon view
};

struct IViewObject : IUnknown {
    static constexpr IID kIid{0x0000010D, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    virtual HRESULT GetPresentation(DWORD aspect, Presentation* out) = 0;
    virtual HRESULT SetAdvise(DWORD aspects, DWORD advf, IAdviseSink* sink) = 0;
};

struct IPersistStorage : IUnknown {
    static constexpr IID kIid{0x0000010A, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    virtual HRESULT IsDirty() = 0;
    virtual HRESULT InitNew(IStorage* storage) = 0;
    virtual HRESULT Load(IStorage* storage) = 0;
    virtual HRESULT Save(IStorage* storage, BOOL same_as_load) = 0;
    virtual HRESULT SaveCompleted(IStorage* storage) = 0;
    virtual HRESULT HandsOffStorage() = 0;
};

struct IDataObject : IUnknown {
    static constexpr IID kIid{0x0000010E, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    // The text the data holds (CF_TEXT), ANSI.
    virtual HRESULT GetText(std::string* out) = 0;
    // A new picture block of the presentation the aspect has in the cache
    // (CF_METAFILEPICT); OLE_E_BLANK when the cache holds none.
    virtual HRESULT GetData(const FORMATETC* format, HGLOBAL* pict) = 0;
};

// ---------------------------------------------------------------- in-place frames

struct IOleWindow : IUnknown {
    static constexpr IID kIid{0x00000114, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    virtual HRESULT GetWindow(HWND* window) = 0;
    virtual HRESULT ContextSensitiveHelp(BOOL enter) = 0;
};
struct IOleInPlaceActiveObject;
struct IOleInPlaceUIWindow : IOleWindow {
    static constexpr IID kIid{0x00000115, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    virtual HRESULT SetActiveObject(IOleInPlaceActiveObject* object, LPCOLESTR name) = 0;
};
struct IOleInPlaceFrame : IOleInPlaceUIWindow {
    static constexpr IID kIid{0x00000116, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    virtual HRESULT SetMenu(HMENU shared, void* ole_menu, HWND active_object) = 0;
    virtual HRESULT SetStatusText(LPCOLESTR text) = 0;
    virtual HRESULT EnableModeless(BOOL enable) = 0;
};
struct IOleInPlaceActiveObject : IOleWindow {
    static constexpr IID kIid{0x00000117, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
};

struct OLEINPLACEFRAMEINFO {
    ULONG cb = sizeof(OLEINPLACEFRAMEINFO);
    BOOL fMDIApp = 0;
    HWND hwndFrame = 0;
    HACCEL haccel = 0;
    ULONG cAccelEntries = 0;
};

// ---------------------------------------------------------------- objects

enum MiscStatus : DWORD { OLEMISC_RECOMPOSEONRESIZE = 1, OLEMISC_ONLYICONIC = 2, OLEMISC_CANTLINKINSIDE = 0x10 };
enum : DWORD { LINKTYPE_FILE = 1 };

// A file's bytes embedded in `storage` (a new object) as a document of the
// type its extension names; the object holds the storage.
HRESULT OleCreateFromFile(const CLSID& clsid, LPCOLESTR path, const IID& iid, DWORD render, const FORMATETC* format,
                          IOleClientSite* site, IStorage* storage, void** out);
// A link to the file at `path`; its storage keeps the path.
HRESULT OleCreateLinkToFile(LPCOLESTR path, const IID& iid, DWORD render, const FORMATETC* format, IOleClientSite* site,
                            IStorage* storage, void** out);
// The object that `storage` holds, embedded or linked.
HRESULT OleLoad(IStorage* storage, const IID& iid, IOleClientSite* site, void** out);
// Writes the object into its storage.
HRESULT OleSave(IPersistStorage* object, IStorage* storage, BOOL same_as_load);
// The picture of a class's icon with a label (the class's user type when
// `label` is null and `type_as_label` is set).
HGLOBAL OleGetIconOfClass(const CLSID& clsid, LPCOLESTR label, BOOL type_as_label);
// The class's user type name (in task memory).
HRESULT OleRegGetUserType(const CLSID& clsid, DWORD form, LPOLESTR* out);
// The class the extension of a file names.
CLSID ClassOfFile(std::u16string_view path);

// What the document types look like: the classes the objects above come in.
struct DocumentClass {
    CLSID clsid;
    const char* extension;   // ".txt"; "" for the packaged file every other extension gets
    const char* full_type;   // "Text Document"
    const char* short_type;  // "Text"
    const char* icon;        // icon resource name
    bool text;               // the content view shows the file's first lines
};
const DocumentClass* FindDocumentClass(const CLSID& clsid);

// The class identifier of a link object (the moniker-based standard link).
constexpr CLSID CLSID_StdOleLink{0x00000300, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

}  // namespace ole
