#include "slm/core/SlmFile.h"

#include "platform/vb/Runtime.h"

#include <QDateTime>
#include <QFile>
#include <QIODevice>

#include <algorithm>

#include <cerrno>
#include <cmath>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace slm {

QString SlmHeaderLine() { return QStringLiteral("No.s\tDate Time\tSPL"); }

QString SlmRowLine(const QStringList &cells) {
    QString line;
    for (const QString &cell : cells) line += cell + QLatin1Char('\t');
    return line;
}

QString SlmRecordLine(std::int64_t number, const QString &stamp, const QString &level) {
    return SlmRowLine({QString::number(number), stamp, level});
}

QString SettingsText(const QString &timeWeighting, const QString &freqWeighting, double rangeTop,
                     const QString &separator) {
    return SettingsText(timeWeighting, freqWeighting, (std::isnan(rangeTop) ? 0 : rangeTop) - 60, rangeTop, separator);
}

QString SettingsText(const QString &timeWeighting, const QString &freqWeighting, double rangeBottom, double rangeTop,
                     const QString &separator) {
    const auto text = [](double v) { return std::isnan(v) ? QString() : vb::CStr(v); };
    return "Time: " + timeWeighting + separator + "Frequency: " + freqWeighting + separator +
           "Range: " + text(rangeBottom) + "-" + text(rangeTop);
}

QString ExtremeText(const QString &word, const QString &level, const QString &stamp) {
    return word + " : " + level + " dB ----" + stamp;
}

QByteArray SlmFileLine(const QString &line) { return line.toLatin1() + "\r\n"; }

QStringList SlmTrailerLines(const QString &settings, const QString &maxText, const QString &minText) {
    return {"*" + settings, "**" + maxText, "***" + minText};
}

QByteArray SlmTrailer(const QString &settings, const QString &maxText, const QString &minText) {
    QByteArray out;
    for (const QString &line : SlmTrailerLines(settings, maxText, minText)) out += SlmFileLine(line);
    return out;
}

bool SameRange(double a, double b) { return (std::isnan(a) && std::isnan(b)) || a == b; }

ExtremeChange TakeExtreme(double value, double &max, double &min) {
    ExtremeChange change;
    if (value > max) {
        max = value;
        change.Max = true;
    }
    if (value < min) {
        min = value;
        change.Min = true;
    }
    return change;
}

void TakeExtremes(const QString &level, const QString &stamp, double &max, QString &maxText, double &min,
                  QString &minText) {
    if (level.isEmpty()) return;
    const ExtremeChange change = TakeExtreme(vb::Val(level), max, min);
    if (change.Max) maxText = ExtremeText("Max", level, stamp);
    if (change.Min) minText = ExtremeText("Min", level, stamp);
}

QString SplitPartPath(const QString &path, std::int64_t part) {
    const qsizetype nameStart = path.lastIndexOf(QLatin1Char('/')) + 1;
    const qsizetype dot = path.indexOf(QLatin1Char('.'), nameStart);
    const QString suffix = "-" + QString::number(part);
    if (dot < 0) return path + suffix;
    return path.left(dot) + suffix + path.mid(dot);
}

QString AutoSaveName(const QDateTime &moment) { return vb::Format(moment, "mmddhhnnss") + ".slm"; }

SlmItemReader::SlmItemReader(const QByteArray &data) : buffer_(data), eof_(true) {}

SlmItemReader::SlmItemReader(QIODevice &device) : device_(&device) {}

SlmItemReader::~SlmItemReader() = default;

bool SlmItemReader::fill() {
    if (eof_) return false;
    constexpr qsizetype chunk = 1 << 16;
    buffer_.remove(0, pos_);
    pos_ = 0;
    const qsizetype had = buffer_.size();
    buffer_.resize(had + chunk);
    const qint64 n = device_->read(buffer_.data() + had, chunk);
    if (n < 0) failed_ = true;
    if (n <= 0) {
        eof_ = true;
        buffer_.resize(had);
        return false;
    }
    buffer_.resize(had + qsizetype(n));
    return true;
}

bool SlmItemReader::AtEnd() { return pos_ >= buffer_.size() && !fill(); }

