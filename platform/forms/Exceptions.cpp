#include "Exceptions.h"

namespace forms {

Exception::Exception(const QString &message) : message_(message), utf8_(message.toStdString()) {}
Exception::Exception(const std::string &message) : message_(QString::fromStdString(message)), utf8_(message) {}
Exception::Exception(const char *message) : Exception(QString::fromUtf8(message)) {}
Exception::~Exception() = default;

void Exception::SetMessage(const QString &message) {
    message_ = message;
    utf8_ = message.toStdString();
}

EAbort::EAbort() : Exception(QStringLiteral("Operation aborted")) {}
EAbort::EAbort(const QString &message) : Exception(message) {}

void Abort() { throw EAbort(); }

} // namespace forms
