#pragma once
// The standard object dialogs' side of the conversation: the information
// objects a container hands the object-properties and links dialogs, and
// the records those dialogs take.
#include "framework/ole/oleidl.hpp"

namespace ole {

// clang-format off
enum OleUiResult : unsigned { OLEUI_FALSE = 0, OLEUI_OK = 1, OLEUI_CANCEL = 2, OLEUI_ERR_STANDARDMIN = 100 };
enum OleUiObjPropsFlags : DWORD { OPF_OBJECTISLINK = 0x1, OPF_NOFILLDEFAULT = 0x2, OPF_SHOWHELP = 0x4,
                                  OPF_DISABLECONVERT = 0x8 };
// clang-format on

struct FILETIME {
    DWORD dwLowDateTime = 0, dwHighDateTime = 0;
};

// What the object-properties dialog asks about an object. Texts come in task memory.
struct IOleUIObjInfo : IUnknown {
    static constexpr IID kIid{0x85E6A0C8, 0x0B53, 0x11CE, {0x93, 0xA6, 0x00, 0xAA, 0x00, 0x4A, 0x72, 0x7E}};
    virtual HRESULT GetObjectInfo(DWORD object, DWORD* size, LPSTR* label, LPSTR* type, LPSTR* short_type,
                                  LPSTR* location) = 0;
    virtual HRESULT GetConvertInfo(DWORD object, CLSID* clsid, WORD* format, CLSID* convert_default, CLSID** exclude,
                                   unsigned* exclude_count) = 0;
    virtual HRESULT ConvertObject(DWORD object, const CLSID& clsid) = 0;
    virtual HRESULT GetViewInfo(DWORD object, HGLOBAL* metapict, DWORD* aspect, int* scale) = 0;
    virtual HRESULT SetViewInfo(DWORD object, HGLOBAL metapict, DWORD aspect, int scale, BOOL relative) = 0;
};

// What the links dialog asks about the links of a container.
struct IOleUILinkInfo : IUnknown {
    static constexpr IID kIid{0x85E6A0C9, 0x0B53, 0x11CE, {0x93, 0xA6, 0x00, 0xAA, 0x00, 0x4A, 0x72, 0x7E}};
    virtual DWORD GetNextLink(DWORD link) = 0;
    virtual HRESULT SetLinkUpdateOptions(DWORD link, DWORD options) = 0;
    virtual HRESULT GetLinkUpdateOptions(DWORD link, DWORD* options) = 0;
    virtual HRESULT SetLinkSource(DWORD link, LPSTR display_name, ULONG file_name_length, ULONG* eaten,
                                  BOOL validate) = 0;
    virtual HRESULT GetLinkSource(DWORD link, LPSTR* display_name, ULONG* file_name_length, LPSTR* full_type,
                                  LPSTR* short_type, BOOL* available, BOOL* selected) = 0;
    virtual HRESULT OpenLinkSource(DWORD link) = 0;
    virtual HRESULT UpdateLink(DWORD link, BOOL error_message, BOOL reserved) = 0;
    virtual HRESULT CancelLink(DWORD link) = 0;
    virtual HRESULT GetLastUpdate(DWORD link, FILETIME* last_update) = 0;
};

struct OLEUIOBJECTPROPS {
    DWORD cbStruct = sizeof(OLEUIOBJECTPROPS);
    DWORD dwFlags = 0;
    HWND hWndOwner = 0;
    std::string caption;  // ANSI; empty: "Object Properties"
    IOleUIObjInfo* lpObjInfo = nullptr;
    DWORD dwObject = 0;
    IOleUILinkInfo* lpLinkInfo = nullptr;  // with OPF_OBJECTISLINK
    DWORD dwLink = 0;
};

struct OLEUIEDITLINKS {
    DWORD cbStruct = sizeof(OLEUIEDITLINKS);
    DWORD dwFlags = 0;
    HWND hWndOwner = 0;
    std::string caption;  // empty: "Links"
    IOleUILinkInfo* lpOleUILinkContainer = nullptr;
};

}  // namespace ole
