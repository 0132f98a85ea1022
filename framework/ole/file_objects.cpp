// Objects of files: a file's bytes embedded in a storage, or a link to a file
// by its path. Both show a content view (the file's first lines, or its
// size) or an icon, keep an icon in their presentation cache, and open with
// the desktop's opener.
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>

#include "framework/ole/oleidl.hpp"
#include "platform/codepage.hpp"
#include "platform/process.hpp"

namespace ole {

namespace {

constexpr std::array<DocumentClass, 5> kClasses = {{
    {{0x6C1A0001, 0xC0A7, 0x4E11, {0x9B, 0x10, 0x43, 0x4F, 0x52, 0x56, 0x54, 0x01}},
     ".txt",
     "Text Document",
     "Text",
     "OLETEXT",
     true},
    {{0x6C1A0002, 0xC0A7, 0x4E11, {0x9B, 0x10, 0x43, 0x4F, 0x52, 0x56, 0x54, 0x02}},
     ".csv",
     "Comma Separated Values",
     "CSV",
     "OLESHEET",
     true},
    {{0x6C1A0003, 0xC0A7, 0x4E11, {0x9B, 0x10, 0x43, 0x4F, 0x52, 0x56, 0x54, 0x03}},
     ".png",
     "PNG Image",
     "Image",
     "OLEIMAGE",
     false},
    {{0x6C1A0004, 0xC0A7, 0x4E11, {0x9B, 0x10, 0x43, 0x4F, 0x52, 0x56, 0x54, 0x04}},
     ".pdf",
     "PDF Document",
     "PDF",
     "OLEPDF",
     false},
    {{0x0003000C, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}}, "", "Package", "Package", "OLEPACKAGE", false},
}};
const DocumentClass& PackageClass() { return kClasses.back(); }

std::string Lower(std::string s) {
    for (char& c : s) c = char(std::tolower(uint8_t(c)));
    return s;
}

std::string FileNameOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The first lines of a text file as a content view shows them.
std::vector<std::string> FirstLines(const std::vector<uint8_t>& bytes, size_t count) {
    std::vector<std::string> lines(1);
    for (uint8_t b : bytes) {
        if (b == '\n') {
            if (lines.size() == count) break;
            lines.emplace_back();
        } else if (b == '\t') {
            lines.back() += ' ';
        } else if (b >= 32 && lines.back().size() < 80) {
            lines.back() += char(b);
        }
    }
    if (lines.back().empty() && lines.size() > 1) lines.pop_back();
    return lines;
}

// A link's name as the desktop takes it: a relative one from the current folder. "" when there is none.
std::string AbsolutePath(const std::string& path) {
    if (path.empty() || path[0] == '/') return path;
    std::error_code ec;
    const std::filesystem::path folder = std::filesystem::current_path(ec);
    if (ec) return "";
    return (folder / path).lexically_normal().string();
}

// A device, a pipe or a folder has no bytes to take: reading one would never
// end or never start.
bool NotRegular(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode);
}

bool Readable(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), R_OK) == 0;
}

// The whole file; kNotRegularFile for anything but a regular file, which is
// checked again on the open file (a pipe put in its place is never waited on).
HRESULT ReadFile(const std::string& path, std::vector<uint8_t>& out) {
    if (NotRegular(path)) return kNotRegularFile;
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return STG_E_FILENOTFOUND;
    struct stat st;
    HRESULT hr = fstat(fd, &st) != 0 ? STG_E_READFAULT : S_ISREG(st.st_mode) ? S_OK : kNotRegularFile;
    std::vector<uint8_t> bytes;
    if (SUCCEEDED(hr)) {
        // Sized from the file, grown if it grows meanwhile.
        bytes.resize(size_t(st.st_size) + 1);
        size_t used = 0;
        for (;;) {
            if (used == bytes.size()) bytes.resize(bytes.size() * 2);
            const ssize_t n = read(fd, bytes.data() + used, bytes.size() - used);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) hr = STG_E_READFAULT;
            if (n <= 0) break;
            used += size_t(n);
        }
        bytes.resize(used);
    }
    close(fd);
    if (SUCCEEDED(hr)) out = std::move(bytes);
    return hr;
}

// Our record of an object inside its storage ("\1Ole"): a few lines of key=value.
struct Record {
    std::string kind, name;  // "embed" or "link"; the file name or the link's path (UTF-8)
    DWORD update = OLEUPDATE_ALWAYS;
    std::string icon_label;  // the cached icon's label, when there is one
    std::string icon_name;
};

