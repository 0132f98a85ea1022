#pragma once
// A small HTTP server on a loopback port for the download tests: it records
// every request and answers with what the test's handler says, also with a
// wrong length, a body cut off, or a body held back part-way until the test
// releases it (or the client goes away).
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace testing_support {

struct HttpRecorded {
    std::string method, target, version;
    std::map<std::string, std::string> headers;  // names in lower case
    std::string body;
    std::string Header(const std::string& name) const {
        auto it = headers.find(name);
        return it == headers.end() ? "" : it->second;
    }
    bool Has(const std::string& name) const { return headers.count(name) != 0; }
};

struct HttpReply {
    HttpReply(int s = 200, std::string b = "") : status(s), body(std::move(b)) {}
    int status;
    std::string body;
    // The Content-Length header's text: the body's size unless given; none when `no_length`.
    std::optional<std::string> length;
    bool no_length = false;
    std::vector<std::string> headers;       // more header lines
    size_t cut_after = std::string::npos;   // the connection closes after this many body bytes
    size_t hold_after = std::string::npos;  // this many body bytes go, the rest once released

    HttpReply& Length(std::string text) { return length = std::move(text), *this; }
    HttpReply& NoLength() { return no_length = true, *this; }
    HttpReply& Header(std::string line) { return headers.push_back(std::move(line)), *this; }
    HttpReply& CutAfter(size_t n) { return cut_after = n, *this; }
    HttpReply& HoldAfter(size_t n) { return hold_after = n, *this; }
};

class TestHttpServer {
public:
    using Handler = std::function<HttpReply(const HttpRecorded&)>;

    // A client that sends or takes nothing for `patience` is left.
    explicit TestHttpServer(Handler handler, std::chrono::seconds patience = std::chrono::seconds(20))
        : handler_(std::move(handler)), patience_(patience) {
        listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (listener_ < 0 || bind(listener_, reinterpret_cast<sockaddr*>(&a), len) != 0 || listen(listener_, 16) != 0 ||
            getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &len) != 0)
            throw std::runtime_error("test server: no loopback port");
        port_ = ntohs(a.sin_port);
        acceptor_ = std::thread([this] { Accept(); });
    }
    ~TestHttpServer() {
        {
            std::lock_guard lock(mu_);
            stopping_ = true;
        }
        cv_.notify_all();
        shutdown(listener_, SHUT_RDWR);
        acceptor_.join();
        for (auto& t : connections_) t.join();
        close(listener_);
    }
    TestHttpServer(const TestHttpServer&) = delete;
    TestHttpServer& operator=(const TestHttpServer&) = delete;

    int port() const { return port_; }
    // "127.0.0.1:port" followed by the path.
    std::string Url(const std::string& path) const { return "127.0.0.1:" + std::to_string(port_) + path; }
    std::vector<HttpRecorded> Requests() {
        std::lock_guard lock(mu_);
        return requests_;
    }
    // Waits (at most 20 s) until `n` replies are held back; false if they never are.
    bool WaitForHeld(int n) {
        std::unique_lock lock(mu_);
        return cv_.wait_for(lock, std::chrono::seconds(20), [&] { return held_ >= n; });
    }
    void Release() {
        {
            std::lock_guard lock(mu_);
            released_ = true;
        }
        cv_.notify_all();
    }
    // Waits (at most 20 s) until `n` connections have ended.
    bool WaitForClosed(int n) {
        std::unique_lock lock(mu_);
        return cv_.wait_for(lock, std::chrono::seconds(20), [&] { return closed_ >= n; });
    }

private:
    void Accept() {
        for (;;) {
            const int fd = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            std::lock_guard lock(mu_);
            if (fd < 0 || stopping_) {
                if (fd >= 0) close(fd);
                return;
            }
            connections_.emplace_back([this, fd] {
                Serve(fd);
                close(fd);
                {
                    std::lock_guard l(mu_);
                    ++closed_;
                }
                cv_.notify_all();
            });
        }
    }

    static bool SendAll(int fd, const char* data, size_t n) {
        while (n) {
            const ssize_t w = send(fd, data, n, MSG_NOSIGNAL);
            if (w <= 0) return false;
            data += w, n -= size_t(w);
        }
        return true;
    }

    void Serve(int fd) {
        // A client that never finishes its request, or never reads the reply, cannot keep the server.
        const timeval limit{patience_.count(), 0};
        setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
        std::string in;
        char buf[4096];
        size_t end;
        while ((end = in.find("\r\n\r\n")) == std::string::npos) {
            const ssize_t r = recv(fd, buf, sizeof buf, 0);
            if (r <= 0) return;
            in.append(buf, size_t(r));
        }
        HttpRecorded req;
        std::istringstream head(in.substr(0, end));
        std::string line;
        std::getline(head, line);
        std::istringstream(line) >> req.method >> req.target >> req.version;
        while (std::getline(head, line)) {
            const size_t colon = line.find(':');
            if (colon == std::string::npos) continue;
            std::string name = line.substr(0, colon);
            for (char& c : name) c = char(std::tolower(static_cast<unsigned char>(c)));
            const size_t value = line.find_first_not_of(' ', colon + 1);
            req.headers[name] =
                value == std::string::npos ? "" : line.substr(value, line.find_last_not_of('\r') + 1 - value);
        }
        req.body = in.substr(end + 4);
        const size_t want = req.Has("content-length") ? std::stoul(req.Header("content-length")) : 0;
        while (req.body.size() < want) {
            const ssize_t r = recv(fd, buf, sizeof buf, 0);
            if (r <= 0) return;
            req.body.append(buf, size_t(r));
        }
        {
            std::lock_guard lock(mu_);
            requests_.push_back(req);
        }
        const HttpReply reply = handler_(req);
        std::string out = "HTTP/1.0 " + std::to_string(reply.status) + " Reason\r\n";
        if (!reply.no_length)
            out += "Content-Length: " + reply.length.value_or(std::to_string(reply.body.size())) + "\r\n";
        for (const auto& h : reply.headers) out += h + "\r\n";
        out += "\r\n";
        const size_t body_end = std::min(reply.body.size(), reply.cut_after);
        const size_t first_part = std::min(body_end, reply.hold_after);
        if (!SendAll(fd, out.data(), out.size()) || !SendAll(fd, reply.body.data(), first_part)) return;
        if (first_part < body_end || reply.hold_after != std::string::npos) {
            if (!Hold(fd)) return;
        }
        SendAll(fd, reply.body.data() + first_part, body_end - first_part);
        shutdown(fd, SHUT_WR);
        // Lets the client read the rest before the socket goes.
        while (recv(fd, buf, sizeof buf, 0) > 0) {}
    }

    // Until released (true), or the client left or the server stops (false).
    bool Hold(int fd) {
        std::unique_lock lock(mu_);
        ++held_;
        cv_.notify_all();
        for (;;) {
            if (released_) return true;
            if (stopping_) return false;
            lock.unlock();
            pollfd p{fd, POLLIN | POLLRDHUP, 0};
            const bool gone = poll(&p, 1, 10) > 0 && (p.revents & (POLLRDHUP | POLLHUP | POLLERR));
            lock.lock();
            if (gone) return false;
        }
    }

    Handler handler_;
    std::chrono::seconds patience_;
    int listener_ = -1;
    int port_ = 0;
    std::thread acceptor_;
    std::vector<std::thread> connections_;  // under mu_
    std::mutex mu_;
    std::condition_variable cv_;
    std::vector<HttpRecorded> requests_;
    bool stopping_ = false, released_ = false;
    int held_ = 0, closed_ = 0;
};

}  // namespace testing_support
