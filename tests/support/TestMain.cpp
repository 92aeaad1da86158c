// Every test program runs inside one QApplication on the offscreen platform, with a
// settings folder of its own so that no test reads or writes the user's settings.

#include <QApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char **argv) {
    // Set here rather than by ctest, so that a test program run by hand behaves the same,
    // and the simulators it starts inherit them.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("METER_BIN_DIR", METER_DEFAULT_BIN_DIR, 0);
    setenv("METER_SOURCE_DIR", METER_DEFAULT_SOURCE_DIR, 0);
    QTemporaryDir config;
    setenv("XDG_CONFIG_HOME", config.path().toLocal8Bit().constData(), 1);
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
