#pragma once
// The ".slm" record file: its lines as pure functions, the reader of the Open key as a
// pure function on the file's bytes, and the file a recording writes.
//
// A record file is text, every line ended by CR LF:
//     No.s<TAB>Date Time<TAB>SPL                        header (no TAB at the end)
//     12<TAB>2026/12/09 08:58:07<TAB>85.3<TAB>            one line per record
//     *Time: FAST   Frequency: A   Range: 30-90          settings
//     **Max : 92.4 dB ----2026/12/09 08:58:07            maximum
//     ***Min : 40.1 dB ----2026/12/09 08:58:01           minimum
// The files the list windows save carry their caption row in place of the header
// (with a TAB after each word).

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class QIODevice;

namespace slm {

// Between the parts of a settings text: three spaces, or ";   " in a file that the
// Save key closed.
inline const QString SettingsSeparator = QStringLiteral("   ");
inline const QString SaveKeySeparator = QStringLiteral(";   ");

// Records per part of a recording, and rows of the live list per auto-save.
constexpr std::int64_t RecordsPerPart = 349950;
constexpr std::int64_t RowsPerAutoSave = 116600;
// Records the Open key reads into the file list at most (over eleven parts of the
// longest recording): past it the grids would cost gigabytes and repaint slowly.
constexpr std::int64_t MaxOpenRecords = 4000000;

QString SlmHeaderLine();
// A grid row as the files hold it: every cell followed by a TAB.
QString SlmRowLine(const QStringList &cells);
// Number, time stamp and level, each followed by a TAB; the level may be empty. The
// live list takes its rows in this form too.
QString SlmRecordLine(std::int64_t number, const QString &stamp, const QString &level);
// "Time: " weighting, separator, "Frequency: " weighting, separator, "Range: " bottom
// "-" top, where bottom is top - 60. An unset top (NaN, before the meter named its
// range) writes as nothing and counts as 0 below it, as an empty value does.
QString SettingsText(const QString &timeWeighting, const QString &freqWeighting, double rangeTop,
                     const QString &separator);
// The same with a bottom of its own, as a data set names it; an unset one writes as
// nothing.
QString SettingsText(const QString &timeWeighting, const QString &freqWeighting, double rangeBottom, double rangeTop,
                     const QString &separator);
// "Max : 92.4 dB ----2026/12/09 08:58:07" with word "Max" (or "Min").
QString ExtremeText(const QString &word, const QString &level, const QString &stamp);
// The three trailer lines: "*" settings, "**" maximum, "***" minimum.
QStringList SlmTrailerLines(const QString &settings, const QString &maxText, const QString &minText);
// The same as the file holds them, each ended by CR LF.
QByteArray SlmTrailer(const QString &settings, const QString &maxText, const QString &minText);
// A line as the file holds it: Latin-1, ended by CR LF.
QByteArray SlmFileLine(const QString &line);

// Whether two ranges are the same setting (two unset ranges are).
bool SameRange(double a, double b);

// A running maximum and minimum: `value` replaces `max` when greater and `min` when
// smaller; equal values do not, so the first value to reach an extreme holds it. Says
// which of the two it replaced.
struct ExtremeChange {
    bool Max = false, Min = false;
};
ExtremeChange TakeExtreme(double value, double &max, double &min);

// The running maximum and minimum of a record file or of the live list, with their
// texts. A level that is not empty replaces the maximum when greater and the minimum
// when smaller; equal values do not, so the earliest record holds an extreme. They
// start at 0 and 130, so 0 never becomes the first maximum nor 130 the first minimum.
void TakeExtremes(const QString &level, const QString &stamp, double &max, QString &maxText, double &min,
                  QString &minText);

// The path of split part n of a recording to `path`: "-n" before the first "." of the
// file name (rec.slm gives rec-1.slm), or at the end of a name without "." (rec gives
// rec-1). Dots in the folder do not count.
QString SplitPartPath(const QString &path, std::int64_t part);
// The auto-save file name of the live list: month, day, hour, minute, second, ".slm".
QString AutoSaveName(const QDateTime &moment);

// ---- reading ----------------------------------------------------------------------
// The Open key reads a record file item by item, as the runtime's Input # does: an
// item ends at a comma or at a line end (CR LF, CR or LF), so a line that holds a comma
// is two items.
//
// The file is read through a buffer, never mapped, so a file cut short meanwhile only
// ends sooner: its last item is whatever was there, a cut record then a Broken one.
// No item is held longer than MaxItemLength characters: a longer one comes back cut
// to that length with Cut() set, and the rest of it is skipped unread.
class SlmItemReader {
public:
    static constexpr qsizetype MaxItemLength = 4096;

