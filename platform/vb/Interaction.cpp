#include "Interaction.h"

#include "platform/forms/Dialogs.h"

#include <QCoreApplication>

namespace vb {

namespace {
QString titleOr(const QString &title) {
    if (!title.isEmpty()) return title;
    const QString app = QCoreApplication::applicationName();
    return app.isEmpty() ? QStringLiteral("Project1") : app;
}
} // namespace

int MsgBox(const QString &prompt, int buttons, const QString &title) {
    // The runtime's button and icon values are Win32's.
    return forms::MessageBox(prompt, titleOr(title), unsigned(buttons));
}

QString InputBox(const QString &prompt, const QString &title, const QString &defaultText) {
    QString value = defaultText;
    if (!forms::InputQuery(titleOr(title), prompt, value)) return QString();
    return value;
}

} // namespace vb
