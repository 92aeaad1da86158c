#include "Registry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>
#include <QStandardPaths>

#include <cstdlib>
#include <limits>
#include <vector>

namespace win {

ERegistryException::ERegistryException(const QString &message)
    : std::runtime_error(message.toStdString()), message_(message) {}

struct TRegistry::Value {
    QString name;
    TRegDataType type = rdUnknown;
    QString text; // decimal for rdInteger
};

struct TRegistry::Data {
    std::vector<Value> values;
    QHash<QString, size_t> index; // case-folded name -> position in values

    Value *find(const QString &name) {
        const auto it = index.constFind(name.toCaseFolded());
        return it == index.cend() ? nullptr : &values[*it];
    }
    // A value of the same name (in any case) is replaced where it stands.
    Value &put(Value v) {
        const QString key = v.name.toCaseFolded();
        if (const auto it = index.constFind(key); it != index.cend()) return values[*it] = std::move(v);
        index.insert(key, values.size());
        values.push_back(std::move(v));
        return values.back();
    }
    bool remove(const QString &name) {
        const auto it = index.constFind(name.toCaseFolded());
        if (it == index.cend()) return false;
        values.erase(values.begin() + qsizetype(*it));
        index.clear();
        for (size_t i = 0; i < values.size(); ++i) index.insert(values[i].name.toCaseFolded(), i);
        return true;
    }
};

namespace {

// Keys larger than this are not ours: refuse rather than read them into memory.
constexpr qint64 kMaxKeyFile = 1 << 20;

QString configHome() {
    const char *env = std::getenv("XDG_CONFIG_HOME");
    if (env && *env) return QString::fromLocal8Bit(env);
    return QDir::homePath() + QStringLiteral("/.config");
}

// Splits "\A\B" into {"A", "B"}; empty on a bad name.
bool splitKey(const QString &key, QStringList &parts) {
    parts.clear();
    QString k = key;
    while (k.startsWith(QLatin1Char('\\'))) k.remove(0, 1);
    while (k.endsWith(QLatin1Char('\\'))) k.chop(1);
    if (k.isEmpty()) return true;
    for (const QString &p : k.split(QLatin1Char('\\'))) {
        // Each part becomes a file or folder name: nothing that could leave the tree.
        if (p.isEmpty() || p == QLatin1String(".") || p == QLatin1String("..") || p.contains(QLatin1Char('/')) ||
            p.contains(QChar(0)))
            return false;
        parts << p;
    }
    return true;
}

// The entry of `dir` named `name` in any case, or `name` itself when none exists.
QString matchEntry(const QString &dir, const QString &name) {
    const QDir d(dir);
    if (d.exists(name)) return name;
    for (const QString &e : d.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden))
        if (e.compare(name, Qt::CaseInsensitive) == 0) return e;
    return name;
}

QString escape(const QString &s) {
    QString out;
    out.reserve(s.size());
    for (QChar c : s) {
        if (c == QLatin1Char('\\'))
            out += QStringLiteral("\\\\");
        else if (c == QLatin1Char('\n'))
            out += QStringLiteral("\\n");
        else if (c == QLatin1Char('\r'))
            out += QStringLiteral("\\r");
        else
            out += c;
    }
    return out;
}

QString unescape(const QString &s) {
    QString out;
    out.reserve(s.size());
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s[i] == QLatin1Char('\\') && i + 1 < s.size()) {
            const QChar n = s[++i];
            out += n == QLatin1Char('n') ? QChar('\n') : n == QLatin1Char('r') ? QChar('\r') : n;
        } else {
            out += s[i];
        }
    }
    return out;
}

// The first '=' that is not escaped in the name.
qsizetype separatorOf(const QString &line) {
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (line[i] == QLatin1Char('\\'))
            ++i;
        else if (line[i] == QLatin1Char('='))
            return i;
    }
    return -1;
}

