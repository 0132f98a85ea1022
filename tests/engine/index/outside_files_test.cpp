// The files a table's operations make for themselves are never a way out of
// the table's folder: links planted under their names are not followed, a
// build file that a dead process left goes at the next open, an index reached
// through a link is rebuilt where the link leads, and every file rewritten
// keeps the mode of the one it replaces.
#include <sys/stat.h>

#include <filesystem>
#include <functional>

#include "engine/dbf/locks.hpp"
#include "tests/engine/index/attached_files_fixture.hpp"
#include "tests/engine/index/index_peer.hpp"

namespace testing_support {
namespace {

using namespace zurod;
namespace fs = std::filesystem;

class OutsideFilesTest : public AttachedFilesTest {
protected:
    std::string InDir(const std::string& name) const { return dir_ / name; }
    static bool IsLink(const std::string& path) { return fs::is_symlink(fs::symlink_status(path)); }
    static unsigned Mode(const std::string& path) {
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
    }

    TempDir elsewhere_;
};

// A link planted under the name of a build file or of the semaphore file,
// to a file elsewhere or to nothing, or a second name of a file elsewhere:
// the operation works, the link's target is left as it was (or not made),
// and the index is in line afterwards.
TEST_F(OutsideFilesTest, PlantedLinksAreNeverFollowed) {
    enum Link { kToAFile, kDangling, kHard };
    struct Case {
        const char* name;
        const char* planted;  // under the table's base name
        Link link;
        std::function<void()> run;
    };
    const auto shared_append = [this] {
        OpenShared();
        ASSERT_TRUE(ALock());
        ClearRecord();
        PutFieldInteger(1, 500);
        PutFieldString(2, "LINKED");
        Append();
        EXPECT_EQ(LastErrorCode(), 0) << LastErrorMessage();
        Unlock();
        CloseArea();
    };
    const auto exclusive = [this](bool (*op)()) {
        return [this, op] {
            USE(path_ + " EXCLUSIVE");
            ASSERT_TRUE(SetIndexTo("")) << LastErrorMessage();
            EXPECT_TRUE(op()) << LastErrorMessage();
            CloseArea();
        };
    };
    const Case cases[] = {
        {"MakeIndex over a link to a file", "crash.tzx", kToAFile,
         [this] {
             USE(path_ + " EXCLUSIVE");
             EXPECT_TRUE(MakeIndex(Tags(), "")) << LastErrorMessage();
             CloseArea();
         }},
        {"Reindex over a dangling link", "crash.tzx", kDangling,
         exclusive([] { return Reindex(), LastErrorCode() == 0; })},
        {"Pack over a link to a file", "crash.tzx", kToAFile, exclusive([] { return Pack(); })},
        {"Zap over a dangling link", "crash.tzx", kDangling, exclusive([] { return Zap(); })},
        {"a shared append over a link to a file", "crash.@s@", kToAFile, shared_append},
        {"a shared append over a dangling link", "crash.@s@", kDangling, shared_append},
        {"a shared append over a hard link", "crash.@s@", kHard, shared_append},
        // The memo pack's journal: what an open completes.
        {"an open over a dangling link", "crash.tzj", kDangling, shared_append},
        {"an open over a link to a file", "crash.tzj", kToAFile, shared_append},
        {"an open over a hard link", "crash.tzj", kHard, shared_append},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Reset();
        const std::string target = elsewhere_ / "victim";
        fs::remove(target);
        if (c.link != kDangling) WriteFileBytes(target, "precious bytes");
        if (c.link == kHard)
            fs::create_hard_link(target, InDir(c.planted));
        else
            fs::create_symlink(target, InDir(c.planted));
        c.run();
        if (c.link == kDangling) {
            EXPECT_FALSE(fs::exists(target)) << "a file was made through the link";
        } else {
            EXPECT_TRUE(ReadFileBytes(target) == "precious bytes") << "the link's target was written";
        }
        (void)ReopenAndCheck("afterwards");
    }
}

// A build file nobody holds is what a build that died left: the next open of
// the index removes it. One that an open holds is a build under way.
TEST_F(OutsideFilesTest, AStaleBuildFileGoesAtTheNextOpen) {
    for (const bool held : {false, true}) {
        SCOPED_TRACE(held ? "held by another process" : "held by nobody");
        IndexPeer peer;
        Reset();
        const std::string stale = InDir("crash.tzx");
        WriteFileBytes(stale, std::string(4096, 'x'));
        if (held) {
            ASSERT_EQ(peer("hold " + stale), "0");
        }
        OpenShared();
        EXPECT_EQ(fs::exists(stale), held);
        CloseArea();
    }
}

// Through links to a table, its memo file and its index (all elsewhere), a
// pack rewrites the three files the links lead to and leaves the links.
TEST_F(OutsideFilesTest, PackThroughLinksRewritesWhatTheyLeadTo) {
    Reset();
    for (const char* ext : {"dbf", "dbt", "mdx"}) {
        fs::rename(InDir(std::string("crash.") + ext), elsewhere_ / (std::string("real.") + ext));
        fs::create_symlink(elsewhere_ / (std::string("real.") + ext), InDir(std::string("crash.") + ext));
    }
    OpenShared();
    ASSERT_TRUE(Pack()) << LastErrorMessage();
    CloseArea();
    // A build of the production index by its default name goes through the link too.
    USE(path_ + " EXCLUSIVE");
    ASSERT_TRUE(MakeIndex(Tags(), "")) << LastErrorMessage();
    CloseArea();
    for (const char* ext : {"dbf", "dbt", "mdx"}) {
        EXPECT_TRUE(IsLink(InDir(std::string("crash.") + ext))) << ext;
    }
    // The real files, opened by their own names, are the packed table with
    // its memos and an index in line with it.
    path_ = elsewhere_ / "real.dbf";
    EXPECT_EQ(ReopenAndCheck("the real files"), KeptIds());
}

// Table, memo file and index keep their modes through every rewrite.
TEST_F(OutsideFilesTest, RewrittenFilesKeepTheirModes) {
    struct Case {
        const char* name;
        bool (*run)();
    };
    const Case cases[] = {
        {"Pack", [] { return Pack(); }},
        {"Zap", [] { return Zap(); }},
        {"Reindex", [] { return Reindex(), LastErrorCode() == 0; }},
        {"MakeIndex",
         [] {
             return MakeIndexTags({{"NAME", "NAME", "", false, false}}, "");
         }},
        {"PackMemofile", [] { return PackMemofile(), LastErrorCode() == 0; }},
    };
    const std::pair<const char*, unsigned> modes[] = {{"crash.dbf", 0640}, {"crash.dbt", 0600}, {"crash.mdx", 0604}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Reset();
        for (const auto& [name, mode] : modes) ::chmod(InDir(name).c_str(), mode);
        USE(path_ + " EXCLUSIVE");
        ASSERT_TRUE(SetIndexTo("")) << LastErrorMessage();
        EXPECT_TRUE(c.run()) << LastErrorMessage();
        CloseArea();
        for (const auto& [name, mode] : modes) EXPECT_EQ(Mode(InDir(name)), mode) << name;
    }
}

}  // namespace
}  // namespace testing_support