QString SlmItemReader::Next() {
    auto ends = [](char c) { return c == ',' || c == '\r' || c == '\n'; };
    QByteArray item;
    cut_ = false;
    // Up to the item's end or the bound, whichever comes first.
    for (;;) {
        const char *d = buffer_.constData();
        qsizetype end = pos_;
        const qsizetype room = MaxItemLength - item.size();
        const qsizetype stop = std::min(buffer_.size(), pos_ + room);
        while (end < stop && !ends(d[end])) ++end;
        item.append(d + pos_, end - pos_);
        pos_ = end;
        if (pos_ < buffer_.size() && ends(d[pos_])) break;
        if (item.size() >= MaxItemLength) {
            const bool more = pos_ < buffer_.size() || fill();
            cut_ = more && !ends(buffer_.at(pos_));
            break;
        }
        if (!fill()) break;
    }
    // A cut item: the rest of it is skipped without being kept.
    while (cut_) {
        const char *d = buffer_.constData();
        while (pos_ < buffer_.size() && !ends(d[pos_])) ++pos_;
        if (pos_ < buffer_.size() || !fill()) break;
    }
    if (pos_ < buffer_.size() || fill()) {
        if (buffer_.at(pos_) == '\r') {
            ++pos_;
            if ((pos_ < buffer_.size() || fill()) && buffer_.at(pos_) == '\n') ++pos_;
        } else {
            ++pos_;
        }
    }
    return QString::fromLatin1(item);
}

SlmItem ParseSlmItem(const QString &item, bool cut) {
    SlmItem out;
    const qsizetype t1 = item.indexOf(QLatin1Char('\t'));
    if (t1 >= 0) {
        const qsizetype t2 = item.indexOf(QLatin1Char('\t'), t1 + 1);
        const qsizetype t3 = t2 < 0 ? -1 : item.indexOf(QLatin1Char('\t'), t2 + 1);
        if (t3 < 0) {
            out.kind = cut ? SlmItem::TooLong : SlmItem::Broken;
            return out;
        }
        out.kind = SlmItem::Record;
        out.Number = item.left(t1);
        out.Stamp = item.mid(t1 + 1, t2 - t1 - 1);
        out.Level = item.mid(t2 + 1, t3 - t2 - 1);
        return out;
    }
    if (cut) {
        out.kind = SlmItem::TooLong;
        return out;
    }
    if (item.contains(QLatin1String("***"))) {
        out.kind = SlmItem::Minimum;
        out.Text = item.mid(3);
    } else if (item.contains(QLatin1String("**"))) {
        out.kind = SlmItem::Maximum;
        out.Text = item.mid(2);
    } else if (item.contains(QLatin1Char('*'))) {
        out.kind = SlmItem::Settings;
        out.Text = item.mid(1);
    }
    return out;
}

SlmContents ReadSlm(const QByteArray &data) {
    SlmContents out;
    SlmItemReader reader(data);
    while (!reader.AtEnd()) {
        const QString text = reader.Next();
        if (out.ItemsRead++ == 0) continue; // the header
        const SlmItem item = ParseSlmItem(text, reader.Cut());
        switch (item.kind) {
            case SlmItem::Record:
                out.Numbers << item.Number;
                out.Stamps << item.Stamp;
                out.Levels << item.Level;
                break;
            case SlmItem::Settings: out.Settings = item.Text; break;
            case SlmItem::Maximum: out.Maximum = item.Text; break;
            case SlmItem::Minimum: out.Minimum = item.Text; break;
            case SlmItem::Broken:
            case SlmItem::TooLong:
                --out.ItemsRead;
                out.Complete = false;
                out.Stop = item.kind;
                return out;
            case SlmItem::Other: break;
        }
    }
    return out;
}

// ---- SlmRecordFile --------------------------------------------------------------------

namespace {

[[noreturn]] void fail(int err) {
    switch (err) {
        case ENOSPC:
        case EDQUOT:
        case EFBIG: throw vb::RuntimeError(61, "Disk full");
        case EACCES:
        case EPERM:
        case EROFS: throw vb::RuntimeError(70, "Permission denied");
        case ENOENT:
        case ENOTDIR: throw vb::RuntimeError(76, "Path not found");
        case EISDIR: throw vb::RuntimeError(75, "Path/File access error");
        default: throw vb::RuntimeError(57, "Device I/O error");
    }
}

} // namespace

SlmRecordFile::~SlmRecordFile() { Close(); }

void SlmRecordFile::Create(const QString &path) {
    Close();
    path_ = path;
    replace_ = true;
    open(true);
}

