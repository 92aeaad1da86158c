// Writes the seeds that come from our own outputs into fuzz/corpus/: chart state blocks
// as the template file holds them, and a registry key as the programs leave it; and the
// hand-made edge seeds ("edge-*") of every format: a part ending at the last byte, one
// byte short and one past, the largest counts and length fields. A fixed seed and a
// short run rarely hit an edge by chance, so an off-by-one at one fails CI only with its
// seed in the corpus. Run by hand after a format change (cmake --build build-fuzz
// --target make_fuzz_seeds, then build-fuzz/bin/make_fuzz_seeds fuzz/corpus); the
// outputs are committed.

#include "FuzzSupport.h"

#include "ChartFixture.h"
#include "platform/win/Registry.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

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

QByteArray be16(int v) { return QByteArray(1, char(v >> 8)) + char(v & 0xFF); }

// ---- data-logger image: stride byte, 256-byte header, sets A5 5A ... 5A A5 ----------

QByteArray loggerSet(int stored, int records, int stride) {
    QByteArray s("\xA5\x5A\x00\x1A\x0C\x0A\x08\x1E\x00", 9);
    s += be16(2);
    s += '\0';
    s += be16(stored);
    for (int k = 0; k < records; ++k) s += QByteArray("\x01\xF4\x00\xFA\x80\x32", 6).left(stride); // 50.0 %, 25.0, -5.0
    return s + QByteArray("\x5A\xA5", 2);
}

// `sets` behind a header of `count` sets whose last position is the image's own, moved
// by `lastShift`; the first byte picks stride 6 when odd.
QByteArray loggerImage(bool six, int count, const QByteArray &sets, int lastShift = 0) {
    QByteArray h(256, '\0');
    h[1] = char(count >> 8);
    h[2] = char(count);
    const int last = 256 + int(sets.size()) - 1 + lastShift;
    h[3] = char(last >> 16);
    h[4] = char(last >> 8);
    h[5] = char(last);
    return QByteArray(1, six ? '\1' : '\0') + h + sets;
}

// ---- Palix memory image: leading byte, sets 00 55 AA 00 + header + records, trailing byte

QByteArray palixSet(int records, int sampling = 1) {
    QByteArray s("\x00\x55\xAA\x00", 4);
    s += be16(sampling);
    s += QByteArray("\x21\x00\x00\x26\x12\x09\x10\x07\x05", 9);
    s += QByteArray(50 - s.size(), '\0');
    for (int k = 0; k < records; ++k) s += QByteArray("\x02\x8A", 2);
    return s;
}

QByteArray palixImage(const QByteArray &sets) { return '\x02' + sets + '\x03'; }

QByteArray palixSets(int n) {
    QByteArray all;
    for (int k = 0; k < n; ++k) all += palixSet(1);
    return all;
}

// One call of the chart_props target: kind, id - 2000, two indices, the value bytes.
QByteArray propCall(int kind, int id, int index, int index2, const QByteArray &value = {}) {
    QByteArray c(1, char(kind));
    const std::int16_t ids[3] = {std::int16_t(id - 2000), std::int16_t(index), std::int16_t(index2)};
    c += QByteArray(reinterpret_cast<const char *>(ids), sizeof ids);
    return c + value;
}

QByteArray int32Bytes(std::int32_t v) { return QByteArray(reinterpret_cast<const char *>(&v), sizeof v); }

// A saved state block with its subset and point counts replaced (the target makes the
// checksum fit again).
QByteArray withCounts(QByteArray block, std::int32_t subsets, std::int32_t points) {
    std::memcpy(block.data() + 8, &subsets, 4);
    std::memcpy(block.data() + 12, &points, 4);
    return block;
}