QString getFailed(const QString &name) { return QStringLiteral("Failed to get data for '%1'").arg(name); }
QString setFailed(const QString &name) { return QStringLiteral("Failed to set data for '%1'").arg(name); }
QString badType(const QString &name) { return QStringLiteral("Invalid data type for '%1'").arg(name); }

} // namespace

TRegistry::TRegistry() : root_(HKEY_CURRENT_USER) {}
TRegistry::~TRegistry() = default;

QString TRegistry::rootName(HKEY root) {
    switch (root) {
        case HKEY_CLASSES_ROOT: return QStringLiteral("HKEY_CLASSES_ROOT");
        case HKEY_CURRENT_USER: return QStringLiteral("HKEY_CURRENT_USER");
        case HKEY_LOCAL_MACHINE: return QStringLiteral("HKEY_LOCAL_MACHINE");
        case HKEY_USERS: return QStringLiteral("HKEY_USERS");
        case HKEY_CURRENT_CONFIG: return QStringLiteral("HKEY_CURRENT_CONFIG");
        default: return QString();
    }
}

void TRegistry::SetRootKey(HKEY root) {
    CloseKey();
    root_ = root;
}

QString TRegistry::KeyFile(HKEY root, const QString &keyPath) {
    const QString rn = rootName(root);
    QStringList parts;
    if (rn.isEmpty() || !splitKey(keyPath, parts) || parts.isEmpty()) return {};
    QString dir = configHome() + QStringLiteral("/registry/") + rn;
    for (int i = 0; i + 1 < parts.size(); ++i) dir += QLatin1Char('/') + matchEntry(dir, parts[i]);
    return dir + QLatin1Char('/') + matchEntry(dir, parts.last() + QStringLiteral(".ini"));
}

bool TRegistry::OpenKey(const QString &key, bool canCreate) {
    QStringList parts;
    if (!splitKey(key, parts)) return false;
    QString path = key.startsWith(QLatin1Char('\\')) ? QString() : currentPath_;
    for (const QString &p : parts) path += (path.isEmpty() ? QString() : QStringLiteral("\\")) + p;
    if (path.isEmpty()) return false; // the root itself holds no values here
    const QString file = KeyFile(root_, path);
    if (file.isEmpty()) return false;
    if (!QFileInfo(file).isFile()) {
        if (!canCreate) return false;
        if (!QDir().mkpath(QFileInfo(file).absolutePath())) return false;
        QSaveFile f(file);
        if (!f.open(QIODevice::WriteOnly) || !f.commit()) return false;
    }
    currentPath_ = path;
    currentFile_ = file;
    return true;
}

bool TRegistry::KeyExists(const QString &key) const {
    QStringList parts;
    if (!splitKey(key, parts)) return false;
    QString path = key.startsWith(QLatin1Char('\\')) ? QString() : currentPath_;
    for (const QString &p : parts) path += (path.isEmpty() ? QString() : QStringLiteral("\\")) + p;
    const QString file = KeyFile(root_, path);
    if (file.isEmpty()) return false;
    // A key exists as its file, or as the folder of its sub-keys.
    const QFileInfo fi(file);
    return fi.isFile() || QFileInfo(fi.absolutePath() + QLatin1Char('/') + fi.completeBaseName()).isDir();
}

void TRegistry::CloseKey() {
    currentPath_.clear();
    currentFile_.clear();
}

