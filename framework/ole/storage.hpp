#pragma once
// Structured storage: byte arrays in memory (lock bytes), and storages of
// named streams and sub-storages kept in them as compound files (the format
// libgsf reads and writes). A storage is held in memory while it is open;
// Commit writes the whole compound file into its lock bytes.
#include <cstdint>
#include <string>
#include <vector>

#include "framework/ole/com.hpp"

namespace ole {

// clang-format off
enum StorageMode : DWORD {
    STGM_READ = 0x0, STGM_WRITE = 0x1, STGM_READWRITE = 0x2, STGM_SHARE_EXCLUSIVE = 0x10,
    STGM_DIRECT = 0x0, STGM_CREATE = 0x1000, STGM_TRANSACTED = 0x10000,
};
// clang-format on
enum StreamSeek : DWORD { STREAM_SEEK_SET = 0, STREAM_SEEK_CUR = 1, STREAM_SEEK_END = 2 };
enum StorageElement : DWORD { STGTY_STORAGE = 1, STGTY_STREAM = 2, STGTY_LOCKBYTES = 3 };

struct STATSTG {
    std::u16string name;
    DWORD type = 0;
    uint64_t size = 0;
    CLSID clsid;
};

// A byte array the compound file lives in.
struct ILockBytes : IUnknown {
    static constexpr IID kIid{0x0000000A, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    virtual HRESULT ReadAt(uint64_t offset, void* buffer, ULONG count, ULONG* read) = 0;
    virtual HRESULT WriteAt(uint64_t offset, const void* buffer, ULONG count, ULONG* written) = 0;
    virtual HRESULT Flush() = 0;
    virtual HRESULT SetSize(uint64_t size) = 0;
    virtual HRESULT Stat(STATSTG* stat) = 0;
};

struct IStream : IUnknown {
    static constexpr IID kIid{0x0000000C, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    virtual HRESULT Read(void* buffer, ULONG count, ULONG* read) = 0;
    virtual HRESULT Write(const void* buffer, ULONG count, ULONG* written) = 0;
    virtual HRESULT Seek(int64_t move, DWORD origin, uint64_t* new_position) = 0;
    virtual HRESULT SetSize(uint64_t size) = 0;
    virtual HRESULT Stat(STATSTG* stat) = 0;
};

struct IStorage : IUnknown {
    static constexpr IID kIid{0x0000000B, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    virtual HRESULT CreateStream(LPCOLESTR name, DWORD mode, IStream** out) = 0;
    virtual HRESULT OpenStream(LPCOLESTR name, DWORD mode, IStream** out) = 0;
    virtual HRESULT CreateStorage(LPCOLESTR name, DWORD mode, IStorage** out) = 0;
    virtual HRESULT OpenStorage(LPCOLESTR name, DWORD mode, IStorage** out) = 0;
    virtual HRESULT DestroyElement(LPCOLESTR name) = 0;
    // The elements, in name order (our form of EnumElements).
    virtual HRESULT Elements(std::vector<STATSTG>& out) = 0;
    virtual HRESULT SetClass(const CLSID& clsid) = 0;
    virtual HRESULT Commit(DWORD flags) = 0;
    virtual HRESULT Stat(STATSTG* stat) = 0;
};

// Lock bytes in memory (the original takes a global memory block; ours are
// always new and freed with their last reference).
HRESULT CreateILockBytesOnHGlobal(void* hglobal, BOOL delete_on_release, ILockBytes** out);
// The bytes of lock bytes made above (a copy), for whoever keeps them.
std::vector<uint8_t> LockBytesData(ILockBytes* bytes);
HRESULT LockBytesFromData(const std::vector<uint8_t>& data, ILockBytes** out);

// A new, empty compound file in `bytes` (mode must hold STGM_CREATE or the
// bytes be empty); written there at once and at every Commit.
HRESULT StgCreateDocfileOnILockBytes(ILockBytes* bytes, DWORD mode, DWORD reserved, IStorage** out);
// The compound file in `bytes`; STG_E_INVALIDHEADER for anything else.
HRESULT StgOpenStorageOnILockBytes(ILockBytes* bytes, IStorage* priority, DWORD mode, void* exclude, DWORD reserved,
                                   IStorage** out);
// Whether the bytes start as a compound file does.
HRESULT StgIsStorageILockBytes(ILockBytes* bytes);

// Helpers over IStream for whole values.
HRESULT WriteStreamBytes(IStorage* storage, std::u16string_view name, const std::vector<uint8_t>& bytes);
HRESULT ReadStreamBytes(IStorage* storage, std::u16string_view name, std::vector<uint8_t>& bytes);

}  // namespace ole