std::vector<uint8_t> WriteRecord(const Record& r) {
    std::ostringstream out;
    out << "kind=" << r.kind << "\nname=" << r.name << "\nupdate=" << r.update << "\n";
    if (!r.icon_name.empty()) out << "icon=" << r.icon_name << "\nlabel=" << r.icon_label << "\n";
    const std::string s = out.str();
    return {s.begin(), s.end()};
}

bool ReadRecord(const std::vector<uint8_t>& bytes, Record& r) {
    std::istringstream in(std::string(bytes.begin(), bytes.end()));
    std::string line;
    while (std::getline(in, line)) {
        const size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        const std::string key = line.substr(0, eq), value = line.substr(eq + 1);
        if (key == "kind")
            r.kind = value;
        else if (key == "name")
            r.name = value;
        else if (key == "update")
            r.update = DWORD(std::strtoul(value.c_str(), nullptr, 10));
        else if (key == "icon")
            r.icon_name = value;
        else if (key == "label")
            r.icon_label = value;
    }
    return (r.kind == "embed" || r.kind == "link") && !r.name.empty();
}

constexpr char16_t kOleStream[] = u"\u0001Ole";
constexpr char16_t kCompObjStream[] = u"\u0001CompObj";
constexpr char16_t kContentsStream[] = u"CONTENTS";

// ---------------------------------------------------------------- the object

class FileObject final : public ComObject<IOleObject, IOleLink, IOleCache, IViewObject, IPersistStorage, IDataObject> {
public:
    FileObject(bool link, const DocumentClass& cls) : link_(link), cls_(&cls) {}

    // IOleObject
    HRESULT SetClientSite(IOleClientSite* site) override {
        site_ = ComPtr<IOleClientSite>(site);
        return S_OK;
    }
    HRESULT GetClientSite(IOleClientSite** site) override {
        if (!site) return E_POINTER;
        *site = ComPtr<IOleClientSite>(site_).Detach();
        return S_OK;
    }
    HRESULT SetHostNames(LPCOLESTR, LPCOLESTR) override { return S_OK; }
    HRESULT Close(DWORD save_option) override {
        if (save_option == OLECLOSE_SAVEIFDIRTY && dirty_ && storage_) Save(storage_.Get(), true);
        closed_ = true;
        for (auto& [id, sink] : sinks_) sink->OnClose();
        return S_OK;
    }
    HRESULT DoVerb(LONG verb, IOleClientSite*, HWND) override {
        if (verb == OLEIVERB_HIDE) return S_OK;
        if (verb != OLEIVERB_PRIMARY && verb != OLEIVERB_SHOW && verb != OLEIVERB_OPEN) return E_NOTIMPL;
        std::string path = name_;
        if (!link_) {
            // The desktop opens a copy of the embedded bytes.
            char folder[] = "/tmp/corvanta-object-XXXXXX";
            if (!mkdtemp(folder)) return E_FAIL;
            path = std::string(folder) + "/" + FileNameOf(name_);
            std::ofstream out(path, std::ios::binary);
            out.write(reinterpret_cast<const char*>(bytes_.data()), std::streamsize(bytes_.size()));
            if (!out) return E_FAIL;
        } else if (!Readable(path)) {
            return MK_E_NOOBJECT;
        }
        int error = 0;
        if (!platform::Launcher().Start({"xdg-open", path}, error)) return E_FAIL;
        if (site_) site_->OnShowWindow(true);
        return S_OK;
    }
    HRESULT Update() override {
        if (!link_) return S_OK;
        std::vector<uint8_t> bytes;
        if (FAILED(ReadFile(name_, bytes))) {
            available_ = false;
            return OLE_E_CANT_BINDTOSOURCE;
        }
        available_ = true;
        bytes_ = std::move(bytes);
        ++updates_;
        ViewChanged(DVASPECT_CONTENT);
        return S_OK;
    }
    HRESULT IsUpToDate() override { return S_OK; }
    HRESULT GetUserClassID(CLSID* clsid) override {
        if (!clsid) return E_POINTER;
        *clsid = cls_->clsid;
        return S_OK;
    }
    HRESULT GetUserType(DWORD form, LPOLESTR* type) override { return OleRegGetUserType(cls_->clsid, form, type); }
    HRESULT SetExtent(DWORD aspect, const SIZEL* size) override {
        if (!size) return E_POINTER;
        extents_[aspect] = *size;
        return S_OK;
    }
    HRESULT GetExtent(DWORD aspect, SIZEL* size) override {
        if (!size) return E_POINTER;
        auto it = extents_.find(aspect);
        *size = it != extents_.end() ? it->second : aspect == DVASPECT_ICON ? SIZEL{1700, 1300} : SIZEL{6000, 2000};
        return S_OK;
    }
    HRESULT Advise(IAdviseSink* sink, DWORD* connection) override {
        if (!sink || !connection) return E_POINTER;
        *connection = ++next_sink_;
        sinks_[*connection] = ComPtr<IAdviseSink>(sink);
        return S_OK;
    }
    HRESULT Unadvise(DWORD connection) override { return sinks_.erase(connection) ? S_OK : OLE_E_NOCONNECTION; }
    HRESULT GetMiscStatus(DWORD, DWORD* status) override {
        if (!status) return E_POINTER;
        *status = link_ ? DWORD(OLEMISC_CANTLINKINSIDE) : 0;
        return S_OK;
    }

