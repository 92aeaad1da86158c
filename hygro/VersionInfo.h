#pragma once
// Unit VersionInfo: reads the program file's "FileVersion" text from its version
// block and writes it into a linked label.

#include "platform/forms/Component.h"

#include <QMetaObject>
#include <QString>

class QLabel;
class QObject;

namespace hygro {

enum TOperation { opInsert, opRemove };

class TVersionInfo : public forms::TComponent {
public:
    explicit TVersionInfo(forms::TComponent *AOwner);
    ~TVersionInfo() override;

    QString FileVersion() const { return fileVersion_; }
    QLabel *FileVersionLabel() const { return label_; }
    // Links the label and sets its caption: "#File Version#" in the designer, else the
    // version text. Null only clears the link.
    void SetFileVersionLabel(QLabel *label);

    void Loaded() override;
    // The linked label being removed leaves the component without a link.
    void Notification(QObject *component, TOperation operation);

    // The version text of a program file ("" when it has no block or no translation).
    static QString ReadFileVersion(const char *fileName);

private:
    QString fileVersion_;
    QLabel *label_ = nullptr;
    QMetaObject::Connection watch_;
};

} // namespace hygro
