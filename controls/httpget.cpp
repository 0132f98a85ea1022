#include "controls/httpget.hpp"

#include <algorithm>
#include <climits>
#include <filesystem>

#include "framework/ui/forms.hpp"

namespace controls {

namespace {
std::atomic<int> alive_threads{0};
}

THTTPGetThread::THTTPGetThread(HttpRequest request, std::shared_ptr<HttpDownloadLink> link)
    : ui::TThread([this](ui::TThread&) { Execute(); }), request_(std::move(request)), link_(std::move(link)) {
    FreeOnTerminate = true;
    ++alive_threads;
}

THTTPGetThread::~THTTPGetThread() {
    link_->gone = true;
    --alive_threads;
}

int THTTPGetThread::Alive() { return alive_threads.load(); }

void THTTPGetThread::Execute() {
    try {
        link_->result =
            PerformHttpRequest(request_, link_->cancel, [this](int32_t total, int64_t read) { Progress(total, read); });
    } catch (const std::exception& e) {
        link_->result.ok = false;
        link_->result.error = e.what();
    }
}

// Progress goes to the user-interface thread without waiting for it: a busy
// or vanished user interface never holds the download up. Values that arrive
// while a report waits are merged into it.
void THTTPGetThread::Progress(int32_t total, int64_t read) {
    bool queue = false;
    {
        std::lock_guard lock(link_->mu);
        link_->total = total;
        link_->readed = int(std::min<int64_t>(read, INT_MAX));
        queue = !link_->progress_queued;
        link_->progress_queued = true;
    }
    if (!queue) return;
    Queue([link = link_] {
        int total_size = 0, readed = 0;
        {
            std::lock_guard lock(link->mu);
            total_size = link->total;
            readed = link->readed;
            link->progress_queued = false;
        }
        THTTPGet* owner = link->owner;
        if (!owner || !owner->OnProgress) return;
        const TOnProgressEvent handler = owner->OnProgress;  // the handler may free the component
        handler(owner, total_size, readed);
    });
}

THTTPGet::THTTPGet(ui::TComponent* owner) : ui::TComponent(owner) {}

THTTPGet::~THTTPGet() {
    Stop();
    if (link_) link_->owner = nullptr;  // the thread ends by itself and calls nobody
}

bool THTTPGet::Running() const { return link_ && !link_->completed && !link_->gone; }

void THTTPGet::GetFile() { Start(true); }

void THTTPGet::Stop() {
    if (!Running()) return;
    link_->stopped = true;
    link_->cancel.Request();
}

void THTTPGet::Start(bool to_file) {
    if (Running()) return;
    HttpRequest request;
    request.url = URL;
    request.accept_types = AcceptTypes;
    request.agent = Agent;
    request.referer = Referer;
    request.user_name = UserName;
    request.password = Password;
    request.post_query = PostQuery;
    request.use_cache = UseCache;
    request.binary_data = BinaryData;
    request.to_file = to_file;
    // The program moves its current folder while downloads run.
    if (to_file && !FileName.empty()) {
        std::error_code ec;
        const auto absolute = std::filesystem::absolute(FileName, ec);
        request.file_name = ec ? FileName : absolute.string();
    }

    auto link = std::make_shared<HttpDownloadLink>();
    link->owner = this;
    link->file_name = FileName;
    link->to_file = to_file;
    auto* thread = new THTTPGetThread(std::move(request), link);  // frees itself once started
    thread->OnTerminate = [link](ui::TThread&) { Completed(*link); };
    try {
        thread->Start();
    } catch (...) {
        delete thread;
        throw;
    }
    link_ = link;
    if (!WaitThread) return;
    // `this` may be freed by a handler meanwhile; the link stays.
    while (!link->completed && !link->gone) ui::Application().HandleMessage();
}

// On the user-interface thread, when the thread has ended.
void THTTPGet::Completed(HttpDownloadLink& link) {
    link.completed = true;
    THTTPGet* self = link.owner;
    if (!self) return;
    link.owner = nullptr;
    // No download runs any more before the events fire, so a handler may start the next one.
    const auto keep = std::move(self->link_);
    self->last_ = link.result;
    self->succeeded_ = link.result.ok && !link.stopped;
    if (!self->succeeded_) {
        if (const ui::TNotifyEvent handler = self->OnError) handler(self);
        return;
    }
    if (link.to_file) {
        if (const TOnDoneFileEvent handler = self->OnDoneFile)
            handler(self, link.file_name, link.result.content_length.value_or(0));
    } else if (const TOnDoneStringEvent handler = self->OnDoneString) {
        handler(self, link.result.text);
    }
}

}  // namespace controls
