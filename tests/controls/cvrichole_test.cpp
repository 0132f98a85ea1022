#include "controls/cvrichole.hpp"

#include <fstream>

#include "controls/cvriched.hpp"
#include "framework/ui/ole_dialogs.hpp"
#include "framework/ui/ole_frame.hpp"
#include "platform/process.hpp"
#include "tests/support/temp_dir.hpp"
#include "tests/support/ui_fixture.hpp"

namespace controls {
namespace {

using namespace ui;
using namespace ole;

class RichOleTest : public testing_ui::UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        previous_ = platform::InstallProcessLauncher(&launcher);
        SetRichEditLibraryVersion(3);
        Application().Title = "Corvanta";
        form = Make<TForm>(nullptr);
        form->SetBorderStyle(bsNone);
        form->SetBounds(0, 0, 400, 240);
        rich = new TCvRichEdit(form.get());
        rich->SetParent(form.get());
        rich->SetBounds(0, 0, 380, 220);
        rich->SetBorderStyle(bsNone);
        form->Show();
        Pump();
        std::ofstream(dir / "statement.txt") << "Opening balance 100.00\nClosing balance 80.00\n";
        rich->SetText("Before  after");
        SendMessage(rich->Handle(), EM_SETSEL, 7, 7);
    }
    void TearDown() override {
        form.reset();
        platform::InstallProcessLauncher(previous_);
        UiTest::TearDown();
    }
    // Puts the statement in and selects it.
    void Insert(bool link, bool icon = false) {
        rich->InsertObjectFromFile(dir / "statement.txt", link, icon);
        SendMessage(rich->Handle(), EM_SETSEL, 7, 8);
    }
    REOBJECT Selected() {
        REOBJECT re;
        EXPECT_TRUE(rich->SelectedObject(re));
        return re;
    }
    static void Release(REOBJECT& re) { ReleaseObject(re.poleobj), ReleaseObject(re.pstg), ReleaseObject(re.polesite); }
    static std::string Take(LPSTR s) {
        std::string out = s ? s : "";
        CoTaskMemFree(s);
        return out;
    }
    testing_support::TempDir dir;
    platform::RecordingLauncher launcher;
    platform::ProcessLauncher* previous_ = nullptr;
    Owned<TForm> form;
    TCvRichEdit* rich = nullptr;
};

TEST_F(RichOleTest, TheCallbackAnswersAsItsTableSays) {
    TRichEditOleCallback& cb = *rich->OleCallback();
    ComPtr<IStorage> storage;
    EXPECT_EQ(cb.GetNewStorage(storage.Put()), S_OK);
    ASSERT_TRUE(storage);
    CLSID clsid;
    WORD format = 0;
    DWORD effect = 0;
    HMENU menu = 0;
    struct Case {
        const char* call;
        HRESULT got, want;
    };
    const Case cases[] = {
        {"QueryInsertObject", cb.QueryInsertObject(&clsid, storage.Get(), 0), S_OK},
        {"QueryAcceptData", cb.QueryAcceptData(nullptr, &format, 0, true, nullptr), S_OK},
        {"ContextSensitiveHelp", cb.ContextSensitiveHelp(true), S_OK},
        {"GetClipboardData", cb.GetClipboardData(nullptr, 0, nullptr), E_NOTIMPL},
        {"GetDragDropEffect", cb.GetDragDropEffect(true, 0, &effect), E_NOTIMPL},
        {"GetContextMenu", cb.GetContextMenu(0, nullptr, nullptr, &menu), E_NOTIMPL},
        {"ShowContainerUI(show) without a frame", cb.ShowContainerUI(true), E_NOTIMPL},
    };
    for (const Case& c : cases) EXPECT_EQ(c.got, c.want) << c.call;
    // The rich edit frees the callback; references only count.
    const ULONG refs = cb.RefCount();
    EXPECT_EQ(cb.AddRef(), refs + 1);
    EXPECT_EQ(cb.Release(), refs);
}

