// Lock bytes in memory and storages kept in them as compound files: the
// tree of streams is held in memory and written whole through libgsf.
#include "framework/ole/storage.hpp"

#include <gsf/gsf.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>

namespace ole {

namespace {

// ---------------------------------------------------------------- lock bytes

class MemoryLockBytes final : public ComObject<ILockBytes> {
public:
    explicit MemoryLockBytes(std::vector<uint8_t> data = {}) : data_(std::move(data)) {}
    HRESULT ReadAt(uint64_t offset, void* buffer, ULONG count, ULONG* read) override {
        ULONG n = 0;
        if (offset < data_.size()) n = ULONG(std::min<uint64_t>(count, data_.size() - offset));
        if (n) std::memcpy(buffer, data_.data() + offset, n);
        if (read) *read = n;
        return S_OK;
    }
    HRESULT WriteAt(uint64_t offset, const void* buffer, ULONG count, ULONG* written) override {
        if (offset + count > data_.size()) data_.resize(size_t(offset + count));
        if (count) std::memcpy(data_.data() + offset, buffer, count);
        if (written) *written = count;
        return S_OK;
    }
    HRESULT Flush() override { return S_OK; }
    HRESULT SetSize(uint64_t size) override {
        data_.resize(size_t(size));
        return S_OK;
    }
    HRESULT Stat(STATSTG* stat) override {
        if (!stat) return E_POINTER;
        *stat = {};
        stat->type = STGTY_LOCKBYTES;
        stat->size = data_.size();
        return S_OK;
    }
    std::vector<uint8_t> data_;
};

// ---------------------------------------------------------------- the tree

struct Node {
    bool storage = false;
    std::vector<uint8_t> data;
    std::map<std::u16string, std::shared_ptr<Node>> children;
    CLSID clsid;
};

// One open compound file: its lock bytes and its tree.
struct Doc {
    ComPtr<ILockBytes> bytes;
    std::shared_ptr<Node> root;
    bool writable = true;
};

constexpr uint8_t kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};

void WriteNode(GsfOutfile* dir, const Node& n) {
    uint8_t id[16];
    GuidToBytes(n.clsid, id);
    if (GSF_IS_OUTFILE_MSOLE(dir)) gsf_outfile_msole_set_class_id(GSF_OUTFILE_MSOLE(dir), id);
    for (const auto& [name, child] : n.children) {
        const std::string utf8 = WideToUtf8(name);
        GsfOutput* out = gsf_outfile_new_child(dir, utf8.c_str(), child->storage);
        if (!out) continue;
        if (child->storage)
            WriteNode(GSF_OUTFILE(out), *child);
        else if (!child->data.empty())
            gsf_output_write(out, child->data.size(), child->data.data());
        gsf_output_close(out);
        g_object_unref(out);
    }
}

HRESULT WriteDoc(Doc& d) {
    GsfOutput* mem = gsf_output_memory_new();
    GsfOutfile* file = gsf_outfile_msole_new(mem);
    WriteNode(file, *d.root);
    gsf_output_close(GSF_OUTPUT(file));
    g_object_unref(file);
    const size_t size = size_t(gsf_output_size(mem));
    std::vector<uint8_t> bytes(size);
    if (size) std::memcpy(bytes.data(), gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(mem)), size);
    if (!gsf_output_is_closed(mem)) gsf_output_close(mem);  // the compound file closes its sink itself
    g_object_unref(mem);
    HRESULT hr = d.bytes->SetSize(0);
    if (SUCCEEDED(hr)) hr = d.bytes->WriteAt(0, bytes.data(), ULONG(bytes.size()), nullptr);
    return SUCCEEDED(hr) ? S_OK : STG_E_WRITEFAULT;
}

