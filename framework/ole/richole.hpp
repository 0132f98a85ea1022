#pragma once
// What a rich edit and its container say to each other about the objects in
// its text: the rich edit's object interface and the container's callback.
#include "framework/ole/oleidl.hpp"

namespace ole {

struct CHARRANGE {
    LONG cpMin = 0, cpMax = 0;
};

// clang-format off
enum ReoFlags : DWORD {
    REO_GETOBJ_NO_INTERFACES = 0, REO_GETOBJ_POLEOBJ = 1, REO_GETOBJ_PSTG = 2, REO_GETOBJ_POLESITE = 4,
    REO_GETOBJ_ALL_INTERFACES = 7,
    REO_RESIZABLE = 0x1, REO_BELOWBASELINE = 0x2, REO_INVERTEDSELECT = 0x4, REO_DYNAMICSIZE = 0x8,
    REO_BLANK = 0x10, REO_DONTNEEDPALETTE = 0x20, REO_STATIC = 0x40000000, REO_LINK = 0x80000000,
    REO_INPLACEACTIVE = 0x02000000, REO_OPEN = 0x04000000, REO_SELECTED = 0x08000000,
    REO_LINKAVAILABLE = 0x00800000,
};
// clang-format on
constexpr LONG REO_CP_SELECTION = -1;
constexpr LONG REO_IOB_SELECTION = -1;
constexpr LONG REO_IOB_USE_CP = -2;

// One object of the text.
struct REOBJECT {
    DWORD cbStruct = sizeof(REOBJECT);
    LONG cp = 0;
    CLSID clsid;
    IOleObject* poleobj = nullptr;
    IStorage* pstg = nullptr;
    IOleClientSite* polesite = nullptr;
    SIZEL sizel;
    DWORD dvaspect = DVASPECT_CONTENT;
    DWORD dwFlags = 0;
    DWORD dwUser = 0;
};

struct IRichEditOle : IUnknown {
    static constexpr IID kIid{0x00020D00, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    virtual HRESULT GetClientSite(IOleClientSite** site) = 0;
    virtual LONG GetObjectCount() = 0;
    virtual LONG GetLinkCount() = 0;
    // Object `iob` (or REO_IOB_SELECTION, or REO_IOB_USE_CP with object->cp);
    // the interfaces `flags` ask for come with a reference each.
    virtual HRESULT GetObject(LONG iob, REOBJECT* object, DWORD flags) = 0;
    // At object->cp (REO_CP_SELECTION: in place of the selection).
    virtual HRESULT InsertObject(REOBJECT* object) = 0;
    virtual HRESULT ConvertObject(LONG iob, const CLSID& clsid, const char* user_type) = 0;
    virtual HRESULT ActivateAs(const CLSID& clsid, const CLSID& as) = 0;
    virtual HRESULT SetHostNames(const char* app, const char* object) = 0;
    virtual HRESULT SetLinkAvailable(LONG iob, BOOL available) = 0;
    virtual HRESULT SetDvaspect(LONG iob, DWORD aspect) = 0;
    virtual HRESULT HandsOffStorage(LONG iob) = 0;
    virtual HRESULT SaveCompleted(LONG iob, IStorage* storage) = 0;
    virtual HRESULT InPlaceDeactivate() = 0;
    virtual HRESULT ContextSensitiveHelp(BOOL enter) = 0;
    virtual HRESULT GetClipboardData(CHARRANGE* range, DWORD reco, IDataObject** out) = 0;
    virtual HRESULT ImportDataObject(IDataObject* data, WORD format, HGLOBAL pict) = 0;
};

struct IRichEditOleCallback : IUnknown {
    static constexpr IID kIid{0x00020D03, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    virtual HRESULT GetNewStorage(IStorage** storage) = 0;
    virtual HRESULT GetInPlaceContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc,
                                      OLEINPLACEFRAMEINFO* info) = 0;
    virtual HRESULT ShowContainerUI(BOOL show) = 0;
    virtual HRESULT QueryInsertObject(CLSID* clsid, IStorage* storage, LONG cp) = 0;
    virtual HRESULT DeleteObject(IOleObject* object) = 0;
    virtual HRESULT QueryAcceptData(IDataObject* data, WORD* format, DWORD reco, BOOL really, HGLOBAL pict) = 0;
    virtual HRESULT ContextSensitiveHelp(BOOL enter) = 0;
    virtual HRESULT GetClipboardData(CHARRANGE* range, DWORD reco, IDataObject** out) = 0;
    virtual HRESULT GetDragDropEffect(BOOL drag, DWORD key_state, DWORD* effect) = 0;
    virtual HRESULT GetContextMenu(WORD selection_type, IOleObject* object, CHARRANGE* range, HMENU* menu) = 0;
};

}  // namespace ole
