// Writes the seeds that come from our own outputs into fuzz/corpus/: chart state blocks
// as the template file holds them, and a registry key as the programs leave it. Run by
// hand after a format change (cmake --build build-fuzz --target make_fuzz_seeds, then
// build-fuzz/bin/make_fuzz_seeds fuzz/corpus); the outputs are committed.

#include "FuzzSupport.h"

#include "ChartFixture.h"
#include "platform/win/Registry.h"

#include <QDir>
#include <QFile>

#include <cstdio>

namespace {

bool write(const QString &path, const QByteArray &bytes) {
    QDir().mkpath(path.left(path.lastIndexOf('/')));
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray saved(HWND h) {
    HGLOBAL block = nullptr;
    std::uint32_t size = 0;
    if (!chart::ceSaveState(h, &block, &size)) return {};
    QByteArray bytes(static_cast<const char *>(GlobalLock(block)), qsizetype(size));
    GlobalUnlock(block);
    GlobalFree(block);
    return bytes;
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_fuzz_seeds <corpus folder>\n");
        return 2;
    }
    fuzzing::startApplication();
    const QString out = QString::fromLocal8Bit(argv[1]);
    bool ok = true;

    fixture::Parent parent;
    HWND h = fixture::humidityChart(parent.hwnd, 24, 30, 10);
    ok &= write(out + "/chart_state/humidity-chart", saved(h));
    chart::ceSetInt(h, 3090, 3); // bars, then a table of two subsets
    ok &= write(out + "/chart_state/bar-chart", saved(h));
    chart::ceDestroy(h);

    // The key of Vadro's settings after a first run, behind the target's own header
    // (mode, name, value): "RegModel" written as a string.
    win::TRegistry reg;
    reg.SetRootKey(win::HKEY_LOCAL_MACHINE);
    ok &= reg.OpenKey("\\SOFTWARE\\Vadro", true);
    reg.WriteInteger("RealTimeRate", 2);
    reg.WriteInteger("RegModel", 585);
    reg.WriteString("Note", "line one\nline two = \\ end");
    QFile key(win::TRegistry::KeyFile(win::HKEY_LOCAL_MACHINE, "\\SOFTWARE\\Vadro"));
    ok &= key.open(QIODevice::ReadOnly);
    const QByteArray body = key.readAll();
    ok &= write(out + "/registry/vadro-settings", QByteArray("\x00\x08RegModel\x03" "586", 14) + body);
    ok &= write(out + "/registry/bracket-name", QByteArray("\x01\x04[set\x04\x02\x00\x00\x00", 11) + body);
    return ok ? 0 : 1;
}
