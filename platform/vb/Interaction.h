#pragma once
// MsgBox and InputBox of the forms runtime, through the dialogs layer (so tests script
// their answers and read what was shown).

#include <QString>

namespace vb {

constexpr int vbOKOnly = 0;
constexpr int vbOKCancel = 1;
constexpr int vbYesNo = 4;
constexpr int vbCritical = 16;
constexpr int vbQuestion = 32;
constexpr int vbExclamation = 48;
constexpr int vbInformation = 64;

constexpr int vbOK = 1;
constexpr int vbCancel = 2;
constexpr int vbYes = 6;
constexpr int vbNo = 7;

// An empty title gives the application's title, as the runtime does.
int MsgBox(const QString &prompt, int buttons = vbOKOnly, const QString &title = QString());
// The typed text; "" when cancelled.
QString InputBox(const QString &prompt, const QString &title = QString(), const QString &defaultText = QString());

} // namespace vb
