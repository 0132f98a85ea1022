// The request a download makes and how its answer is judged, against a
// server of the test's own on a loopback port.
#include "controls/http_transfer.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "tests/support/files.hpp"
#include "tests/support/http_server.hpp"
#include "tests/support/temp_dir.hpp"

namespace controls {
namespace {

using testing_support::HttpRecorded;
using testing_support::HttpReply;
using testing_support::TempDir;
using testing_support::TestHttpServer;

std::vector<std::string> Names(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class HttpTransferTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Requests go straight to the loopback server, whatever proxy the machine names.
        setenv("no_proxy", "*", 1);
        unsetenv("http_proxy");
        unsetenv("all_proxy");
        unsetenv("ALL_PROXY");
    }
    HttpResult Get(const HttpRequest& r) {
        HttpCancel cancel;
        return PerformHttpRequest(r, cancel, [&](int32_t total, int64_t read) { progress.emplace_back(total, read); });
    }
    std::vector<std::pair<int32_t, int64_t>> progress;
    TempDir dir;
};

TEST(HttpUrlTest, HttpIsRemovedOnlyAtTheStartAndTheHostEndsAtTheFirstSlash) {
    struct Case {
        std::string url, host, path;
    } cases[] = {
        {"http://example.com/files/version.txt", "example.com", "/files/version.txt"},
        {"HTTP://Example.com/a", "Example.com", "/a"},
        {"example.com:8080/a", "example.com:8080", "/a"},
        {"example.com/redirect?to=http://other/x", "example.com", "/redirect?to=http://other/x"},
        {"www.example.com/http://x", "www.example.com", "/http://x"},
        {"http://example.com", "", "example.com"},
        {"example.com", "", "example.com"},
        {"http:/", "http:", "/"},
    };
    for (const Case& c : cases) {
        const HttpUrlParts parts = SplitHttpUrl(c.url);
        EXPECT_EQ(parts.host, c.host) << c.url;
        EXPECT_EQ(parts.path, c.path) << c.url;
    }
}

TEST(HttpUrlTest, AContentLengthIsADecimalNumberThatFitsAnInteger) {
    struct Case {
        std::string text;
        std::optional<int32_t> length;
    } cases[] = {
        {"123", 123},
        {" 42 \r\n", 42},
        {"0", 0},
        {"2147483647", 2147483647},
        {"0000000000008000", 8000},
        {"000", 0},
        {"000000000000000000002147483647", 2147483647},
        {"00000000002147483648", std::nullopt},
        {"0x10", std::nullopt},
        {"00-5", std::nullopt},
        {"2147483648", std::nullopt},
        {"99999999999", std::nullopt},
        {"-5", std::nullopt},
        {"+5", std::nullopt},
        {"abc", std::nullopt},
        {"12abc", std::nullopt},
        {"1 2", std::nullopt},
        {"", std::nullopt},
        {"  ", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseContentLength(c.text), c.length) << "'" << c.text << "'";
}

TEST_F(HttpTransferTest, TheRequestCarriesTheSettings) {
    TestHttpServer server([](const HttpRecorded&) { return HttpReply(200, "ok"); });
    struct Case {
        const char* name;
        std::function<void(HttpRequest&)> set;
        std::string method;
        std::map<std::string, std::string> present;  // header: value
        std::vector<std::string> absent;
        std::string body;
    } cases[] = {
        {"plain GET",
         [](HttpRequest&) {},
         "GET",
         {{"accept", "*/*"}, {"user-agent", "Corvanta HTTPGet"}, {"pragma", "no-cache"}, {"cache-control", "no-cache"}},
         {"referer", "content-type", "authorization"},
         ""},
        {"cache allowed", [](HttpRequest& r) { r.use_cache = true; }, "GET", {}, {"pragma", "cache-control"}, ""},
        {"referrer and accept",
         [](HttpRequest& r) { r.referer = "http://corvanta/about", r.accept_types = "text/plain"; },
         "GET",
         {{"referer", "http://corvanta/about"}, {"accept", "text/plain"}},
         {},
         ""},
        {"no agent, no accept",
         [](HttpRequest& r) { r.agent.clear(), r.accept_types.clear(); },
         "GET",
         {},
         {"user-agent", "accept"},
         ""},
        {"POST",
         [](HttpRequest& r) { r.post_query = "version=4.0&name=a%20b"; },
         "POST",
         {{"content-type", "application/x-www-form-urlencoded"}, {"content-length", "22"}},
         {},
         "version=4.0&name=a%20b"},
    };
    size_t n = 0;
    for (const Case& c : cases) {
        HttpRequest r;
        r.url = "http://" + server.Url("/files/version.txt");
        r.agent = "Corvanta HTTPGet";
        r.to_file = false;
        c.set(r);
        EXPECT_TRUE(Get(r).ok) << c.name;
        const auto requests = server.Requests();
        ASSERT_EQ(requests.size(), ++n) << c.name;
        const HttpRecorded& got = requests.back();
        EXPECT_EQ(got.method, c.method) << c.name;
        EXPECT_EQ(got.target, "/files/version.txt") << c.name;
        EXPECT_EQ(got.version, "HTTP/1.0") << c.name;
        EXPECT_EQ(got.body, c.body) << c.name;
        for (const auto& [name, value] : c.present) EXPECT_EQ(got.Header(name), value) << c.name << ": " << name;
        for (const auto& name : c.absent) EXPECT_FALSE(got.Has(name)) << c.name << ": " << name;
    }
}

TEST_F(HttpTransferTest, OnlyAWholeSuccessfulAnswerReplacesTheFile) {
    TestHttpServer server([](const HttpRecorded& r) {
        const std::string body = "new contents";
        if (r.target == "/no-length") return HttpReply(200, body).NoLength();
        if (r.target == "/missing") return HttpReply(404, "<html>not found</html>");
        if (r.target == "/error") return HttpReply(500, "oops");
        if (r.target == "/cut") return HttpReply(200, body).CutAfter(5);
        if (r.target == "/letters") return HttpReply(200, body).Length("abc");
        if (r.target == "/negative") return HttpReply(200, body).Length("-5");
        if (r.target == "/huge") return HttpReply(200, body).Length("3000000000");
        if (r.target == "/longer") return HttpReply(200, body).Length("3");
        if (r.target == "/empty") return HttpReply(200, "");
        if (r.target == "/old") return HttpReply(302).Header("Location: /new");
        if (r.target == "/new") return HttpReply(200, "moved");
        return HttpReply(200, body);
    });
    struct Case {
        std::string path;
        bool binary;
        bool ok;
        std::string contents;  // of the target afterwards
        bool read_any;         // progress was reported
    } cases[] = {
        {"/file", false, true, "new contents", true}, {"/file", true, true, "new contents", true},
        {"/no-length", false, false, "old", true},    {"/no-length", true, false, "old", false},
        {"/missing", false, false, "old", false},     {"/error", false, false, "old", false},
        {"/cut", false, false, "old", true},          {"/letters", false, false, "old", true},
        {"/letters", true, false, "old", false},      {"/negative", true, false, "old", false},
        {"/huge", true, false, "old", false},         {"/longer", false, true, "new", true},
        {"/empty", false, true, "", false},           {"/old", false, true, "moved", true},
    };
    for (const Case& c : cases) {
        const std::string target = dir / "version.txt";
        testing_support::WriteFileBytes(target, "old");
        progress.clear();
        HttpRequest r;
        r.url = server.Url(c.path);
        r.binary_data = c.binary;
        r.file_name = target;
        const HttpResult result = Get(r);
        const std::string what = c.path + (c.binary ? " (binary)" : "");
        EXPECT_EQ(result.ok, c.ok) << what << ": " << result.error;
        EXPECT_EQ(testing_support::ReadFileBytes(target), c.contents) << what;
        EXPECT_EQ(!progress.empty(), c.read_any) << what;
        if (!progress.empty()) {
            EXPECT_EQ(progress.back().second, result.bytes) << what;
        }
        EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"version.txt"}) << what;  // no file left behind
    }
}