bool ReadNode(GsfInfile* dir, Node& n, int depth) {
    if (depth > 32) return false;  // nothing read is trusted, a looping tree included
    uint8_t id[16] = {};
    if (GSF_IS_INFILE_MSOLE(dir) && gsf_infile_msole_get_class_id(GSF_INFILE_MSOLE(dir), id))
        n.clsid = GuidFromBytes(id);
    const int count = gsf_infile_num_children(dir);
    for (int i = 0; i < count; ++i) {
        const char* name = gsf_infile_name_by_index(dir, i);
        GsfInput* in = gsf_infile_child_by_index(dir, i);
        if (!name || !in) {
            if (in) g_object_unref(in);
            return false;
        }
        auto child = std::make_shared<Node>();
        bool ok = true;
        if (GSF_IS_INFILE(in) && gsf_infile_num_children(GSF_INFILE(in)) >= 0) {
            child->storage = true;
            ok = ReadNode(GSF_INFILE(in), *child, depth + 1);
        } else {
            const gsf_off_t size = gsf_input_size(in);
            child->data.resize(size_t(std::max<gsf_off_t>(0, size)));
            if (size > 0 && !gsf_input_read(in, size_t(size), child->data.data())) ok = false;
        }
        g_object_unref(in);
        if (!ok) return false;
        n.children[Utf8ToWide(name)] = std::move(child);
    }
    return true;
}

HRESULT ReadDoc(ILockBytes* bytes, std::shared_ptr<Node>& root) {
    STATSTG st;
    bytes->Stat(&st);
    std::vector<uint8_t> data(size_t(st.size));
    ULONG read = 0;
    if (!data.empty()) bytes->ReadAt(0, data.data(), ULONG(data.size()), &read);
    if (read < sizeof kSignature || std::memcmp(data.data(), kSignature, sizeof kSignature) != 0)
        return STG_E_INVALIDHEADER;
    GsfInput* in = gsf_input_memory_new(data.data(), gsf_off_t(data.size()), FALSE);
    GError* err = nullptr;
    GsfInfile* file = gsf_infile_msole_new(in, &err);
    g_object_unref(in);
    if (!file) {
        if (err) g_error_free(err);
        return STG_E_INVALIDHEADER;
    }
    root = std::make_shared<Node>();
    root->storage = true;
    const bool ok = ReadNode(file, *root, 0);
    g_object_unref(file);
    return ok ? S_OK : STG_E_READFAULT;
}

// ---------------------------------------------------------------- streams and storages

class Stream final : public ComObject<IStream> {
public:
    Stream(std::shared_ptr<Doc> doc, std::shared_ptr<Node> node, std::u16string name)
        : doc_(std::move(doc)), node_(std::move(node)), name_(std::move(name)) {}
    HRESULT Read(void* buffer, ULONG count, ULONG* read) override {
        ULONG n = 0;
        if (pos_ < node_->data.size()) n = ULONG(std::min<uint64_t>(count, node_->data.size() - pos_));
        if (n) std::memcpy(buffer, node_->data.data() + pos_, n);
        pos_ += n;
        if (read) *read = n;
        return S_OK;
    }
    HRESULT Write(const void* buffer, ULONG count, ULONG* written) override {
        if (!doc_->writable) return STG_E_ACCESSDENIED;
        if (pos_ + count > node_->data.size()) node_->data.resize(size_t(pos_ + count));
        if (count) std::memcpy(node_->data.data() + pos_, buffer, count);
        pos_ += count;
        if (written) *written = count;
        return S_OK;
    }
    HRESULT Seek(int64_t move, DWORD origin, uint64_t* new_position) override {
        int64_t base = 0;
        if (origin == STREAM_SEEK_CUR)
            base = int64_t(pos_);
        else if (origin == STREAM_SEEK_END)
            base = int64_t(node_->data.size());
        else if (origin != STREAM_SEEK_SET)
            return STG_E_INVALIDFUNCTION;
        if (base + move < 0) return STG_E_INVALIDFUNCTION;
        pos_ = uint64_t(base + move);
        if (new_position) *new_position = pos_;
        return S_OK;
    }
    HRESULT SetSize(uint64_t size) override {
        if (!doc_->writable) return STG_E_ACCESSDENIED;
        node_->data.resize(size_t(size));
        return S_OK;
    }
    HRESULT Stat(STATSTG* stat) override {
        if (!stat) return E_POINTER;
        *stat = {name_, STGTY_STREAM, node_->data.size(), GUID_NULL};
        return S_OK;
    }

private:
    std::shared_ptr<Doc> doc_;
    std::shared_ptr<Node> node_;
    std::u16string name_;
    uint64_t pos_ = 0;
};

