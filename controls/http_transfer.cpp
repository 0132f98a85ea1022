#include "controls/http_transfer.hpp"

#include <curl/curl.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <memory>

namespace controls {

struct HttpCancelAccess {
    static void Attach(HttpCancel& c, CURLM* multi) {
        std::lock_guard lock(c.mu_);
        c.multi_ = multi;
    }
    static void Detach(HttpCancel& c) {
        std::lock_guard lock(c.mu_);
        c.multi_ = nullptr;
    }
};

void HttpCancel::Request() {
    requested_ = true;
    std::lock_guard lock(mu_);
    if (multi_) curl_multi_wakeup(static_cast<CURLM*>(multi_));
}

namespace {

bool Digit(char c) { return c >= '0' && c <= '9'; }

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
    return true;
}

// A host name or an IPv4 address, or an IPv6 address in brackets, with an
// optional port: nothing that would make the URL mean something else.
bool ValidHost(std::string_view host) {
    size_t end = host.size();
    const size_t colon = host.rfind(':');
    if (colon != std::string_view::npos && host.find(']', colon) == std::string_view::npos) {
        const std::string_view port = host.substr(colon + 1);
        if (port.empty() || port.size() > 5 || !std::all_of(port.begin(), port.end(), Digit)) return false;
        end = colon;
    }
    const std::string_view name = host.substr(0, end);
    if (name.empty()) return false;
    if (name.front() == '[')
        return name.size() > 2 && name.back() == ']' && std::all_of(name.begin() + 1, name.end() - 1, [](char c) {
                   return std::isxdigit(static_cast<unsigned char>(c)) || c == ':' || c == '.';
               });
    return std::all_of(name.begin(), name.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '_';
    });
}

std::once_flag curl_started;
void StartCurl() {
    std::call_once(curl_started, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// The mode a new file gets: what the process's umask leaves of 0666.
mode_t NewFileMode() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("Umask:", 0) == 0) return 0666 & ~mode_t(std::stoul(line.substr(6), nullptr, 8));
    return 0644;
}

struct EasyDeleter {
    void operator()(CURL* c) const { curl_easy_cleanup(c); }
};
struct MultiDeleter {
    void operator()(CURLM* m) const { curl_multi_cleanup(m); }
};
struct ListDeleter {
    void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};

class Transfer {
public:
    Transfer(const HttpRequest& request, HttpCancel& cancel, const HttpProgress& progress)
        : request_(request), cancel_(cancel), progress_(progress) {}
    ~Transfer() { Discard(); }

    HttpResult Run();

private:
    static size_t OnHeader(char* data, size_t size, size_t count, void* self) {
        static_cast<Transfer*>(self)->Header(std::string_view(data, size * count));
        return size * count;
    }
    static size_t OnBody(char* data, size_t size, size_t count, void* self) {
        return static_cast<Transfer*>(self)->Body(data, size * count);
    }
    void Header(std::string_view line);
    size_t Body(const char* data, size_t n);
    bool Begin();
    bool Refuse(std::string why) {
        if (result_.error.empty()) result_.error = std::move(why);
        refused_ = true;
        return false;
    }
    void Finish();
    void Discard();

    const HttpRequest& request_;
    HttpCancel& cancel_;
    const HttpProgress& progress_;
    HttpResult result_;
    // The response whose headers came last (an answer that curl follows or
    // answers with credentials is followed by another).
    long status_ = 0;
    std::optional<int32_t> length_;
    int lengths_ = 0;  // values of Content-Length seen
    bool length_conflict_ = false;
    bool began_ = false;     // the body's response is known
    bool refused_ = false;   // a check of ours failed
    bool complete_ = false;  // the announced length was taken: stop reading
    std::string temp_;
    FILE* file_ = nullptr;
};

