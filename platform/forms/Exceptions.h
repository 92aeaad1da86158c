#pragma once
// The class library's exception family. Every error the library and the components
// report derives from Exception; EAbort is the silent one that the application's
// exception display ignores.

#include <QString>

#include <exception>
#include <string>

namespace forms {

class Exception : public std::exception {
public:
    explicit Exception(const QString &message);
    explicit Exception(const std::string &message);
    explicit Exception(const char *message);
    ~Exception() override;

    QString Message() const { return message_; }
    void SetMessage(const QString &message);

    const char *what() const noexcept override { return utf8_.c_str(); }

private:
    QString message_;
    std::string utf8_;
};

// Raised by Abort(): ends the current operation without anything shown to the user.
class EAbort : public Exception {
public:
    EAbort();
    explicit EAbort(const QString &message);
};

// A text that is not a valid number or date.
class EConvertError : public Exception {
public:
    using Exception::Exception;
};

// The silent abort.
[[noreturn]] void Abort();

} // namespace forms