TEST_F(HttpTransferTest, ContentLengthsThatDisagreeFail) {
    const std::string hundred(100, 'h');
    const std::string eight_thousand(8000, 'e');
    struct Case {
        const char* name;
        std::vector<std::string> lengths;  // Content-Length header values, in order
        const std::string& body;
        bool ok;
    } cases[] = {
        {"8000, then 100", {"8000", "100"}, hundred, false},
        {"100, then 8000", {"100", "8000"}, hundred, false},
        {"8000, then 100, for 8000 bytes", {"8000", "100"}, eight_thousand, false},
        {"the same twice", {"100", "100"}, hundred, true},
        {"leading zeros", {"0000000000008000"}, eight_thousand, true},
        {"the same with and without zeros", {"0000000000008000", "8000"}, eight_thousand, true},
        {"a list of one value", {"100, 100"}, hundred, true},
        {"a list of two", {"100, 8000"}, hundred, false},
        {"a length and no number", {"abc", "100"}, hundred, false},
        {"a number and an empty one", {"100", ""}, hundred, false},
    };
    TestHttpServer server([&](const HttpRecorded& r) {
        const Case& c = cases[std::stoul(r.target.substr(1))];
        HttpReply reply = HttpReply(200, c.body).NoLength();
        for (const std::string& length : c.lengths) reply.Header("Content-Length: " + length);
        return reply;
    });
    for (bool to_file : {true, false}) {
        for (const Case& c : cases) {
            const std::string target = dir / "version.txt";
            testing_support::WriteFileBytes(target, "old");
            HttpRequest r;
            r.url = server.Url("/" + std::to_string(&c - cases));
            r.file_name = target;
            r.to_file = to_file;
            const HttpResult result = Get(r);
            const std::string what = std::string(c.name) + (to_file ? "" : " (text)");
            EXPECT_EQ(result.ok, c.ok) << what << ": " << result.error;
            EXPECT_EQ(testing_support::ReadFileBytes(target), c.ok && to_file ? c.body : "old") << what;
            EXPECT_EQ(result.text, c.ok && !to_file ? c.body : "") << what;
            if (!c.ok) {
                EXPECT_EQ(result.error, "conflicting content lengths") << what;
            }
            EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"version.txt"}) << what;
        }
    }
}

