#pragma once
// THTTPGet downloads one HTTP resource into a file on a worker thread of its
// own (THTTPGetThread), and reports progress, completion and failure as
// events on the user-interface thread. The request is the one of
// controls/http_transfer.hpp; any number of components may download at once.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "controls/http_transfer.hpp"
#include "framework/ui/classes.hpp"
#include "framework/ui/thread.hpp"

namespace controls {

using TOnProgressEvent = std::function<void(ui::TObject* sender, int total_size, int readed)>;
using TOnDoneFileEvent = std::function<void(ui::TObject* sender, const std::string& file_name, int file_size)>;
using TOnDoneStringEvent = std::function<void(ui::TObject* sender, const std::string& result)>;

class THTTPGet;

// What a component and its worker thread share. The thread only fills in the
// progress and the result; `owner` is read and cleared on the user-interface
// thread alone, so a component that is gone is never called.
struct HttpDownloadLink {
    HttpCancel cancel;
    THTTPGet* owner = nullptr;
    std::string file_name;  // the target as the component named it
    bool to_file = true;
    bool stopped = false;           // Stop was called: the result counts as failed
    bool completed = false;         // the completion ran
    std::atomic<bool> gone{false};  // the thread has ended, completion or not
    HttpResult result;              // the thread's, read once it has ended

    std::mutex mu;  // guards the three below
    int total = 0, readed = 0;
    bool progress_queued = false;
};

// The worker: runs the transfer and frees itself when it ends. Its end
// handler (OnTerminate) is the component's completion.
class THTTPGetThread : public ui::TThread {
public:
    THTTPGetThread(HttpRequest request, std::shared_ptr<HttpDownloadLink> link);
    ~THTTPGetThread() override;
    // Threads alive in the process (the tests wait for them to end).
    static int Alive();

private:
    void Execute();
    void Progress(int32_t total, int64_t read);
    HttpRequest request_;
    std::shared_ptr<HttpDownloadLink> link_;
};

class THTTPGet : public ui::TComponent {
public:
    explicit THTTPGet(ui::TComponent* owner);
    ~THTTPGet() override;
    std::string ClassName() const override { return "THTTPGet"; }

    std::string AcceptTypes = "*/*";
    std::string Agent = "Corvanta HTTPGet";
    bool BinaryData = false;
    std::string URL;
    bool UseCache = false;
    std::string FileName;
    std::string UserName, Password;
    std::string PostQuery;
    std::string Referer;
    bool WaitThread = false;
    TOnProgressEvent OnProgress;
    TOnDoneFileEvent OnDoneFile;
    TOnDoneStringEvent OnDoneString;
    ui::TNotifyEvent OnError;

    // Starts the download; nothing while one runs. With WaitThread, returns
    // only once it has ended (its events have fired), handling the program's
    // messages meanwhile.
    void GetFile();
    // Asks the running download to end; it fails.
    void Stop();
    bool Running() const;
    // The last download's outcome.
    bool Succeeded() const { return succeeded_; }
    const HttpResult& LastResult() const { return last_; }

private:
    friend class THTTPGetThread;
    void Start(bool to_file);
    static void Completed(HttpDownloadLink& link);
    std::shared_ptr<HttpDownloadLink> link_;  // of the running download
    bool succeeded_ = false;
    HttpResult last_;
};

}  // namespace controls