TEST_F(RichOleTest, InPlaceContextComesFromTheFormsFrame) {
    TRichEditOleCallback& cb = *rich->OleCallback();
    OleFormFrame(form.get())->MenuShortCuts = {{8, 'S', 1}, {8, 'P', 2}};
    struct Case {
        bool allow;
        HRESULT result;
    };
    for (const Case& c : {Case{false, E_NOTIMPL}, Case{true, S_OK}}) {
        rich->AllowInPlace = c.allow;
        IOleInPlaceFrame* frame = nullptr;
        IOleInPlaceUIWindow* doc = nullptr;
        OLEINPLACEFRAMEINFO info;
        EXPECT_EQ(cb.GetInPlaceContext(&frame, &doc, &info), c.result);
        if (c.result != S_OK) continue;
        EXPECT_EQ(info.hwndFrame, form->Handle());
        EXPECT_EQ(info.fMDIApp, 0);
        EXPECT_EQ(info.cAccelEntries, 2u);
        EXPECT_EQ(AcceleratorCount(info.haccel), 2);
        EXPECT_EQ(doc, nullptr);  // no MDI child here
        ReleaseObject(frame);
    }
    // The object goes active in place: the rich edit becomes the form's active
    // object control; and back: menu and active object cleared, table gone.
    const size_t tables = LiveAcceleratorTables();
    EXPECT_EQ(cb.ShowContainerUI(false), S_OK);
    EXPECT_EQ(OleFormFrame(form.get())->ActiveOleControl(), rich);
    cb.Frame()->SetMenu(77, nullptr, 0);
    EXPECT_EQ(cb.ShowContainerUI(true), S_OK);
    EXPECT_EQ(OleFormFrame(form.get())->menu, 0u);
    EXPECT_FALSE(OleFormFrame(form.get())->has_active_object);
    EXPECT_EQ(OleFormFrame(form.get())->ActiveOleControl(), nullptr);
    EXPECT_EQ(LiveAcceleratorTables(), tables - 1);
    EXPECT_EQ(cb.Frame(), nullptr);
}

TEST_F(RichOleTest, AnMdiChildUsesTheMainFormsFrame) {
    auto main = Make<TForm>(nullptr);
    Application().MainForm = main.get();
    auto child = Make<TForm>(nullptr);
    child->SetFormStyle(fsMDIChild);
    auto* r = new TCvRichEdit(child.get());
    r->SetParent(child.get());
    child->Show();
    Pump();
    r->HandleNeeded();
    EXPECT_TRUE(IsFormMDIChild(child.get()));
    EXPECT_FALSE(IsFormMDIChild(form.get()));
    IOleInPlaceFrame* frame = nullptr;
    IOleInPlaceUIWindow* doc = nullptr;
    OLEINPLACEFRAMEINFO info;
    ASSERT_EQ(r->OleCallback()->GetInPlaceContext(&frame, &doc, &info), S_OK);
    EXPECT_EQ(frame, OleFormFrame(main.get())->Frame());
    EXPECT_EQ(doc, OleFormFrame(child.get())->Frame());
    ReleaseObject(frame);
    ReleaseObject(doc);
    child.reset();
    Application().MainForm = nullptr;
}

