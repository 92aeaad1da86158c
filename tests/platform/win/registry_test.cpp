#include "platform/win/Registry.h"

#include "support/TestSupport.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <cstdlib>

using namespace win;

namespace {

class WinRegistry : public ::testing::Test {
protected:
    void SetUp() override {
        home = QString::fromStdString(testsupport::makeTempDir());
        setenv("XDG_CONFIG_HOME", home.toLocal8Bit().constData(), 1);
    }
    QString home;
};

// What the main form does at start and at exit: any failure falls back to the default.
int readOr(TRegistry &reg, const char *name, int fallback) {
    try {
        return reg.ReadInteger(name);
    } catch (const std::exception &) {
        return fallback;
    }
}

TEST_F(WinRegistry, FirstStartCreatesTheKeyAndMissingValuesRaise) {
    TRegistry reg;
    reg.SetRootKey(HKEY_LOCAL_MACHINE);
    EXPECT_FALSE(reg.OpenKey("\\SOFTWARE\\Vadro", false));
    ASSERT_TRUE(reg.OpenKey("\\SOFTWARE\\Vadro", true));
    EXPECT_EQ(reg.CurrentPath(), "SOFTWARE\\Vadro");
    const QString file = home + "/registry/HKEY_LOCAL_MACHINE/SOFTWARE/Vadro.ini";
    EXPECT_EQ(TRegistry::KeyFile(HKEY_LOCAL_MACHINE, "\\SOFTWARE\\Vadro"), file);
    EXPECT_TRUE(QFile::exists(file));

    EXPECT_FALSE(reg.ValueExists("RealTimeRate"));
    try {
        reg.ReadInteger("RealTimeRate");
        FAIL() << "no exception";
    } catch (const ERegistryException &e) {
        EXPECT_EQ(e.Message(), "Failed to get data for 'RealTimeRate'");
    }
    EXPECT_EQ(readOr(reg, "RealTimeRate", 2), 2);
    EXPECT_EQ(readOr(reg, "RegModel", 585), 585);
    EXPECT_EQ(reg.ReadString("Missing"), ""); // the class library's way for strings
}

TEST_F(WinRegistry, ValuesRoundTripAcrossObjectsAndCase) {
    {
        TRegistry reg;
        reg.SetRootKey(HKEY_LOCAL_MACHINE);
        ASSERT_TRUE(reg.OpenKey("\\SOFTWARE\\Vadro", true));
        reg.WriteInteger("RealTimeRate", 0);
        reg.WriteInteger("RegModel", 586);
        reg.WriteInteger("Negative", -2147483647 - 1);
        reg.WriteString("Text", "line one\nback\\slash = sign");
        reg.WriteInteger("regmodel", 583); // names ignore case
        reg.CloseKey();
    }
    TRegistry reg;
    reg.SetRootKey(HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(reg.OpenKey("software\\VADRO", false)); // so do key names
    EXPECT_EQ(reg.ReadInteger("RealTimeRate"), 0);
    EXPECT_EQ(reg.ReadInteger("RegModel"), 583);
    EXPECT_EQ(reg.ReadInteger("Negative"), -2147483647 - 1);
    EXPECT_EQ(reg.ReadString("Text"), "line one\nback\\slash = sign");
    EXPECT_EQ(reg.GetDataType("Text"), rdString);
    EXPECT_EQ(reg.GetValueNames(), QStringList({"RealTimeRate", "RegModel", "Negative", "Text"}));
    EXPECT_TRUE(reg.DeleteValue("text"));
    EXPECT_FALSE(reg.ValueExists("Text"));
    // Keys of other roots are other files.
    TRegistry user;
    EXPECT_FALSE(user.OpenKey("\\SOFTWARE\\Vadro", false));
}

TEST_F(WinRegistry, WrongTypesRaise) {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("Palix", true));
    reg.WriteString("S", "12");
    reg.WriteInteger("I", 12);
    EXPECT_THROW(reg.ReadInteger("S"), ERegistryException);
    EXPECT_THROW(reg.ReadString("I"), ERegistryException);
    try {
        reg.ReadInteger("S");
    } catch (const ERegistryException &e) {
        EXPECT_EQ(e.Message(), "Invalid data type for 'S'");
    }
}

TEST_F(WinRegistry, NoOpenKeyAndBadKeyNamesAreRefused) {
    TRegistry reg;
    EXPECT_THROW(reg.ReadInteger("x"), ERegistryException);
    EXPECT_THROW(reg.WriteInteger("x", 1), ERegistryException);
    EXPECT_THROW(reg.ReadString("x"), ERegistryException);
    for (const char *bad : {"\\SOFTWARE\\..\\..\\etc", "a\\\\b", "..", "\\", "a/b"})
        EXPECT_FALSE(reg.OpenKey(bad, true)) << bad;
    EXPECT_FALSE(QFile::exists(home + "/etc.ini"));
    EXPECT_FALSE(QFile::exists(home + "/registry/etc.ini"));
}

// A file damaged by hand or by an old crash loses only its damaged lines.
TEST_F(WinRegistry, DamagedLinesAreIgnored) {
    const QString file = TRegistry::KeyFile(HKEY_LOCAL_MACHINE, "\\SOFTWARE\\Vadro");
    ASSERT_TRUE(QDir().mkpath(QFileInfo(file).absolutePath()));
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[Values]\r\nRealTimeRate=dword:abc\r\nRegModel=dword:586\r\ngarbage\r\nBig=dword:99999999999\r\n"
            "X=qword:1\r\nTail=dword:7");
    f.close();
    TRegistry reg;
    reg.SetRootKey(HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(reg.OpenKey("\\SOFTWARE\\Vadro", false));
    EXPECT_EQ(readOr(reg, "RealTimeRate", 2), 2);
    EXPECT_EQ(reg.ReadInteger("RegModel"), 586);
    EXPECT_FALSE(reg.ValueExists("Big"));
    EXPECT_FALSE(reg.ValueExists("X"));
    EXPECT_EQ(reg.ReadInteger("Tail"), 7);
    // Writing rewrites the file whole, without the damage and without a temporary left over.
    reg.WriteInteger("RealTimeRate", 5);
    EXPECT_EQ(QDir(QFileInfo(file).absolutePath()).entryList(QDir::Files), QStringList({"Vadro.ini"}));
    EXPECT_EQ(reg.ReadInteger("RealTimeRate"), 5);
}

// Names that look like the file's own syntax are stored as given and read back, and
// stay when other values are written; files written before keep reading as they did.
TEST_F(WinRegistry, NamesLikeTheFileSyntaxRoundTrip) {
    const QString file = TRegistry::KeyFile(HKEY_LOCAL_MACHINE, "\\SOFTWARE\\Vadro");
    ASSERT_TRUE(QDir().mkpath(QFileInfo(file).absolutePath()));
    {
        QFile f(file); // as the layer wrote it so far
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[Values]\nRealTimeRate=dword:2\na\\=b=sz:x\\\\y\nsp ace=sz: lead\n");
    }
    TRegistry reg;
    reg.SetRootKey(HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(reg.OpenKey("\\SOFTWARE\\Vadro", false));
    EXPECT_EQ(reg.ReadString("a=b"), "x\\y");
    EXPECT_EQ(reg.ReadString("sp ace"), " lead");
    const QStringList names = {"[Values]", "[x", "\\[y", "=", "a=b", "#c", ";d", " e"};
    for (int i = 0; i < names.size(); ++i) reg.WriteInteger(names[i], i);
    reg.WriteInteger("After", 99);
    for (int i = 0; i < names.size(); ++i) {
        EXPECT_TRUE(reg.ValueExists(names[i])) << names[i].toStdString();
        EXPECT_EQ(readOr(reg, names[i].toLatin1().constData(), -1), i) << names[i].toStdString();
    }
    EXPECT_EQ(reg.ReadInteger("RealTimeRate"), 2);
    EXPECT_EQ(reg.ReadString("sp ace"), " lead");
    EXPECT_EQ(reg.GetValueNames().size(), names.size() + 3);
}

// The unnamed value cannot be told from a damaged line in the file: refused, not lost.
TEST_F(WinRegistry, EmptyNameIsRefusedNotLost) {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("\\Key", true));
    EXPECT_THROW(reg.WriteString("", "x"), ERegistryException);
    EXPECT_THROW(reg.WriteInteger("", 1), ERegistryException);
    EXPECT_TRUE(reg.GetValueNames().isEmpty());
}

// A key file at the size limit, read value by value: every value is found. That a read
// is one pass over the file, and no search over the names, bench/registry_bench measures.
TEST_F(WinRegistry, LargeKeyReadsInOnePass) {
    const QString file = TRegistry::KeyFile(HKEY_CURRENT_USER, "\\Big");
    ASSERT_TRUE(QDir().mkpath(QFileInfo(file).absolutePath()));
    QByteArray text = "[Values]\n";
    int count = 0;
    for (; text.size() < (1 << 20) - 40; ++count)
        text += "Value" + QByteArray::number(count) + "=dword:" + QByteArray::number(count) + "\n";
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("\\Big", false));
    for (int i = 0; i < count; i += count / 20) EXPECT_EQ(reg.ReadInteger("VALUE" + QString::number(i)), i);
    EXPECT_EQ(reg.GetValueNames().size(), count);
}

// A key whose folder vanished (or cannot be written) reports the failure.
TEST_F(WinRegistry, WriteThatCannotBeStoredRaises) {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("\\Gone\\Key", true));
    reg.WriteInteger("A", 1);
    const QString dir = QFileInfo(TRegistry::KeyFile(HKEY_CURRENT_USER, "\\Gone\\Key")).absolutePath();
    ASSERT_TRUE(QDir(dir).removeRecursively());
    QFile blocker(dir); // a plain file where the folder was
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    EXPECT_THROW(reg.WriteInteger("A", 2), ERegistryException);
    EXPECT_THROW(reg.WriteString("B", "x"), ERegistryException);
    EXPECT_THROW(reg.ReadInteger("A"), ERegistryException);
}

} // namespace
