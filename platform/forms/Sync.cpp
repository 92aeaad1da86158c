#include "Sync.h"

#include <QCoreApplication>
#include <QThread>

#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>

namespace forms {

namespace {

struct QueuedCall {
    std::function<void()> call;
    std::shared_ptr<SyncToken> token;
    std::exception_ptr error;
    bool done = false;
};

std::mutex queueLock;
std::condition_variable queueDone;
std::deque<std::shared_ptr<QueuedCall>> queue;

} // namespace

bool IsGuiThread() {
    QCoreApplication *app = QCoreApplication::instance();
    return !app || QThread::currentThread() == app->thread();
}

void Synchronize(const std::function<void()> &call) { Synchronize(call, nullptr); }

void Synchronize(const std::function<void()> &call, const std::shared_ptr<SyncToken> &token) {
    QCoreApplication *app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread()) {
        if (!token || !token->Cancelled()) call();
        return;
    }
    auto item = std::make_shared<QueuedCall>();
    item->call = call;
    item->token = token;
    {
        std::lock_guard<std::mutex> g(queueLock);
        // Checked under the lock, so a Cancel either sees this call queued or this
        // call sees the Cancel.
        if (token && token->Cancelled()) return;
        queue.push_back(item);
    }
    // A posted call reaches the GUI thread through exec() and processEvents() alike.
    QMetaObject::invokeMethod(
        app, [] { CheckSynchronize(); }, Qt::QueuedConnection);
    std::unique_lock<std::mutex> g(queueLock);
    queueDone.wait(g, [&] { return item->done; });
    if (item->error) std::rethrow_exception(item->error);
}

bool CheckSynchronize() {
    bool ran = false;
    for (;;) {
        std::shared_ptr<QueuedCall> item;
        {
            std::lock_guard<std::mutex> g(queueLock);
            if (queue.empty()) return ran;
            item = queue.front();
            queue.pop_front();
        }
        if (!item->token || !item->token->Cancelled()) {
            ran = true;
            try {
                item->call();
            } catch (...) {
                item->error = std::current_exception();
            }
        }
        {
            std::lock_guard<std::mutex> g(queueLock);
            item->done = true;
        }
        queueDone.notify_all();
    }
}

void SyncToken::Cancel() {
    {
        std::lock_guard<std::mutex> g(queueLock);
        cancelled_ = true;
        for (auto it = queue.begin(); it != queue.end();) {
            if ((*it)->token.get() == this) {
                (*it)->done = true;
                it = queue.erase(it);
            } else {
                ++it;
            }
        }
    }
    queueDone.notify_all();
}

} // namespace forms
