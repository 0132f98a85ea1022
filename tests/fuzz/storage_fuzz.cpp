// libFuzzer target: any bytes as a compound file, the form a rich edit's
// embedded object is kept in. Read only, the storage is walked whole (every
// element's statistics, every stream's bytes read whole and by seeking, every
// sub-storage); a write must then be refused, and a copy into a new compound
// file must read back as the same tree. Opened for writing, it must show the
// same tree, keep it through a commit read back, and keep changes (a new
// stream and sub-storage, an element gone, a class, a size) through another.
// Every input must end in an error code or those checks; the sanitizers
// catch the rest.
#include <glib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "framework/ole/storage.hpp"

namespace {

using namespace ole;

void Check(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "storage_fuzz: %s\n", what);
    std::abort();
}

// Everything a reader can learn of a storage, as text: names, kinds,
// classes, sizes and the streams' bytes, sub-storages indented.
void Describe(IStorage* storage, int depth, std::string& out) {
    STATSTG self;
    Check(SUCCEEDED(storage->Stat(&self)), "a storage without statistics");
    out += GuidToString(self.clsid) + "\n";
    std::vector<STATSTG> elements;
    Check(SUCCEEDED(storage->Elements(elements)), "a storage that cannot list its elements");
    for (const STATSTG& e : elements) {
        out.append(size_t(depth) * 2, ' ');
        out += WideToUtf8(e.name) + " " + std::to_string(e.type) + " " + std::to_string(e.size) + " ";
        if (e.type == STGTY_STREAM) {
            std::vector<uint8_t> bytes;
            Check(SUCCEEDED(ReadStreamBytes(storage, e.name, bytes)) && bytes.size() == e.size,
                  "a stream shorter or longer than its size");
            ComPtr<IStream> stream;
            Check(SUCCEEDED(storage->OpenStream(e.name.c_str(), STGM_READ, stream.Put())), "a listed stream");
            uint64_t at = 0;
            uint8_t last = 0;
            ULONG read = 0;
            Check(stream->Seek(-1, STREAM_SEEK_SET, &at) == STG_E_INVALIDFUNCTION, "a seek before the start");
            if (!bytes.empty()) {
                Check(SUCCEEDED(stream->Seek(-1, STREAM_SEEK_END, &at)) && at == e.size - 1, "a seek from the end");
                Check(SUCCEEDED(stream->Read(&last, 1, &read)) && read == 1 && last == bytes.back(), "the last byte");
            }
            Check(SUCCEEDED(stream->Read(&last, 1, &read)) && read == 0, "a read past the end");
            STATSTG st;
            Check(SUCCEEDED(stream->Stat(&st)) && st.name == e.name && st.size == e.size, "a stream's statistics");
            out.append(bytes.begin(), bytes.end());
            out += "\n";
        } else {
            ComPtr<IStorage> sub;
            Check(SUCCEEDED(storage->OpenStorage(e.name.c_str(), STGM_READ, sub.Put())), "a listed storage");
            Describe(sub.Get(), depth + 1, out);
        }
    }
}

// Copies `from` into `to` element by element; false when a name read from
// the file is none a new element may have.
bool Copy(IStorage* from, IStorage* to) {
    STATSTG self;
    from->Stat(&self);
    Check(SUCCEEDED(to->SetClass(self.clsid)), "a class set");
    std::vector<STATSTG> elements;
    from->Elements(elements);
    for (const STATSTG& e : elements) {
        if (e.type == STGTY_STREAM) {
            std::vector<uint8_t> bytes;
            ReadStreamBytes(from, e.name, bytes);
            const HRESULT hr = WriteStreamBytes(to, e.name, bytes);
            if (hr == STG_E_INVALIDNAME) return false;
            Check(SUCCEEDED(hr), "a stream copied");
        } else {
            ComPtr<IStorage> source, target;
            from->OpenStorage(e.name.c_str(), STGM_READ, source.Put());
            const HRESULT hr = to->CreateStorage(e.name.c_str(), STGM_CREATE | STGM_READWRITE, target.Put());
            if (hr == STG_E_INVALIDNAME) return false;
            Check(SUCCEEDED(hr), "a storage copied");
            if (!Copy(source.Get(), target.Get())) return false;
        }
    }
    return true;
}

