#include "RegularFile.h"

#include <QDir>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace forms {

namespace {

QString kindOf(mode_t mode) {
    if (S_ISDIR(mode)) return QStringLiteral("a folder");
    if (S_ISFIFO(mode)) return QStringLiteral("a named pipe");
    if (S_ISSOCK(mode)) return QStringLiteral("a socket");
    if (S_ISCHR(mode) || S_ISBLK(mode)) return QStringLiteral("a device");
    return QStringLiteral("not a regular file");
}

FileOpen refuse(QString *error, FileOpen result, const QString &text) {
    if (error) *error = text;
    return result;
}

} // namespace

FileOpen OpenRegularFile(QFile &file, const QString &path, QString *error) {
    const QString shown = QDir::toNativeSeparators(path);
    const QByteArray name = QFile::encodeName(path);
    auto notAFile = [&](mode_t mode) {
        return refuse(error, FileOpen::NotAFile,
                      QStringLiteral("%1 cannot be read as a file: it is %2.").arg(shown, kindOf(mode)));
    };
    auto failed = [&](int err) {
        return refuse(error, FileOpen::Failed,
                      QStringLiteral("Cannot open file \"%1\". %2").arg(shown, qt_error_string(err)));
    };
    // Looked at before it is opened, so that a device is never opened at all; opened
    // without blocking and looked at again, in case the name was changed in between.
    struct stat st {};
    if (::stat(name.constData(), &st) != 0) return failed(errno);
    if (!S_ISREG(st.st_mode)) return notAFile(st.st_mode);
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return failed(errno);
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int err = errno;
        ::close(fd);
        return S_ISREG(st.st_mode) ? failed(err) : notAFile(st.st_mode);
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return refuse(error, FileOpen::Failed,
                      QStringLiteral("Cannot open file \"%1\". %2").arg(shown, file.errorString()));
    }
    return FileOpen::Opened;
}

} // namespace forms
