// The download component: events on the user-interface thread, waiting,
// stopping, freeing it while it runs, and downloads side by side.
#include "controls/httpget.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "tests/support/files.hpp"
#include "tests/support/http_server.hpp"
#include "tests/support/temp_dir.hpp"
#include "tests/support/ui_fixture.hpp"

namespace controls {
namespace {

using testing_support::HttpRecorded;
using testing_support::HttpReply;
using testing_support::TempDir;
using testing_support::TestHttpServer;

// What the events of one component told.
struct Events {
    std::vector<std::pair<int, int>> progress;
    std::vector<ui::TObject*> senders;
    int done = 0, errors = 0;
    std::string done_name;
    int done_size = -1;
    bool on_ui_thread = true;

    void Watch(THTTPGet& get) {
        const auto ui_thread = std::this_thread::get_id();
        auto here = [this, ui_thread] { on_ui_thread = on_ui_thread && std::this_thread::get_id() == ui_thread; };
        get.OnProgress = [this, here](ui::TObject* s, int total, int read) {
            here();
            senders.push_back(s);
            progress.emplace_back(total, read);
        };
        get.OnDoneFile = [this, here](ui::TObject* s, const std::string& name, int size) {
            here();
            senders.push_back(s);
            ++done, done_name = name, done_size = size;
        };
        get.OnError = [this, here](ui::TObject* s) {
            here();
            senders.push_back(s);
            ++errors;
        };
    }
};

class HttpGetTest : public testing_ui::UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        ui::SetStallLimit(20);
        setenv("no_proxy", "*", 1);
        unsetenv("http_proxy");
    }
    void TearDown() override {
        WaitFor([] { return THTTPGetThread::Alive() == 0; });
        UiTest::TearDown();
    }
    // Handles messages until `done` holds; fails after 20 seconds.
    template <class F>
    void WaitFor(F done) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!done()) {
            ASSERT_LT(std::chrono::steady_clock::now(), until) << "waited in vain";
            ui::Application().HandleMessage();
        }
    }
    ui::Owned<THTTPGet> Make(const std::string& url, const std::string& file) {
        auto get = ui::Make<THTTPGet>(nullptr);
        get->URL = url;
        get->FileName = file;
        return get;
    }
    TempDir dir;
};

TEST_F(HttpGetTest, WaitThreadReturnsOnceTheEventsHaveFired) {
    const std::string body(5000, 'x');
    TestHttpServer server([&](const HttpRecorded& r) {
        if (r.target == "/missing") return HttpReply(404, "nothing");
        if (r.target == "/two-lengths")
            return HttpReply(200, body.substr(0, 100)).Length("5000").Header("Content-Length: 100");
        if (r.target == "/zeros") return HttpReply(200, body).Length("0000000000005000");
        return HttpReply(200, body);
    });
    struct Case {
        std::string path;
        int done, errors;
    } cases[] = {{"/version.txt", 1, 0}, {"/missing", 0, 1}, {"/two-lengths", 0, 1}, {"/zeros", 1, 0}};
    for (const Case& c : cases) {
        const std::string target = dir / "version.txt";
        testing_support::WriteFileBytes(target, "old");
        auto get = Make(server.Url(c.path), target);
        get->WaitThread = true;
        Events events;
        events.Watch(*get);
        get->GetFile();
        EXPECT_EQ(events.done, c.done) << c.path;
        EXPECT_EQ(events.errors, c.errors) << c.path;
        EXPECT_FALSE(get->Running()) << c.path;
        EXPECT_TRUE(events.on_ui_thread) << c.path;
        for (ui::TObject* s : events.senders) EXPECT_EQ(s, get.get()) << c.path;
        if (c.done) {
            EXPECT_TRUE(get->Succeeded());
            EXPECT_EQ(events.done_name, target);
            EXPECT_EQ(events.done_size, 5000);
            EXPECT_EQ(testing_support::ReadFileBytes(target), body);
            ASSERT_FALSE(events.progress.empty());
            EXPECT_EQ(events.progress.back(), std::make_pair(5000, 5000));
        } else {
            EXPECT_FALSE(get->Succeeded());
            EXPECT_EQ(testing_support::ReadFileBytes(target), "old") << "a failed download keeps the old file";
        }
    }
}

TEST_F(HttpGetTest, ADownloadRunsWhileTheLoopGoesOnAndASecondStartIsIgnored) {
    TestHttpServer server([](const HttpRecorded&) { return HttpReply(200, "4.0.17").HoldAfter(2); });
    auto get = Make(server.Url("/version.txt"), dir / "version.txt");
    Events events;
    events.Watch(*get);
    get->GetFile();
    EXPECT_TRUE(get->Running());
    ASSERT_TRUE(server.WaitForHeld(1));
    WaitFor([&] { return !events.progress.empty(); });
    EXPECT_EQ(events.progress.back(), std::make_pair(6, 2));
    get->GetFile();
    server.Release();
    WaitFor([&] { return !get->Running(); });
    EXPECT_EQ(events.done, 1);
    EXPECT_EQ(testing_support::ReadFileBytes(dir / "version.txt"), "4.0.17");
    EXPECT_EQ(server.Requests().size(), 1u);
}