std::string Describe(ILockBytes* bytes, DWORD mode, ComPtr<IStorage>* keep = nullptr) {
    ComPtr<IStorage> storage;
    if (FAILED(StgOpenStorageOnILockBytes(bytes, nullptr, mode, nullptr, 0, storage.Put()))) return "(no storage)";
    std::string out;
    Describe(storage.Get(), 0, out);
    if (keep) *keep = storage;
    return out;
}

}  // namespace

// libgsf loses directory entries of some damaged directories it reads; that
// is not ours to mend, and ours would show in other stacks. The stacks are
// unwound whole: libglib's frames have no frame pointers to follow.
extern "C" const char* __lsan_default_suppressions() { return "leak:gsf_infile_msole_new\n"; }
extern "C" const char* __asan_default_options() { return "fast_unwind_on_malloc=0"; }

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // libgsf warns of every damaged directory it reads: millions of lines.
    g_log_set_default_handler([](const gchar*, GLogLevelFlags, const gchar*, gpointer) {}, nullptr);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ComPtr<ILockBytes> bytes;
    Check(SUCCEEDED(LockBytesFromData(std::vector<uint8_t>(data, data + size), bytes.Put())), "no lock bytes");
    StgIsStorageILockBytes(bytes.Get());
    ComPtr<IStorage> read_only;
    const std::string tree = Describe(bytes.Get(), STGM_READ, &read_only);
    if (!read_only) return 0;
    ComPtr<IStream> refused;
    Check(read_only->CreateStream(u"Fuzz", STGM_CREATE | STGM_WRITE, refused.Put()) == STG_E_ACCESSDENIED,
          "a write to a storage opened for reading");

    ComPtr<ILockBytes> copy_bytes;
    ComPtr<IStorage> copy;
    Check(SUCCEEDED(CreateILockBytesOnHGlobal(nullptr, true, copy_bytes.Put())) &&
              SUCCEEDED(StgCreateDocfileOnILockBytes(copy_bytes.Get(), STGM_CREATE | STGM_READWRITE, 0, copy.Put())),
          "a new compound file");
    if (Copy(read_only.Get(), copy.Get())) {
        Check(SUCCEEDED(copy->Commit(0)), "a commit of the copy");
        ComPtr<ILockBytes> again;
        LockBytesFromData(LockBytesData(copy_bytes.Get()), again.Put());
        Check(Describe(again.Get(), STGM_READ) == tree, "a copy that reads back otherwise");
    }

    ComPtr<IStorage> writable;
    Check(Describe(bytes.Get(), STGM_READWRITE, &writable) == tree, "another tree opened for writing");
    Check(SUCCEEDED(writable->Commit(0)), "a commit of the tree as read");
    Check(Describe(bytes.Get(), STGM_READ) == tree, "a tree changed by its commit");

    std::vector<STATSTG> elements;
    writable->Elements(elements);
    if (!elements.empty()) {
        Check(SUCCEEDED(writable->DestroyElement(elements[0].name.c_str())), "a listed element destroyed");
        Check(writable->DestroyElement(elements[0].name.c_str()) == STG_E_FILENOTFOUND, "an element gone");
    }
    for (const STATSTG& e : elements) {
        ComPtr<IStream> stream;
        if (e.type != STGTY_STREAM || FAILED(writable->OpenStream(e.name.c_str(), STGM_READWRITE, stream.Put())))
            continue;
        Check(SUCCEEDED(stream->SetSize(e.size / 2)) && SUCCEEDED(stream->Seek(0, STREAM_SEEK_END, nullptr)) &&
                  SUCCEEDED(stream->Write("+", 1, nullptr)),
              "a stream cut and written to");
        break;
    }
    writable->SetClass(CLSID{0x0001E240, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}});
    ComPtr<IStorage> sub;
    if (SUCCEEDED(writable->CreateStorage(u"FuzzStorage", STGM_CREATE | STGM_READWRITE, sub.Put())))
        WriteStreamBytes(sub.Get(), u"Inner", {1, 2, 3});
    Check(SUCCEEDED(WriteStreamBytes(writable.Get(), u"FuzzStream", {'n', 'e', 'w'})), "a new stream");
    Check(SUCCEEDED(writable->Commit(0)), "a commit of new elements");
    std::string changed;
    Describe(writable.Get(), 0, changed);
    Check(Describe(bytes.Get(), STGM_READ) == changed, "new elements lost by their commit");
    return 0;
}