    // IOleLink (links only answer it)
    HRESULT SetUpdateOptions(DWORD options) override {
        if (options != OLEUPDATE_ALWAYS && options != OLEUPDATE_ONCALL) return E_INVALIDARG;
        update_ = options;
        dirty_ = true;
        return S_OK;
    }
    HRESULT GetUpdateOptions(DWORD* options) override {
        if (!options) return E_POINTER;
        *options = update_;
        return S_OK;
    }
    HRESULT SetSourceDisplayName(LPCOLESTR name) override {
        const std::string path = AbsolutePath(WideToUtf8(WideView(name)));
        if (path.empty()) return MK_E_SYNTAX;
        if (NotRegular(path)) return kNotRegularFile;
        name_ = path;
        cls_ = FindDocumentClass(ClassOfFile(Utf8ToWide(path)));
        dirty_ = true;
        return S_OK;
    }
    HRESULT GetSourceDisplayName(LPOLESTR* name) override {
        if (!name) return E_POINTER;
        *name = CoTaskWideDup(Utf8ToWide(name_));
        return *name ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT BindToSource(DWORD) override { return Readable(name_) ? S_OK : MK_E_NOOBJECT; }
    HRESULT BindIfRunning() override { return S_OK; }
    HRESULT UnbindSource() override { return S_OK; }
    HRESULT Update(void*) override { return Update(); }

    // IOleCache
    HRESULT Cache(const FORMATETC* format, DWORD advf, DWORD* connection) override {
        if (!format || !connection) return E_POINTER;
        for (const STATDATA& s : cache_)
            if (s.format.dwAspect == format->dwAspect) {
                *connection = s.connection;
                return HRESULT(0x00040170);  // CACHE_S_SAMECACHE
            }
        cache_.push_back({*format, advf, ++next_cache_});
        *connection = next_cache_;
        return S_OK;
    }
    HRESULT Uncache(DWORD connection) override {
        auto it =
            std::find_if(cache_.begin(), cache_.end(), [&](const STATDATA& s) { return s.connection == connection; });
        if (it == cache_.end()) return OLE_E_NOCONNECTION;
        if (it->format.dwAspect == DVASPECT_ICON) icon_.reset();
        cache_.erase(it);
        return S_OK;
    }
    HRESULT EnumCache(std::vector<STATDATA>& out) override {
        out = cache_;
        return S_OK;
    }
    HRESULT SetData(const FORMATETC* format, HGLOBAL pict, BOOL release) override {
        if (!format || !pict) return E_POINTER;
        if (format->cfFormat != CF_METAFILEPICT) return DV_E_FORMATETC;
        const bool cached = std::any_of(cache_.begin(), cache_.end(),
                                        [&](const STATDATA& s) { return s.format.dwAspect == format->dwAspect; });
        if (!cached) return OLE_E_BLANK;
        IconPicture p;
        if (!MetafilePictContent(pict, p)) return DV_E_FORMATETC;
        if (format->dwAspect == DVASPECT_ICON) icon_ = p;
        dirty_ = true;
        if (release) {
            METAFILEPICT mp;
            std::memcpy(&mp, GlobalLock(pict), sizeof mp);
            GlobalUnlock(pict);
            DeleteMetaFile(mp.hMF);
            GlobalFree(pict);
        }
        return S_OK;
    }

    // IViewObject
    HRESULT GetPresentation(DWORD aspect, Presentation* out) override {
        if (!out) return E_POINTER;
        if (aspect != DVASPECT_CONTENT && aspect != DVASPECT_ICON) return DV_E_DVASPECT;
        *out = {};
        out->aspect = aspect;
        out->title = platform::Utf8ToAnsi(FileNameOf(name_));
        if (link_ && !available_) {
            out->lines = {"(source not available)"};
        } else if (cls_->text) {
            out->lines = FirstLines(bytes_, 4);
        } else {
            out->lines = {std::to_string(bytes_.size()) + " bytes"};
        }
        out->icon = icon_ ? *icon_ : IconPicture{cls_->icon, out->title};
        return S_OK;
    }
    HRESULT SetAdvise(DWORD, DWORD, IAdviseSink* sink) override {
        view_sink_ = ComPtr<IAdviseSink>(sink);
        return S_OK;
    }

    // IPersistStorage
    HRESULT IsDirty() override { return dirty_ ? S_OK : S_FALSE; }
    HRESULT InitNew(IStorage* storage) override {
        storage_ = ComPtr<IStorage>(storage);
        return S_OK;
    }
    HRESULT Load(IStorage* storage) override {
        std::vector<uint8_t> bytes;
        Record r;
        if (FAILED(ReadStreamBytes(storage, kOleStream, bytes)) || !ReadRecord(bytes, r)) return STG_E_READFAULT;
        link_ = r.kind == "link";
        name_ = r.name;
        update_ = r.update == OLEUPDATE_ONCALL ? DWORD(OLEUPDATE_ONCALL) : DWORD(OLEUPDATE_ALWAYS);
        if (!r.icon_name.empty()) icon_ = IconPicture{r.icon_name, r.icon_label};
        STATSTG st;
        storage->Stat(&st);
        cls_ = FindDocumentClass(link_ ? ClassOfFile(Utf8ToWide(name_)) : st.clsid);
        if (!link_ && FAILED(ReadStreamBytes(storage, kContentsStream, bytes_))) return STG_E_READFAULT;
        storage_ = ComPtr<IStorage>(storage);
        if (link_ && update_ == OLEUPDATE_ALWAYS) Update();
        dirty_ = false;
        return S_OK;
    }
    HRESULT Save(IStorage* storage, BOOL) override {
        if (!storage) return E_POINTER;
        Record r{link_ ? "link" : "embed", name_, update_, icon_ ? icon_->label : "", icon_ ? icon_->icon : ""};
        const std::string comp = std::string("Corvanta object\n") + cls_->full_type + "\n" + GuidToString(cls_->clsid);
        HRESULT hr = storage->SetClass(link_ ? CLSID_StdOleLink : cls_->clsid);
        if (SUCCEEDED(hr)) hr = WriteStreamBytes(storage, kCompObjStream, {comp.begin(), comp.end()});
        if (SUCCEEDED(hr)) hr = WriteStreamBytes(storage, kOleStream, WriteRecord(r));
        if (SUCCEEDED(hr) && !link_) hr = WriteStreamBytes(storage, kContentsStream, bytes_);
        if (SUCCEEDED(hr)) hr = storage->Commit(0);
        if (SUCCEEDED(hr)) dirty_ = false;
        return hr;
    }
    HRESULT SaveCompleted(IStorage*) override { return S_OK; }
    HRESULT HandsOffStorage() override {
        storage_.Reset();
        return S_OK;
    }

    // IDataObject
    HRESULT GetText(std::string* out) override {
        if (!out) return E_POINTER;
        *out = cls_->text ? std::string(bytes_.begin(), bytes_.end()) : std::string();
        return cls_->text ? S_OK : DV_E_FORMATETC;
    }

    HRESULT GetData(const FORMATETC* format, HGLOBAL* pict) override {
        if (!format || !pict) return E_POINTER;
        *pict = nullptr;
        if (format->cfFormat != CF_METAFILEPICT || format->dwAspect != DVASPECT_ICON) return DV_E_FORMATETC;
        if (!icon_) return OLE_E_BLANK;
        *pict = OleMetafilePictFromIconAndLabel(icon_->icon, icon_->label);
        return S_OK;
    }

    // Creation
    HRESULT FromFile(const std::string& path, IStorage* storage) {
        name_ = link_ ? path : FileNameOf(path);
        // A link to a file not there (yet) is kept, its source not available.
        if (const HRESULT hr = ReadFile(path, bytes_); FAILED(hr)) {
            if (!link_ || hr == kNotRegularFile) return hr;
            available_ = false;
        }
        storage_ = ComPtr<IStorage>(storage);
        const FORMATETC content{CF_METAFILEPICT, DVASPECT_CONTENT, -1};
        DWORD conn = 0;
        Cache(&content, ADVF_PRIMEFIRST, &conn);
        dirty_ = true;
        return storage ? Save(storage, true) : S_OK;
    }

    HRESULT QueryInterface(const IID& iid, void** out) override {
        // An embedded object has no link.
        if (iid == IOleLink::kIid && !link_) {
            if (out) *out = nullptr;
            return E_NOINTERFACE;
        }
        return ComObject::QueryInterface(iid, out);
    }

private:
    void ViewChanged(DWORD aspect) {
        if (view_sink_) view_sink_->OnViewChange(aspect, -1);
    }

    bool link_;
    const DocumentClass* cls_;
    std::string name_;  // the file name (embedded) or the path (linked), UTF-8
    std::vector<uint8_t> bytes_;
    bool available_ = true, dirty_ = false, closed_ = false;
    DWORD update_ = OLEUPDATE_ALWAYS;
    int updates_ = 0;
    ComPtr<IOleClientSite> site_;
    ComPtr<IStorage> storage_;
    ComPtr<IAdviseSink> view_sink_;
    std::map<DWORD, ComPtr<IAdviseSink>> sinks_;
    DWORD next_sink_ = 0, next_cache_ = 0;
    std::vector<STATDATA> cache_;
    std::optional<IconPicture> icon_;
    std::map<DWORD, SIZEL> extents_;
};

HRESULT Hand(const ComPtr<FileObject>& obj, IOleClientSite* site, const IID& iid, void** out) {
    if (site) obj->SetClientSite(site);
    return obj->QueryInterface(iid, out);
}

}  // namespace