// Element names: up to 31 characters, none of '\', '/', ':', '!'.
bool ValidName(std::u16string_view name) {
    if (name.empty() || name.size() > 31) return false;
    return name.find_first_of(u"\\/:!") == std::u16string_view::npos;
}

class Storage final : public ComObject<IStorage> {
public:
    Storage(std::shared_ptr<Doc> doc, std::shared_ptr<Node> node, std::u16string name)
        : doc_(std::move(doc)), node_(std::move(node)), name_(std::move(name)) {}
    HRESULT CreateStream(LPCOLESTR name, DWORD mode, IStream** out) override {
        return Create(name, mode, false, reinterpret_cast<void**>(out));
    }
    HRESULT OpenStream(LPCOLESTR name, DWORD, IStream** out) override {
        return Open(name, false, reinterpret_cast<void**>(out));
    }
    HRESULT CreateStorage(LPCOLESTR name, DWORD mode, IStorage** out) override {
        return Create(name, mode, true, reinterpret_cast<void**>(out));
    }
    HRESULT OpenStorage(LPCOLESTR name, DWORD, IStorage** out) override {
        return Open(name, true, reinterpret_cast<void**>(out));
    }
    HRESULT DestroyElement(LPCOLESTR name) override {
        if (!doc_->writable) return STG_E_ACCESSDENIED;
        return node_->children.erase(std::u16string(WideView(name))) ? S_OK : STG_E_FILENOTFOUND;
    }
    HRESULT Elements(std::vector<STATSTG>& out) override {
        out.clear();
        for (const auto& [name, n] : node_->children)
            out.push_back({name, n->storage ? DWORD(STGTY_STORAGE) : DWORD(STGTY_STREAM), n->data.size(), n->clsid});
        return S_OK;
    }
    HRESULT SetClass(const CLSID& clsid) override {
        if (!doc_->writable) return STG_E_ACCESSDENIED;
        node_->clsid = clsid;
        return S_OK;
    }
    HRESULT Commit(DWORD) override { return doc_->writable ? WriteDoc(*doc_) : S_OK; }
    HRESULT Stat(STATSTG* stat) override {
        if (!stat) return E_POINTER;
        *stat = {name_, STGTY_STORAGE, 0, node_->clsid};
        return S_OK;
    }

private:
    HRESULT Create(LPCOLESTR name, DWORD mode, bool storage, void** out) {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (!doc_->writable) return STG_E_ACCESSDENIED;
        const std::u16string key(WideView(name));
        if (!ValidName(key)) return STG_E_INVALIDNAME;
        auto& slot = node_->children[key];
        if (slot && !(mode & STGM_CREATE)) return STG_E_FILEALREADYEXISTS;
        slot = std::make_shared<Node>();
        slot->storage = storage;
        return Hand(key, slot, out);
    }
    HRESULT Open(LPCOLESTR name, bool storage, void** out) {
        if (!out) return E_POINTER;
        *out = nullptr;
        auto it = node_->children.find(std::u16string(WideView(name)));
        if (it == node_->children.end() || it->second->storage != storage) return STG_E_FILENOTFOUND;
        return Hand(it->first, it->second, out);
    }
    HRESULT Hand(const std::u16string& name, const std::shared_ptr<Node>& n, void** out) {
        if (n->storage)
            *out = static_cast<IStorage*>(MakeCom<Storage>(doc_, n, name).Detach());
        else
            *out = static_cast<IStream*>(MakeCom<Stream>(doc_, n, name).Detach());
        return S_OK;
    }
    std::shared_ptr<Doc> doc_;
    std::shared_ptr<Node> node_;
    std::u16string name_;
};

}  // namespace