bool TRegistry::load(Data &out) const {
    out = Data();
    if (currentFile_.isEmpty()) return false;
    QFile f(currentFile_);
    if (!f.open(QIODevice::ReadOnly)) return false;
    if (f.size() > kMaxKeyFile) return false;
    const QString all = QString::fromUtf8(f.readAll());
    for (QString line : all.split(QLatin1Char('\n'))) {
        if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
        const qsizetype eq = separatorOf(line);
        if (eq <= 0 || line.startsWith(QLatin1Char('['))) continue;
        const QString name = unescape(line.left(eq));
        const QString rest = line.mid(eq + 1);
        Value v;
        v.name = name;
        if (rest.startsWith(QLatin1String("dword:"))) {
            bool ok = false;
            const qlonglong n = rest.mid(6).toLongLong(&ok);
            if (!ok || n < std::numeric_limits<int>::min() || n > std::numeric_limits<int>::max()) continue;
            v.type = rdInteger;
            v.text = QString::number(n);
        } else if (rest.startsWith(QLatin1String("sz:"))) {
            v.type = rdString;
            v.text = unescape(rest.mid(3));
        } else {
            continue; // damaged or foreign line
        }
        out.put(std::move(v));
    }
    return true;
}

bool TRegistry::save(const Data &in) const {
    if (currentFile_.isEmpty()) return false;
    QString text = QStringLiteral("[Values]\n");
    for (const auto &v : in.values) {
        QString name = escape(v.name);
        name.replace(QLatin1Char('='), QStringLiteral("\\="));
        // A line that begins with "[" is a section header to the reader.
        if (name.startsWith(QLatin1Char('['))) name.prepend(QLatin1Char('\\'));
        text += name + QLatin1Char('=') + (v.type == rdInteger ? QStringLiteral("dword:") : QStringLiteral("sz:")) +
                (v.type == rdInteger ? v.text : escape(v.text)) + QLatin1Char('\n');
    }
    // Temp file and rename: a crash leaves the old file or the new one, never half of one.
    QSaveFile f(currentFile_);
    if (!f.open(QIODevice::WriteOnly)) return false;
    const QByteArray bytes = text.toUtf8();
    if (f.write(bytes) != bytes.size()) {
        f.cancelWriting();
        return false;
    }
    return f.commit();
}

bool TRegistry::ValueExists(const QString &name) const {
    Data d;
    return load(d) && d.find(name) != nullptr;
}

TRegDataType TRegistry::GetDataType(const QString &name) const {
    Data d;
    if (!load(d)) return rdUnknown;
    const Value *v = d.find(name);
    return v ? v->type : rdUnknown;
}

int TRegistry::ReadInteger(const QString &name) const {
    Data d;
    if (!load(d)) throw ERegistryException(getFailed(name));
    const Value *v = d.find(name);
    if (!v) throw ERegistryException(getFailed(name));
    if (v->type != rdInteger) throw ERegistryException(badType(name));
    return v->text.toInt();
}

QString TRegistry::ReadString(const QString &name) const {
    Data d;
    if (!load(d)) throw ERegistryException(getFailed(name));
    const Value *v = d.find(name);
    if (!v) return QString();
    if (v->type != rdString && v->type != rdExpandString) throw ERegistryException(badType(name));
    return v->text;
}

namespace {
// A line break would end the line; an empty name reads as a damaged line.
bool validValueName(const QString &name) {
    return !name.isEmpty() && !name.contains(QLatin1Char('\n')) && !name.contains(QLatin1Char('\r'));
}
} // namespace

void TRegistry::WriteInteger(const QString &name, int value) {
    Data d;
    if (!validValueName(name) || !load(d)) throw ERegistryException(setFailed(name));
    Value *v = d.find(name);
    d.put({v ? v->name : name, rdInteger, QString::number(value)});
    if (!save(d)) throw ERegistryException(setFailed(name));
}

void TRegistry::WriteString(const QString &name, const QString &value) {
    Data d;
    if (!validValueName(name) || !load(d)) throw ERegistryException(setFailed(name));
    Value *v = d.find(name);
    d.put({v ? v->name : name, rdString, value});
    if (!save(d)) throw ERegistryException(setFailed(name));
}

bool TRegistry::DeleteValue(const QString &name) {
    Data d;
    return load(d) && d.remove(name) && save(d);
}

QStringList TRegistry::GetValueNames() const {
    Data d;
    QStringList names;
    if (load(d))
        for (const auto &v : d.values) names << v.name;
    return names;
}

} // namespace win
