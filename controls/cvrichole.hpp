#pragma once
// What the enhanced rich edit hands the rich-edit library and the object
// dialogs: its callback, the object-properties and link information
// objects, and the small routines they share.
#include <string>

#include "framework/ole/oledlg.hpp"
#include "framework/ole/richole.hpp"
#include "framework/ui/forms.hpp"

namespace controls {

class TCvCustomRichEdit;

// Releases an interface reference when one is held, and clears it.
template <class T>
void ReleaseObject(T*& obj) {
    if (obj) obj->Release();
    obj = nullptr;
}
// The rich edit's object interface (EM_GETOLEINTERFACE); false when none came back.
bool GetRichEditOle(ui::HWND wnd, ole::IRichEditOle*& out);
bool IsFormMDIChild(ui::TCustomForm* form);
// A new compound file on a byte array in memory; raises EOleSysError on failure.
ole::IStorage* CreateStorage();
// An object's user type names (form 1 and 2); empty when it has none.
std::string GetFullUserType(ole::IOleObject* object);
std::string GetShortUserType(ole::IOleObject* object);
// A link's source display name; empty when it has none.
std::string GetLinkSourceName(ole::IOleLink* link);
// Frees a metafile picture handle and its metafile.
void DestroyMetaPict(ole::HGLOBAL pict);
void CopyStringVar(std::string& dest, const std::string& source);

// The rich edit's callback. The rich edit frees it; its reference count only
// counts.
class TRichEditOleCallback : public ui::TObject, public ole::IRichEditOleCallback {
public:
    explicit TRichEditOleCallback(TCvCustomRichEdit* rich_edit) : rich_edit_(rich_edit) {}
    ~TRichEditOleCallback() override;
    std::string ClassName() const override { return "TRichEditOleCallback"; }

    ole::HRESULT QueryInterface(const ole::IID& iid, void** out) override;
    ole::ULONG AddRef() override { return ++refs_; }
    ole::ULONG Release() override { return --refs_; }

    ole::HRESULT GetNewStorage(ole::IStorage** storage) override;
    ole::HRESULT GetInPlaceContext(ole::IOleInPlaceFrame** frame, ole::IOleInPlaceUIWindow** doc,
                                   ole::OLEINPLACEFRAMEINFO* info) override;
    ole::HRESULT ShowContainerUI(ole::BOOL show) override;
    ole::HRESULT QueryInsertObject(ole::CLSID* clsid, ole::IStorage* storage, ole::LONG cp) override;
    ole::HRESULT DeleteObject(ole::IOleObject* object) override;
    ole::HRESULT QueryAcceptData(ole::IDataObject* data, ole::WORD* format, ole::DWORD reco, ole::BOOL really,
                                 ole::HGLOBAL pict) override;
    ole::HRESULT ContextSensitiveHelp(ole::BOOL enter) override;
    ole::HRESULT GetClipboardData(ole::CHARRANGE* range, ole::DWORD reco, ole::IDataObject** out) override;
    ole::HRESULT GetDragDropEffect(ole::BOOL drag, ole::DWORD key_state, ole::DWORD* effect) override;
    ole::HRESULT GetContextMenu(ole::WORD selection_type, ole::IOleObject* object, ole::CHARRANGE* range,
                                ole::HMENU* menu) override;

    ole::ULONG RefCount() const { return refs_; }
    ole::IOleInPlaceFrame* Frame() const { return frame_; }
    ole::IOleInPlaceUIWindow* DocWindow() const { return doc_; }
    ole::HACCEL AccelTable() const { return accel_; }
    int AccelCount() const { return accel_count_; }

private:
    bool FindInPlaceFrame();
    void DestroyAccelTable();
    TCvCustomRichEdit* rich_edit_;
    ole::IOleInPlaceFrame* frame_ = nullptr;
    ole::IOleInPlaceUIWindow* doc_ = nullptr;
    ole::HACCEL accel_ = 0;
    int accel_count_ = 0;
    ole::ULONG refs_ = 0;
};

// The object-properties dialog's information about the selected object.
class TOleUIObjInfo : public ole::ComObject<ole::IOleUIObjInfo> {
public:
    TOleUIObjInfo(TCvCustomRichEdit* rich_edit, const ole::REOBJECT& object);
    ~TOleUIObjInfo() override;
    ole::HRESULT GetObjectInfo(ole::DWORD object, ole::DWORD* size, ole::LPSTR* label, ole::LPSTR* type,
                               ole::LPSTR* short_type, ole::LPSTR* location) override;
    ole::HRESULT GetConvertInfo(ole::DWORD object, ole::CLSID* clsid, ole::WORD* format, ole::CLSID* convert_default,
                                ole::CLSID** exclude, unsigned* exclude_count) override;
    ole::HRESULT ConvertObject(ole::DWORD object, const ole::CLSID& clsid) override;
    ole::HRESULT GetViewInfo(ole::DWORD object, ole::HGLOBAL* metapict, ole::DWORD* aspect, int* scale) override;
    ole::HRESULT SetViewInfo(ole::DWORD object, ole::HGLOBAL metapict, ole::DWORD aspect, int scale,
                             ole::BOOL relative) override;

private:
    TCvCustomRichEdit* rich_edit_;
    ole::REOBJECT object_;
};

// The links dialog's information about the selected linked object.
class TOleUILinkInfo : public ole::ComObject<ole::IOleUILinkInfo> {
public:
    // Raises EOleSysError when the object is no link.
    TOleUILinkInfo(TCvCustomRichEdit* rich_edit, const ole::REOBJECT& object);
    ~TOleUILinkInfo() override;
    ole::DWORD GetNextLink(ole::DWORD link) override;
    ole::HRESULT SetLinkUpdateOptions(ole::DWORD link, ole::DWORD options) override;
    ole::HRESULT GetLinkUpdateOptions(ole::DWORD link, ole::DWORD* options) override;
    ole::HRESULT SetLinkSource(ole::DWORD link, ole::LPSTR display_name, ole::ULONG file_name_length, ole::ULONG* eaten,
                               ole::BOOL validate) override;
    ole::HRESULT GetLinkSource(ole::DWORD link, ole::LPSTR* display_name, ole::ULONG* file_name_length,
                               ole::LPSTR* full_type, ole::LPSTR* short_type, ole::BOOL* available,
                               ole::BOOL* selected) override;
    ole::HRESULT OpenLinkSource(ole::DWORD link) override;
    ole::HRESULT UpdateLink(ole::DWORD link, ole::BOOL error_message, ole::BOOL reserved) override;
    ole::HRESULT CancelLink(ole::DWORD link) override;
    ole::HRESULT GetLastUpdate(ole::DWORD link, ole::FILETIME* last_update) override;

private:
    TCvCustomRichEdit* rich_edit_;
    ole::REOBJECT object_;
    ole::IOleLink* link_ = nullptr;
};

}  // namespace controls