const DocumentClass* FindDocumentClass(const CLSID& clsid) {
    for (const DocumentClass& c : kClasses)
        if (c.clsid == clsid) return &c;
    return &PackageClass();
}

CLSID ClassOfFile(std::u16string_view path) {
    const std::string p = Lower(WideToUtf8(path));
    const size_t dot = p.find_last_of('.');
    const std::string ext = dot == std::string::npos || p.find('/', dot) != std::string::npos ? "" : p.substr(dot);
    for (const DocumentClass& c : kClasses)
        if (*c.extension && ext == c.extension) return c.clsid;
    return PackageClass().clsid;
}

HRESULT OleRegGetUserType(const CLSID& clsid, DWORD form, LPOLESTR* out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    const DocumentClass* c = nullptr;
    for (const DocumentClass& k : kClasses)
        if (k.clsid == clsid) c = &k;
    if (!c) return REGDB_E_CLASSNOTREG;
    const char* name = form == USERCLASSTYPE_SHORT ? c->short_type
        : form == USERCLASSTYPE_APPNAME            ? "Corvanta"
                                                   : c->full_type;
    *out = CoTaskWideDup(AnsiToWide(name));
    return *out ? S_OK : E_OUTOFMEMORY;
}

HGLOBAL OleGetIconOfClass(const CLSID& clsid, LPCOLESTR label, BOOL type_as_label) {
    const DocumentClass* c = FindDocumentClass(clsid);
    std::string text = label ? WideToAnsi(WideView(label)) : type_as_label ? c->full_type : "Document";
    return OleMetafilePictFromIconAndLabel(c->icon, text);
}

