#include "hygro/VersionInfo.h"

#include "platform/win/VersionResource.h"

#include <QLabel>

#include <cstring>
#include <vector>

namespace hygro {

QString TVersionInfo::ReadFileVersion(const char *fileName) {
    std::uint32_t handle = 0;
    const std::uint32_t size = win::GetFileVersionInfoSizeA(fileName, &handle);
    if (size == 0) return QString();
    std::vector<char> buffer(size);
    if (!win::GetFileVersionInfoA(fileName, 0, size, buffer.data())) return QString();
    void *value = nullptr;
    unsigned len = 0;
    if (!win::VerQueryValueA(buffer.data(), "\\VarFileInfo\\Translation", &value, &len) || len < 4) return QString();
    std::uint16_t pair[2];
    std::memcpy(pair, value, sizeof pair);
    const QString sub = QStringLiteral("\\StringFileInfo\\%1%2\\FileVersion")
                            .arg(pair[0], 4, 16, QLatin1Char('0'))
                            .arg(pair[1], 4, 16, QLatin1Char('0'))
                            .toUpper()
                            .replace(QStringLiteral("\\STRINGFILEINFO\\"), QStringLiteral("\\StringFileInfo\\"))
                            .replace(QStringLiteral("\\FILEVERSION"), QStringLiteral("\\FileVersion"));
    if (!win::VerQueryValueA(buffer.data(), sub.toLatin1().constData(), &value, &len) || len == 0) return QString();
    // The length counts the terminating zero; never read past what the block holds.
    const char *text = static_cast<const char *>(value);
    return QString::fromLatin1(text, int(strnlen(text, len)));
}

TVersionInfo::TVersionInfo(forms::TComponent *AOwner) : forms::TComponent(AOwner) {
    fileVersion_ = ReadFileVersion(win::ProgramFileName());
}

TVersionInfo::~TVersionInfo() { QObject::disconnect(watch_); }

void TVersionInfo::SetFileVersionLabel(QLabel *label) {
    QObject::disconnect(watch_);
    label_ = label;
    if (!label) return;
    watch_ = QObject::connect(label, &QObject::destroyed, [this](QObject *o) { Notification(o, opRemove); });
    label->setText((ComponentState() & forms::csDesigning) ? QStringLiteral("#File Version#") : fileVersion_);
}

void TVersionInfo::Loaded() {
    forms::TComponent::Loaded();
    if (label_) label_->setText(fileVersion_);
}

void TVersionInfo::Notification(QObject *component, TOperation operation) {
    if (operation == opRemove && component == label_) {
        QObject::disconnect(watch_);
        label_ = nullptr;
    }
}

} // namespace hygro
