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