void Transfer::Header(std::string_view line) {
    if (line.rfind("HTTP/", 0) == 0) {
        status_ = 0;
        length_.reset();
        lengths_ = 0;
        length_conflict_ = false;
        const size_t blank = line.find(' ');
        if (blank != std::string_view::npos) {
            const std::string code(line.substr(blank + 1, 3));
            if (code.size() == 3 && std::all_of(code.begin(), code.end(), Digit)) status_ = std::stol(code);
        }
        return;
    }
    if (!StartsWithNoCase(line, "content-length:")) return;
    // Every value of every Content-Length of the response must agree: which
    // of two lengths is the body's cannot be known.
    std::string_view values = line.substr(15);
    for (;;) {
        const size_t comma = values.find(',');
        const std::optional<int32_t> value = ParseContentLength(values.substr(0, comma));
        if (lengths_ > 0 && value != length_) length_conflict_ = true;
        length_ = value;
        ++lengths_;
        if (comma == std::string_view::npos) break;
        values.remove_prefix(comma + 1);
    }
}

// The headers of the response whose body is taken are complete.
bool Transfer::Begin() {
    began_ = true;
    result_.status = status_;
    result_.content_length = length_;
    if (status_ < 200 || status_ > 299) return Refuse("the server answered " + std::to_string(status_));
    if (length_conflict_) {
        result_.content_length.reset();
        return Refuse("conflicting content lengths");
    }
    if (!length_ && request_.binary_data) return Refuse("no content length");
    if (!request_.to_file) return true;
    if (request_.file_name.empty()) return Refuse("no file name");
    temp_ = request_.file_name + ".XXXXXX";
    const int fd = mkstemp(temp_.data());
    if (fd < 0) {
        temp_.clear();
        return Refuse("cannot create a file beside " + request_.file_name);
    }
    file_ = fdopen(fd, "wb");
    if (!file_) {
        close(fd);
        return Refuse("cannot create a file beside " + request_.file_name);
    }
    return true;
}

size_t Transfer::Body(const char* data, size_t n) {
    if (cancel_.Requested()) return 0;
    if (!began_ && !Begin()) return 0;
    if (refused_) return 0;
    size_t take = n;
    if (length_) take = size_t(std::min<int64_t>(int64_t(n), *length_ - result_.bytes));
    if (request_.to_file) {
        if (take && std::fwrite(data, 1, take, file_) != take) {
            Refuse("cannot write the file");
            return 0;
        }
    } else {
        result_.text.append(data, take);
    }
    result_.bytes += int64_t(take);
    if (progress_) progress_(length_.value_or(0), result_.bytes);
    if (length_ && result_.bytes == *length_) {
        complete_ = true;  // what follows the announced length is not the file's
        return 0;
    }
    return n;
}

void Transfer::Discard() {
    if (file_) std::fclose(file_), file_ = nullptr;
    if (!temp_.empty()) unlink(temp_.c_str()), temp_.clear();
}

// The file goes where the target was only now, all of it on the disk first.
void Transfer::Finish() {
    if (!request_.to_file || !result_.ok) return Discard();
    struct stat st {};
    const mode_t mode = stat(request_.file_name.c_str(), &st) == 0 ? (st.st_mode & 07777) : NewFileMode();
    const int fd = fileno(file_);
    const bool written = std::fflush(file_) == 0 && fchmod(fd, mode) == 0 && fsync(fd) == 0;
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    if (!written || !closed || std::rename(temp_.c_str(), request_.file_name.c_str()) != 0) {
        result_.ok = false;
        result_.error = "cannot replace " + request_.file_name;
        return Discard();
    }
    temp_.clear();
}