HRESULT OleCreateFromFile(const CLSID&, LPCOLESTR path, const IID& iid, DWORD, const FORMATETC*, IOleClientSite* site,
                          IStorage* storage, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    const std::u16string wide(WideView(path));
    if (wide.empty()) return STG_E_FILENOTFOUND;
    auto obj = MakeCom<FileObject>(false, *FindDocumentClass(ClassOfFile(wide)));
    if (const HRESULT hr = obj->FromFile(WideToUtf8(wide), storage); FAILED(hr)) return hr;
    return Hand(obj, site, iid, out);
}

HRESULT OleCreateLinkToFile(LPCOLESTR path, const IID& iid, DWORD, const FORMATETC*, IOleClientSite* site,
                            IStorage* storage, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    const std::string absolute = AbsolutePath(WideToUtf8(WideView(path)));
    if (absolute.empty()) return MK_E_SYNTAX;
    auto obj = MakeCom<FileObject>(true, *FindDocumentClass(ClassOfFile(Utf8ToWide(absolute))));
    if (const HRESULT hr = obj->FromFile(absolute, storage); FAILED(hr)) return hr;
    return Hand(obj, site, iid, out);
}

HRESULT OleLoad(IStorage* storage, const IID& iid, IOleClientSite* site, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!storage) return E_POINTER;
    auto obj = MakeCom<FileObject>(false, PackageClass());
    if (const HRESULT hr = obj->Load(storage); FAILED(hr)) return hr;
    return Hand(obj, site, iid, out);
}

HRESULT OleSave(IPersistStorage* object, IStorage* storage, BOOL same_as_load) {
    if (!object || !storage) return E_POINTER;
    return object->Save(storage, same_as_load);
}

}  // namespace ole
