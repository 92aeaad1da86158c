#pragma once
// A terminal this process may not open, for the tests of what a refused port does.

#include <QByteArray>
#include <QString>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

namespace testsupport {

// While it lives, this process opens `path` as a user who may not: as root it takes
// the effective ids of nobody (root opens anything), otherwise the terminal loses its
// mode bits.
class DeniedOpen {
public:
    explicit DeniedOpen(const QString &path) : path_(path.toLocal8Bit()) {
        struct stat st {};
        ::stat(path_.constData(), &st);
        mode_ = st.st_mode & 07777;
        if (geteuid() == 0) {
            ::chmod(path_.constData(), 0600);
            asNobody_ = setegid(65534) == 0 && seteuid(65534) == 0;
        } else {
            ::chmod(path_.constData(), 0);
        }
    }
    ~DeniedOpen() {
        if (asNobody_ && (seteuid(0) != 0 || setegid(0) != 0)) std::abort();
        ::chmod(path_.constData(), mode_);
    }
    DeniedOpen(const DeniedOpen &) = delete;
    DeniedOpen &operator=(const DeniedOpen &) = delete;

private:
    QByteArray path_;
    mode_t mode_ = 0;
    bool asNobody_ = false;
};

} // namespace testsupport