TEST_F(RichOleTest, ObjectsGoInAreCountedAndAreClosedWhenDeleted) {
    Insert(false);
    Insert(true);  // in place of the selected one
    EXPECT_EQ(rich->ObjectCount(), 1);
    SendMessage(rich->Handle(), EM_SETSEL, 8, 8);
    rich->InsertObjectFromFile(dir / "statement.txt", false, false);
    EXPECT_EQ(rich->ObjectCount(), 2);
    IRichEditOle* reo = nullptr;
    ASSERT_TRUE(GetRichEditOle(rich->Handle(), reo));
    EXPECT_EQ(reo->GetLinkCount(), 1);
    REOBJECT re;
    ASSERT_EQ(reo->GetObject(1, &re, REO_GETOBJ_POLEOBJ), S_OK);
    EXPECT_EQ(GetFullUserType(re.poleobj), "Text Document");
    EXPECT_EQ(GetShortUserType(re.poleobj), "Text");
    ComPtr<IOleObject> kept(re.poleobj);
    ReleaseObject(re.poleobj);
    EXPECT_EQ(reo->GetObject(5, &re, 0), E_INVALIDARG);
    ReleaseObject(reo);
    // Deleting the text takes the objects out; the callback closes them.
    rich->SetFocus();
    SendMessage(rich->Handle(), EM_SETSEL, 0, -1);
    SendMessage(rich->Handle(), WM_CLEAR);
    EXPECT_EQ(rich->ObjectCount(), 0);
    EXPECT_EQ(kept->IsUpToDate(), S_OK);
    EXPECT_EQ(GetRichEditOle(0, reo), false);
}