TEST_F(HttpTransferTest, ANewFileGetsTheUsualModeAndAReplacedOneKeepsItsMode) {
    TestHttpServer server([](const HttpRecorded&) { return HttpReply(200, "data"); });
    HttpRequest r;
    r.url = server.Url("/f");
    r.file_name = dir / "new.txt";
    ASSERT_TRUE(Get(r).ok);
    struct stat st {};
    ASSERT_EQ(stat(r.file_name.c_str(), &st), 0);
    const mode_t mask = umask(0);
    umask(mask);
    EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask);
    chmod(r.file_name.c_str(), 0600);
    ASSERT_TRUE(Get(r).ok);
    ASSERT_EQ(stat(r.file_name.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(HttpTransferTest, ATargetThatCannotBeWrittenFails) {
    TestHttpServer server([](const HttpRecorded&) { return HttpReply(200, "data"); });
    std::filesystem::create_directory(dir / "folder");
    for (const std::string& target : {dir / "missing/version.txt", dir / "folder", std::string()}) {
        HttpRequest r;
        r.url = server.Url("/f");
        r.file_name = target;
        EXPECT_FALSE(Get(r).ok) << target;
    }
    EXPECT_TRUE(std::filesystem::is_directory(dir / "folder"));
    EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"folder"});
}

TEST_F(HttpTransferTest, TheTextModeTakesTheBodyAndNeedsOneByte) {
    TestHttpServer server([](const HttpRecorded& r) {
        if (r.target == "/missing") return HttpReply(404, "not here");
        if (r.target == "/empty") return HttpReply(200, "");
        if (r.target == "/no-length") return HttpReply(200, "4.1").NoLength();
        return HttpReply(200, "4.0.17");
    });
    struct Case {
        std::string path;
        bool ok;
        std::string text;
    } cases[] = {
        {"/version", true, "4.0.17"}, {"/no-length", true, "4.1"}, {"/empty", false, ""}, {"/missing", false, ""}};
    for (const Case& c : cases) {
        HttpRequest r;
        r.url = server.Url(c.path);
        r.to_file = false;
        const HttpResult result = Get(r);
        EXPECT_EQ(result.ok, c.ok) << c.path;
        EXPECT_EQ(result.text, c.ok ? c.text : "") << c.path;
    }
}

TEST_F(HttpTransferTest, CredentialsAnswerTheServersChallenge) {
    TestHttpServer server([](const HttpRecorded& r) {
        if (r.Header("authorization") == "Basic dXNlcjpzZWNyZXQ=")  // user:secret
            return HttpReply(200, "private");
        return HttpReply(401, "who are you").Header("WWW-Authenticate: Basic realm=\"corvanta\"");
    });
    struct Case {
        std::string user, password;
        bool ok;
    } cases[] = {{"user", "secret", true}, {"user", "wrong", false}, {"", "", false}};
    for (const Case& c : cases) {
        HttpRequest r;
        r.url = server.Url("/private");
        r.user_name = c.user;
        r.password = c.password;
        r.to_file = false;
        const HttpResult result = Get(r);
        EXPECT_EQ(result.ok, c.ok) << c.user << ":" << c.password;
        EXPECT_EQ(result.text, c.ok ? "private" : "") << c.user << ":" << c.password;
    }
}

TEST_F(HttpTransferTest, TheProxyOfTheEnvironmentIsUsed) {
    TestHttpServer proxy([](const HttpRecorded&) { return HttpReply(200, "via proxy"); });
    unsetenv("no_proxy");
    setenv("http_proxy", ("http://" + proxy.Url("")).c_str(), 1);
    HttpRequest r;
    r.url = "corvanta.invalid/files/version.txt";
    r.to_file = false;
    const HttpResult result = Get(r);
    EXPECT_TRUE(result.ok) << result.error;
    ASSERT_EQ(proxy.Requests().size(), 1u);
    EXPECT_EQ(proxy.Requests()[0].target, "http://corvanta.invalid/files/version.txt");
}

TEST_F(HttpTransferTest, NothingIsSentWithoutAHostOrOnceStopped) {
    TestHttpServer server([](const HttpRecorded&) { return HttpReply(200, "x"); });
    HttpRequest r;
    r.to_file = false;
    for (const std::string& url :
         std::vector<std::string>{"version.txt", "http://", "bad host/x", "a@" + server.Url("/x")}) {
        r.url = url;
        EXPECT_FALSE(Get(r).ok) << url;
    }
    r.url = server.Url("/x");
    HttpCancel cancel;
    cancel.Request();
    EXPECT_FALSE(PerformHttpRequest(r, cancel).ok);
    EXPECT_TRUE(server.Requests().empty());
}

}  // namespace
}  // namespace controls
