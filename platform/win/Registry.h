#pragma once
// The registry of the class library (TRegistry) over INI files.
//
// Where a key lives: $XDG_CONFIG_HOME (default ~/.config) / "registry" / root name /
// key path, one file "<last key name>.ini" per key, in the folder of its parent keys:
// HKEY_LOCAL_MACHINE "\SOFTWARE\Vadro" is
//     $XDG_CONFIG_HOME/registry/HKEY_LOCAL_MACHINE/SOFTWARE/Vadro.ini
// Key and value names compare without regard to case, as in the registry; an existing
// file or folder is found in any case, new ones take the case given.
//
// File format: a "[Values]" line, then one "name=type:value" line per value, type
// "dword" (decimal) or "sz" (the text with \\, \n and \r escaped; in the name "=" too,
// and a leading "[" as "\["); lines that do not parse are ignored, so a damaged file
// loses only its damaged values. Value names must not be empty or hold a line break
// (the write raises). Each call reads the key's file once; every write replaces the
// file through a temporary file and a rename, so a crash never leaves a half-written
// key.
//
// Errors as the class library raises them (ERegistryException):
//   ReadInteger of a missing value: "Failed to get data for 'Name'";
//   a value of the wrong type (ReadInteger of a string, ReadString of a number):
//   "Invalid data type for 'Name'";
//   a write that fails, or any read or write with no key open: "Failed to set data
//   for 'Name'" / "Failed to get data for 'Name'".
// ReadString of a missing value returns "" without raising, as the class library does.

#include <QString>
#include <QStringList>

#include <cstdint>
#include <stdexcept>
#include <string>

namespace win {

using HKEY = std::uintptr_t;
inline constexpr HKEY HKEY_CLASSES_ROOT = 0x80000000u;
inline constexpr HKEY HKEY_CURRENT_USER = 0x80000001u;
inline constexpr HKEY HKEY_LOCAL_MACHINE = 0x80000002u;
inline constexpr HKEY HKEY_USERS = 0x80000003u;
inline constexpr HKEY HKEY_CURRENT_CONFIG = 0x80000005u;

class ERegistryException : public std::runtime_error {
public:
    explicit ERegistryException(const QString &message);
    QString Message() const { return message_; }

private:
    QString message_;
};

enum TRegDataType { rdUnknown, rdString, rdExpandString, rdInteger, rdBinary };

class TRegistry {
public:
    // Root HKEY_CURRENT_USER, no key open.
    TRegistry();
    ~TRegistry();
    TRegistry(const TRegistry &) = delete;
    TRegistry &operator=(const TRegistry &) = delete;

    HKEY RootKey() const { return root_; }
    // Closes the open key.
    void SetRootKey(HKEY root);

    // A key beginning with "\" is taken from the root, any other from the open key.
    // With canCreate a missing key is created (its file written at once). False when
    // the key does not exist and may not be created, when it cannot be created, or for
    // a name with an empty, "." or ".." part.
    bool OpenKey(const QString &key, bool canCreate);
    bool KeyExists(const QString &key) const;
    void CloseKey();
    // "\"-separated path of the open key from the root, without the leading "\";
    // empty when none is open.
    QString CurrentPath() const { return currentPath_; }

    bool ValueExists(const QString &name) const;
    TRegDataType GetDataType(const QString &name) const;
    int ReadInteger(const QString &name) const;
    void WriteInteger(const QString &name, int value);
    QString ReadString(const QString &name) const;
    void WriteString(const QString &name, const QString &value);
    bool DeleteValue(const QString &name);
    QStringList GetValueNames() const;

    // The INI file that stands for a key path of a root (for tests and the doc).
    static QString KeyFile(HKEY root, const QString &keyPath);

private:
    struct Value;
    struct Data;
    bool load(Data &out) const;
    bool save(const Data &in) const;
    static QString rootName(HKEY root);

    HKEY root_;
    QString currentPath_;
    QString currentFile_;
};

} // namespace win