TEST_F(HttpGetTest, StopEndsADownloadInErrorAndKeepsTheOldFile) {
    TestHttpServer server([](const HttpRecorded&) { return HttpReply(200, std::string(100000, 'n')).HoldAfter(1000); });
    const std::string target = dir / "corvanta.zip";
    std::ofstream(target) << "the good copy";
    auto get = Make(server.Url("/corvanta.zip"), target);
    Events events;
    events.Watch(*get);
    get->GetFile();
    ASSERT_TRUE(server.WaitForHeld(1));
    get->Stop();
    WaitFor([&] { return !get->Running(); });
    EXPECT_EQ(events.errors, 1);
    EXPECT_EQ(events.done, 0);
    EXPECT_EQ(testing_support::ReadFileBytes(target), "the good copy");
    EXPECT_TRUE(server.WaitForClosed(1));  // the connection was given up at once
}

TEST_F(HttpGetTest, AComponentFreedWhileItDownloadsIsNeverCalled) {
    TestHttpServer server([](const HttpRecorded&) { return HttpReply(200, std::string(100000, 'n')).HoldAfter(1000); });
    struct Case {
        const char* when;
        bool in_progress_handler;
    } cases[] = {{"from outside", false}, {"in its progress handler", true}};
    for (const Case& c : cases) {
        auto get = Make(server.Url("/corvanta.zip"), dir / "corvanta.zip");
        bool called_after = false;
        THTTPGet* raw = get.get();
        if (c.in_progress_handler)
            get->OnProgress = [&](ui::TObject*, int, int) {
                if (!get) called_after = true;
                get.reset();
            };
        get->OnDoneFile = [&](ui::TObject*, const std::string&, int) { called_after = true; };
        get->OnError = [&](ui::TObject*) { called_after = true; };
        raw->GetFile();
        if (!c.in_progress_handler) {
            WaitFor([&] { return server.WaitForHeld(1); });
            get.reset();
        }
        WaitFor([&] { return THTTPGetThread::Alive() == 0; });
        EXPECT_FALSE(get) << c.when;
        EXPECT_FALSE(called_after) << c.when;
        EXPECT_FALSE(std::ifstream(dir / "corvanta.zip").good()) << c.when;
    }
    EXPECT_TRUE(server.WaitForClosed(2));
}

TEST_F(HttpGetTest, TwoComponentsDownloadAtOnce) {
    TestHttpServer server([](const HttpRecorded& r) {
        return HttpReply(200, r.target == "/version.txt" ? "4.0.17" : std::string(20000, 'z')).HoldAfter(1);
    });
    auto version = Make(server.Url("/version.txt"), dir / "version.txt");
    auto archive = Make(server.Url("/corvanta.zip"), dir / "corvanta.zip");
    Events version_events, archive_events;
    version_events.Watch(*version);
    archive_events.Watch(*archive);
    version->GetFile();
    archive->GetFile();
    ASSERT_TRUE(server.WaitForHeld(2));  // both answers are under way together
    server.Release();
    WaitFor([&] { return !version->Running() && !archive->Running(); });
    EXPECT_EQ(version_events.done, 1);
    EXPECT_EQ(archive_events.done, 1);
    EXPECT_EQ(testing_support::ReadFileBytes(dir / "version.txt"), "4.0.17");
    EXPECT_EQ(testing_support::ReadFileBytes(dir / "corvanta.zip"), std::string(20000, 'z'));
    for (ui::TObject* s : version_events.senders) EXPECT_EQ(s, version.get());
    for (ui::TObject* s : archive_events.senders) EXPECT_EQ(s, archive.get());
}

TEST_F(HttpGetTest, AHandlerMayStartTheNextDownload) {
    TestHttpServer server([](const HttpRecorded& r) { return HttpReply(200, r.target); });
    auto get = Make(server.Url("/version.txt"), dir / "version.txt");
    int done = 0;
    get->OnDoneFile = [&](ui::TObject*, const std::string&, int) {
        if (++done > 1) return;
        get->URL = server.Url("/corvanta.zip");
        get->FileName = dir / "corvanta.zip";
        get->GetFile();
    };
    get->GetFile();
    WaitFor([&] { return done == 2; });
    EXPECT_EQ(testing_support::ReadFileBytes(dir / "version.txt"), "/version.txt");
    EXPECT_EQ(testing_support::ReadFileBytes(dir / "corvanta.zip"), "/corvanta.zip");
}

}  // namespace
}  // namespace controls