HRESULT CreateILockBytesOnHGlobal(void*, BOOL, ILockBytes** out) {
    if (!out) return E_POINTER;
    *out = MakeCom<MemoryLockBytes>().Detach();
    return S_OK;
}

std::vector<uint8_t> LockBytesData(ILockBytes* bytes) {
    std::vector<uint8_t> out;
    STATSTG st;
    if (!bytes || FAILED(bytes->Stat(&st))) return out;
    out.resize(size_t(st.size));
    ULONG read = 0;
    if (!out.empty()) bytes->ReadAt(0, out.data(), ULONG(out.size()), &read);
    out.resize(read);
    return out;
}

HRESULT LockBytesFromData(const std::vector<uint8_t>& data, ILockBytes** out) {
    if (!out) return E_POINTER;
    *out = MakeCom<MemoryLockBytes>(data).Detach();
    return S_OK;
}

HRESULT StgIsStorageILockBytes(ILockBytes* bytes) {
    if (!bytes) return E_POINTER;
    uint8_t head[8] = {};
    ULONG read = 0;
    bytes->ReadAt(0, head, sizeof head, &read);
    return read == sizeof head && std::memcmp(head, kSignature, sizeof head) == 0 ? S_OK : S_FALSE;
}

HRESULT StgCreateDocfileOnILockBytes(ILockBytes* bytes, DWORD mode, DWORD, IStorage** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!bytes) return E_POINTER;
    STATSTG st;
    bytes->Stat(&st);
    if (st.size > 0 && !(mode & STGM_CREATE)) return STG_E_FILEALREADYEXISTS;
    auto doc = std::make_shared<Doc>();
    doc->bytes = ComPtr<ILockBytes>(bytes);
    doc->root = std::make_shared<Node>();
    doc->root->storage = true;
    if (const HRESULT hr = WriteDoc(*doc); FAILED(hr)) return hr;
    *out = MakeCom<Storage>(doc, doc->root, u"Root Entry").Detach();
    return S_OK;
}

HRESULT StgOpenStorageOnILockBytes(ILockBytes* bytes, IStorage*, DWORD mode, void*, DWORD, IStorage** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!bytes) return E_POINTER;
    auto doc = std::make_shared<Doc>();
    doc->bytes = ComPtr<ILockBytes>(bytes);
    doc->writable = (mode & 3) != STGM_READ;
    if (const HRESULT hr = ReadDoc(bytes, doc->root); FAILED(hr)) return hr;
    *out = MakeCom<Storage>(doc, doc->root, u"Root Entry").Detach();
    return S_OK;
}

HRESULT WriteStreamBytes(IStorage* storage, std::u16string_view name, const std::vector<uint8_t>& bytes) {
    ComPtr<IStream> s;
    const std::u16string n(name);
    HRESULT hr = storage->CreateStream(n.c_str(), STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, s.Put());
    if (FAILED(hr)) return hr;
    return s->Write(bytes.data(), ULONG(bytes.size()), nullptr);
}

HRESULT ReadStreamBytes(IStorage* storage, std::u16string_view name, std::vector<uint8_t>& bytes) {
    ComPtr<IStream> s;
    const std::u16string n(name);
    HRESULT hr = storage->OpenStream(n.c_str(), STGM_READ | STGM_SHARE_EXCLUSIVE, s.Put());
    if (FAILED(hr)) return hr;
    STATSTG st;
    s->Stat(&st);
    bytes.resize(size_t(st.size));
    ULONG read = 0;
    if (!bytes.empty()) s->Read(bytes.data(), ULONG(bytes.size()), &read);
    bytes.resize(read);
    return S_OK;
}

}  // namespace ole
