#pragma once
// Shared by the fuzz targets: a Qt application on the offscreen platform for the
// targets that paint or use fonts, a private settings folder, and a reader that takes
// typed values off the front of the input.

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace fuzzing {

// A GUI application that lives as long as the process, with its own settings folder.
inline void startApplication() {
    // In memory where there is such a folder: the registry syncs every key it writes.
    static const std::unique_ptr<QTemporaryDir> config(
        QDir("/dev/shm").exists() ? new QTemporaryDir("/dev/shm/fuzz-XXXXXX") : new QTemporaryDir);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("XDG_CONFIG_HOME", config->path().toLocal8Bit().constData(), 1);
    static int argc = 1;
    static char name[] = "fuzz";
    static char *argv[] = {name, nullptr};
    static QApplication app(argc, argv);
}

// Takes values off the front of the input; past its end every value is 0.
class Input {
public:
    Input(const uint8_t *data, size_t size) : p_(data), left_(size) {}

    size_t left() const { return left_; }
    uint8_t byte() { return left_ ? (--left_, *p_++) : 0; }
    template <class T> T take() {
        T v{};
        const size_t n = left_ < sizeof v ? left_ : sizeof v;
        std::memcpy(&v, p_, n);
        p_ += n;
        left_ -= n;
        return v;
    }
    // Up to `max` bytes.
    std::string bytes(size_t max) {
        const size_t n = left_ < max ? left_ : max;
        std::string s(reinterpret_cast<const char *>(p_), n);
        p_ += n;
        left_ -= n;
        return s;
    }
    std::string rest() { return bytes(left_); }

private:
    const uint8_t *p_;
    size_t left_;
};

// Stops the run with a message: a broken property, not a crash, counts as a finding.
[[noreturn]] inline void fail(const char *what) {
    std::fprintf(stderr, "fuzz: %s\n", what);
    std::abort();
}

} // namespace fuzzing