void SlmRecordFile::open(bool replace) {
    const QByteArray name = QFile::encodeName(path_);
    const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (replace ? O_TRUNC : O_APPEND);
    const int fd = ::open(name.constData(), flags, 0666);
    if (fd < 0) fail(errno);
    struct stat st {};
    const int err = fstat(fd, &st) != 0 ? errno : S_ISREG(st.st_mode) ? 0 : EISDIR;
    if (err) {
        ::close(fd);
        fail(err);
    }
    fd_ = fd;
    size_ = std::int64_t(st.st_size);
    replace_ = false;
    if (size_ == 0) {
        try {
            append(SlmFileLine(SlmHeaderLine()));
        } catch (...) {
            ::close(fd_);
            fd_ = -1;
            throw;
        }
    }
}

bool SlmRecordFile::stillAtPath() const {
    struct stat mine {
    }, there{};
    if (fstat(fd_, &mine) != 0) return false;
    if (stat(QFile::encodeName(path_).constData(), &there) != 0) return false;
    return mine.st_dev == there.st_dev && mine.st_ino == there.st_ino;
}

void SlmRecordFile::append(const QByteArray &bytes) {
    qsizetype done = 0;
    int err = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0) {
            if (errno == EINTR) continue;
            err = errno;
            break;
        }
        done += n;
    }
    // The line is kept only once the disk holds it.
    if (!err && fdatasync(fd_) != 0 && errno != EINVAL && errno != EROFS) err = errno;
    if (err) {
        if (done > 0 && ftruncate(fd_, off_t(size_)) == 0) lseek(fd_, off_t(size_), SEEK_SET);
        fail(err);
    }
    size_ += done;
}

void SlmRecordFile::WriteLine(const QString &line) {
    if (!Active()) throw vb::RuntimeError(52, "Bad file name or number");
    if (fd_ >= 0 && !stillAtPath()) {
        // Removed or moved away: what it held is no longer where the user looks for it.
        // Say so; the next line goes into a file at the path again.
        ::close(fd_);
        fd_ = -1;
        throw vb::RuntimeError(53, "File not found");
    }
    if (fd_ < 0) open(replace_);
    append(SlmFileLine(line));
}

void SlmRecordFile::Finish(const QByteArray &trailer) {
    if (!Active()) return;
    try {
        if (fd_ >= 0 && !stillAtPath()) {
            ::close(fd_);
            fd_ = -1;
        }
        if (fd_ < 0) open(replace_);
        append(trailer);
    } catch (const vb::RuntimeError &) {
        Close();
        throw;
    }
    Close();
}

void SlmRecordFile::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    path_.clear();
    size_ = 0;
}

// ---- SlmSaveFile ----------------------------------------------------------------------

SlmSaveFile::~SlmSaveFile() {
    if (fd_ >= 0) ::close(fd_);
}

void SlmSaveFile::Open(const QString &path) {
    if (fd_ >= 0) ::close(fd_);
    buffer_.clear();
    fd_ = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd_ < 0) fail(errno);
    struct stat st {};
    const int err = fstat(fd_, &st) != 0 ? errno : S_ISREG(st.st_mode) ? 0 : EISDIR;
    if (err) {
        ::close(fd_);
        fd_ = -1;
        fail(err);
    }
}

void SlmSaveFile::WriteLine(const QString &line) {
    if (fd_ < 0) throw vb::RuntimeError(52, "Bad file name or number");
    buffer_ += SlmFileLine(line);
    if (buffer_.size() >= 1 << 16) drain();
}

void SlmSaveFile::drain() {
    qsizetype done = 0;
    while (done < buffer_.size()) {
        const ssize_t n = ::write(fd_, buffer_.constData() + done, size_t(buffer_.size() - done));
        if (n < 0) {
            if (errno == EINTR) continue;
            const int err = errno;
            ::close(fd_);
            fd_ = -1;
            buffer_.clear();
            fail(err);
        }
        done += n;
    }
    buffer_.clear();
}

void SlmSaveFile::Close() {
    if (fd_ < 0) return;
    drain();
    const int rc = ::close(fd_);
    const int err = errno;
    fd_ = -1;
    if (rc != 0 && err != EINTR) fail(err);
}

void SaveGridFile(const QString &path, const std::function<std::optional<QStringList>(int)> &row,
                  const QStringList &after) {
    SlmSaveFile file;
    file.Open(path);
    for (int r = 0;; ++r) {
        const std::optional<QStringList> cells = row(r);
        if (!cells) break;
        file.WriteLine(SlmRowLine(*cells));
    }
    for (const QString &line : after) file.WriteLine(line);
    file.Close();
}

} // namespace slm
