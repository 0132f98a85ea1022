#pragma once
// One HTTP/1.0 request, made with libcurl on the calling thread, its body
// taken into a file or a text: the transfer under THTTPGet's worker thread
// (controls/httpget.hpp). A file is written under a temporary name beside the
// target and renamed over it only when the download succeeded, so a failed
// download never touches what the target held.
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace controls {

struct HttpUrlParts {
    std::string host;  // may end in ":port"; empty when the URL has no "/"
    std::string path;  // from the first "/" on
};
// "http://" (any case) is removed when the URL begins with it; the host is the
// text up to the first "/", the path the rest from that "/" on. Without a "/"
// the host is empty and the whole text is the path.
HttpUrlParts SplitHttpUrl(const std::string& url);

// A Content-Length value as the download counts it: decimal digits (leading
// zeros as many as there are), blanks around allowed, at most 2^31 - 1;
// anything else counts as no length. A response whose Content-Length values
// disagree fails.
std::optional<int32_t> ParseContentLength(std::string_view text);

struct HttpRequest {
    std::string url;
    std::string accept_types = "*/*";  // empty: no accept entry
    std::string agent;                 // empty: no user-agent
    std::string referer;
    std::string user_name, password;
    std::string post_query;    // not empty: a POST with this body
    bool use_cache = false;    // false: ask every cache on the way for a fresh copy
    bool binary_data = false;  // fail, before any file is made, when the server gives no length
    bool to_file = true;       // false: the body becomes HttpResult::text
    std::string file_name;     // the target, an absolute path in the file mode
};

struct HttpResult {
    bool ok = false;
    long status = 0;  // the status of the response whose body was taken; 0 when none came
    std::optional<int32_t> content_length;
    int64_t bytes = 0;  // body bytes taken
    std::string text;   // the text mode's body
    std::string error;  // why it failed (for logs and tests)
};

// Stops a transfer from another thread, also while it waits for the network.
class HttpCancel {
public:
    void Request();
    bool Requested() const { return requested_.load(); }

private:
    friend struct HttpCancelAccess;
    std::atomic<bool> requested_{false};
    std::mutex mu_;
    void* multi_ = nullptr;  // the transfer's curl multi handle while it runs
};

// Called after each block of the body: the announced length (0 when none)
// and the bytes taken so far.
using HttpProgress = std::function<void(int32_t total, int64_t read)>;

// Makes the request and takes the response's body. Success: a status of
// 2xx, and in the file mode exactly the announced length of bytes (at most
// that many are taken), in the text mode at least one byte.
HttpResult PerformHttpRequest(const HttpRequest& request, HttpCancel& cancel, const HttpProgress& progress = {});

}  // namespace controls