HttpResult Transfer::Run() {
    StartCurl();
    if (cancel_.Requested()) {
        result_.error = "stopped";
        return result_;
    }
    const HttpUrlParts parts = SplitHttpUrl(request_.url);
    if (!ValidHost(parts.host)) {
        result_.error = "no host in the URL";
        return result_;
    }
    std::unique_ptr<CURL, EasyDeleter> easy(curl_easy_init());
    std::unique_ptr<CURLM, MultiDeleter> multi(curl_multi_init());
    if (!easy || !multi) {
        result_.error = "out of memory";
        return result_;
    }
    CURL* e = easy.get();
    const std::string url = "http://" + parts.host + parts.path;
    curl_easy_setopt(e, CURLOPT_URL, url.c_str());
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http");
    curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(e, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(e, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_1_0));
    curl_easy_setopt(e, CURLOPT_PATH_AS_IS, 1L);
    // The length is ours to judge (ParseContentLength), and reading stops at it.
    curl_easy_setopt(e, CURLOPT_IGNORE_CONTENT_LENGTH, 1L);
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT, 30L);
    curl_easy_setopt(e, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(e, CURLOPT_LOW_SPEED_TIME, 60L);
    curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &Transfer::OnHeader);
    curl_easy_setopt(e, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &Transfer::OnBody);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, this);
    if (!request_.agent.empty()) curl_easy_setopt(e, CURLOPT_USERAGENT, request_.agent.c_str());
    if (!request_.referer.empty()) curl_easy_setopt(e, CURLOPT_REFERER, request_.referer.c_str());
    curl_slist* list = nullptr;
    auto add = [&list](const std::string& header) { list = curl_slist_append(list, header.c_str()); };
    add(request_.accept_types.empty() ? "Accept:" : "Accept: " + request_.accept_types);
    if (!request_.use_cache) add("Pragma: no-cache"), add("Cache-Control: no-cache");
    if (!request_.post_query.empty()) {
        add("Content-Type: application/x-www-form-urlencoded");
        curl_easy_setopt(e, CURLOPT_POSTFIELDS, request_.post_query.c_str());
        curl_easy_setopt(e, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(request_.post_query.size()));
    }
    std::unique_ptr<curl_slist, ListDeleter> headers(list);
    curl_easy_setopt(e, CURLOPT_HTTPHEADER, list);
    if (!request_.user_name.empty() || !request_.password.empty()) {
        curl_easy_setopt(e, CURLOPT_USERNAME, request_.user_name.c_str());
        curl_easy_setopt(e, CURLOPT_PASSWORD, request_.password.c_str());
        curl_easy_setopt(e, CURLOPT_HTTPAUTH, long(CURLAUTH_BASIC | CURLAUTH_DIGEST));
    }

    curl_multi_add_handle(multi.get(), e);
    HttpCancelAccess::Attach(cancel_, multi.get());
    CURLcode code = CURLE_OK;
    bool stopped = false;
    for (;;) {
        if (cancel_.Requested()) {
            stopped = true;
            break;
        }
        int running = 0;
        const CURLMcode m = curl_multi_perform(multi.get(), &running);
        if (m != CURLM_OK) {
            code = CURLE_FAILED_INIT;
            break;
        }
        if (!running) {
            int left = 0;
            while (CURLMsg* msg = curl_multi_info_read(multi.get(), &left))
                if (msg->msg == CURLMSG_DONE) code = msg->data.result;
            break;
        }
        curl_multi_poll(multi.get(), nullptr, 0, 1000, nullptr);
    }
    HttpCancelAccess::Detach(cancel_);
    curl_multi_remove_handle(multi.get(), e);
    stopped = stopped || cancel_.Requested();

    if (!stopped && !refused_ && !began_ && code == CURLE_OK) Begin();  // a response without a body
    if (stopped)
        result_.error = "stopped";
    else if (!refused_ && !complete_ && code != CURLE_OK)
        result_.error = curl_easy_strerror(code);
    else if (!refused_ && !began_)
        result_.error = "no response";
    else if (!refused_) {
        if (!request_.to_file)
            result_.ok = result_.bytes >= 1;
        else
            result_.ok = length_ && result_.bytes == *length_;
        if (!result_.ok) result_.error = "the body does not have the announced length";
    }
    Finish();
    return result_;
}

}  // namespace

HttpUrlParts SplitHttpUrl(const std::string& url) {
    std::string rest = StartsWithNoCase(url, "http://") ? url.substr(7) : url;
    const size_t slash = rest.find('/');
    if (slash == std::string::npos) return {"", rest};
    return {rest.substr(0, slash), rest.substr(slash)};
}

std::optional<int32_t> ParseContentLength(std::string_view text) {
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    if (text.empty()) return std::nullopt;
    // Leading zeros say nothing: "0000000000008000" is 8000.
    while (text.size() > 1 && text.front() == '0') text.remove_prefix(1);
    if (text.size() > 10) return std::nullopt;
    int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value > INT32_MAX) return std::nullopt;
    return int32_t(value);
}

HttpResult PerformHttpRequest(const HttpRequest& request, HttpCancel& cancel, const HttpProgress& progress) {
    return Transfer(request, cancel, progress).Run();
}

}  // namespace controls
