#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

#include "framework/ole/oleidl.hpp"
#include "platform/process.hpp"
#include "tests/support/temp_dir.hpp"

namespace ole {
namespace {

class ObjectsTest : public ::testing::Test {
protected:
    void SetUp() override {
        previous_ = platform::InstallProcessLauncher(&launcher_);
        Write("statement.txt", "Date,Amount\n01/02/2026,12.50\n02/02/2026,7.25\n");
        Write("photo.png", std::string(300, 'p'));
    }
    void TearDown() override { platform::InstallProcessLauncher(previous_); }
    void Write(const std::string& name, const std::string& text) {
        std::ofstream(dir_ / name, std::ios::binary) << text;
    }
    std::u16string Path(const std::string& name) { return AnsiToWide(dir_ / name); }
    ComPtr<IStorage> Storage() {
        ComPtr<ILockBytes> bytes;
        CreateILockBytesOnHGlobal(nullptr, true, bytes.Put());
        ComPtr<IStorage> s;
        StgCreateDocfileOnILockBytes(bytes.Get(), STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, s.Put());
        return s;
    }
    ComPtr<IOleObject> Embed(const std::string& name, const ComPtr<IStorage>& storage = {}) {
        ComPtr<IOleObject> o;
        const std::u16string p = Path(name);
        EXPECT_EQ(OleCreateFromFile(GUID_NULL, p.c_str(), IOleObject::kIid, OLERENDER_DRAW, nullptr, nullptr,
                                    storage.Get(), o.PutVoid()),
                  S_OK);
        return o;
    }
    ComPtr<IOleObject> Link(const std::string& name, const ComPtr<IStorage>& storage = {}) {
        ComPtr<IOleObject> o;
        const std::u16string p = Path(name);
        EXPECT_EQ(OleCreateLinkToFile(p.c_str(), IOleObject::kIid, OLERENDER_DRAW, nullptr, nullptr, storage.Get(),
                                      o.PutVoid()),
                  S_OK);
        return o;
    }
    static std::string Type(IOleObject* o, DWORD form) {
        LPOLESTR s = nullptr;
        o->GetUserType(form, &s);
        std::string out = WideToAnsi(WideView(s));
        CoTaskMemFree(s);
        return out;
    }
    static Presentation View(IOleObject* o, DWORD aspect) {
        Presentation p;
        EXPECT_EQ(o->QueryInterface(IViewObject::kIid, nullptr), E_POINTER);
        ComPtr<IOleObject>(o).As<IViewObject>()->GetPresentation(aspect, &p);
        return p;
    }
    testing_support::TempDir dir_;
    platform::RecordingLauncher launcher_;
    platform::ProcessLauncher* previous_ = nullptr;
};

TEST_F(ObjectsTest, EmbeddedFilesTakeTheTypeTheirExtensionNames) {
    struct Case {
        std::string file;
        const char *full, *short_type, *first_line;
    };
    Write("notes.csv", "a;b\n");
    Write("archive.zip", "PK");
    const Case cases[] = {
        {"statement.txt", "Text Document", "Text", "Date,Amount"},
        {"notes.csv", "Comma Separated Values", "CSV", "a;b"},
        {"photo.png", "PNG Image", "Image", "300 bytes"},
        {"archive.zip", "Package", "Package", "2 bytes"},
    };
    const size_t blocks = CoTaskMemLiveBlocks();
    for (const Case& c : cases) {
        ComPtr<IOleObject> o = Embed(c.file);
        ASSERT_TRUE(o) << c.file;
        EXPECT_EQ(Type(o.Get(), USERCLASSTYPE_FULL), c.full);
        EXPECT_EQ(Type(o.Get(), USERCLASSTYPE_SHORT), c.short_type);
        const Presentation p = View(o.Get(), DVASPECT_CONTENT);
        EXPECT_EQ(p.title, c.file);
        ASSERT_FALSE(p.lines.empty());
        EXPECT_EQ(p.lines[0], c.first_line);
        EXPECT_FALSE(o.As<IOleLink>()) << "an embedded object is no link";
    }
    EXPECT_EQ(CoTaskMemLiveBlocks(), blocks);
    ComPtr<IOleObject> none;
    const std::u16string missing = Path("missing.txt");
    EXPECT_EQ(
        OleCreateFromFile(GUID_NULL, missing.c_str(), IOleObject::kIid, 0, nullptr, nullptr, nullptr, none.PutVoid()),
        STG_E_FILENOTFOUND);
    EXPECT_EQ(OleCreateLinkToFile(u"", IOleObject::kIid, 0, nullptr, nullptr, nullptr, none.PutVoid()), MK_E_SYNTAX);
}

TEST_F(ObjectsTest, ObjectsComeBackFromTheirStorage) {
    ComPtr<IStorage> embedded_storage = Storage(), link_storage = Storage();
    ComPtr<IOleObject> embedded = Embed("statement.txt", embedded_storage);
    ComPtr<IOleObject> link = Link("statement.txt", link_storage);
    link.As<IOleLink>()->SetUpdateOptions(OLEUPDATE_ONCALL);
    link.As<IPersistStorage>()->Save(link_storage.Get(), true);
    // The file goes; the embedded bytes stay, the link keeps its path.
    std::remove((dir_ / "statement.txt").c_str());
    struct Case {
        ComPtr<IStorage> storage;
        bool link;
        std::string line;
    };
    const Case cases[] = {{embedded_storage, false, "Date,Amount"}, {link_storage, true, "Date,Amount"}};
    for (const Case& c : cases) {
        ComPtr<IOleObject> again;
        ASSERT_EQ(OleLoad(c.storage.Get(), IOleObject::kIid, nullptr, again.PutVoid()), S_OK);
        EXPECT_EQ(bool(again.As<IOleLink>()), c.link);
        EXPECT_EQ(Type(again.Get(), USERCLASSTYPE_FULL), "Text Document");
        if (!c.link) {
            EXPECT_EQ(View(again.Get(), DVASPECT_CONTENT).lines.at(0), c.line);
        }
    }
    ComPtr<IOleObject> again;
    OleLoad(link_storage.Get(), IOleObject::kIid, nullptr, again.PutVoid());
    DWORD options = 0;
    again.As<IOleLink>()->GetUpdateOptions(&options);
    EXPECT_EQ(options, DWORD(OLEUPDATE_ONCALL));
    EXPECT_EQ(again->Update(), OLE_E_CANT_BINDTOSOURCE);
    EXPECT_EQ(View(again.Get(), DVASPECT_CONTENT).lines.at(0), "(source not available)");
}

TEST_F(ObjectsTest, ALinkFollowsItsFileAndItsSourceName) {
    ComPtr<IOleObject> o = Link("statement.txt");
    ComPtr<IOleLink> link = o.As<IOleLink>();
    ASSERT_TRUE(link);
    Write("statement.txt", "Changed first line\n");
    EXPECT_EQ(View(o.Get(), DVASPECT_CONTENT).lines.at(0), "Date,Amount");  // until it is updated
    EXPECT_EQ(o->Update(), S_OK);
    EXPECT_EQ(View(o.Get(), DVASPECT_CONTENT).lines.at(0), "Changed first line");
    const std::u16string photo = Path("photo.png");
    EXPECT_EQ(link->SetSourceDisplayName(photo.c_str()), S_OK);
    EXPECT_EQ(Type(o.Get(), USERCLASSTYPE_SHORT), "Image");
    LPOLESTR name = nullptr;
    link->GetSourceDisplayName(&name);
    EXPECT_EQ(std::u16string(name), photo);
    CoTaskMemFree(name);
    EXPECT_EQ(link->SetSourceDisplayName(u""), MK_E_SYNTAX);
    EXPECT_EQ(link->SetUpdateOptions(7), E_INVALIDARG);
    // Opening a link hands its path to the desktop.
    EXPECT_EQ(o->DoVerb(OLEIVERB_SHOW, nullptr, 0), S_OK);
    ASSERT_EQ(launcher_.started.size(), 1u);
    EXPECT_EQ(launcher_.started[0], (std::vector<std::string>{"xdg-open", dir_ / "photo.png"}));
}

TEST_F(ObjectsTest, TheIconIsCachedAndTheAspectsCacheComesAndGoes) {
    ComPtr<IOleObject> o = Embed("statement.txt");
    ComPtr<IOleCache> cache = o.As<IOleCache>();
    const FORMATETC icon{CF_METAFILEPICT, DVASPECT_ICON, -1};
    HGLOBAL pict = OleMetafilePictFromIconAndLabel("OLEPDF", "My label");
    EXPECT_EQ(cache->SetData(&icon, pict, false), OLE_E_BLANK);  // not cached yet
    DWORD conn = 0;
    EXPECT_EQ(cache->Cache(&icon, ADVF_PRIMEFIRST, &conn), S_OK);
    DWORD same = 0;
    EXPECT_EQ(cache->Cache(&icon, ADVF_PRIMEFIRST, &same), HRESULT(0x00040170));
    EXPECT_EQ(same, conn);
    const size_t metafiles = LiveMetaFiles(), blocks = GlobalLiveBlocks();
    EXPECT_EQ(cache->SetData(&icon, pict, true), S_OK);  // the cache takes the picture over
    EXPECT_EQ(LiveMetaFiles(), metafiles - 1);
    EXPECT_EQ(GlobalLiveBlocks(), blocks - 1);
    const Presentation p = View(o.Get(), DVASPECT_ICON);
    EXPECT_EQ(p.icon.icon, "OLEPDF");
    EXPECT_EQ(p.icon.label, "My label");
    HGLOBAL back = nullptr;
    EXPECT_EQ(o.As<IDataObject>()->GetData(&icon, &back), S_OK);
    IconPicture content;
    EXPECT_TRUE(MetafilePictContent(back, content));
    EXPECT_EQ(content.label, "My label");
    const METAFILEPICT* mp = static_cast<const METAFILEPICT*>(GlobalLock(back));
    DeleteMetaFile(mp->hMF);
    GlobalUnlock(back);
    GlobalFree(back);
    EXPECT_EQ(cache->Uncache(conn), S_OK);
    EXPECT_EQ(cache->Uncache(conn), OLE_E_NOCONNECTION);
    EXPECT_EQ(View(o.Get(), DVASPECT_ICON).icon.icon, "OLETEXT");  // the class's icon again
    EXPECT_EQ(o.As<IDataObject>()->GetData(&icon, &back), OLE_E_BLANK);
}

TEST_F(ObjectsTest, TheClassIconCarriesTheTypeOrTheLabelGiven) {
    struct Case {
        const char* file;
        const char16_t* label;
        BOOL type_as_label;
        const char *icon, *text;
    };
    const Case cases[] = {
        {"statement.txt", nullptr, true, "OLETEXT", "Text Document"},
        {"statement.txt", u"Bank", true, "OLETEXT", "Bank"},
        {"photo.png", nullptr, false, "OLEIMAGE", "Document"},
    };
    for (const Case& c : cases) {
        HGLOBAL h = OleGetIconOfClass(ClassOfFile(Path(c.file)), c.label, c.type_as_label);
        IconPicture p;
        ASSERT_TRUE(MetafilePictContent(h, p));
        EXPECT_EQ(p.icon, c.icon);
        EXPECT_EQ(p.label, c.text);
        const METAFILEPICT* mp = static_cast<const METAFILEPICT*>(GlobalLock(h));
        EXPECT_TRUE(DeleteMetaFile(mp->hMF));
        GlobalUnlock(h);
        EXPECT_EQ(GlobalFree(h), nullptr);
        EXPECT_FALSE(MetafilePictContent(h, p));
    }
}

// A relative name is taken from the current folder, as the desktop takes it:
// the link keeps the whole path, and follows the file from any folder after.
TEST_F(ObjectsTest, RelativeNamesAreTakenFromTheCurrentFolder) {
    std::filesystem::create_directories(dir_ / "sub");
    // Back to the test's folder however the test ends.
    struct InFolder {
        std::filesystem::path previous = std::filesystem::current_path();
        explicit InFolder(const std::string& folder) { std::filesystem::current_path(folder); }
        ~InFolder() { std::filesystem::current_path(previous); }
    };
    auto in_folder = std::make_unique<InFolder>(dir_.path());
    struct Case {
        const char16_t* name;
        std::string path;  // what the link keeps
        const char* first_line;
    };
    const Case cases[] = {
        {u"statement.txt", dir_ / "statement.txt", "Date,Amount"},
        {u"./sub/../photo.png", dir_ / "photo.png", "300 bytes"},
        {u"sub/later.txt", dir_ / "sub/later.txt", "(source not available)"},
    };
    std::vector<ComPtr<IOleObject>> links;
    for (const Case& c : cases) {
        ComPtr<IOleObject> o;
        ASSERT_EQ(OleCreateLinkToFile(c.name, IOleObject::kIid, 0, nullptr, nullptr, nullptr, o.PutVoid()), S_OK)
            << c.path;
        LPOLESTR name = nullptr;
        o.As<IOleLink>()->GetSourceDisplayName(&name);
        EXPECT_EQ(WideToUtf8(WideView(name)), c.path);
        CoTaskMemFree(name);
        EXPECT_EQ(View(o.Get(), DVASPECT_CONTENT).lines.at(0), c.first_line) << c.path;
        links.push_back(o);
    }
    // A source changed by a relative name, too.
    EXPECT_EQ(links[0].As<IOleLink>()->SetSourceDisplayName(u"sub/../photo.png"), S_OK);
    EXPECT_EQ(Type(links[0].Get(), USERCLASSTYPE_SHORT), "Image");
    // Elsewhere, the links still reach their files.
    in_folder.reset();
    Write("sub/later.txt", "Written later\n");
    EXPECT_EQ(links[2]->Update(), S_OK);
    EXPECT_EQ(View(links[2].Get(), DVASPECT_CONTENT).lines.at(0), "Written later");
    EXPECT_EQ(links[0]->Update(), S_OK);
    EXPECT_EQ(View(links[0].Get(), DVASPECT_CONTENT).lines.at(0), "300 bytes");
}

// A device, a pipe or a folder is refused at once: reading /dev/zero would
// never end, a pipe with no writer never starts.
TEST_F(ObjectsTest, OnlyRegularFilesAreEmbeddedOrLinked) {
    const std::string fifo = dir_ / "pipe";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::filesystem::create_directories(dir_ / "folder");
    // Tells whether a reader waits on the pipe, and lets it go with an end of file.
    std::atomic<bool> done{false}, waited{false};
    std::thread watch([&] {
        while (!done) {
            const int fd = open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0) {
                waited = true;
                close(fd);
            }
            std::this_thread::yield();
        }
    });
    struct Case {
        std::string path;
        const char* how;
    };
    std::vector<Case> cases;
    for (const std::string& path : {std::string("/dev/zero"), fifo, dir_ / "folder"})
        for (const char* how : {"embed", "link", "source"}) cases.push_back({path, how});
    for (const Case& c : cases) {
        const std::u16string wide = Utf8ToWide(c.path);
        ComPtr<IOleObject> o;
        HRESULT hr = E_FAIL;
        if (std::string(c.how) == "embed") {
            hr =
                OleCreateFromFile(GUID_NULL, wide.c_str(), IOleObject::kIid, 0, nullptr, nullptr, nullptr, o.PutVoid());
        } else if (std::string(c.how) == "link") {
            hr = OleCreateLinkToFile(wide.c_str(), IOleObject::kIid, 0, nullptr, nullptr, nullptr, o.PutVoid());
        } else {
            ComPtr<IOleObject> link = Link("statement.txt");
            hr = link.As<IOleLink>()->SetSourceDisplayName(wide.c_str());
        }
        EXPECT_EQ(hr, kNotRegularFile) << c.how << " " << c.path;
        EXPECT_FALSE(o) << c.how << " " << c.path;
    }
    EXPECT_EQ(OleErrorText(kNotRegularFile), "Not a regular file");
    // A link whose file became a pipe is not available, and nothing waits.
    ComPtr<IOleObject> o = Link("statement.txt");
    std::remove((dir_ / "statement.txt").c_str());
    ASSERT_EQ(mkfifo((dir_ / "statement.txt").c_str(), 0600), 0);
    EXPECT_EQ(o->Update(), OLE_E_CANT_BINDTOSOURCE);
    EXPECT_EQ(o.As<IOleLink>()->BindToSource(0), MK_E_NOOBJECT);
    EXPECT_EQ(o->DoVerb(OLEIVERB_SHOW, nullptr, 0), MK_E_NOOBJECT);
    done = true;
    watch.join();
    EXPECT_FALSE(waited) << "a reader waited on a pipe";
}

}  // namespace
}  // namespace ole
