#pragma once
// Opening a file that the user named for reading, without trusting the name: a named
// pipe, a device, a socket or a folder is refused at once instead of blocking in open()
// until a writer appears, or being read as if it were a file.

#include <QFile>
#include <QString>

namespace forms {

enum class FileOpen { Opened, NotAFile, Failed };

// Opens `path` read-only into `file` (buffered reads, the descriptor owned by `file`).
// NotAFile for a folder, pipe, device or socket, Failed when the system refused to open
// it; `error` then holds a text for the user that names the path and the reason (for
// a failed open as the class library words it: Cannot open file "path". reason).
FileOpen OpenRegularFile(QFile &file, const QString &path, QString *error = nullptr);

} // namespace forms
