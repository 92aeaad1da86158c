// A registry key file as found on disk: every value read back, then one value written
// and read again. A written value must read back as written, and the values that were
// there must stay.

#include "FuzzSupport.h"

#include "platform/win/Registry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzzing::startApplication();
    return 0;
}

namespace {

QSet<QString> foldedNames(const win::TRegistry &r) {
    QSet<QString> out;
    for (const QString &n : r.GetValueNames()) out.insert(n.toCaseFolded());
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzzing::Input in(data, size);
    const uint8_t mode = in.byte();
    const QString name = QString::fromStdString(in.bytes(in.byte() % 24));
    const std::string valueBytes = in.bytes(in.byte() % 48);
    const QString file = win::TRegistry::KeyFile(win::HKEY_CURRENT_USER, "\\Software\\Fuzz");
    QDir().mkpath(QFileInfo(file).absolutePath());
    {
        QFile f(file);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) fuzzing::fail("cannot write the key file");
        const std::string body = in.rest();
        f.write(body.data(), qint64(body.size()));
    }

    win::TRegistry reg;
    reg.SetRootKey(win::HKEY_CURRENT_USER);
    if (!reg.OpenKey("\\Software\\Fuzz", false)) fuzzing::fail("the key file does not open");
    // Every read loads the key again: the first values are enough, and a file of
    // thousands of names would otherwise make one input cost seconds.
    const QStringList names = reg.GetValueNames();
    for (const QString &n : names.mid(0, 16)) {
        try {
            if (reg.GetDataType(n) == win::rdInteger)
                reg.ReadInteger(n);
            else
                reg.ReadString(n);
        } catch (const win::ERegistryException &) {
            fuzzing::fail("a listed value does not read");
        }
    }

    QSet<QString> before = foldedNames(reg);
    before.insert(name.toCaseFolded());
    try {
        if (mode & 1) {
            int value = 0;
            std::memcpy(&value, valueBytes.data(), std::min(valueBytes.size(), sizeof value));
            reg.WriteInteger(name, value);
            if (reg.ReadInteger(name) != value) fuzzing::fail("an integer reads back changed");
        } else {
            const QString value = QString::fromStdString(valueBytes);
            reg.WriteString(name, value);
            if (reg.ReadString(name) != value) fuzzing::fail("a string reads back changed");
        }
    } catch (const win::ERegistryException &) {
        return 0; // refused as the name cannot be stored: said so, nothing lost
    }
    if (foldedNames(reg) != before) fuzzing::fail("a write lost or added another value");
    return 0;
}