    explicit SlmItemReader(const QByteArray &data);
    explicit SlmItemReader(QIODevice &device);
    ~SlmItemReader();
    SlmItemReader(const SlmItemReader &) = delete;
    SlmItemReader &operator=(const SlmItemReader &) = delete;

    bool AtEnd();
    QString Next();
    // The last item was longer than MaxItemLength.
    bool Cut() const { return cut_; }
    // The device failed to read; the reading ended there.
    bool Failed() const { return failed_; }

private:
    bool fill();
    std::unique_ptr<QIODevice> owned_;
    QIODevice *device_ = nullptr;
    QByteArray buffer_;
    qsizetype pos_ = 0;
    bool eof_ = false, failed_ = false, cut_ = false;
};

// What one item is. Items with a TAB are records cut at their first three TABs (what
// follows the third is ignored); an item with only one or two TABs is Broken. Items
// without TAB: one holding "***" is the minimum text (from its 4th character on), else
// one holding "**" the maximum text (from the 3rd), else one holding "*" the settings
// text (from the 2nd); the rest is Other. A cut item (see SlmItemReader) that is not a
// whole record within its first MaxItemLength characters is TooLong.
struct SlmItem {
    enum Kind { Record, Settings, Maximum, Minimum, Other, Broken, TooLong } kind = Other;
    QString Number, Stamp, Level; // Record
    QString Text;                 // Settings, Maximum, Minimum
};
SlmItem ParseSlmItem(const QString &item, bool cut = false);

// A whole file as the Open key reads it: the first item (the header) is skipped, the
// records go to the three columns, the last settings, maximum and minimum texts are
// kept. A Broken or TooLong item, or a failed read, ends the reading: what was read
// before it stays, Complete is false and Stop says why.
struct SlmContents {
    QStringList Numbers, Stamps, Levels;
    QString Settings, Maximum, Minimum;
    std::int64_t ItemsRead = 0; // the header included; the item that stopped it not
    bool Complete = true;
    SlmItem::Kind Stop = SlmItem::Other; // Broken or TooLong when not Complete
};
SlmContents ReadSlm(const QByteArray &data);

// ---- writing a recording ------------------------------------------------------------
// The file of a recording. Each line is on the disk (written, flushed and synced)
// before WriteLine returns, so a killed program or a lost machine loses at most the
// line being written; a line that cannot be written whole is taken back out, so the
// file never holds a piece of one. Failures raise vb::RuntimeError with the runtime's
// numbers and texts: 61 "Disk full", 70 "Permission denied", 76 "Path not found",
// 53 "File not found" (the file was removed or moved away while it was written),
// 75 "Path/File access error", 57 "Device I/O error".
//
// After a failure the next WriteLine tries again: a file that could not be created, or
// that has gone from its path, is opened again (created with its header when it is not
// there or empty), so the recording goes on once the cause is mended.
class SlmRecordFile {
public:
    SlmRecordFile() = default;
    ~SlmRecordFile();
    SlmRecordFile(const SlmRecordFile &) = delete;
    SlmRecordFile &operator=(const SlmRecordFile &) = delete;

    // Replaces any file at `path` with one holding the header line. On failure the
    // path stays chosen and WriteLine tries again.
    void Create(const QString &path);
    void WriteLine(const QString &line);
    // Writes the trailer and closes the file; the file is closed even when the trailer
    // cannot be written (the failure is raised after closing).
    void Finish(const QByteArray &trailer);
    // Closes without a trailer.
    void Close();

    bool Active() const { return !path_.isEmpty(); }
    const QString &Path() const { return path_; }

private:
    void open(bool replace);
    void append(const QByteArray &bytes);
    bool stillAtPath() const;

    QString path_;
    int fd_ = -1;
    bool replace_ = false; // the first open replaces an existing file
    std::int64_t size_ = 0;
};

// A one-shot save (a list, a data set): its own handle, never the recording's. Lines go
// through a buffer; every failure, the last write's included, is raised by the call
// that meets it (vb::RuntimeError as above).
class SlmSaveFile {
public:
    SlmSaveFile() = default;
    ~SlmSaveFile();
    SlmSaveFile(const SlmSaveFile &) = delete;
    SlmSaveFile &operator=(const SlmSaveFile &) = delete;

    // Replaces any file at `path`.
    void Open(const QString &path);
    // The line and CR LF.
    void WriteLine(const QString &line);
    void Close();

private:
    void drain();
    int fd_ = -1;
    QByteArray buffer_;
};

// Saves a grid to `path` on a handle of its own (an existing file is replaced): row(0),
// row(1) ... as SlmRowLine until row gives nothing, then the `after` lines as they
// stand. Every list window's save goes through here; row() is where a caller shows its
// progress, and what it throws ends the save.
void SaveGridFile(const QString &path, const std::function<std::optional<QStringList>(int)> &row,
                  const QStringList &after);

} // namespace slm