TEST_F(RichOleTest, ObjectInformationForTheDialog) {
    Insert(false);
    REOBJECT re = Selected();
    struct Case {
        std::string title, location;
    };
    const Case cases[] = {{"", "Corvanta"}, {"   ", "Corvanta"}, {"Current Account", "Current Account - Corvanta"}};
    auto info = MakeCom<TOleUIObjInfo>(rich, re);
    const size_t blocks = CoTaskMemLiveBlocks();
    for (const Case& c : cases) {
        rich->Title = c.title;
        DWORD size = 0;
        LPSTR label = nullptr, type = nullptr, short_type = nullptr, location = nullptr;
        EXPECT_EQ(info->GetObjectInfo(0, &size, &label, &type, &short_type, &location), S_OK);
        EXPECT_EQ(Take(label), "Text Document");
        EXPECT_EQ(Take(type), "Text Document");
        EXPECT_EQ(Take(short_type), "Text");
        EXPECT_EQ(Take(location), c.location);
    }
    EXPECT_EQ(CoTaskMemLiveBlocks(), blocks);  // all handed out in task memory, all freed
    CLSID clsid;
    EXPECT_EQ(info->GetConvertInfo(0, &clsid, nullptr, nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(clsid, re.clsid);
    EXPECT_EQ(info->ConvertObject(0, clsid), E_NOTIMPL);
    HGLOBAL pict = nullptr;
    DWORD aspect = 0;
    int scale = 0;
    EXPECT_EQ(info->GetViewInfo(0, &pict, &aspect, &scale), S_OK);
    IconPicture icon;
    EXPECT_TRUE(MetafilePictContent(pict, icon));
    EXPECT_EQ(icon.icon, "OLETEXT");  // no icon of its own yet: the class icon
    EXPECT_EQ(aspect, DWORD(DVASPECT_CONTENT));
    DestroyMetaPict(pict);
    Release(re);
}

TEST_F(RichOleTest, SwitchingToTheIconViewShowsTheIcon) {
    Insert(false);
    rich->Update();
    const TPoint at = {LOWORD_S(SendMessage(rich->Handle(), EM_POSFROMCHAR, 7)), 0};
    auto pixel_count = [&](COLORREF c) {
        int n = 0;
        for (int y = 0; y < 80; ++y)
            for (int x = at.x; x < at.x + 60; ++x)
                if (GetWindowSurface(rich->Handle())->Pixel(x, y) == c) ++n;
        return n;
    };
    const int grey_title = pixel_count(RGB(224, 224, 224));
    EXPECT_GT(grey_title, 50);  // the content view's title bar
    REOBJECT re = Selected();
    auto info = MakeCom<TOleUIObjInfo>(rich, re);
    const size_t metafiles = LiveMetaFiles();
    EXPECT_EQ(info->SetViewInfo(0, nullptr, DVASPECT_ICON, 100, false), S_OK);
    EXPECT_EQ(LiveMetaFiles(), metafiles);  // the picture made for the switch is gone again
    rich->Update();
    EXPECT_EQ(pixel_count(RGB(224, 224, 224)), 0);
    EXPECT_GT(pixel_count(RGB(0, 0, 160)), 20);  // the text icon's band
    REOBJECT after = Selected();
    EXPECT_EQ(after.dvaspect, DWORD(DVASPECT_ICON));
    HGLOBAL pict = nullptr;
    info->GetViewInfo(0, &pict, nullptr, nullptr);
    DestroyMetaPict(pict);
    EXPECT_EQ(info->SetViewInfo(0, nullptr, DVASPECT_CONTENT, 100, false), S_OK);
    rich->Update();
    EXPECT_GT(pixel_count(RGB(224, 224, 224)), 50);
    Release(re);
    Release(after);
    // Without the rich edit's window there is nothing to switch.
    auto loose = MakeCom<TOleUIObjInfo>(new TCvRichEdit(form.get()), REOBJECT{});
    EXPECT_EQ(loose->SetViewInfo(0, nullptr, DVASPECT_ICON, 100, false), E_NOTIMPL);
}

TEST_F(RichOleTest, LinkInformationForTheLinksDialog) {
    Insert(true);
    REOBJECT re = Selected();
    auto link = MakeCom<TOleUILinkInfo>(rich, re);
    const DWORD id = link->GetNextLink(0);
    EXPECT_NE(id, 0u);
    EXPECT_EQ(link->GetNextLink(id), 0u);
    rich->SetModified(false);
    EXPECT_EQ(link->SetLinkUpdateOptions(id, OLEUPDATE_ONCALL), S_OK);
    EXPECT_TRUE(rich->Modified());
    DWORD options = 0;
    EXPECT_EQ(link->GetLinkUpdateOptions(id, &options), S_OK);
    EXPECT_EQ(options, DWORD(OLEUPDATE_ONCALL));
    LPSTR name = nullptr, full = nullptr, shorter = nullptr;
    ULONG len = 0;
    BOOL available = 0, selected = 0;
    EXPECT_EQ(link->GetLinkSource(id, &name, &len, &full, &shorter, &available, &selected), S_OK);
    const std::string source = Take(name);
    EXPECT_EQ(source, dir / "statement.txt");
    EXPECT_EQ(len, source.size());
    EXPECT_EQ(Take(full), "Text Document");
    EXPECT_EQ(Take(shorter), "Text");
    EXPECT_TRUE(available);
    // A new source: the whole name is taken and the object updated from it.
    std::ofstream(dir / "other.txt") << "Other first line\n";
    std::string other = dir / "other.txt";
    ULONG eaten = 0;
    EXPECT_EQ(link->SetLinkSource(id, other.data(), ULONG(other.size()), &eaten, true), S_OK);
    EXPECT_EQ(eaten, other.size());
    EXPECT_EQ(GetLinkSourceName(ComPtr<IOleObject>(re.poleobj).As<IOleLink>().Get()), other);
    // No name, and breaking the link: a stop box each.
    char empty[] = "";
    EXPECT_NE(link->SetLinkSource(id, empty, 0, &eaten, true), S_OK);
    EXPECT_EQ(link->CancelLink(id), E_NOTIMPL);
    ASSERT_EQ(box_.shown.size(), 2u);
    EXPECT_EQ(box_.shown[0].text, "Cannot link to an invalid source.");
    EXPECT_EQ(box_.shown[1].text, "Break link operation is not supported.");
    for (const auto& s : box_.shown) {
        EXPECT_EQ(s.caption, "Link Properties");
        EXPECT_EQ(s.flags & 0xF0, unsigned(platform::kMbIconStop));
    }
    EXPECT_EQ(link->OpenLinkSource(id), S_OK);
    ASSERT_EQ(launcher.started.size(), 1u);
    EXPECT_EQ(launcher.started[0], (std::vector<std::string>{"xdg-open", other}));
    EXPECT_EQ(link->UpdateLink(id, true, false), S_OK);
    FILETIME when;
    EXPECT_EQ(link->GetLastUpdate(id, &when), S_OK);
    Release(re);
    // An embedded object has no link.
    Insert(false);
    REOBJECT embedded = Selected();
    EXPECT_THROW(MakeCom<TOleUILinkInfo>(rich, embedded), EOleSysError);
    Release(embedded);
}

TEST_F(RichOleTest, TheDialogsShowWhatTheInformationSaysAndHandChoicesBack) {
    Insert(true);
    rich->Title = "Report";
    REOBJECT re = Selected();
    auto info = MakeCom<TOleUIObjInfo>(rich, re);
    auto link = MakeCom<TOleUILinkInfo>(rich, re);
    OLEUIOBJECTPROPS props;
    props.dwFlags = OPF_OBJECTISLINK;
    props.lpObjInfo = info.Get();
    props.lpLinkInfo = link.Get();
    props.dwLink = link->GetNextLink(0);
    auto dlg = Make<TOleObjectPropsForm>(nullptr, props);
    dlg->Show();
    Pump();
    testing_ui::SavePicture(dlg->Handle(), "object-properties-dialog");
    EXPECT_EQ(dlg->TypeText->Caption(), "Text Document");
    EXPECT_EQ(dlg->LocationText->Caption(), "Report - Corvanta");
    EXPECT_EQ(dlg->SourceText->Caption(), dir / "statement.txt");
    EXPECT_TRUE(dlg->ContentView->Checked());
    EXPECT_TRUE(dlg->Automatic->Checked());
    // The icon sits at the top left: the text icon's band colour.
    int band = 0;
    for (int y = 0; y < 44; ++y)
        for (int x = 0; x < 50; ++x)
            if (GetWindowSurface(dlg->Handle())
                    ->Pixel(x + GetNonClientInsets(dlg->Handle()).left, y + GetNonClientInsets(dlg->Handle()).top) ==
                RGB(0, 0, 160))
                ++band;
    EXPECT_GT(band, 20);
    dlg->IconView->Click();
    dlg->Manual->Click();
    EXPECT_FALSE(dlg->ContentView->Checked());
    dlg->Apply();
    dlg.reset();
    REOBJECT after = Selected();
    EXPECT_EQ(after.dvaspect, DWORD(DVASPECT_ICON));
    DWORD options = 0;
    link->GetLinkUpdateOptions(0, &options);
    EXPECT_EQ(options, DWORD(OLEUPDATE_ONCALL));
    Release(after);

    OLEUIEDITLINKS links;
    links.lpOleUILinkContainer = link.Get();
    auto list = Make<TOleLinksForm>(nullptr, links);
    list->Show();
    Pump();
    testing_ui::SavePicture(list->Handle(), "links-dialog");
    ASSERT_EQ(list->Rows().size(), 1u);
    EXPECT_EQ(list->Rows()[0].type, "Text");
    EXPECT_EQ(list->Rows()[0].update, DWORD(OLEUPDATE_ONCALL));
    EXPECT_TRUE(list->Manual->Checked());
    list->Automatic->Click();
    EXPECT_EQ(list->Rows()[0].update, DWORD(OLEUPDATE_ALWAYS));
    std::ofstream(dir / "moved.txt") << "moved\n";
    list->SourceEdit->SetText(dir / "moved.txt");
    list->ChangeSource->Click();
    EXPECT_EQ(list->Rows()[0].source, dir / "moved.txt");
    list.reset();
    Release(re);
    // Headless runs answer the modal dialogs at once.
    EXPECT_NE(OleUIEditLinks(links), OLEUI_OK);
}

}  // namespace
}  // namespace controls
