#pragma once
// The object model's base: result codes, class and interface identifiers,
// reference-counted interfaces with query, smart references, task memory
// and wide strings. Our own stand-in for the system's component object
// model, enough for embedded and linked objects in a rich edit.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>

namespace ole {

using HRESULT = int32_t;
using ULONG = uint32_t;
using DWORD = uint32_t;
using LONG = int32_t;
using WORD = uint16_t;
using BOOL = int;
using OLECHAR = char16_t;
using LPOLESTR = OLECHAR*;
using LPCOLESTR = const OLECHAR*;
using LPSTR = char*;
using HWND = uint32_t;  // the window system's handles
using HMENU = uint32_t;
using HACCEL = uint32_t;

// clang-format off
constexpr HRESULT S_OK = 0, S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = HRESULT(0x80004001u), E_NOINTERFACE = HRESULT(0x80004002u),
                  E_POINTER = HRESULT(0x80004003u), E_FAIL = HRESULT(0x80004005u),
                  E_UNEXPECTED = HRESULT(0x8000FFFFu), E_INVALIDARG = HRESULT(0x80070057u),
                  E_OUTOFMEMORY = HRESULT(0x8007000Eu), OLE_E_NOTRUNNING = HRESULT(0x80040005u),
                  OLE_E_BLANK = HRESULT(0x80040007u), OLE_E_CANT_BINDTOSOURCE = HRESULT(0x8004000Au),
                  DV_E_FORMATETC = HRESULT(0x80040064u), DV_E_DVASPECT = HRESULT(0x8004006Bu),
                  OLE_E_NOCONNECTION = HRESULT(0x80040004u), MK_E_SYNTAX = HRESULT(0x800401E4u),
                  MK_E_NOOBJECT = HRESULT(0x800401E5u), REGDB_E_CLASSNOTREG = HRESULT(0x80040154u),
                  STG_E_INVALIDFUNCTION = HRESULT(0x80030001u), STG_E_FILENOTFOUND = HRESULT(0x80030002u),
                  STG_E_ACCESSDENIED = HRESULT(0x80030005u), STG_E_READFAULT = HRESULT(0x8003001Eu),
                  STG_E_WRITEFAULT = HRESULT(0x8003001Du), STG_E_FILEALREADYEXISTS = HRESULT(0x80030050u),
                  STG_E_INVALIDNAME = HRESULT(0x800300FCu), STG_E_INVALIDHEADER = HRESULT(0x800300FBu),
                  STG_E_REVERTED = HRESULT(0x80030102u);
// clang-format on
// Ours, in the range an interface's owner defines: a device, pipe or folder
// named where a file's bytes are wanted.
constexpr HRESULT kNotRegularFile = HRESULT(0x80040200u);
constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) { return hr < 0; }

struct GUID {
    uint32_t Data1 = 0;
    uint16_t Data2 = 0, Data3 = 0;
    uint8_t Data4[8] = {};
    friend bool operator==(const GUID&, const GUID&) = default;
};
using IID = GUID;
using CLSID = GUID;
constexpr GUID GUID_NULL{};
// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"
std::string GuidToString(const GUID& g);
// The 16 bytes as a compound file stores a class identifier (little-endian fields).
void GuidToBytes(const GUID& g, uint8_t out[16]);
GUID GuidFromBytes(const uint8_t in[16]);

// Every interface derives from IUnknown and names its identifier in kIid.
struct IUnknown {
    static constexpr IID kIid{0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    virtual HRESULT QueryInterface(const IID& iid, void** out) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    ~IUnknown() = default;
};

// A counted reference: adds one when copied, releases when it goes.
template <class T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    // Takes a reference the caller already holds (as an out-parameter gives one).
    static ComPtr Attach(T* p) {
        ComPtr r;
        r.p_ = p;
        return r;
    }
    // Adds a reference of its own.
    explicit ComPtr(T* p) : p_(p) {
        if (p_) p_->AddRef();
    }
    ComPtr(const ComPtr& o) : ComPtr(o.p_) {}
    ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    // From a reference to a derived class or interface.
    template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*> && !std::is_same_v<U, T>>>
    ComPtr(ComPtr<U> o) noexcept : p_(o.Detach()) {}
    ComPtr& operator=(ComPtr o) noexcept {
        std::swap(p_, o.p_);
        return *this;
    }
    ~ComPtr() { Reset(); }
    void Reset() {
        if (T* p = std::exchange(p_, nullptr)) p->Release();
    }
    T* Get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    // For out-parameters: releases what is held first.
    T** Put() {
        Reset();
        return &p_;
    }
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }
    // Hands the reference to the caller.
    T* Detach() { return std::exchange(p_, nullptr); }
    // Asks the object for another of its interfaces.
    template <class U>
    ComPtr<U> As() const {
        ComPtr<U> r;
        if (p_) p_->QueryInterface(U::kIid, r.PutVoid());
        return r;
    }

private:
    T* p_ = nullptr;
};

// The reference count and QueryInterface of an object implementing the
// interfaces Is...; it deletes itself when the last reference goes.
template <class... Is>
class ComObject : public Is... {
public:
    HRESULT QueryInterface(const IID& iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        void* found = nullptr;
        if (iid == IUnknown::kIid) found = static_cast<IUnknown*>(static_cast<First*>(this));
        ((found = found ? found : (iid == Is::kIid ? static_cast<void*>(static_cast<Is*>(this)) : nullptr)), ...);
        if (!found) found = QueryMore(iid);
        *out = found;
        if (!*out) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override {
        const ULONG n = --refs_;
        if (n == 0) delete this;
        return n;
    }
    ULONG RefCount() const { return refs_; }

protected:
    virtual ~ComObject() = default;
    // Interfaces an interface of Is derives from, or that the class hands out otherwise.
    virtual void* QueryMore(const IID&) { return nullptr; }

private:
    using First = std::tuple_element_t<0, std::tuple<Is...>>;
    std::atomic<ULONG> refs_{0};
};

// Makes an object holding one reference.
template <class T, class... A>
ComPtr<T> MakeCom(A&&... args) {
    return ComPtr<T>(new T(std::forward<A>(args)...));
}

// Task memory: blocks handed across interfaces, freed by whoever receives them.
void* CoTaskMemAlloc(size_t bytes);
void CoTaskMemFree(void* p);
size_t CoTaskMemLiveBlocks();  // for tests: blocks not freed yet
// A copy of an ANSI or wide text in task memory, terminated.
char* CoTaskStrDup(std::string_view ansi);
LPOLESTR CoTaskWideDup(std::u16string_view wide);

// Between UTF-8 and wide characters, and the ANSI page and wide characters.
std::u16string Utf8ToWide(std::string_view utf8);
std::string WideToUtf8(std::u16string_view wide);
std::u16string AnsiToWide(std::string_view ansi);
std::string WideToAnsi(std::u16string_view wide);
inline std::u16string_view WideView(LPCOLESTR s) { return s ? std::u16string_view(s) : std::u16string_view(); }

}  // namespace ole

#include "platform/error.hpp"

namespace ole {

// A failed call the caller cannot go on from, with its result code.
struct EOleSysError : platform::Error {
    EOleSysError(const std::string& message, HRESULT code) : platform::Error(message), ErrorCode(code) {}
    HRESULT ErrorCode;
};
// Raises EOleSysError for a failure; passes success through.
HRESULT OleCheck(HRESULT hr);
// The text of a result code.
std::string OleErrorText(HRESULT hr);

}  // namespace ole