bool writeEdgeSeeds(const QString &out, const QByteArray &chartState) {
    bool ok = true;
    auto put = [&](const char *target, const char *name, const QByteArray &bytes) {
        ok &= write(out + "/" + target + "/edge-" + name, bytes);
    };

    const QByteArray two4 = loggerSet(2, 2, 4), two6 = loggerSet(2, 2, 6), none = loggerSet(0, 0, 4);
    put("hygro_logger", "set-ends-at-last-byte", loggerImage(false, 1, two4));
    put("hygro_logger", "set-one-byte-short", loggerImage(false, 1, two4.chopped(1)));
    put("hygro_logger", "empty-set-one-byte-short", loggerImage(false, 1, none.chopped(1)));
    put("hygro_logger", "set-one-byte-past", loggerImage(false, 1, two4 + '\xA5'));
    put("hygro_logger", "second-set-one-byte-short-6", loggerImage(true, 2, two6 + two6.chopped(1)));
    put("hygro_logger", "second-set-ends-at-last-byte-6", loggerImage(true, 2, two6 + two6));
    put("hygro_logger", "fields-end-at-last-byte", loggerImage(false, 2, two4 + two4.left(14)));
    put("hygro_logger", "fields-one-byte-short", loggerImage(false, 2, two4 + two4.left(13)));
    put("hygro_logger", "largest-record-count", loggerImage(true, 1, loggerSet(0xFFFF, 2, 6)));
    put("hygro_logger", "most-sets", loggerImage(false, 4000, two4 + two4));
    put("hygro_logger", "one-set-too-many", loggerImage(false, 4001, two4 + two4));
    put("hygro_logger", "image-one-byte-short", loggerImage(false, 1, two4, 1));
    put("hygro_logger", "largest-last-position", loggerImage(false, 1, two4, 0xFFFFFF - 256 - int(two4.size()) + 1));

    const QByteArray set3 = palixSet(3);
    put("slm_memory", "255-sets", palixImage(palixSets(255)));
    put("slm_memory", "256-sets", palixImage(palixSets(256)));
    put("slm_memory", "last-record-one-byte-short", palixImage(set3 + set3.chopped(1)));
    put("slm_memory", "last-record-one-byte-past", palixImage(set3 + set3 + '\x02'));
    put("slm_memory", "header-only", palixImage(set3 + palixSet(0)));
    put("slm_memory", "header-one-byte-short", palixImage(set3 + palixSet(0).chopped(1)));
    put("slm_memory", "marker-cut-at-end", palixImage(set3 + set3.left(3)));
    put("slm_memory", "marker-one-byte-in", palixImage(set3.mid(1) + set3));
    put("slm_memory", "largest-sampling", palixImage(palixSet(2, 0xFFFF) + set3));
    put("slm_memory", "start-only", QByteArray("\x02\x00\x55", 3));

    const QByteArray rec = "No.s\tDate Time\tSPL\r\n1\t2026/12/09 08:58:05\t85.3\t\r\n";
    put("slm_file", "record-at-end-without-line-end", rec + "2\t2026/12/09 08:58:06\t40.1\t");
    put("slm_file", "record-cut-at-third-tab", rec + "2\t2026/12/09 08:58:06\t40.1");
    put("slm_file", "record-cut-at-second-tab", rec + "2\t2026/12/09 08:58:06\t");
    put("slm_file", "trailer-markers-only", rec + "*\r\n**\r\n***");
    put("slm_file", "lone-cr-and-comma", rec + "3\t2026/12/09,08:58:07\t\t\r");

    // Separator byte, column byte, then the file.
    const QByteArray line179 = QByteArray("1\t") + QByteArray(176, 'x') + '\t';
    put("hygro_table", "line-at-limit", QByteArray("\x00\x01", 2) + line179 + "\r\n2\t3\t\r\n");
    put("hygro_table", "line-one-past-limit", QByteArray("\x00\x01", 2) + line179 + "y\t\r\n2\t3\t\r\n");
    // Nine columns, eight cells filling the line up to its limit, and one character past.
    const QByteArray cells7 = (QByteArray(21, 'c') + '\t').repeated(7);
    put("hygro_table", "full-row-at-limit", QByteArray("\x00\x07", 2) + cells7 + QByteArray(24, 'd') + "\t\r\n1\t\r\n");
    put("hygro_table", "full-row-one-past-limit",
        QByteArray("\x00\x07", 2) + cells7 + QByteArray(25, 'd') + "\t\r\n1\t\r\n");
    put("hygro_table", "last-line-without-end", QByteArray("\x01\x07", 2) + "1,2,3,4,5,6,7,8,9,\r\n1,2,3");
    put("hygro_table", "separator-only", QByteArray("\x00\x00", 2) + "\t\r\n\t");

    put("hygro_ident", "last-model", "586\xFF");
    put("hygro_ident", "model-one-past", "587\x01");
    put("hygro_ident", "nul-ident-byte", QByteArray("583\x00", 4));
    put("hygro_ident", "three-bytes", "585");

    // Model byte, chunk byte, then the bytes received: a frame ending at a chunk's last
    // byte, one cut at the end, an STX as the last byte.
    const QByteArray frame("\x02\x60\x00\x02\x08\x00\xE9\x0B\x12\x03", 10);
    put("hygro_frames", "frame-ends-at-chunk-end", QByteArray("\x03\x09", 2) + frame + frame);
    put("hygro_frames", "frame-one-byte-short", QByteArray("\x02\x43", 2) + frame + frame.chopped(1));
    put("hygro_frames", "stx-last", QByteArray("\x01\x00", 2) + frame + '\x02');
    put("hygro_frames", "etx-misplaced", QByteArray("\x00\x05", 2) + frame.chopped(1) + frame);

    const QByteArray live("\x02\x23\x00\x02\x8E\x03", 6);
    put("slm_decode", "frame-one-byte-short", live + live.chopped(1));
    put("slm_decode", "largest-size-reply", QByteArray("\x02\x1B\x1B\x1B\xFF\x03", 6));
    put("slm_decode", "clock-reply-one-byte-short", QByteArray("\x02\xAA\x26\x12\x10", 5));
    put("slm_decode", "sub-frames-to-last", live.repeated(8) + QByteArray(8 * 8, '\xFF'));

    put("slm_period", "largest", "99:99:99");
    put("slm_period", "one-digit-fields", "9:9:9");
    put("slm_period", "three-digit-hours", "100:00:00");
    put("slm_period", "colons-only", "::");

    // Mode, name length, name, value length, value, then the key file.
    const QByteArray longName(23, 'n'), longValue(47, 'v');
    const QByteArray body = "[Values]\nA=sz:x\nB=dword:2147483647\nC=dword:-2147483648\n";
    put("registry", "longest-name-and-value",
        '\x00' + QByteArray(1, char(23)) + longName + char(47) + longValue + body);
    put("registry", "body-without-line-end",
        QByteArray("\x01\x01"
                   "A\x04\xFF\xFF\xFF\x7F",
                   8) +
            body.chopped(1));
    put("registry", "value-without-equals",
        QByteArray("\x00\x01"
                   "A\x00",
                   4) +
            "[Values]\nA\n=\n=sz:\n");

    std::int32_t subsets = 0;
    std::memcpy(&subsets, chartState.constData() + 8, 4);
    put("chart_state", "most-cells", withCounts(chartState, subsets, (1 << 16) / std::max(1, subsets)));
    put("chart_state", "largest-counts", withCounts(chartState, 0x7FFFFFFF, 0x7FFFFFFF));
    put("chart_state", "negative-counts", withCounts(chartState, -1, -1));
    put("chart_state", "last-section-one-byte-short", chartState.left(chartState.size() - 5) + chartState.right(4));
    put("chart_state", "header-only", chartState.left(16) + QByteArray(4, '\0'));

    constexpr int kSubsets = 2115, kPoints = 2120, kShiftX = 3659, kShiftY = 3276;
    put("chart_props", "largest-sizes",
        '\x01' + propCall(0, kSubsets, 0, 0, int32Bytes(256)) + propCall(0, kPoints, 0, 0, int32Bytes(256)) +
            propCall(4, kShiftY, 255, 99, QByteArray(8, '\x7F')) + propCall(7, kShiftY, 256, 100));
    put("chart_props", "shift-index-ends",
        '\x00' + propCall(4, kShiftY, 1, 99, QByteArray(8, '\x01')) +
            propCall(4, kShiftY, 1, 100, QByteArray(8, '\x01')) + propCall(7, kShiftX, 2, 0) +
            propCall(7, kShiftX, -1, -1) + propCall(0, kPoints, 0, 0, int32Bytes(-1)) + propCall(6, kShiftY, 0, 0));
    return ok;
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
    const QByteArray state = saved(h);
    ok &= write(out + "/chart_state/humidity-chart", state);
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
    ok &= write(out + "/registry/vadro-settings", QByteArray("\x00\x08RegModel\x03"
                                                             "586",
                                                             14) +
                                                      body);
    ok &= write(out + "/registry/bracket-name", QByteArray("\x01\x04[set\x04\x02\x00\x00\x00", 11) + body);
    ok &= writeEdgeSeeds(out, state);
    return ok ? 0 : 1;
}
