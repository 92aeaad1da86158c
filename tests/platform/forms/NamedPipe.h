#pragma once
// A named pipe for the tests of readers that must refuse one. Should the code under
// test block opening it for reading, a writer opens it after a few seconds and lets
// that open return, so the fault fails the test instead of hanging it.

#include <QFile>
#include <QString>

#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

class NamedPipe {
public:
    explicit NamedPipe(const QString &path) : name_(QFile::encodeName(path)) {
        made_ = ::mkfifo(name_.constData(), 0600) == 0;
        watchdog_ = std::thread([this] {
            std::unique_lock<std::mutex> lock(mutex_);
            if (cv_.wait_for(lock, std::chrono::seconds(5), [this] { return done_; })) return;
            blocked_ = true;
            const int fd = ::open(name_.constData(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0) ::close(fd);
        });
    }
    ~NamedPipe() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            done_ = true;
        }
        cv_.notify_all();
        watchdog_.join();
        ::unlink(name_.constData());
    }
    NamedPipe(const NamedPipe &) = delete;
    NamedPipe &operator=(const NamedPipe &) = delete;

    bool made() const { return made_; }
    // A reader was still blocked on it when the watchdog gave up waiting.
    bool blockedAReader() {
        std::lock_guard<std::mutex> lock(mutex_);
        return blocked_;
    }

private:
    QByteArray name_;
    bool made_ = false;
    std::mutex mutex_;
    std::condition_variable cv_;
    bool done_ = false, blocked_ = false;
    std::thread watchdog_;
};
